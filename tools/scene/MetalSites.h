#pragma once

// Metal sites of a structure: each metal atom with the donor atoms bonded to
// it, scored against every ideal coordination geometry of that ligand count.

#include <ostream>
#include <string>
#include <vector>

#include "tessary/chemistry/CoordinationGeometry.h"

#include "Structure.h"

namespace TessaryScene {

// A donor bound to a metal: an atom of the structure, or the image of one in
// a neighbouring copy of the crystal (a symmetry mate).
struct Ligand {
    int atom = 0;           // index into Structure::atoms
    double distance = 0.0;  // angstroms from the metal
    Tessary::Point3d position;  // where the donor stands: the atom's own place or its image's
    // The symmetry operation that made the image, written as its triplet
    // with the whole-cell shift folded into the constants ("-x+1,y+1/2,-z":
    // the operation -x,y+1/2,-z, then one cell along a); empty for the atom itself.
    std::string image;
    bool FromImage() const { return !image.empty(); }
};

struct GeometryScore {
    Tessary::CoordinationGeometry::CoordinationGeometryType type{};
    std::string name;       // "tetrahedral"
    double deviation = 0.0;
    // The library describes this shape by the same directions as the best
    // one (a trigonal antiprism is an octahedron), so it is no alternative.
    bool sameShapeAsBest = false;
};

// A runner-up this close to the best fit makes the call a guess.
constexpr double kAmbiguousMargin = 0.01;

struct MetalSite {
    int metal = 0;                        // index into Structure::atoms
    std::vector<Ligand> ligands;          // nearest first
    // Every candidate of the ligand count the library can score, best first;
    // scores equal to rounding are ordered by how common the shape is
    // (octahedral before trigonal antiprismatic).
    std::vector<GeometryScore> scores;
    // Shapes of this ligand count the library has reference directions for
    // but cannot score (2, 7 and 8 ligands).
    std::vector<Tessary::CoordinationGeometry::CoordinationGeometryType> unscored;
    // The best candidate, or none when no geometry has this many ligands.
    bool HasGeometry() const { return !scores.empty(); }
    const GeometryScore& Best() const { return scores.front(); }
    // A different shape scores within kAmbiguousMargin of the best.
    bool Ambiguous() const {
        for (std::size_t k = 1; k < scores.size(); ++k)
            if (!scores[k].sameShapeAsBest) return scores[k].deviation - scores[0].deviation <= kAmbiguousMargin;
        return false;
    }
};

// How far a bond from `metal` to `donor` (element symbols, "Zn", "S") may
// reach: the typical bond length plus kLigandTolerance; 0 when `donor` is
// not a donor element (N, O, S, Se, P, halogens, and carbon, which passes
// the second-shell test of FindMetalSites only as the bonded end of CO,
// CN- or a carbene).
constexpr double kLigandTolerance = 0.5;
double LigandLimit(const std::string& metal, const std::string& donor);

// Every metal atom (see Elements.h) with its ligands: donor atoms within
// LigandLimit of it none of whose own bonded partners lies more than 0.2
// nearer the metal (the second shell: a carboxylate carbon, a sulfonyl
// sulfur), found by one neighbour-list query per metal; at most the 12
// nearest count.
//
// Where the structure has a crystal, donors of symmetry mates count too:
// every operation, with each whole-cell shift that can bring an image of the
// model within reach of the metal, is searched by querying the same
// neighbour list at the metal's inverse image. An image follows the same
// rules (its bonded partners are the images of the atom's partners), and is
// left out where it coincides (within kSameAtom) with an atom of the
// structure (a special position, an assembly holding the copy already) or
// with an image already taken. A model that spans more than kMaxCellSpan
// cells along an edge is not a crystal's content (a placeholder cell), nor
// is a cell narrower than half a bond's reach: no images are searched for
// either. The image queries of a structure are capped at 64 per atom, far
// beyond what real crystals ask; a hostile crowd of metals in a tiny cell
// stops there.
constexpr double kSameAtom = 0.5;
constexpr double kMaxCellSpan = 3.0;
std::vector<MetalSite> FindMetalSites(const Structure& structure);

// The table of `tessary-scene metals`: one row per site, ligands written
// "CYS 109 B SG 2.31", an image's with its operation after it ("GLU 44 B
// OE1 2.05 [-x+1,y,-z]"). A best shape whose
// runner-up is within kAmbiguousMargin ends in "?"; a count of two or more
// ligands without a scored shape names the shapes the library has but
// cannot score, or says it has none.
void PrintMetalTable(const Structure& structure, const std::vector<MetalSite>& sites, std::ostream& out);

}  // namespace TessaryScene
