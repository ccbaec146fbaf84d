// Bonds and metal sites on coordinates no real structure has: thousands of
// atoms in one spot, a metal inside a dense shell, atoms with more partners
// in reach than they can bond to. Counts stay bounded by the per-atom caps,
// and the caps keep the nearest partners.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "MetalSites.h"
#include "Scene.h"
#include "Structure.h"

using namespace TessaryScene;
using Tessary::Point3d;

namespace {

void AddAtom(Structure& s, const std::string& element, double x, double y, double z) {
    Atom a;
    a.element = element;
    a.name = element;
    a.residueNumber = static_cast<int>(s.atoms.size()) + 1;
    a.position = Point3d(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    s.atoms.push_back(a);
    s.chains = {{"", 0, static_cast<int>(s.atoms.size())}};
    s.modelCount = 1;
}

// Evenly spread directions (a Fibonacci sphere), `count` of them, scaled by `radius(k)`.
void AddShell(Structure& s, const std::string& element, int count, const std::function<double(int)>& radius) {
    for (int k = 0; k < count; ++k) {
        const double y = 1.0 - 2.0 * (k + 0.5) / count, r = std::sqrt(1.0 - y * y), t = 2.399963229728653 * k;
        AddAtom(s, element, radius(k) * r * std::cos(t), radius(k) * y, radius(k) * r * std::sin(t));
    }
}

// Bonds in order, each once, none beyond an atom's cap, each within its length.
void ExpectBondsWithinCaps(const Structure& s, const std::vector<Bond>& bonds) {
    std::vector<int> count(s.atoms.size(), 0);
    for (std::size_t b = 0; b < bonds.size(); ++b) {
        ASSERT_LT(bonds[b].first, bonds[b].second);
        if (b > 0) {
            ASSERT_TRUE(bonds[b - 1].first < bonds[b].first ||
                        (bonds[b - 1].first == bonds[b].first && bonds[b - 1].second < bonds[b].second));
        }
        ++count[static_cast<std::size_t>(bonds[b].first)];
        ++count[static_cast<std::size_t>(bonds[b].second)];
    }
    for (std::size_t i = 0; i < s.atoms.size(); ++i) ASSERT_LE(count[i], MaxBonds(s.atoms[i].element)) << "atom " << i;
}

TEST(Crowd, BondsAndLigandsStayBounded) {
    struct Case {
        const char* name;
        std::function<void(Structure&)> make;
        std::size_t maxBonds;    // an upper bound the caps imply
        std::size_t maxLigands;  // per metal
    };
    const Case cases[] = {
        {"20,000 carbons at one point",
         [](Structure& s) {
             for (int k = 0; k < 20000; ++k) AddAtom(s, "C", 1.5, -2.0, 3.0);
         },
         0, 0},
        {"20,000 carbons 0.45 apart on a lattice",
         [](Structure& s) {
             for (int k = 0; k < 20000; ++k) AddAtom(s, "C", 0.45 * (k % 28), 0.45 * (k / 28 % 28), 0.45 * (k / 784));
         },
         2 * 20000, 0},
        {"5,000 oxygens on a 2 A shell around one iron",
         [](Structure& s) {
             AddAtom(s, "Fe", 0, 0, 0);
             AddShell(s, "O", 5000, [](int) { return 2.0; });
         },
         (6 * 5000 + 12) / 2, 12},
        {"300 oxygens on shells from 1.9 to 2.4 A around one iron",
         [](Structure& s) {
             AddAtom(s, "Fe", 0, 0, 0);
             AddShell(s, "O", 300, [](int k) { return 1.9 + 0.5 * k / 300.0; });
         },
         (6 * 300 + 12) / 2, 12},
        {"10,000 irons among 10,000 oxygens in a 6 A box",
         [](Structure& s) {
             for (int k = 0; k < 20000; ++k)
                 AddAtom(s, k % 2 ? "O" : "Fe", 6.0 * (k * 37 % 1000) / 1000.0, 6.0 * (k * 91 % 997) / 997.0,
                         6.0 * (k * 53 % 991) / 991.0);
         },
         (12 * 10000 + 6 * 10000) / 2, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Structure s;
        c.make(s);
        const std::vector<Bond> bonds = FindBonds(s);
        EXPECT_LE(bonds.size(), c.maxBonds);
        ExpectBondsWithinCaps(s, bonds);
        const std::vector<MetalSite> sites = FindMetalSites(s);
        for (const MetalSite& site : sites) {
            ASSERT_LE(site.ligands.size(), c.maxLigands);
            for (std::size_t k = 1; k < site.ligands.size(); ++k)
                ASSERT_LE(site.ligands[k - 1].distance, site.ligands[k].distance);
        }
        // The whole scene builds from them too, one cylinder per bond kept.
        if (s.atoms.size() <= 5001) {
            const Scene scene = BuildScene(s, SceneOptions());
            EXPECT_EQ(scene.bonds.size(), bonds.size());
        }
    }
}

TEST(Crowd, CapsKeepTheNearestPartners) {
    // An iron with fourteen oxygens in reach, the k-th at 1.9 + 0.035 k: the
    // twelve nearest are its ligands, the two farthest not, and none is a bond
    // (a metal's contacts are drawn apart from the covalent bonds).
    Structure metal;
    AddAtom(metal, "Fe", 0, 0, 0);
    AddShell(metal, "O", 14, [](int k) { return 1.9 + 0.035 * k; });
    for (const Bond& b : FindBonds(metal)) EXPECT_NE(b.first, 0) << "iron bonded to atom " << b.second;
    const std::vector<int> nearest12 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::vector<MetalSite> sites = FindMetalSites(metal);
    ASSERT_EQ(sites.size(), 1u);
    std::vector<int> ligands;
    for (const Ligand& l : sites[0].ligands) ligands.push_back(l.atom);
    EXPECT_EQ(ligands, nearest12);

    // A hydrogen 0.97 from one oxygen and 1.25 from another bonds to the first only.
    Structure water;
    AddAtom(water, "O", 0, 0, 0);
    AddAtom(water, "H", 0.97, 0, 0);
    AddAtom(water, "O", 2.22, 0, 0);
    const std::vector<Bond> bonds = FindBonds(water);
    ASSERT_EQ(bonds.size(), 1u);
    EXPECT_EQ(bonds[0].first, 0);
    EXPECT_EQ(bonds[0].second, 1);
}

}  // namespace
