// The host's element table over every element the structure reader names,
// deuterium as hydrogen, and metals beyond the common ones found as sites.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <gemmi/elem.hpp>

#include "Elements.h"
#include "MetalSites.h"
#include "Fragment.h"
#include "MoleculePath.h"
#include "Scene.h"
#include "Structure.h"

using namespace TessaryScene;
using Tessary::DisplayList3D;

namespace {

TEST(Elements, EveryElementHasItsEntryAndAColourOfItsOwn) {
    const Tessary::Color unknown = UnknownElement().GetColor();
    for (int i = 1; i < static_cast<int>(gemmi::El::END); ++i) {
        const std::string symbol = gemmi::element_name(static_cast<gemmi::El>(i));
        SCOPED_TRACE(symbol);
        const ElementInfo& e = LookupElement(symbol);
        EXPECT_EQ(std::string(e.symbol), symbol);
        EXPECT_NE(&e, &UnknownElement());
        EXPECT_NE(e.GetColor(), unknown);
        EXPECT_GT(e.covalentRadius, 0.0);
        EXPECT_GT(e.vdwRadius, 0.0);
    }
    // No symbol, a letter no element has, a longer word: the unknown entry.
    for (const char* stray : {"", "Q", "Xx", "FEE", "Zn2"}) EXPECT_EQ(&LookupElement(stray), &UnknownElement()) << stray;
    EXPECT_FALSE(UnknownElement().metal);
    EXPECT_LT(UnknownElement().covalentRadius, 1.0);
}

TEST(Elements, RadiiAndMetalsOfElementsPastTheCommonOnes) {
    struct Case {
        const char* symbol;
        double covalent;  // Cordero et al. (2008)
        bool metal;
    };
    const Case cases[] = {
        {"Ir", 1.41, true}, {"Sr", 1.95, true}, {"Ba", 2.15, true}, {"Cs", 2.44, true},  {"Rb", 2.20, true},
        {"Tl", 1.45, true}, {"Os", 1.44, true}, {"Gd", 1.96, true}, {"Eu", 1.98, true},  {"U", 1.96, true},
        {"Ga", 1.22, true}, {"Sn", 1.39, true}, {"Fe", 1.32, true}, {"Se", 1.20, false}, {"Te", 1.38, false},
        {"As", 1.19, false}, {"Xe", 1.40, false}, {"D", 0.31, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        const ElementInfo& e = LookupElement(c.symbol);
        EXPECT_NEAR(e.covalentRadius, c.covalent, 1e-6);
        EXPECT_EQ(e.metal, c.metal);
        const gemmi::Element reader(c.symbol);
        EXPECT_EQ(e.covalentRadius, reader.covalent_r());
        EXPECT_EQ(e.vdwRadius, reader.vdw_r());
        EXPECT_EQ(e.metal, reader.is_metal());
        // Symbols are read in any letter case.
        std::string upper = c.symbol;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(&LookupElement(upper), &e);
    }
}

TEST(Elements, DeuteriumIsHydrogenForEveryRule) {
    const ElementInfo& h = LookupElement("H");
    const ElementInfo& d = LookupElement("D");
    EXPECT_TRUE(h.hydrogen);
    EXPECT_TRUE(d.hydrogen);
    EXPECT_EQ(d.covalentRadius, h.covalentRadius);
    EXPECT_EQ(d.vdwRadius, h.vdwRadius);
    EXPECT_EQ(d.GetColor(), h.GetColor());
    EXPECT_FALSE(d.metal);
    EXPECT_EQ(MaxBonds("D"), 1);

    // Rubredoxin with its hydrogens written as deuterium: the same bonds,
    // the same iron site, and the same colours as the hydrogen version.
    const Structure withH = ReadStructure(MoleculePath("Fe_1brf_snip_reduced.pdb"));
    Structure withD = withH;
    int swapped = 0;
    for (Atom& a : withD.atoms)
        if (a.element == "H") {
            a.element = "D";
            ++swapped;
        }
    ASSERT_EQ(swapped, 375);
    const std::vector<Bond> bondsH = FindBonds(withH), bondsD = FindBonds(withD);
    ASSERT_EQ(bondsD.size(), bondsH.size());
    for (std::size_t b = 0; b < bondsH.size(); ++b) {
        EXPECT_EQ(bondsD[b].first, bondsH[b].first);
        EXPECT_EQ(bondsD[b].second, bondsH[b].second);
    }
    std::vector<int> perAtom(withD.atoms.size(), 0);
    for (const Bond& b : bondsD) {
        ++perAtom[static_cast<std::size_t>(b.first)];
        ++perAtom[static_cast<std::size_t>(b.second)];
    }
    for (std::size_t i = 0; i < withD.atoms.size(); ++i)
        if (withD.atoms[i].element == "D") {
            EXPECT_EQ(perAtom[i], 1) << "deuterium " << i;
        }
    const std::vector<MetalSite> sitesH = FindMetalSites(withH), sitesD = FindMetalSites(withD);
    ASSERT_EQ(sitesD.size(), 1u);
    ASSERT_EQ(sitesD[0].ligands.size(), sitesH[0].ligands.size());
    for (std::size_t k = 0; k < sitesH[0].ligands.size(); ++k)
        EXPECT_EQ(sitesD[0].ligands[k].atom, sitesH[0].ligands[k].atom);
}

// A metal with six donors at `distance`, one on each axis.
Structure Octahedron(const std::string& metal, const std::string& donor, double distance) {
    std::string xyz = "7\n" + metal + " complex\n" + metal + " 0 0 0\n";
    const int axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& axis : axes) {
        xyz += donor;
        for (int k : axis) xyz += " " + std::to_string(k * distance);
        xyz += "\n";
    }
    return ParseFragment(xyz);
}

TEST(Elements, MetalsBeyondTheFirstRowsAreSitesWithTheirOwnColour) {
    struct Case {
        const char* metal;
        const char* donor;
        double distance;  // typical metal-donor distance
    };
    const Case cases[] = {
        {"Ir", "N", 2.03}, {"Sr", "O", 2.60}, {"Ba", "O", 2.80}, {"Cs", "O", 3.10}, {"Rb", "O", 2.95},
        {"Tl", "O", 2.60}, {"Os", "N", 2.10}, {"Gd", "O", 2.40}, {"U", "O", 2.40},  {"Ga", "O", 1.95},
        {"Sn", "O", 2.10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.metal);
        const Structure s = Octahedron(c.metal, c.donor, c.distance);
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(sites.size(), 1u);
        EXPECT_EQ(sites[0].ligands.size(), 6u);
        ASSERT_TRUE(sites[0].HasGeometry());
        EXPECT_EQ(sites[0].Best().name, "octahedral");
        const Scene scene = BuildScene(s, SceneOptions());
        EXPECT_TRUE(scene.bonds.empty());
        EXPECT_EQ(scene.contacts.size(), 6u);
        const DisplayList3D& atoms = scene.root.GetDisplayList(0);
        ASSERT_EQ(atoms.GetNumOpaqueSpheres(), 7);
        EXPECT_NE(atoms.GetOpaqueSphere(0).GetColor(), UnknownElement().GetColor());
    }
}

}  // namespace
