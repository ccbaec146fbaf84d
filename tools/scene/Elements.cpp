#include "Elements.h"

#include <cstring>

namespace TessaryScene {

namespace {

// Covalent radii after Cordero et al. (2008), van der Waals radii after
// Bondi (1964) and Alvarez (2013); colours the usual element scheme.
const ElementInfo kElements[] = {
    {"H", 0.31, 1.10, 255, 255, 255, false},  {"He", 0.28, 1.40, 217, 255, 255, false},
    {"Li", 1.28, 1.82, 204, 128, 255, true},  {"Be", 0.96, 1.53, 194, 255, 0, true},
    {"B", 0.84, 1.92, 255, 181, 181, false},  {"C", 0.76, 1.70, 144, 144, 144, false},
    {"N", 0.71, 1.55, 48, 80, 248, false},    {"O", 0.66, 1.52, 255, 13, 13, false},
    {"F", 0.57, 1.47, 144, 224, 80, false},   {"Ne", 0.58, 1.54, 179, 227, 245, false},
    {"Na", 1.66, 2.27, 171, 92, 242, true},   {"Mg", 1.41, 1.73, 138, 255, 0, true},
    {"Al", 1.21, 1.84, 191, 166, 166, true},  {"Si", 1.11, 2.10, 240, 200, 160, false},
    {"P", 1.07, 1.80, 255, 128, 0, false},    {"S", 1.05, 1.80, 255, 200, 50, false},
    {"Cl", 1.02, 1.75, 31, 240, 31, false},   {"Ar", 1.06, 1.88, 128, 209, 227, false},
    {"K", 2.03, 2.75, 143, 64, 212, true},    {"Ca", 1.76, 2.31, 61, 255, 0, true},
    {"V", 1.53, 2.07, 166, 166, 171, true},   {"Cr", 1.39, 2.06, 138, 153, 199, true},
    {"Mn", 1.39, 2.05, 156, 122, 199, true},  {"Fe", 1.32, 2.04, 224, 102, 51, true},
    {"Co", 1.26, 2.00, 240, 144, 160, true},  {"Ni", 1.24, 1.97, 80, 208, 80, true},
    {"Cu", 1.32, 1.96, 200, 128, 51, true},   {"Zn", 1.22, 2.01, 125, 128, 176, true},
    {"Se", 1.20, 1.90, 255, 161, 0, false},   {"Br", 1.20, 1.85, 166, 41, 41, false},
    {"Mo", 1.54, 2.17, 84, 181, 181, true},   {"Ru", 1.46, 2.13, 36, 143, 143, true},
    {"Rh", 1.42, 2.10, 10, 125, 140, true},   {"Pd", 1.39, 2.10, 0, 105, 133, true},
    {"Ag", 1.45, 2.11, 192, 192, 192, true},  {"Cd", 1.44, 2.18, 255, 217, 143, true},
    {"I", 1.39, 1.98, 148, 0, 148, false},    {"W", 1.62, 2.18, 33, 148, 214, true},
    {"Pt", 1.36, 2.09, 208, 208, 224, true},  {"Au", 1.36, 2.14, 255, 209, 35, true},
    {"Hg", 1.32, 2.23, 184, 184, 208, true},  {"Pb", 1.46, 2.02, 87, 89, 97, true},
};

const ElementInfo kUnknown = {"X", 1.50, 2.00, 255, 20, 147, false};

}  // namespace

const ElementInfo& LookupElement(const std::string& symbol) {
    for (const ElementInfo& e : kElements)
        if (symbol == e.symbol) return e;
    return kUnknown;
}

}  // namespace TessaryScene
