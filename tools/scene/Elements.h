#pragma once

// What the host knows of each element: radii for bonds and spheres, the
// customary colour, and whether it counts as a metal centre.

#include <string>

#include "tessary/color/Color.h"

namespace TessaryScene {

struct ElementInfo {
    const char* symbol;
    double covalentRadius;  // angstroms, single bond
    double vdwRadius;       // angstroms
    unsigned char r, g, b;  // the customary element colour
    bool metal;

    Tessary::Color GetColor() const { return Tessary::Color(r, g, b); }
};

// The entry of `symbol` ("Zn"); an unknown symbol gets a neutral entry
// (covalent 1.5, van der Waals 2.0, pink, not a metal).
const ElementInfo& LookupElement(const std::string& symbol);

}  // namespace TessaryScene
