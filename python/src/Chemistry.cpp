// NeighborList over point arrays, and the coordination-geometry measures.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "Arrays.h"
#include "Module.h"
#include "tessary/chemistry/CoordinationGeometry.h"
#include "tessary/chemistry/NeighborList.h"

namespace tessary_python {

using Tessary::IntArray;
using Tessary::NeighborList;
namespace CG = Tessary::CoordinationGeometry;

namespace {

// The list and the two numbers the library does not hand back.
struct PyNeighborList {
    PyNeighborList(double cutoff, int hashSize) : list(cutoff, hashSize), cutoff(cutoff) {}
    NeighborList list;
    double cutoff;
    std::size_t count = 0;
};

int HashSize(std::size_t points) {
    return static_cast<int>(std::clamp<std::size_t>(points / 2, 1024, std::numeric_limits<int>::max()));
}

void AddPoints(PyNeighborList& self, const PointsIn& points) {
    if (self.count + points.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        Fail("points", "a neighbour list numbers at most 2^31 - 1 points");
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < points.size(); ++i) self.list.Add(points[i]);
    self.count += points.size();
}

double Radius(const PyNeighborList& self, py::handle radius) {
    return radius.is_none() ? self.cutoff : radius.cast<double>();
}

py::tuple Pairs(const PyNeighborList& self) {
    IntArray first, second;
    {
        py::gil_scoped_release release;
        self.list.GetPairs(first, second);
    }
    return py::make_tuple(TakeInts(std::move(first)), TakeInts(std::move(second)));
}

// Every (query, point) pair within radius, for many query points.
py::tuple NeighborsOf(const PyNeighborList& self, py::handle queries, py::handle radius) {
    const PointsIn q(queries, "points");
    const double r = Radius(self, radius);
    IntArray query, found;
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < q.size(); ++i) {
            const int before = found.GetSize();
            self.list.GetNeighbors(q[i], r, found);
            for (int k = before; k < found.GetSize(); ++k) query.Add(static_cast<int>(i));
        }
    }
    return py::make_tuple(TakeInts(std::move(query)), TakeInts(std::move(found)));
}

std::size_t CheckDirections(const PointsIn& directions, CG::CoordinationGeometryType type) {
    const int n = CG::GetCoordinationNumber(type);
    if (n == 0) Fail("geometry", "not a coordination geometry");
    if (directions.size() != static_cast<std::size_t>(n))
        Fail("directions", "expected " + std::to_string(n) + " ligand directions, got " +
                               std::to_string(directions.size()));
    return static_cast<std::size_t>(n);
}

py::tuple Deviation(py::handle directions, CG::CoordinationGeometryType type) {
    const PointsIn d(directions, "directions");
    CheckDirections(d, type);
    IntArray assignment;
    const double score = CG::DeviationFromIdealCoordinationGeometry(d.ToArray(), type, assignment);
    if (score < 0) Fail("geometry", "no deviation measure for this geometry");
    return py::make_tuple(score, TakeInts(std::move(assignment)));
}

// Every geometry with as many ligands as there are directions, best first.
py::list Rank(py::handle directions) {
    const PointsIn d(directions, "directions");
    const Tessary::Point3d::Array points = d.ToArray();
    std::vector<std::pair<double, int>> scores;
    for (int t = 1; t < CG::kNumCoordinationGeometryTypes; ++t) {
        const auto type = static_cast<CG::CoordinationGeometryType>(t);
        if (static_cast<std::size_t>(CG::GetCoordinationNumber(type)) != d.size()) continue;
        const double score = CG::DeviationFromIdealCoordinationGeometry(points, type);
        if (score >= 0) scores.emplace_back(score, t);
    }
    std::stable_sort(scores.begin(), scores.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    py::list out;
    for (const auto& s : scores) out.append(py::make_tuple(static_cast<CG::CoordinationGeometryType>(s.second), s.first));
    return out;
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
          "How far the (n, 3) ligand directions (unit vectors from the central atom; copied) deviate from the "
          "ideal geometry: 0 for an exact match. Returns (score, assignment), the assignment a 1-based int32 "
          "array (for most geometries the observed ligand at each reference position). ValueError when n is "
          "not the geometry's coordination number or the geometry has no measure.");
    m.def("rank", &Rank, py::arg("directions"),
          "[(geometry, score), ...] for every geometry with as many ligands as directions, best (lowest) first.");
}

}  // namespace

void RegisterChemistry(py::module_& m) {
    py::class_<PyNeighborList>(m, "NeighborList",
                               "Points within a cutoff of each other, on a sparse grid of cutoff-sized cells. "
                               "Points are numbered from 0 in the order they are added; a point with a non-finite "
                               "coordinate gets a number but is never found. The searches release the GIL: do not "
                               "add points from another thread meanwhile.")
        .def(py::init([](double cutoff, py::handle points) {
                 std::optional<PointsIn> in;
                 if (!points.is_none()) in.emplace(points, "points");
                 auto self = std::make_unique<PyNeighborList>(cutoff, HashSize(in ? in->size() : 0));
                 if (in) AddPoints(*self, *in);
                 return self;
             }),
             py::arg("cutoff"), py::arg("points") = py::none(),
             "A list with the given cutoff (nothing is ever found unless it is positive and finite), "
             "optionally filled with (n, 3) points (float32 C-contiguous input is read in place).")
        .def(
            "add",
            [](PyNeighborList& self, py::handle points) {
                const PointsIn in(points, "points");
                const std::size_t first = self.count;
                AddPoints(self, in);
                return first;
            },
            py::arg("points"), "Adds (n, 3) points; returns the number of the first of them.")
        .def("__len__", [](const PyNeighborList& self) { return self.count; }, "The number of points added.")
        .def_property_readonly("cutoff", [](const PyNeighborList& self) { return self.cutoff; }, "The cutoff.")
        .def("pairs", &Pairs,
             "Every pair of points closer than the cutoff, once, as two int32 arrays (first, second) of "
             "equal length; the arrays take over the library's results without a copy.")
        .def(
            "neighbors",
            [](const PyNeighborList& self, py::handle point, py::handle radius) {
                IntArray found;
                self.list.GetNeighbors(PointFrom(point, "point"), Radius(self, radius), found);
                return TakeInts(std::move(found));
            },
            py::arg("point"), py::arg("radius") = py::none(),
            "The numbers (int32) of the points closer than radius (default: the cutoff, which is also the "
            "largest radius searched completely) to one point.")
        .def("neighbors_of", &NeighborsOf, py::arg("points"), py::arg("radius") = py::none(),
             "For (m, 3) query points, every (query, point) pair closer than radius, as two int32 arrays "
             "(query numbers, point numbers), grouped by query.");
    m.def(
        "neighbor_pairs",
        [](py::handle points, double cutoff) {
            const PointsIn in(points, "points");
            PyNeighborList self(cutoff, HashSize(in.size()));
            AddPoints(self, in);
            return Pairs(self);
        },
        py::arg("points"), py::arg("cutoff"),
        "Every pair of the (n, 3) points closer than cutoff, as two int32 arrays (first, second): "
        "NeighborList(cutoff, points).pairs() in one call.");
    RegisterCoordination(m);
}

}  // namespace tessary_python
