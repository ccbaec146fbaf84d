#pragma once

// What the host knows of each element: radii for bonds and spheres, the
// customary colour, and whether it counts as a metal centre. Radii and the
// metal flag are the structure reader's own element data, so every element
// it can name has them; the colours are the host's.

#include <string>

#include "tessary/color/Color.h"

namespace TessaryScene {

struct ElementInfo {
    const char* symbol;     // "Fe"; "X" for the unknown entry
    double covalentRadius;  // angstroms, single bond
    double vdwRadius;       // angstroms
    unsigned char r, g, b;  // the customary element colour
    bool metal;
    bool hydrogen;          // H and its isotope D, alike for every rule

    Tessary::Color GetColor() const { return Tessary::Color(r, g, b); }
};

// The entry of `symbol` ("Zn", any letter case; "D" is deuterium). A symbol
// no element has gets the unknown entry: small radii, not a metal, and a
// colour (pink) no element uses, so strays stand out.
const ElementInfo& LookupElement(const std::string& symbol);

// The unknown entry LookupElement falls back to.
const ElementInfo& UnknownElement();

}  // namespace TessaryScene
