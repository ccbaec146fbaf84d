// The scene a viewer builds from real structures: counts, colours, object
// IDs, picking through the view, and the scene file round trip.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "Fragment.h"
#include "MoleculePath.h"
#include "Pick.h"
#include "Scene.h"
#include "SceneArchive.h"
#include "Structure.h"
#include "View.h"

using namespace TessaryScene;
using Tessary::CArchiveException;
using Tessary::DisplayList3D;
using Tessary::Point3d;

namespace {

int Count(const DisplayList3D& root, const std::string& kind) {
    for (const auto& [k, n] : CountPrimitives(root))
        if (k == kind) return n;
    return 0;
}

int FindAtom(const Structure& s, const std::string& element) {
    for (std::size_t i = 0; i < s.atoms.size(); ++i)
        if (s.atoms[i].element == element) return static_cast<int>(i);
    return -1;
}

TEST(Scene, CountsOfRealStructures) {
    struct Case {
        const char* file;
        int atoms, chains, metals, bonds;  // bonds -1: only checked against the cylinders
        int contacts;                      // metal-ligand dashed lines
    };
    const Case cases[] = {
        {"water_cluster_Mg.xyz", 19, 1, 1, 12, 6},  // 12 O-H bonds, 6 Mg-O contacts
        {"benzene1.xyz", 12, 1, 0, 12, 0},
        {"Fe_1brf_snip_reduced.pdb", 975, 1, 1, -1, 4},
        {"1ubq.pdb", 660, 1, 0, -1, 0},
        {"pdb3mht.pdb", 3211, 6, 0, -1, 0},  // two DNA strands and the protein, then the waters of each
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Structure s = ReadStructure(MoleculePath(c.file));
        const Scene scene = BuildScene(s, SceneOptions());
        EXPECT_EQ(static_cast<int>(s.atoms.size()), c.atoms);
        EXPECT_EQ(static_cast<int>(s.chains.size()), c.chains);
        EXPECT_EQ(static_cast<int>(scene.metals.size()), c.metals);
        if (c.bonds >= 0) {
            EXPECT_EQ(static_cast<int>(scene.bonds.size()), c.bonds);
        }
        EXPECT_EQ(Count(scene.root, "OpaqueSpheres"), c.atoms);
        EXPECT_EQ(Count(scene.root, "OpaqueCylinders"), static_cast<int>(scene.bonds.size()));
        EXPECT_EQ(static_cast<int>(scene.contacts.size()), c.contacts);
        EXPECT_EQ(Count(scene.root, "DashedLines"), c.contacts);
        EXPECT_EQ(Count(scene.root, "Text3D"), c.metals);
        EXPECT_EQ(Count(scene.root, "TextCallouts"), 1);
        EXPECT_EQ(scene.root.GetNumDisplayLists(), c.chains + (c.metals > 0 ? 1 : 0));
        // A protein's C-alpha trace is a run of line pieces; a molecule has none.
        EXPECT_EQ(Count(scene.root, "Lines") > 0, std::string(c.file).find(".pdb") != std::string::npos);
    }
}

// A real cubane: the irons bond to nothing covalently; each has four dashed
// contacts (three sulfides, one cysteine), and only the cysteines' CB-SG
// remain as cylinders.
TEST(Scene, CubaneIronsHaveContactsNotBonds) {
    const Structure s = ReadStructure(MoleculePath("sf4_cys4_fragment.pdb"));
    const Scene scene = BuildScene(s, SceneOptions());
    ASSERT_EQ(scene.metals.size(), 4u);
    EXPECT_EQ(scene.contacts.size(), 16u);
    EXPECT_EQ(Count(scene.root, "DashedLines"), 16);
    ASSERT_EQ(scene.bonds.size(), 3u);
    for (const Bond& b : scene.bonds) {
        EXPECT_EQ(s.atoms[b.first].residueName, "CYS");
        EXPECT_EQ(s.atoms[b.second].residueName, "CYS");
    }
}

TEST(Scene, StylesEllipsoidsAndColours) {
    const Structure s = ReadStructure(MoleculePath("pdb1ejg.pdb"));
    // Atoms whose tensor is positive definite (leading minors above zero)
    // become ellipsoids; a few refined tensors are not, and stay spheres.
    int aniso = 0;
    for (const Atom& a : s.atoms) {
        const auto& u = a.u;
        const double det = u[0] * (u[1] * u[2] - u[5] * u[5]) - u[3] * (u[3] * u[2] - u[5] * u[4]) +
                           u[4] * (u[3] * u[5] - u[1] * u[4]);
        aniso += a.hasAniso && u[0] > 0 && u[0] * u[1] - u[3] * u[3] > 0 && det > 0 ? 1 : 0;
    }
    ASSERT_GT(aniso, 300);

    SceneOptions options;
    // A macromolecule: spheres unless ellipsoids are asked for.
    EXPECT_EQ(Count(BuildScene(s, options).root, "OpaqueEllipsoids"), 0);
    options.ellipsoids = Ellipsoids::On;
    const Scene withEllipsoids = BuildScene(s, options);
    EXPECT_EQ(Count(withEllipsoids.root, "OpaqueEllipsoids"), aniso);
    EXPECT_EQ(Count(withEllipsoids.root, "OpaqueSpheres"), static_cast<int>(s.atoms.size()) - aniso);
    EXPECT_EQ(withEllipsoids.nonPositiveDefinite, std::count_if(s.atoms.begin(), s.atoms.end(), [](const Atom& a) {
                  return a.hasAniso;
              }) - aniso);

    options.ellipsoids = Ellipsoids::Off;
    options.style = Style::Spacefill;
    const Scene spacefill = BuildScene(s, options);
    EXPECT_EQ(Count(spacefill.root, "OpaqueEllipsoids"), 0);
    EXPECT_EQ(Count(spacefill.root, "OpaqueCylinders"), 0);
    const auto& firstSphere = spacefill.root.GetDisplayList(0).GetOpaqueSphere(0);
    EXPECT_NEAR(firstSphere.GetRadius(), 1.55, 1e-6);  // the first atom is a nitrogen, drawn at its van der Waals radius

    options.coloring = Coloring::BFactor;
    const Scene byB = BuildScene(s, options);
    const auto coldest = std::min_element(s.atoms.begin(), s.atoms.end(),
                                          [](const Atom& a, const Atom& b) { return a.bFactor < b.bFactor; });
    const auto hottest = std::max_element(s.atoms.begin(), s.atoms.end(),
                                          [](const Atom& a, const Atom& b) { return a.bFactor < b.bFactor; });
    auto colourOf = [&](std::vector<Atom>::const_iterator atom) {
        const unsigned id = byB.AtomID(static_cast<int>(atom - s.atoms.begin()));
        const auto& chain = byB.root.GetDisplayList(0);
        for (int i = 0; i < chain.GetNumOpaqueSpheres(); ++i)
            if (chain.GetOpaqueSphere(i).GetID() == id) return chain.GetOpaqueSphere(i).GetColor();
        return Tessary::Color(1, 2, 3);
    };
    EXPECT_EQ(colourOf(coldest).GetB(), 255);
    EXPECT_EQ(colourOf(coldest).GetR(), 0);
    EXPECT_EQ(colourOf(hottest).GetR(), 255);
    EXPECT_EQ(colourOf(hottest).GetB(), 0);
}

// Colour by chain: twenty chains differ, and a chain read in several parts
// (its ligands or water after other chains, as mmCIF files order them) keeps
// its colour in each.
TEST(Scene, ChainColoursFollowChainNames) {
    Structure s;
    for (int part = 0; part < 22; ++part) {
        Atom atom;
        atom.element = "C";
        atom.position = Point3d(static_cast<float>(5 * part), 0, 0);
        s.atoms.push_back(atom);
        s.chains.push_back({std::string(1, static_cast<char>('A' + part % 20)), part, 1});
    }
    SceneOptions options;
    options.coloring = Coloring::Chain;
    const Scene scene = BuildScene(s, options);
    const auto colourOf = [&](int part) { return scene.root.GetDisplayList(part).GetOpaqueSphere(0).GetColor().GetRGB(); };
    std::set<unsigned> colours;
    for (int part = 0; part < 20; ++part) colours.insert(colourOf(part));
    EXPECT_EQ(colours.size(), 20u);
    EXPECT_EQ(colourOf(20), colourOf(0));
    EXPECT_EQ(colourOf(21), colourOf(1));
}

TEST(Scene, IsotropicTensorGivesASphereOfTheHalfProbabilityRadius) {
    Structure s;
    Atom atom;
    atom.element = "C";
    atom.hasAniso = true;
    atom.u = {0.04, 0.04, 0.04, 0, 0, 0};
    s.atoms = {atom};
    s.chains = {{"A", 0, 1}};
    SceneOptions options;
    options.ellipsoids = Ellipsoids::On;
    const Scene scene = BuildScene(s, options);
    const auto& e = scene.root.GetDisplayList(0).GetOpaqueEllipsoid(0);
    // 1.5382 to its four decimals (the square root of 2.36597).
    for (double axis : {e.GetSize().x, e.GetSize().y, e.GetSize().z}) EXPECT_NEAR(axis, 1.5382 * 0.2, 2e-5);
}

TEST(Scene, ObjectIDsMapBackToAtomsAndBonds) {
    const Structure s = ReadStructure(MoleculePath("water_cluster_Mg.xyz"));
    const Scene scene = BuildScene(s, SceneOptions());
    EXPECT_EQ(scene.AtomOf(scene.AtomID(0)), 0);
    EXPECT_EQ(scene.AtomOf(19), 18);
    EXPECT_EQ(scene.AtomOf(20), -1);
    EXPECT_EQ(scene.BondOf(20), 0);
    EXPECT_EQ(scene.BondOf(scene.BondID(11)), 11);
    EXPECT_EQ(scene.BondOf(scene.BondID(12)), -1);
    // The six Mg-O contacts follow the twelve bonds.
    EXPECT_EQ(scene.ContactID(0), scene.BondID(12));
    EXPECT_EQ(scene.ContactOf(scene.BondID(11)), -1);
    EXPECT_EQ(scene.ContactOf(scene.ContactID(5)), 5);
    EXPECT_EQ(scene.ContactOf(scene.ContactID(6)), -1);
    EXPECT_EQ(scene.BondOf(scene.ContactID(0)), -1);
    EXPECT_EQ(scene.Describe(s, 0), "");
    const int mg = FindAtom(s, "Mg");
    EXPECT_EQ(scene.Describe(s, scene.AtomID(mg)), "atom " + std::to_string(mg + 1) + " Mg Mg " + std::to_string(mg + 1));
    const Bond& first = scene.bonds[0];
    EXPECT_EQ(scene.Describe(s, scene.BondID(0)), "bond 1: " + scene.Describe(s, scene.AtomID(first.first)) + " - " +
                                                      scene.Describe(s, scene.AtomID(first.second)));
    const Tessary::CylinderPrimitive& bond = scene.root.GetDisplayList(0).GetOpaqueCylinder(0);
    EXPECT_EQ(bond.GetEnd1ID(), scene.AtomID(scene.bonds[0].first));
    EXPECT_EQ(bond.GetEnd2ID(), scene.AtomID(scene.bonds[0].second));
    const Bond& contact = scene.contacts[5];
    EXPECT_EQ(contact.first, mg);
    EXPECT_EQ(scene.Describe(s, scene.ContactID(5)), "contact 6: " + scene.Describe(s, scene.AtomID(mg)) + " - " +
                                                         scene.Describe(s, scene.AtomID(contact.second)));
    EXPECT_EQ(scene.Describe(s, scene.ContactID(6)), "");
}

// An Fe4S4 cubane held by four cysteines (sulfur and beta carbon), built to
// the usual sizes: Fe-Fe 2.75, Fe-S 2.29 in the cube, Fe-SG 2.27, SG-CB 1.82.
Structure Cubane() {
    std::string xyz = "16\nFe4S4(SCH3)4\n";
    const double corners[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    auto line = [&](const char* element, const double* c, double scale) {
        xyz += std::string(element) + " " + std::to_string(scale * c[0]) + " " + std::to_string(scale * c[1]) + " " +
               std::to_string(scale * c[2]) + "\n";
    };
    const double fe = 2.75 / (2 * std::sqrt(2.0)), s = 3.6 / (2 * std::sqrt(2.0)), root3 = std::sqrt(3.0);
    for (const auto& c : corners) line("Fe", c, fe);
    for (const auto& c : corners) line("S", c, -s);
    for (const auto& c : corners) line("S", c, fe + 2.27 / root3);
    for (const auto& c : corners) line("C", c, fe + (2.27 + 1.82) / root3);
    return ParseFragment(xyz);
}

TEST(Scene, MetalsTakeDashedContactsNotCylinders) {
    const Structure s = Cubane();
    const Scene scene = BuildScene(s, SceneOptions());
    auto isIron = [&](int atom) { return s.atoms[static_cast<std::size_t>(atom)].element == "Fe"; };
    // The cube's Fe-Fe and Fe-S pairs are in bonding reach; only S-C is a bond.
    ASSERT_EQ(scene.bonds.size(), 4u);
    for (const Bond& b : scene.bonds) {
        EXPECT_EQ(s.atoms[static_cast<std::size_t>(b.first)].element, "S");
        EXPECT_EQ(s.atoms[static_cast<std::size_t>(b.second)].element, "C");
    }
    EXPECT_EQ(Count(scene.root, "OpaqueCylinders"), 4);

    // Each iron: three cube sulfurs and its cysteine's, one dashed line each.
    ASSERT_EQ(scene.metals.size(), 4u);
    ASSERT_EQ(scene.contacts.size(), 16u);
    const DisplayList3D& sites = scene.root.GetDisplayList(scene.root.GetNumDisplayLists() - 1);
    ASSERT_EQ(sites.GetNumDashedLines(), 16);
    for (int k = 0; k < sites.GetNumDashedLines(); ++k) {
        const auto& line = sites.GetDashedLine(k);
        const int c = scene.ContactOf(line.GetID1());
        ASSERT_GE(c, 0);
        const Bond& contact = scene.contacts[static_cast<std::size_t>(c)];
        EXPECT_TRUE(isIron(contact.first));
        EXPECT_EQ(s.atoms[static_cast<std::size_t>(contact.second)].element, "S");
        EXPECT_EQ(line.GetEnd1(), s.atoms[static_cast<std::size_t>(contact.first)].position);
        EXPECT_EQ(line.GetEnd2(), s.atoms[static_cast<std::size_t>(contact.second)].position);
        EXPECT_NEAR(line.GetEnd1().Distance(line.GetEnd2()), 2.28, 0.02);
    }
    // The lines are picked like bonds: their dots carry the contact IDs.
    std::vector<Tessary::DotPrimitive> dots;
    scene.root.GetPickDots(dots);
    int contactDots = 0;
    for (const auto& dot : dots) contactDots += scene.ContactOf(dot.GetID()) >= 0;
    EXPECT_GT(contactDots, 0);

    // Spacefill draws no sticks: neither cylinders nor dashed contacts.
    SceneOptions spacefill;
    spacefill.style = Style::Spacefill;
    const Scene filled = BuildScene(s, spacefill);
    EXPECT_EQ(Count(filled.root, "DashedLines"), 0);
    EXPECT_EQ(filled.contacts.size(), 16u);
}

TEST(Scene, PickAtTheProjectedCentreOfAnAtomFindsIt) {
    const Structure s = ReadStructure(MoleculePath("Fe_1brf_snip_reduced.pdb"));
    const Scene scene = BuildScene(s, SceneOptions());
    for (const auto& angles : {Point3d(0, 0, 0), Point3d(30, 60, 0)}) {
        View view;
        view.FitView(scene.root, angles.x, angles.y, angles.z, 800, 600);
        std::vector<Tessary::DotPrimitive> dots;
        scene.root.GetPickDots(dots);
        const int fe = FindAtom(s, "Fe");
        const Point3d at = view.Project(s.atoms[static_cast<std::size_t>(fe)].position);
        const PickResult picked = Pick(dots, view, at.x + 0.3, at.y - 0.3);
        ASSERT_TRUE(picked.found);
        EXPECT_EQ(scene.AtomOf(picked.id), fe);
        EXPECT_FALSE(Pick(dots, view, -50, -50).found);
    }
}

// A viewer picks click after click: the picker's kept buffer is reused (no
// new array), and each gathering holds exactly the tree's current dots in the
// tree's order, so its picks are those over freshly gathered dots.
TEST(Scene, PickerKeepsItsBufferAndPicksAsFreshDotsDo) {
    const Structure s = ReadStructure(MoleculePath("Fe_1brf_snip_reduced.pdb"));
    const Scene scene = BuildScene(s, SceneOptions());
    View view;
    view.FitView(scene.root, 30, 60, 0, 800, 600);
    const auto expectSame = [](const std::vector<Tessary::DotPrimitive>& got,
                               const std::vector<Tessary::DotPrimitive>& want) {
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(got[i].GetCoord(), want[i].GetCoord()) << "dot " << i;
            EXPECT_EQ(got[i].GetID(), want[i].GetID()) << "dot " << i;
        }
    };
    std::vector<Tessary::DotPrimitive> fresh;
    scene.root.GetPickDots(fresh);
    Picker picker;
    const std::size_t room = picker.Collect(scene.root).capacity();
    for (int click = 0; click < 3; ++click) {
        SCOPED_TRACE(click);
        const std::vector<Tessary::DotPrimitive>& dots = picker.Collect(scene.root);
        EXPECT_EQ(dots.capacity(), room);
        expectSame(dots, fresh);
    }
    for (const int atom : {0, static_cast<int>(s.atoms.size()) / 2, static_cast<int>(s.atoms.size()) - 1}) {
        SCOPED_TRACE(atom);
        const Point3d at = view.Project(s.atoms[static_cast<std::size_t>(atom)].position);
        for (const Point3d& click : {at, Point3d(at.x + 3, at.y - 2, 0), Point3d(-50, -50, 0)}) {
            const PickResult want = Pick(fresh, view, click.x, click.y);
            const PickResult got = picker.Pick(scene.root, view, click.x, click.y);
            EXPECT_EQ(got.found, want.found);
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(got.pixel, want.pixel);
            EXPECT_EQ(got.distance, want.distance);
        }
    }
    // A smaller scene next: the buffer keeps its room (a new array would be
    // sized for the few dots) and holds only the new scene's dots.
    const Scene small = BuildScene(ReadStructure(MoleculePath("1ubq.pdb")), SceneOptions());
    std::vector<Tessary::DotPrimitive> smallDots;
    small.root.GetPickDots(smallDots);
    ASSERT_LT(smallDots.capacity(), room);
    const std::vector<Tessary::DotPrimitive>& dots = picker.Collect(small.root);
    EXPECT_EQ(dots.capacity(), room);
    expectSame(dots, smallDots);
}

TEST(Scene, SlabRemovesPickDotsOutsideItsDepth) {
    const Structure s = ReadStructure(MoleculePath("1ubq.pdb"));
    Scene scene = BuildScene(s, SceneOptions());
    std::vector<Tessary::DotPrimitive> all, slabbed;
    scene.root.GetPickDots(all);
    ApplySlab(scene.root, Point3d(30, 30, 15), Point3d(0, 0, 1), 4.0);
    scene.root.GetPickDots(slabbed);
    ASSERT_GT(slabbed.size(), 0u);
    EXPECT_LT(slabbed.size(), all.size() / 3);
    for (const auto& dot : slabbed) EXPECT_LE(std::fabs(dot.GetCoord().z - 15), 2.0 + 1e-9);
}

TEST(SceneArchive, RoundTripIsExactAndStable) {
    for (const char* file : {"Fe_1brf_snip_reduced.pdb", "water_cluster_Mg.xyz", "pdb1ejg.pdb"}) {
        SCOPED_TRACE(file);
        Scene scene = BuildScene(ReadStructure(MoleculePath(file)), SceneOptions());
        ApplySlab(scene.root, Point3d(1, 2, 3), Point3d(0, 1, 0), 10.0);
        scene.root.GetDisplayList(0).SetLocalTransformation(Tessary::Matrix4x4(Point3d(0, 0, 1), 30.0));
        std::vector<unsigned char> bytes = SceneBytes(scene.root);
        const DisplayList3D loaded = SceneFromBytes(bytes);
        EXPECT_EQ(CompareScenes(scene.root, loaded), std::vector<std::string>());
        EXPECT_EQ(SceneBytes(loaded), bytes);
    }
}

TEST(SceneArchive, CompareNamesWhatDiffers) {
    Scene scene = BuildScene(ReadStructure(MoleculePath("water_cluster_Mg.xyz")), SceneOptions());
    DisplayList3D changed = scene.root;
    changed.GetDisplayList(0).GetOpaqueCylinder(2).SetEnd2ID(999);
    changed.GetDisplayList(1).RemoveTransparentTetrahedron(0, 1);
    const auto differences = CompareScenes(scene.root, changed);
    ASSERT_EQ(differences.size(), 3u);
    EXPECT_EQ(differences[0], "root/0: OpaqueCylinder 2");
    EXPECT_NE(differences[1].find("TransparentTetrahedrons"), std::string::npos);
    EXPECT_EQ(differences[2], "3D pick dots differ");
}

TEST(SceneArchive, RefusesDamagedFiles) {
    const Scene scene = BuildScene(ReadStructure(MoleculePath("water_cluster_Mg.xyz")), SceneOptions());
    const std::vector<unsigned char> bytes = SceneBytes(scene.root);
    for (std::size_t cut : {std::size_t(0), std::size_t(5), std::size_t(20), bytes.size() / 2, bytes.size() - 1}) {
        std::vector<unsigned char> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_THROW(SceneFromBytes(part), CArchiveException) << cut;
    }
    std::vector<unsigned char> longer = bytes;
    longer.push_back(0);
    EXPECT_THROW(SceneFromBytes(longer), CArchiveException);
    std::vector<unsigned char> otherFormat = bytes;
    otherFormat[14] = 99;  // the format number after the 14-byte magic text
    EXPECT_THROW(SceneFromBytes(otherFormat), CArchiveException);
}

TEST(Xyz, RefusesMalformedText) {
    const char* bad[] = {
        "",                                 // no frame
        "two\nx\nH 0 0 0\n",                // count not a number
        "2\ncomment\nH 0 0 0\n",            // frame too short
        "1\ncomment\nH 0 zero 0\n",         // coordinate not a number
        "1\ncomment\nH 0 0 nan\n",          // not finite
        "1\ncomment\nH 0 0\n",              // two coordinates
        "99999999999\nc\n",                 // count beyond the text
        "1\n",                              // no comment line
    };
    for (const char* text : bad) EXPECT_THROW(ParseXyz(text, 1), InputError) << text;
    const Structure two = ParseXyz("1\nfirst\nHe 0 0 0\n\n2\nsecond\nc 1 2 3\nO -1 -2 -3e0\n", 2);
    EXPECT_EQ(two.modelCount, 2);
    EXPECT_EQ(two.title, "second");
    ASSERT_EQ(two.atoms.size(), 2u);
    EXPECT_EQ(two.atoms[0].element, "C");
    EXPECT_EQ(two.atoms[1].position.z, -3.0);
    EXPECT_THROW(ParseXyz("1\nonly\nH 0 0 0\n", 2), InputError);
}

}  // namespace
