#pragma once

// Metal sites of a structure: each metal atom with the ligands around it,
// scored against every ideal coordination geometry of that ligand count.

#include <ostream>
#include <string>
#include <vector>

#include "tessary/chemistry/CoordinationGeometry.h"

#include "Structure.h"

namespace TessaryScene {

struct Ligand {
    int atom = 0;           // index into Structure::atoms
    double distance = 0.0;  // angstroms from the metal
};

struct GeometryScore {
    Tessary::CoordinationGeometry::CoordinationGeometryType type{};
    std::string name;       // "tetrahedral"
    double deviation = 0.0;
};

struct MetalSite {
    int metal = 0;                        // index into Structure::atoms
    std::vector<Ligand> ligands;          // nearest first
    std::vector<GeometryScore> scores;    // every candidate of the ligand count, best first
    // The best candidate, or none when no geometry has this many ligands.
    bool HasGeometry() const { return !scores.empty(); }
    const GeometryScore& Best() const { return scores.front(); }
};

// Every metal atom (see Elements.h) with its non-hydrogen, non-metal
// ligands, found by one neighbour-list query per metal over the shell its
// longest bond can reach; at most the 12 nearest count.
std::vector<MetalSite> FindMetalSites(const Structure& structure);

// The table of `tessary-scene metals`: one row per site.
void PrintMetalTable(const Structure& structure, const std::vector<MetalSite>& sites, std::ostream& out);

}  // namespace TessaryScene
