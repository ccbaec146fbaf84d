// NeighborList over point arrays, and the coordination-geometry measures.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "Arrays.h"
#include "Guarded.h"
#include "Module.h"
#include "tessary/chemistry/CoordinationGeometry.h"
#include "tessary/chemistry/NeighborList.h"

namespace tessary_python {

using Tessary::IntArray;
using Tessary::NeighborList;
namespace CG = Tessary::CoordinationGeometry;

namespace {

// The list and the count the library does not hand back, shared by the
// Python threads that reach the object.
struct NeighborState {
    NeighborState(double cutoff, int hashSize) : list(cutoff, hashSize) {}
    NeighborList list;
    std::size_t count = 0;
};

class PyNeighborList {
public:
    PyNeighborList(double cutoff, int hashSize) : m_cutoff(cutoff), m_state(cutoff, hashSize) {}
    double Cutoff() const { return m_cutoff; }
    Guarded<NeighborState>& State() { return m_state; }
    const Guarded<NeighborState>& State() const { return m_state; }

private:
    const double m_cutoff;
    Guarded<NeighborState> m_state;
};

int HashSize(std::size_t points) {
    return static_cast<int>(std::clamp<std::size_t>(points / 2, 1024, std::numeric_limits<int>::max()));
}

double Cutoff(double cutoff) {
    if (Finite(cutoff, "cutoff") <= 0) Fail("cutoff", "must be positive, got " + std::to_string(cutoff));
    return cutoff;
}

// Adds the points (a private copy) without the GIL; the number of the first.
std::size_t AddPoints(PyNeighborList& self, const PointsIn& points) {
    return self.State().WriteReleased([&](NeighborState& s) {
        if (s.count + points.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            Fail("points", "a neighbour list numbers at most 2^31 - 1 points");
        for (std::size_t i = 0; i < points.size(); ++i) s.list.Add(points[i]);
        const std::size_t first = s.count;
        s.count += points.size();
        return first;
    });
}

// The search radius: the cutoff by default; above it the grid would miss neighbours.
double Radius(const PyNeighborList& self, std::optional<double> radius) {
    if (!radius) return self.Cutoff();
    Finite(*radius, "radius", 0.0);
    if (*radius > self.Cutoff())
        Fail("radius", "the list finds neighbours within its cutoff (" + std::to_string(self.Cutoff()) +
                           ") only; make a list with a larger cutoff");
    return *radius;
}

PairsOut IntPair(IntArray&& a, IntArray&& b) {
    return py::reinterpret_steal<py::object>(py::make_tuple(TakeInts(std::move(a)), TakeInts(std::move(b))).release());
}

PairsOut Pairs(const PyNeighborList& self) {
    std::pair<IntArray, IntArray> found = self.State().ReadReleased([](const NeighborState& s) {
        std::pair<IntArray, IntArray> out;
        s.list.GetPairs(out.first, out.second);
        return out;
    });
    return IntPair(std::move(found.first), std::move(found.second));
}

// Every (query, point) pair within radius, for many query points.
PairsOut NeighborsOf(const PyNeighborList& self, const PointsArg& queries, std::optional<double> radius) {
    const PointsIn q(queries, "points", PointsIn::Copied);
    const double r = Radius(self, radius);
    std::pair<IntArray, IntArray> found = self.State().ReadReleased([&](const NeighborState& s) {
        std::pair<IntArray, IntArray> out;
        for (std::size_t i = 0; i < q.size(); ++i) {
            const int before = out.second.GetSize();
            s.list.GetNeighbors(q[i], r, out.second);
            for (int k = before; k < out.second.GetSize(); ++k) out.first.Add(static_cast<int>(i));
        }
        return out;
    });
    return IntPair(std::move(found.first), std::move(found.second));
}

// The directions made unit vectors, as the measures expect; zero vectors have no direction.
Tessary::Point3d::Array UnitDirections(const PointsArg& directions) {
    const PointsIn d(directions, "directions");
    Tessary::Point3d::Array out = d.ToArray();
    for (int i = 0; i < out.GetSize(); ++i) {
        const double length = out[i].Length();
        if (!(length > 0)) Fail("directions", "direction " + std::to_string(i) + " is the zero vector");
        out[i] = out[i] / length;
    }
    return out;
}

DeviationOut Deviation(const PointsArg& directions, CG::CoordinationGeometryType type) {
    const Tessary::Point3d::Array d = UnitDirections(directions);
    const int n = CG::GetCoordinationNumber(type);
    if (n == 0) Fail("geometry", "not a coordination geometry");
    if (d.GetSize() != n)
        Fail("directions", "expected " + std::to_string(n) + " ligand directions, got " + std::to_string(d.GetSize()));
    IntArray assignment;
    const double score = CG::DeviationFromIdealCoordinationGeometry(d, type, assignment);
    if (score < 0) Fail("geometry", "no deviation measure for this geometry");
    return py::reinterpret_steal<py::object>(py::make_tuple(score, TakeInts(std::move(assignment))).release());
}

// Every geometry with as many ligands as there are directions, best first.
RankOut Rank(const PointsArg& directions) {
    const Tessary::Point3d::Array points = UnitDirections(directions);
    std::vector<std::pair<double, int>> scores;
    for (int t = 1; t < CG::kNumCoordinationGeometryTypes; ++t) {
        const auto type = static_cast<CG::CoordinationGeometryType>(t);
        if (CG::GetCoordinationNumber(type) != points.GetSize()) continue;
        const double score = CG::DeviationFromIdealCoordinationGeometry(points, type);
        if (score >= 0) scores.emplace_back(score, t);
    }
    std::stable_sort(scores.begin(), scores.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    py::list out;
    for (const auto& s : scores) out.append(py::make_tuple(static_cast<CG::CoordinationGeometryType>(s.second), s.first));
    return py::reinterpret_steal<py::object>(out.release());
}

void RegisterCoordination(py::module_& parent) {
    py::module_ m = parent.def_submodule(
        "coordination", "Ideal coordination polyhedra: names, coordination numbers, reference ligand "
                        "directions and the deviation of observed ligand directions from them.");
    py::enum_<CG::CoordinationGeometryType> type(m, "Geometry", "The coordination geometry types (fixed numbers).");
#define TESSARY_PY_GEOMETRY(name) type.value(#name, CG::name);
    TESSARY_PY_GEOMETRY(NoCoordinationGeometry) TESSARY_PY_GEOMETRY(Linear) TESSARY_PY_GEOMETRY(Angular)
    TESSARY_PY_GEOMETRY(AngularTrigonalPlanar) TESSARY_PY_GEOMETRY(AngularSquarePlanar)
    TESSARY_PY_GEOMETRY(TrigonalPlanar) TESSARY_PY_GEOMETRY(TrigonalPyramidal)
    TESSARY_PY_GEOMETRY(TrigonalPyramidalTrigonalBipyramidal) TESSARY_PY_GEOMETRY(TrigonalPyramidalOctahedral)
    TESSARY_PY_GEOMETRY(TShaped) TESSARY_PY_GEOMETRY(Tetrahedral) TESSARY_PY_GEOMETRY(SquarePlanar)
    TESSARY_PY_GEOMETRY(SquarePyramidal) TESSARY_PY_GEOMETRY(TrigonalPlanarPyramidal) TESSARY_PY_GEOMETRY(SeeSaw)
    TESSARY_PY_GEOMETRY(SeeSawTrigonalBipyramidal) TESSARY_PY_GEOMETRY(TrigonalBipyramidal)
    TESSARY_PY_GEOMETRY(SquarePlanarPyramidal) TESSARY_PY_GEOMETRY(Octahedral) TESSARY_PY_GEOMETRY(TrigonalPrismatic)
    TESSARY_PY_GEOMETRY(TrigonalAntiprismatic) TESSARY_PY_GEOMETRY(TrigonalAntiprismaticStretched)
    TESSARY_PY_GEOMETRY(PentagonalPlanarPyramidal) TESSARY_PY_GEOMETRY(PentagonalBipyramidal)
    TESSARY_PY_GEOMETRY(OctahedralFaceMonocapped) TESSARY_PY_GEOMETRY(TrigonalPrismaticSquareFaceMonocapped)
    TESSARY_PY_GEOMETRY(Cubic) TESSARY_PY_GEOMETRY(SquareAntiprismatic) TESSARY_PY_GEOMETRY(Dodecahedral)
    TESSARY_PY_GEOMETRY(HexagonalBipyramidal) TESSARY_PY_GEOMETRY(HeptagonalBipyramidal)
#undef TESSARY_PY_GEOMETRY

    m.def(
        "from_name",
        [](const std::string& name) {
            const CG::CoordinationGeometryType t = CG::StringToCoordinationGeometry(name);
            if (t == CG::NoCoordinationGeometry) Fail("name", "unknown coordination geometry '" + name + "'");
            return t;
        },
        py::arg("name"), "The geometry of a name such as 'tetrahedral' or 't4' (any letter case); ValueError if unknown.");
    m.def("coordination_number", &CG::GetCoordinationNumber, py::arg("geometry"),
          "The number of ligands of the geometry.");
    m.def(
        "reference_coordinates",
        [](CG::CoordinationGeometryType t) {
            Tessary::Point3d::Array points;
            CG::GetCoordinates(t, points);
            return PointsOut(points.GetData(), static_cast<std::size_t>(points.GetSize()));
        },
        py::arg("geometry"),
        "A new (n + 1, 3) float32 array: the central atom at the origin, then the n ideal ligand "
        "directions; empty for a geometry without reference directions.");
    m.def("angle", &CG::GetCoordinationAngle, py::arg("geometry"), py::arg("i"), py::arg("j"),
          "The ideal angle in radians between ligands i and j (1-based); 0 when i == j or out of range.");
    m.def("deviation", &Deviation, py::arg("directions"), py::arg("geometry"),
          "How far the (n, 3) ligand directions (vectors from the central atom; copied and made unit "
          "vectors, as the measure expects; ValueError for a zero or non-finite vector) deviate from the "
          "ideal geometry: 0 for an exact match. Returns (score, assignment), the assignment a 1-based int32 "
          "array (for most geometries the observed ligand at each reference position). ValueError when n is "
          "not the geometry's coordination number or the geometry has no measure.");
    m.def("rank", &Rank, py::arg("directions"),
          "[(geometry, score), ...] for every geometry with as many ligands as directions, best (lowest) "
          "first; the directions are made unit vectors like deviation's.");
}

}  // namespace

void RegisterChemistry(py::module_& m) {
    py::class_<PyNeighborList>(m, "NeighborList",
                               "Points within a cutoff of each other, on a sparse grid of cutoff-sized cells. "
                               "Points are numbered from 0 in the order they are added; coordinates must be "
                               "finite (ValueError otherwise). add, pairs and neighbors_of run without the GIL; "
                               "threads may share a list: searches run together, an add waits for them and they "
                               "for it, so each call sees the list as it stood before or after any other.")
        .def(py::init([](double cutoff, std::optional<PointsArg> points) {
                 std::optional<PointsIn> in;
                 if (points) in.emplace(*points, "points", PointsIn::Copied);
                 auto self = std::make_unique<PyNeighborList>(Cutoff(cutoff), HashSize(in ? in->size() : 0));
                 if (in) AddPoints(*self, *in);
                 return self;
             }),
             py::arg("cutoff"), py::arg("points") = py::none(),
             "A list with the given cutoff (positive and finite), optionally filled with (n, 3) points.")
        .def(
            "add",
            [](PyNeighborList& self, const PointsArg& points) {
                return AddPoints(self, PointsIn(points, "points", PointsIn::Copied));
            },
            py::arg("points"), "Adds (n, 3) points; returns the number of the first of them.")
        .def("__len__", [](const PyNeighborList& self) { return self.State().Read([](const NeighborState& s) { return s.count; }); },
             "The number of points added.")
        .def_property_readonly("cutoff", &PyNeighborList::Cutoff, "The cutoff.")
        .def("pairs", &Pairs,
             "Every pair of points closer than the cutoff, once, as two int32 arrays (first, second) of "
             "equal length; the arrays take over the library's results without a copy.")
        .def(
            "neighbors",
            [](const PyNeighborList& self, const PointArg& point, std::optional<double> radius) {
                const Tessary::Point3d p = PointFrom(point, "point");
                const double r = Radius(self, radius);
                return TakeInts(self.State().Read([&](const NeighborState& s) {
                    IntArray found;
                    s.list.GetNeighbors(p, r, found);
                    return found;
                }));
            },
            py::arg("point"), py::arg("radius") = py::none(),
            "The numbers (int32) of the points closer than radius to one point. The radius defaults to the "
            "cutoff, the largest one the grid searches completely: ValueError above it.")
        .def("neighbors_of", &NeighborsOf, py::arg("points"), py::arg("radius") = py::none(),
             "For (m, 3) query points, every (query, point) pair closer than radius (at most the cutoff, "
             "which is the default), as two int32 arrays (query numbers, point numbers), grouped by query.");
    m.def(
        "neighbor_pairs",
        [](const PointsArg& points, double cutoff) {
            // The list is this call's own: no other thread can reach it.
            const PointsIn in(points, "points", PointsIn::Copied);
            PyNeighborList self(Cutoff(cutoff), HashSize(in.size()));
            AddPoints(self, in);
            return Pairs(self);
        },
        py::arg("points"), py::arg("cutoff"),
        "Every pair of the (n, 3) points closer than cutoff, as two int32 arrays (first, second): "
        "NeighborList(cutoff, points).pairs() in one call.");
    RegisterCoordination(m);
}

}  // namespace tessary_python
