#pragma once

// The display-list scene a viewer builds from a structure: one child list
// per chain (atoms, bonds inside the chain, backbone trace), one for the
// metal sites (coordination polyhedra, labels: metals first, then donor
// atoms, so metals win where labels crowd) and the root's own arrays for
// bonds between chains, the title callout and, when atoms are coloured by
// B-factor, its legend.
//
// Metals take no covalent cylinders: each metal's coordination is drawn as
// dashed lines to its ligands in the metal-site list. A ligand from a
// symmetry mate is drawn where its image stands, as a small sphere at the
// end of its line.
//
// Object IDs: atom i has ID i + 1; bond j has ID atoms + 1 + j, and its
// cylinder's end IDs are its two atoms; contact k (a dashed metal-ligand
// line, and the sphere of its ligand when that is an image) has ID
// atoms + bonds + 1 + k. Everything else carries 0, so it yields
// no pick dots and a pick finds only atoms, bonds and contacts.

#include <string>
#include <vector>

#include "tessary/color/Color.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

#include "MetalSites.h"
#include "SecondaryStructure.h"
#include "Structure.h"

namespace TessaryScene {

enum class Style { BallAndStick, Spacefill };
enum class Coloring { Element, Chain, BFactor, SecondaryStructure };

// The colours of Coloring::SecondaryStructure by ClassOf(code): helix red
// (220, 40, 60), strand yellow (250, 200, 0), coil and non-protein grey
// (170, 170, 170).
Tessary::Color SecondaryColor(char code);
// Which atoms carry labels: none, the metals, or the metals and their ligands' donor atoms.
enum class LabelSet { None, Metals, All };

// Pixels at the top of the picture the title callout takes; views leave them free.
constexpr int kTitleRoom = 44;

// The B-factor legend: a panel in the overlay's lower left corner with its
// title, a bar of the colour ramp that colours the atoms (one rectangle per
// sample, from the low end on the left to the high end) and the ramp's range
// at the bar's ends. Left out when the picture has no room for it below the
// title.
constexpr char kLegendTitle[] = "B-factor (A^2)";
constexpr int kLegendSamples = 32;

// Atoms with anisotropic displacement as probability ellipsoids: ByKind
// draws them for small-molecule files and spheres for macromolecules, where
// they would bury the chain.
enum class Ellipsoids { ByKind, On, Off };

struct SceneOptions {
    Style style = Style::BallAndStick;
    Coloring coloring = Coloring::Element;
    SecondarySource secondary = SecondarySource::FromFile;  // for Coloring::SecondaryStructure
    Ellipsoids ellipsoids = Ellipsoids::ByKind;
    double probability = 0.5;  // of finding the atom inside its ellipsoid, 0 < P < 1
    LabelSet labels = LabelSet::Metals;
    int width = 1200;         // overlay size in pixels (the callout spans it)
    int height = 900;
};

// Two atoms bond within the sum of their covalent radii plus this (angstroms).
constexpr double kBondTolerance = 0.45;

struct Bond {
    int first = 0;
    int second = 0;
};

// Pairs closer than the sum of their covalent radii plus 0.45 angstroms (and
// farther than 0.4), found through a neighbour list one atom at a time;
// first < second, sorted. An atom keeps at most MaxBonds of its nearest
// partners, and a pair is a bond when each atom keeps the other, so crowded
// or broken coordinates (thousands of atoms in one spot) give a bounded
// number of bonds, and memory follows the atoms, not the pairs looked at.
// Metals bond to nothing here: their contacts are the ligands of their sites.
std::vector<Bond> FindBonds(const Structure& structure);

// The most bonds drawn at an atom of `element`: H and D 1, C and N 4, other
// non-metals and unknown symbols 6, metals 12 (close packing). Real
// structures stay below it; it bounds what hostile ones can make.
int MaxBonds(const std::string& element);

// First the metal, second its ligand's atom; `image` is the operation when
// the ligand is that atom's image in a symmetry mate (Ligand::image).
struct Contact : Bond {
    std::string image;
};

struct Scene {
    Tessary::DisplayList3D root;
    std::vector<Bond> bonds;
    std::vector<MetalSite> metals;
    std::vector<Contact> contacts;  // site by site, ligands in site order
    int atomCount = 0;
    bool ellipsoids = false;      // displacement tensors drawn as ellipsoids
    int tensors = 0;              // atoms with a displacement tensor
    int nonPositiveDefinite = 0;  // of those, tensors that are no ellipsoid (drawn as spheres)

    unsigned AtomID(int atom) const { return static_cast<unsigned>(atom) + 1; }
    unsigned BondID(int bond) const { return static_cast<unsigned>(atomCount + bond) + 1; }
    unsigned ContactID(int contact) const {
        return static_cast<unsigned>(atomCount + contact) + static_cast<unsigned>(bonds.size()) + 1;
    }
    // The atom, bond or contact an object ID stands for: -1 when it is not one.
    int AtomOf(unsigned id) const;
    int BondOf(unsigned id) const;
    int ContactOf(unsigned id) const;
    // "atom 123 CA HIS 96 A" / "bond 5: atom 123 CA HIS 96 A - atom 124 CB HIS 96 A" /
    // "contact 2: atom 1 FE FE 1 A - atom 40 SG CYS 5 A", a ligand from a
    // symmetry mate followed by its operation ("... OE1 GLU 44 B (-x+1,y,-z)");
    // a small-molecule site by its label ("atom 7 S(1)", "atom 9 Cl1 -x,y,-z+1/2");
    // empty for other IDs.
    std::string Describe(const Structure& structure, unsigned id) const;
};

Scene BuildScene(const Structure& structure, const SceneOptions& options);

// Pixels at the bottom of a `height`-pixel picture taken by panels of the
// root's overlay (its rectangles lying wholly in the lower third, as the
// legend does): views leave them free, as they leave the title's room. A
// stored scene gives the same room as the structure it was built from.
int BottomRoom(const Tessary::DisplayList3D& root, int height);

// The radius, in standard deviations, of the sphere holding `probability`
// of a trivariate normal distribution: the square root of the chi-square
// quantile with three degrees of freedom (1.5382 for 0.5). The semi-axes of
// a probability ellipsoid are this times the square roots of U's eigenvalues.
double ProbabilityScale(double probability);

// A slab `thickness` angstroms thick around `centre`, across the direction
// `towardsViewer` (world coordinates): two enabled clip planes on every list
// of the tree.
void ApplySlab(Tessary::DisplayList3D& root, const Tessary::Point3d& centre, const Tessary::Point3d& towardsViewer,
               double thickness);

// Counts of every primitive kind in the tree, named as the display list
// names its arrays ("OpaqueSpheres"), kinds with none left out.
std::vector<std::pair<std::string, int>> CountPrimitives(const Tessary::DisplayList3D& root);

}  // namespace TessaryScene
