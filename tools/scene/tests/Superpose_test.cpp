#include "Superpose.h"
#include "MoleculePath.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace TessaryScene {
namespace {

const Structure& Ubiquitin() {
    static const Structure s = ReadStructure(MoleculePath("1ubq.pdb"));
    return s;
}

Structure Moved(Structure s, double ax, double ay, double az, const Tessary::Point3d& shift) {
    for (Atom& atom : s.atoms) {
        atom.position.RotateAboutX(ax).RotateAboutY(ay).RotateAboutZ(az);
        atom.position += shift;
    }
    return s;
}

// A rigidly moved copy fits back exactly; the iterative method comes close.
TEST(Superpose, RigidCopyFitsBack) {
    struct Case {
        double ax, ay, az;
        Tessary::Point3d shift;
    };
    const Case cases[] = {
        {0, 0, 0, {0, 0, 0}},
        {90, 0, 0, {1, 2, 3}},
        {30, -60, 145, {-40, 15, 80}},
        {179, 1, -91, {500, -500, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ax) + " " + std::to_string(c.ay) + " " + std::to_string(c.az));
        const Superposition fit = Superpose(Moved(Ubiquitin(), c.ax, c.ay, c.az, c.shift), Ubiquitin());
        EXPECT_EQ(fit.matched, 76);
        EXPECT_EQ(fit.pairing, Pairing::ByChain);
        EXPECT_LT(fit.rmsdExact, 2e-3);
        EXPECT_LT(fit.rmsdIterative, 0.1);
        EXPECT_EQ(fit.rmsdBefore > 1.0, c.shift.Length() > 0.0);
    }
}

// Which C-alpha atoms pair up, after one edit of the moving copy.
TEST(Superpose, MatchingByChainResidueAndInsertion) {
    struct Case {
        const char* what;
        std::function<void(Structure&)> edit;
        int matched;
        Pairing pairing;
    };
    const Case cases[] = {
        {"renamed chain falls back to the first chain", [](Structure& s) { for (Atom& a : s.atoms) a.chain = "Z"; },
         76, Pairing::ByFirstChain},
        {"insertion code is part of the key",
         [](Structure& s) { for (Atom& a : s.atoms) if (a.residueNumber == 10) a.insertionCode = 'A'; }, 75, Pairing::ByChain},
        {"residues missing", [](Structure& s) { for (Atom& a : s.atoms) if (a.residueNumber > 70) a.name = "CB"; },
         70, Pairing::ByChain},
        {"a calcium ion named CA is no C-alpha",
         [](Structure& s) {
             Atom ion = s.atoms.front();
             ion.name = "CA";
             ion.element = "Ca";
             ion.position += Tessary::Point3d(30, 30, 30);
             s.atoms.insert(s.atoms.begin(), ion);
         },
         76, Pairing::ByChain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Structure moving = Ubiquitin();
        c.edit(moving);
        const Superposition fit = Superpose(moving, Ubiquitin());
        EXPECT_EQ(fit.matched, c.matched);
        EXPECT_EQ(fit.pairing, c.pairing);
        EXPECT_LT(fit.rmsdExact, 1e-3);
    }
}

TEST(Superpose, NmrModelsOntoTheFirst) {
    const std::vector<ModelSuperposition> fits = SuperposeModels(MoleculePath("1d3z.pdb"));
    ASSERT_EQ(fits.size(), 9u);
    for (std::size_t i = 0; i < fits.size(); ++i) {
        const Superposition& fit = fits[i].fit;
        EXPECT_EQ(fits[i].model, static_cast<int>(i) + 2);
        EXPECT_EQ(fit.matched, 76);
        EXPECT_GT(fit.rmsdExact, 0.2);
        EXPECT_LT(fit.rmsdExact, 2.0);
        EXPECT_NEAR(fit.rmsdIterative, fit.rmsdExact, 0.01);
        EXPECT_LE(fit.rmsdExact, fit.rmsdBefore + 1e-6);
    }
    std::ostringstream out;
    PrintModelSuperpositions("1d3z.pdb", fits, out);
    EXPECT_NE(out.str().find("\n          2         76      2.109      0.254      0.254\n"), std::string::npos)
        << out.str();
}

TEST(Superpose, ErrorsAreInputErrors) {
    Structure two = Ubiquitin();
    for (Atom& a : two.atoms)
        if (a.residueNumber > 2) a.name = "CB";
    const std::function<void()> cases[] = {
        [] { SuperposeModels(MoleculePath("1ubq.pdb")); },
        [] { Superpose(ReadStructure(MoleculePath("water_cluster_Mg.xyz")), Ubiquitin()); },
        [&] { Superpose(two, Ubiquitin()); },
        [&] { Superpose(Ubiquitin(), two); },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_THROW(cases[i](), InputError);
    }
}

// Frames without residues pair every atom by index; the counts must agree.
TEST(Superpose, XyzFramesPairAtomsByIndex) {
    const Structure water = ReadStructure(MoleculePath("water_cluster_Mg.xyz"));
    const Superposition fit = Superpose(Moved(water, 20, 70, -30, {5, -3, 9}), water);
    EXPECT_EQ(fit.pairing, Pairing::ByAtomIndex);
    EXPECT_EQ(fit.matched, static_cast<int>(water.atoms.size()));
    EXPECT_GT(fit.rmsdBefore, 1.0);
    EXPECT_LT(fit.rmsdExact, 1e-3);

    // Swapping two atoms of the copy breaks the pairing, so the fit is worse.
    Structure swapped = water;
    std::swap(swapped.atoms[0].position, swapped.atoms[5].position);
    EXPECT_GT(Superpose(swapped, water).rmsdExact, 0.1);

    Structure shorter = water;
    shorter.atoms.pop_back();
    try {
        Superpose(shorter, water);
        ADD_FAILURE() << "different counts were fitted";
    } catch (const InputError& e) {
        EXPECT_NE(std::string(e.what()).find("18 atoms"), std::string::npos) << e.what();
    }
}

// A chosen chain in each structure pairs by residue number within it.
TEST(Superpose, ChosenChains) {
    // Ubiquitin as chain A, with a moved copy as chain B.
    Structure pair = Ubiquitin();
    const Structure copy = Moved(Ubiquitin(), 40, 10, 100, {12, 0, -7});
    const int count = static_cast<int>(pair.atoms.size());
    for (Atom atom : copy.atoms) {
        atom.chain = "B";
        pair.atoms.push_back(atom);
    }
    pair.chains.push_back({"B", count, count});
    struct Case {
        ChainChoice chains;
        bool moved;
    };
    const Case cases[] = {{{"A", "B"}, true}, {{"B", "A"}, true}, {{"B", "B"}, false}, {{"", "B"}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chains.fixed + "," + c.chains.moving);
        const Superposition fit = Superpose(pair, pair, c.chains);
        EXPECT_EQ(fit.pairing, Pairing::ByChosenChains);
        EXPECT_EQ(fit.matched, 76);
        EXPECT_EQ(fit.rmsdBefore > 1.0, c.moved);
        EXPECT_LT(fit.rmsdExact, 2e-3);
    }
    // Without a choice both chains pair by name, each with itself.
    EXPECT_EQ(Superpose(pair, pair).matched, 152);

    const Structure water = ReadStructure(MoleculePath("water_cluster_Mg.xyz"));
    const std::function<void()> refused[] = {
        [&] { Superpose(pair, pair, {"A", "Z"}); },
        [&] { Superpose(pair, pair, {"Z", "A"}); },
        [&] { Superpose(water, water, {"A", "A"}); },
        [] { SuperposeModels(MoleculePath("1d3z.pdb"), kDefaultMaxInputMegabytes, "Q"); },
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(i);
        EXPECT_THROW(refused[i](), InputError);
    }
    const std::vector<ModelSuperposition> models =
        SuperposeModels(MoleculePath("1d3z.pdb"), kDefaultMaxInputMegabytes, "A");
    ASSERT_EQ(models.size(), 9u);
    EXPECT_EQ(models.front().fit.pairing, Pairing::ByChosenChains);
    EXPECT_EQ(models.front().fit.matched, 76);
}

}  // namespace
}  // namespace TessaryScene
