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
        EXPECT_FALSE(fit.byFirstChain);
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
        bool byFirstChain;
    };
    const Case cases[] = {
        {"renamed chain falls back to the first chain", [](Structure& s) { for (Atom& a : s.atoms) a.chain = "Z"; },
         76, true},
        {"insertion code is part of the key",
         [](Structure& s) { for (Atom& a : s.atoms) if (a.residueNumber == 10) a.insertionCode = 'A'; }, 75, false},
        {"residues missing", [](Structure& s) { for (Atom& a : s.atoms) if (a.residueNumber > 70) a.name = "CB"; },
         70, false},
        {"a calcium ion named CA is no C-alpha",
         [](Structure& s) {
             Atom ion = s.atoms.front();
             ion.name = "CA";
             ion.element = "Ca";
             ion.position += Tessary::Point3d(30, 30, 30);
             s.atoms.insert(s.atoms.begin(), ion);
         },
         76, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Structure moving = Ubiquitin();
        c.edit(moving);
        const Superposition fit = Superpose(moving, Ubiquitin());
        EXPECT_EQ(fit.matched, c.matched);
        EXPECT_EQ(fit.byFirstChain, c.byFirstChain);
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

}  // namespace
}  // namespace TessaryScene
