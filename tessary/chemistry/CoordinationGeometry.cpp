#include "tessary/chemistry/CoordinationGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace Tessary {
namespace CoordinationGeometry {

namespace {

// ---- compile-time numerics -------------------------------------------------
// The reference directions are built at compile time, so the table is constant
// data: nothing to construct at load, nothing to race on. std::sqrt is not
// constexpr in C++17, hence Newton's iteration (the tests compare the stored
// floats with the same constructions evaluated by std::sqrt).
constexpr double ConstSqrt(double v) {
    if (!(v > 0.0)) return 0.0;
    double x = v > 1.0 ? v : 1.0;  // start above the root: the iteration then decreases
    for (int i = 0; i < 200; ++i) {
        const double next = 0.5 * (x + v / x);
        if (!(next < x)) break;
        x = next;
    }
    return x;
}

constexpr double a = ConstSqrt(1.0 / 3.0);
constexpr double b = ConstSqrt(2.0 / 3.0);
constexpr double h = ConstSqrt(1.0 / 2.0);
constexpr double r = ConstSqrt(3.0) / 2.0;
constexpr double sqrt2 = ConstSqrt(2.0);
constexpr double c36 = (ConstSqrt(5.0) + 1.0) / 4.0;
constexpr double s36 = ConstSqrt((1.0 - c36) * (1.0 + c36));
constexpr double c72 = (ConstSqrt(5.0) + 1.0) / 4.0 - 0.5;
constexpr double s72 = ConstSqrt((1.0 - c72) * (1.0 + c72));

// ---- reference directions --------------------------------------------------
struct ReferenceSet {
    int count = 0;
    float xyz[9][3] = {};

    constexpr void Add(double x, double y, double z) {
        xyz[count][0] = static_cast<float>(x);
        xyz[count][1] = static_cast<float>(y);
        xyz[count][2] = static_cast<float>(z);
        ++count;
    }
};

struct ReferenceTable {
    ReferenceSet sets[kNumCoordinationGeometryTypes];
};

constexpr void AddOctahedron(ReferenceSet& s) {
    s.Add(0, 0, 1);
    s.Add(0, 0, -1);
    s.Add(1, 0, 0);
    s.Add(0, 1, 0);
    s.Add(-1, 0, 0);
    s.Add(0, -1, 0);
}

constexpr void AddTrigonalPrism(ReferenceSet& s) {
    s.Add(a, b, 0);
    s.Add(a, -b / 2, h);
    s.Add(a, -b / 2, -h);
    s.Add(-a, b, 0);
    s.Add(-a, -b / 2, h);
    s.Add(-a, -b / 2, -h);
}

// The stretched antiprism scales the x components before rounding to float.
constexpr void AddTrigonalAntiprism(ReferenceSet& s, double xScale) {
    s.Add(xScale * a, b, 0);
    s.Add(xScale * a, -b / 2, h);
    s.Add(xScale * a, -b / 2, -h);
    s.Add(-xScale * a, -b, 0);
    s.Add(-xScale * a, b / 2, -h);
    s.Add(-xScale * a, b / 2, h);
}

constexpr ReferenceTable BuildReferenceTable() {
    ReferenceTable t{};
    ReferenceSet* s = t.sets;

    s[Linear].Add(1, 0, 0);
    s[Linear].Add(-1, 0, 0);

    s[Angular].Add(1, 0, 0);
    s[Angular].Add(-1.0 / 3.0, 2.0 * sqrt2 / 3.0, 0);

    s[TrigonalPlanar].Add(1, 0, 0);
    s[TrigonalPlanar].Add(-0.5, r, 0);
    s[TrigonalPlanar].Add(-0.5, -r, 0);

    s[TrigonalPyramidal].Add(1, 0, 0);
    s[TrigonalPyramidal].Add(-1.0 / 3.0, b, sqrt2 / 3.0);
    s[TrigonalPyramidal].Add(-1.0 / 3.0, -b, sqrt2 / 3.0);

    s[TShaped].Add(1, 0, 0);
    s[TShaped].Add(-1, 0, 0);
    s[TShaped].Add(0, 1, 0);

    s[Tetrahedral].Add(a, a, a);
    s[Tetrahedral].Add(-a, -a, a);
    s[Tetrahedral].Add(-a, a, -a);
    s[Tetrahedral].Add(a, -a, -a);

    s[SquarePlanar].Add(h, h, 0);
    s[SquarePlanar].Add(-h, h, 0);
    s[SquarePlanar].Add(-h, -h, 0);
    s[SquarePlanar].Add(h, -h, 0);

    s[SquarePyramidal].Add(2.0 / 3.0, 2.0 / 3.0, -1.0 / 3.0);
    s[SquarePyramidal].Add(-2.0 / 3.0, 2.0 / 3.0, -1.0 / 3.0);
    s[SquarePyramidal].Add(-2.0 / 3.0, -2.0 / 3.0, -1.0 / 3.0);
    s[SquarePyramidal].Add(2.0 / 3.0, -2.0 / 3.0, -1.0 / 3.0);

    s[TrigonalPlanarPyramidal].Add(0, 0, 1);
    s[TrigonalPlanarPyramidal].Add(1, 0, 0);
    s[TrigonalPlanarPyramidal].Add(-0.5, r, 0);
    s[TrigonalPlanarPyramidal].Add(-0.5, -r, 0);

    s[SeeSaw].Add(1, 0, 0);
    s[SeeSaw].Add(-1, 0, 0);
    s[SeeSaw].Add(0, h, h);
    s[SeeSaw].Add(0, -h, h);

    s[TrigonalBipyramidal].Add(1, 0, 0);
    s[TrigonalBipyramidal].Add(-1, 0, 0);
    s[TrigonalBipyramidal].Add(0, 1, 0);
    s[TrigonalBipyramidal].Add(0, -0.5, r);
    s[TrigonalBipyramidal].Add(0, -0.5, -r);

    s[SquarePlanarPyramidal].Add(0, 0, 1);
    s[SquarePlanarPyramidal].Add(h, h, 0);
    s[SquarePlanarPyramidal].Add(-h, h, 0);
    s[SquarePlanarPyramidal].Add(-h, -h, 0);
    s[SquarePlanarPyramidal].Add(h, -h, 0);

    AddOctahedron(s[Octahedral]);
    AddTrigonalPrism(s[TrigonalPrismatic]);
    AddTrigonalAntiprism(s[TrigonalAntiprismatic], 1.0);
    AddTrigonalAntiprism(s[TrigonalAntiprismaticStretched], 1.4);

    s[PentagonalPlanarPyramidal].Add(0, 0, 1);
    s[PentagonalPlanarPyramidal].Add(1, 0, 0);
    s[PentagonalPlanarPyramidal].Add(c72, s72, 0);
    s[PentagonalPlanarPyramidal].Add(-c36, s36, 0);
    s[PentagonalPlanarPyramidal].Add(-c36, -s36, 0);
    s[PentagonalPlanarPyramidal].Add(c72, -s72, 0);

    s[PentagonalBipyramidal].Add(1, 0, 0);
    s[PentagonalBipyramidal].Add(-1, 0, 0);
    s[PentagonalBipyramidal].Add(0, 1, 0);
    s[PentagonalBipyramidal].Add(0, c72, s72);
    s[PentagonalBipyramidal].Add(0, -c36, s36);
    s[PentagonalBipyramidal].Add(0, -c36, -s36);
    s[PentagonalBipyramidal].Add(0, c72, -s72);

    AddOctahedron(s[OctahedralFaceMonocapped]);
    s[OctahedralFaceMonocapped].Add(a, a, a);

    AddTrigonalPrism(s[TrigonalPrismaticSquareFaceMonocapped]);
    s[TrigonalPrismaticSquareFaceMonocapped].Add(0, -1, 0);

    s[Cubic].Add(a, a, a);
    s[Cubic].Add(-a, a, a);
    s[Cubic].Add(-a, -a, a);
    s[Cubic].Add(a, -a, a);
    s[Cubic].Add(a, -a, -a);
    s[Cubic].Add(a, a, -a);
    s[Cubic].Add(-a, a, -a);
    s[Cubic].Add(-a, -a, -a);

    s[SquareAntiprismatic].Add(b, 0, a);
    s[SquareAntiprismatic].Add(0, b, a);
    s[SquareAntiprismatic].Add(-b, 0, a);
    s[SquareAntiprismatic].Add(0, -b, a);
    s[SquareAntiprismatic].Add(a, -a, -a);
    s[SquareAntiprismatic].Add(a, a, -a);
    s[SquareAntiprismatic].Add(-a, a, -a);
    s[SquareAntiprismatic].Add(-a, -a, -a);

    s[Dodecahedral].Add(0.5, 0, r);
    s[Dodecahedral].Add(-0.5, 0, r);
    s[Dodecahedral].Add(1, 0, 0);
    s[Dodecahedral].Add(0, 1, 0);
    s[Dodecahedral].Add(-1, 0, 0);
    s[Dodecahedral].Add(0, -1, 0);
    s[Dodecahedral].Add(0, 0.5, -r);
    s[Dodecahedral].Add(0, -0.5, -r);

    s[HexagonalBipyramidal].Add(1, 0, 0);
    s[HexagonalBipyramidal].Add(-1, 0, 0);
    s[HexagonalBipyramidal].Add(0, 1, 0);
    s[HexagonalBipyramidal].Add(0, 0.5, r);
    s[HexagonalBipyramidal].Add(0, -0.5, r);
    s[HexagonalBipyramidal].Add(0, -1, 0);
    s[HexagonalBipyramidal].Add(0, -0.5, -r);
    s[HexagonalBipyramidal].Add(0, 0.5, -r);
    return t;
}

constexpr ReferenceTable kReferences = BuildReferenceTable();

constexpr int kCoordinationNumbers[kNumCoordinationGeometryTypes] = {
    0,                 // no geometry
    2, 2, 2, 2,        // 1-4
    3, 3, 3, 3, 3,     // 5-9
    4, 4, 4, 4, 4, 4,  // 10-15
    5, 5,              // 16-17
    6, 6, 6, 6, 6,     // 18-22
    7, 7, 7,           // 23-25
    8, 8, 8, 8,        // 26-29
    9                  // 30
};

// Types without reference directions have an empty set; all others must match
// their coordination number.
constexpr bool ReferenceCountsConsistent() {
    for (int t = 0; t < kNumCoordinationGeometryTypes; ++t) {
        const int count = kReferences.sets[t].count;
        if (count != 0 && count != kCoordinationNumbers[t]) return false;
    }
    return true;
}
static_assert(ReferenceCountsConsistent(), "a reference set does not match its coordination number");

bool InRange(CoordinationGeometryType t) { return t >= 0 && t < kNumCoordinationGeometryTypes; }

Point3d Direction(const ReferenceSet& s, int i) { return Point3d(s.xyz[i][0], s.xyz[i][1], s.xyz[i][2]); }

// ---- names -----------------------------------------------------------------
struct NameEntry {
    const char* name;
    CoordinationGeometryType type;
};

constexpr NameEntry kNames[] = {
    {"linear", Linear},
    {"l2", Linear},
    {"angular", Angular},
    {"a2", Angular},
    {"a2t4", Angular},
    {"a2tp3", AngularTrigonalPlanar},
    {"a2sp4", AngularSquarePlanar},
    {"trigonalPlanar", TrigonalPlanar},
    {"tp3", TrigonalPlanar},
    {"trigonalPyramidal", TrigonalPyramidal},
    {"tpy3", TrigonalPyramidal},
    {"tpy3t4", TrigonalPyramidal},
    {"tpy3tbpy5", TrigonalPyramidalTrigonalBipyramidal},
    {"tpy3oc6", TrigonalPyramidalOctahedral},
    {"tShaped", TShaped},
    {"ts3", TShaped},
    {"tetrahedral", Tetrahedral},
    {"t4", Tetrahedral},
    {"squarePlanar", SquarePlanar},
    {"square", SquarePlanar},
    {"sp4", SquarePlanar},
    {"squarePyramidal", SquarePyramidal},
    {"spy4", SquarePyramidal},
    {"trigonalPlanarPyramidal", TrigonalPlanarPyramidal},
    {"tpy4", TrigonalPlanarPyramidal},
    {"seeSaw", SeeSaw},
    {"ss4", SeeSaw},
    {"ss4oc6", SeeSaw},
    {"ss4tbpy5", SeeSawTrigonalBipyramidal},
    {"trigonalBipyramidal", TrigonalBipyramidal},
    {"tbpy5", TrigonalBipyramidal},
    {"squarePlanarPyramidal", SquarePlanarPyramidal},
    {"spy5", SquarePlanarPyramidal},
    {"octahedral", Octahedral},
    {"oc6", Octahedral},
    {"trigonalPrismatic", TrigonalPrismatic},
    {"tpr6", TrigonalPrismatic},
    {"trigonalAntiprismatic", TrigonalAntiprismatic},
    {"tapr6", TrigonalAntiprismatic},
    {"trigonalAntiprismaticStretched", TrigonalAntiprismaticStretched},
    {"pentagonalPlanarPyramidal", PentagonalPlanarPyramidal},
    {"ppy6", PentagonalPlanarPyramidal},
    {"pentagonalBipyramidal", PentagonalBipyramidal},
    {"pbpy7", PentagonalBipyramidal},
    {"octahedralFaceMonocapped", OctahedralFaceMonocapped},
    {"ocf7", OctahedralFaceMonocapped},
    {"trigonalPrismaticSquareFaceMonocapped", TrigonalPrismaticSquareFaceMonocapped},
    {"tprs7", TrigonalPrismaticSquareFaceMonocapped},
    {"cubic", Cubic},
    {"cu8", Cubic},
    {"squareAntiprismatic", SquareAntiprismatic},
    {"sapr8", SquareAntiprismatic},
    {"dodecahedral", Dodecahedral},
    {"dd8", Dodecahedral},
    {"hexagonalBipyramidal", HexagonalBipyramidal},
    {"hbpy8", HexagonalBipyramidal},
    {"heptagonalBipyramidal", HeptagonalBipyramidal},
    {"hbpy9", HeptagonalBipyramidal},
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == 58, "the dictionary holds 58 names");

// ASCII folding: the names are ASCII, and the host's locale must not matter.
constexpr char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& s, const char* name) {
    std::size_t i = 0;
    for (; i < s.size(); ++i) {
        if (name[i] == '\0' || FoldCase(s[i]) != FoldCase(name[i])) return false;
    }
    return name[i] == '\0';
}

// ---- cone construction -----------------------------------------------------
// Three unit vectors with the given mutual angles, at equal angles to +x.
// Fails for angles at 0 or pi, for chord lengths that form no triangle, for a
// (nearly) flat triangle, and for triangles too wide for a cone about x.
bool BuildCone(double a12, double a13, double a23, Point3d out[3]) {
    const double c12 = std::cos(a12), c13 = std::cos(a13), c23 = std::cos(a23);
    for (double c : {c12, c13, c23})
        if (!(c > -1.0 && c < 1.0)) return false;
    const double d12 = std::sqrt(2.0) * std::sqrt(1.0 - c12);
    const double d13 = std::sqrt(2.0) * std::sqrt(1.0 - c13);
    const double d23 = std::sqrt(2.0) * std::sqrt(1.0 - c23);
    if (!(d12 + d13 > d23 && d12 + d23 > d13 && d13 + d23 > d12)) return false;
    const double product = (d12 + d23 - d13) * (d13 + d23 - d12) * (d12 + d13 + d23) * (d12 + d13 - d23);
    const double fourArea = std::sqrt(product);
    if (!(std::fabs(fourArea / (2.0 * d12)) >= 1e-6)) return false;
    double radius = d12 * d13 * d23 / fourArea;
    // Three 120 degree angles give a radius of exactly 1 (a planar set) that
    // rounding may push a hair above; anything clearly above 1 has no cone.
    if (!(radius <= 1.0 + 1e-9)) return false;
    radius = std::min(radius, 1.0);
    const double x = std::sqrt(std::max(0.0, 1.0 - radius * radius));
    const double x2 = x * x;

    // Every tip lies on the circle (x, y, z) with y^2 + z^2 = radius^2; its dot
    // product with tip 1 = (x, 0, radius) fixes z.
    const double z2 = (c12 - x2) / radius;
    const double y2 = -std::sqrt(std::max(0.0, radius * radius - z2 * z2));
    const double z3 = (c13 - x2) / radius;
    const double y3abs = std::sqrt(std::max(0.0, radius * radius - z3 * z3));
    // Tip 3 takes the side of the circle that gives the angle to tip 2.
    const double errorPlus = std::fabs(x2 + y3abs * y2 + z3 * z2 - c23);
    const double errorMinus = std::fabs(x2 - y3abs * y2 + z3 * z2 - c23);
    const double y3 = errorMinus < errorPlus ? -y3abs : y3abs;

    out[0] = Point3d(x, 0.0, radius);
    out[1] = Point3d(x, y2, z2);
    out[2] = Point3d(x, y3, z3);
    return true;
}

// ---- deviation candidates ----------------------------------------------------
// Candidates are written as the digits of their assignment, one after another.

constexpr int Mirror(int position) {
    switch (position) {
        case 2: return 3;
        case 3: return 2;
        case 5: return 6;
        case 6: return 5;
        default: return position;
    }
}

constexpr bool NextPermutation(int* first, int count) {
    int i = count - 2;
    while (i >= 0 && first[i] >= first[i + 1]) --i;
    if (i < 0) return false;
    int j = count - 1;
    while (first[j] <= first[i]) --j;
    const int t = first[i];
    first[i] = first[j];
    first[j] = t;
    for (int lo = i + 1, hi = count - 1; lo < hi; ++lo, --hi) {
        const int u = first[lo];
        first[lo] = first[hi];
        first[hi] = u;
    }
    return true;
}

struct PrismCandidates {
    char digits[60 * 6 + 1] = {};
    int count = 0;
};

// Every permutation with position 1 for ligand 1, in lexicographic order,
// kept when it is not greater than its mirror image (positions 2/3 and 5/6
// exchanged): one representative of each pair of mirror-equivalent ones.
constexpr PrismCandidates GeneratePrismCandidates() {
    PrismCandidates out{};
    int p[6] = {1, 2, 3, 4, 5, 6};
    do {
        bool greater = false;
        for (int i = 0; i < 6; ++i) {
            const int m = Mirror(p[i]);
            if (p[i] != m) {
                greater = p[i] > m;
                break;
            }
        }
        if (!greater) {
            if (out.count == 60) return PrismCandidates{};  // the count below then fails
            for (int i = 0; i < 6; ++i) out.digits[out.count * 6 + i] = static_cast<char>('0' + p[i]);
            ++out.count;
        }
    } while (NextPermutation(p + 1, 5));
    return out;
}

constexpr PrismCandidates kPrismCandidates = GeneratePrismCandidates();
static_assert(kPrismCandidates.count == 60, "the trigonal prism has 60 candidates");
static_assert(kPrismCandidates.digits[0] == '1' && kPrismCandidates.digits[5] == '6' &&
                  kPrismCandidates.digits[59 * 6 + 1] == '5' && kPrismCandidates.digits[59 * 6 + 5] == '2',
              "the prism candidates run from 123456 to 156432");

struct IdealPair {
    int k, l;  // reference positions, 1-based
    double cosine;
};

struct DeviationRule {
    CoordinationGeometryType type;
    const char* candidates;
    int numCandidates;
    bool ligandToPosition;  // the assignment lists each ligand's position
    bool prism;             // the pairs are those whose observed cosines are added
    int numPairs;
    IdealPair pairs[6];
};

constexpr double kThird = -1.0 / 3.0;

constexpr DeviationRule kRules[] = {
    {TrigonalPyramidal, "123", 1, false, false, 3, {{1, 2, kThird}, {1, 3, kThird}, {2, 3, kThird}}},
    {TShaped, "123" "132" "231", 3, false, false, 1, {{1, 2, -1.0}}},
    {Tetrahedral, "1234", 1, false, false, 6,
     {{1, 2, kThird}, {1, 3, kThird}, {1, 4, kThird}, {2, 3, kThird}, {2, 4, kThird}, {3, 4, kThird}}},
    {SquarePlanar, "1234" "1243" "1423", 3, false, false, 2, {{1, 3, -1.0}, {2, 4, -1.0}}},
    {TrigonalPlanarPyramidal, "1234" "2134" "3124" "4123", 4, false, false, 3,
     {{2, 3, -0.5}, {2, 4, -0.5}, {3, 4, -0.5}}},
    {SeeSaw, "1234" "1324" "1423" "2314" "2413" "3412", 6, false, false, 1, {{1, 2, -1.0}}},
    {SeeSawTrigonalBipyramidal, "1234" "1324" "1423" "2314" "2413" "3412", 6, false, false, 2,
     {{1, 2, -1.0}, {3, 4, -0.5}}},
    {TrigonalBipyramidal,
     "12345" "13245" "14235" "15234" "23145" "24135" "25134" "34125" "35124" "45123", 10, false, false, 4,
     {{1, 2, -1.0}, {3, 4, -0.5}, {3, 5, -0.5}, {4, 5, -0.5}}},
    {SquarePlanarPyramidal,
     "12345" "12354" "12435" "21345" "21354" "21435" "31245" "31254" "31425" "41235" "41253" "41325" "51234"
     "51243" "51324",
     15, false, false, 2, {{2, 4, -1.0}, {3, 5, -1.0}}},
    {Octahedral,
     "123456" "123465" "123546" "132456" "132465" "132546" "142356" "142365" "152346" "162345" "152364" "162354"
     "142536" "152436" "162435",
     15, false, false, 3, {{1, 2, -1.0}, {3, 5, -1.0}, {4, 6, -1.0}}},
    {TrigonalPrismatic, kPrismCandidates.digits, 60, true, true, 6,
     {{1, 5, 1.0}, {1, 6, 1.0}, {2, 4, 1.0}, {2, 6, 1.0}, {3, 4, 1.0}, {3, 5, 1.0}}},
    {TrigonalAntiprismatic,
     "123456" "123465" "123546" "123564" "123645" "123654" "124356" "124365" "124536" "125346" "125364" "125436"
     "142356" "142365" "142536",
     15, true, false, 3, {{1, 4, -1.0}, {2, 5, -1.0}, {3, 6, -1.0}}},
};

const DeviationRule* FindRule(CoordinationGeometryType t) {
    for (const DeviationRule& rule : kRules)
        if (rule.type == t) return &rule;
    return nullptr;
}

}  // namespace

// ---- constraints ---------------------------------------------------------------
GeometryConstraint::~GeometryConstraint() = default;

double GeometryConstraint::GetAngleConstraint(int, int) const { return 0.0; }

double A2GeometryConstraint::GetAngleConstraint(int i, int j) const { return i == 1 && j == 2 ? m_angle : 0.0; }

double TPY3GeometryConstraint::GetAngleConstraint(int i, int j) const {
    if (i == 1 && j == 2) return m_a12;
    if (i == 1 && j == 3) return m_a13;
    if (i == 2 && j == 3) return m_a23;
    return 0.0;
}

double SS4GeometryConstraint::GetAngleConstraint(int i, int j) const { return i == 3 && j == 4 ? m_angle : 0.0; }

// ---- queries -------------------------------------------------------------------
int GetCoordinationNumber(CoordinationGeometryType t) { return InRange(t) ? kCoordinationNumbers[t] : 0; }

CoordinationGeometryType StringToCoordinationGeometry(const CString& name) {
    if (name.IsEmpty()) return NoCoordinationGeometry;
    for (const NameEntry& entry : kNames)
        if (EqualNoCase(name.str(), entry.name)) return entry.type;
    return NoCoordinationGeometry;
}

int GetCoordinates(CoordinationGeometryType t, Point3d::Array& points, const GeometryConstraint* constraint) {
    points.RemoveAll();
    const int n = GetCoordinationNumber(t);
    if (n < 1) return 0;

    if (!constraint) {
        const ReferenceSet& set = kReferences.sets[t];
        if (set.count == 0) return 0;
        points.SetSize(set.count + 1);
        for (int i = 0; i < set.count; ++i) points[i + 1] = Direction(set, i);
        return points.GetSize();
    }

    Point3d directions[4];
    switch (t) {
        case Angular: {
            const double angle = constraint->GetAngleConstraint(1, 2);
            directions[0] = Point3d(1.0, 0.0, 0.0);
            directions[1] = Point3d(std::cos(angle), std::sin(angle), 0.0);
            break;
        }
        case TrigonalPyramidal:
            if (!BuildCone(constraint->GetAngleConstraint(1, 2), constraint->GetAngleConstraint(1, 3),
                           constraint->GetAngleConstraint(2, 3), directions))
                return 0;
            break;
        case SeeSaw: {
            const double angle = constraint->GetAngleConstraint(3, 4);
            const double s = std::sin(angle), c = std::cos(angle);
            directions[0] = Point3d(1.0, 0.0, 0.0);
            directions[1] = Point3d(-1.0, 0.0, 0.0);
            directions[2] = Point3d(0.0, s, c);
            directions[3] = Point3d(0.0, -s, c);
            break;
        }
        default:
            return 0;
    }
    points.SetSize(n + 1);
    for (int i = 0; i < n; ++i) points[i + 1] = directions[i];
    return points.GetSize();
}

double GetCoordinationAngle(CoordinationGeometryType t, int i, int j) {
    if (!InRange(t) || i == j) return 0.0;
    const int n = kCoordinationNumbers[t];
    if (i < 1 || i > n || j < 1 || j > n) return 0.0;
    const ReferenceSet& set = kReferences.sets[t];
    if (set.count != n) return 0.0;
    const double dot = Direction(set, i - 1).Dot(Direction(set, j - 1));
    return std::acos(std::clamp(dot, -1.0, 1.0));
}

double DeviationFromIdealCoordinationGeometry(const Point3d::Array& directions, CoordinationGeometryType t,
                                              IntArray& assignment) {
    const int n = GetCoordinationNumber(t);
    if (n == 0 || directions.GetSize() != n) return -1.0;
    const DeviationRule* rule = FindRule(t);
    if (!rule) return -1.0;

    double c[6][6] = {};
    double sumSquares = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            c[i][j] = c[j][i] = directions[i].Dot(directions[j]);
            sumSquares += c[i][j] * c[i][j];
        }
    double ideal[6][6] = {};
    for (int p = 0; p < rule->numPairs; ++p) {
        const IdealPair& pair = rule->pairs[p];
        ideal[pair.k - 1][pair.l - 1] = ideal[pair.l - 1][pair.k - 1] = pair.cosine;
    }

    int best = 0;
    double bestScore = 0.0;
    for (int candidate = 0; candidate < rule->numCandidates; ++candidate) {
        const char* digits = rule->candidates + static_cast<std::ptrdiff_t>(candidate) * n;
        int ligandAt[6];  // observed ligand (0-based) at each reference position
        for (int i = 0; i < n; ++i) {
            const int d = digits[i] - '1';
            if (rule->ligandToPosition) ligandAt[d] = i;
            else ligandAt[i] = d;
        }
        double score;
        if (rule->prism) {
            // The six pairs across the prism count with their raw cosine; an
            // exact prism scores 2.
            score = sumSquares + 3.0;
            for (int p = 0; p < rule->numPairs; ++p)
                score += c[ligandAt[rule->pairs[p].k - 1]][ligandAt[rule->pairs[p].l - 1]];
        } else {
            score = 0.0;
            for (int k = 0; k < n; ++k)
                for (int l = k + 1; l < n; ++l) {
                    const double diff = c[ligandAt[k]][ligandAt[l]] - ideal[k][l];
                    score += diff * diff;
                }
        }
        // Strictly smaller: on equal scores the earlier candidate stays.
        if (candidate == 0 || score < bestScore) {
            best = candidate;
            bestScore = score;
        }
    }

    const char* digits = rule->candidates + static_cast<std::ptrdiff_t>(best) * n;
    assignment.SetSize(n);
    for (int i = 0; i < n; ++i) assignment[i] = digits[i] - '0';
    return bestScore;
}

double DeviationFromIdealCoordinationGeometry(const Point3d::Array& directions, CoordinationGeometryType t) {
    IntArray discarded;
    return DeviationFromIdealCoordinationGeometry(directions, t, discarded);
}

}  // namespace CoordinationGeometry
}  // namespace Tessary
