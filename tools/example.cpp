// A first look at the library from a host's side, on a real structure:
// the load registration, a neighbour list finding bonds, the zinc sites
// matched to ideal coordination polyhedra, a superposition recovering a rigid
// motion, a colour map along the chain, an atom-name filter, and an archive
// written, shown byte by byte, read back, and a crafted archive refused.
//
//   tessary_example [STRUCTURE.pdb]    (default: the ATCase entry 4AT1)
#include <cstdio>
#include <string>
#include <vector>

#include "tessary/tessary.h"
#include "tests/support/Molecule.h"

using namespace Tessary;
namespace CG = Tessary::CoordinationGeometry;

namespace {

void PrintBytes(const std::vector<unsigned char>& bytes, std::size_t count) {
    for (std::size_t i = 0; i < count && i < bytes.size(); ++i)
        std::printf("%02x%s", bytes[i], (i + 1) % 16 == 0 || i + 1 == count ? "\n" : " ");
}

void ShowRegistration() {
    AttachCoreDLL();
    std::printf("library registered: %s, links: %d\n", CoreModuleRegistry::IsRegistered() ? "yes" : "no",
                CoreModuleRegistry::GetLinkCount());
}

// Bonds: pairs closer than 2.0 among the non-hydrogen atoms.
void ShowBonds(const Point3d::Array& heavy) {
    NeighborList list(2.0, heavy.GetSize());
    for (const Point3d& p : heavy) list.Add(p);
    IntArray first, second;
    std::printf("\nneighbour list: %d bonds among %d heavy atoms (cutoff 2.0)\n", list.GetPairs(first, second),
                heavy.GetSize());
}

// Each zinc's ligand directions scored against the four-coordinate shapes.
void ShowZincSites(const TessaryTest::Molecule& mol) {
    const CG::CoordinationGeometryType shapes[] = {CG::Tetrahedral, CG::SquarePlanar, CG::SeeSaw,
                                                   CG::TrigonalPlanarPyramidal};
    const char* names[] = {"tetrahedral", "square planar", "see-saw", "trigonal pyramidal"};
    for (std::size_t zn : mol.FindElement("Zn")) {
        const auto& metal = mol.atoms[zn];
        const Point3d centre(metal.x, metal.y, metal.z);
        Point3d::Array directions;
        for (const auto& a : mol.atoms) {
            const Point3d p(a.x, a.y, a.z);
            const double d = p.Distance(centre);
            if (a.element != "H" && d > 0.1 && d < 2.8) directions.Add((p - centre).Normalize());
        }
        std::printf("\nZn %c%d: %d ligands\n", metal.chain, metal.residueNumber, directions.GetSize());
        for (int i = 0; i < 4; ++i) {
            const double score = CG::DeviationFromIdealCoordinationGeometry(directions, shapes[i]);
            if (score >= 0) std::printf("  %-19s deviation %.3f\n", names[i], score);
        }
    }
}

// Moves a copy of the atoms by a known rotation and translation, then
// recovers the motion by least squares.
void ShowSuperposition(const Point3d::Array& atoms) {
    Matrix4x4 motion(Point3d(1, 2, 3).Normalize(), 40.0);
    motion.SetTranslation(5, -3, 12);
    Point3d::Array moved(atoms);
    for (Point3d& p : moved) p = p * motion;
    Point3d::Array fitted(atoms);
    const bool found = RMSBestFitTools::FindAndApplyTransformation(atoms, moved, fitted);
    double worst = 0;
    for (int i = 0; i < atoms.GetSize(); ++i) worst = std::max(worst, fitted[i].Distance(moved[i]));
    std::printf("\nsuperposition of %d atoms after a 40 degree turn and a shift: %s, largest deviation %.2g\n",
                atoms.GetSize(), found ? "found" : "failed", worst);
}

// Residue numbers of chain A through the "Blue-Green-Red" ramp.
void ShowColours(const TessaryTest::Molecule& mol) {
    ColorMapParameters map("Blue-Green-Red", false, 1, 310, 32);
    std::printf("\ncolour along chain A:");
    for (const auto& a : mol.atoms) {
        if (a.chain == 'A' && a.name == "CA" && a.residueNumber % 60 == 1)
            std::printf(" %d=%s", a.residueNumber, map.CalculateColor(a.residueNumber).GetRGBString().GetString());
    }
    std::printf("\n");
}

void ShowFilter(const TessaryTest::Molecule& mol) {
    RegExpression filter("C[AB]", false);
    int matched = 0;
    for (const auto& a : mol.atoms) matched += filter.Match(CString(a.name), true) ? 1 : 0;
    std::printf("\natom names matching C[AB]: %d of %zu\n", matched, mol.Size());
}

int ShowArchive(const Point3d::Array& atoms) {
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar.SetObjectSchema(13);
        ar << CString("first ten atoms") << 10;
        for (int i = 0; i < 10 && i < atoms.GetSize(); ++i) ar << atoms[i];
    }
    std::printf("\narchive of %zu bytes (first 48 shown):\n", bytes.size());
    PrintBytes(bytes, 48);
    CArchive ar(bytes, CArchive::load);
    ar.SetObjectSchema(13);
    CString title;
    int count = 0;
    ar >> title >> count;
    Point3d first;
    ar >> first;
    std::printf("read back \"%s\": %d points, the first at (%.3f, %.3f, %.3f)\n", title.GetString(), count,
                first.GetX(), first.GetY(), first.GetZ());

    std::vector<unsigned char> crafted = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 1, 2, 3, 4};
    try {
        CArchive bad(crafted, CArchive::load);
        IntArray huge;
        huge.Serialize(bad);
        std::printf("crafted archive loaded?!\n");
        return 1;
    } catch (const CArchiveException& e) {
        std::printf("a crafted 10-byte archive claiming 2^30 elements is refused: %s\n", e.what());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : TESSARY_SOURCE_DIR "/data/molecules/4at1.ent";
    const TessaryTest::Molecule mol = TessaryTest::ReadPdb(path);
    if (mol.Empty()) {
        std::fprintf(stderr, "no atoms read from %s\n", path.c_str());
        return 1;
    }
    ShowRegistration();
    std::printf("structure %s: %zu atoms\n", path.c_str(), mol.Size());

    Point3d::Array all, heavy;
    for (const auto& a : mol.atoms) {
        all.Add(Point3d(a.x, a.y, a.z));
        if (a.element != "H") heavy.Add(all[all.GetUpperBound()]);
    }
    ShowBonds(heavy);
    ShowZincSites(mol);
    ShowSuperposition(all);
    ShowColours(mol);
    ShowFilter(mol);
    return ShowArchive(all);
}
