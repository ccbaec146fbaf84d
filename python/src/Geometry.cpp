// Point3d, Matrix4x4, bulk transformation and least-squares superposition.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>

#include "Arrays.h"
#include "Module.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/RMSBestFit.h"

namespace tessary_python {

using Tessary::Matrix4x4;

namespace {

struct AxisTag {
    static constexpr auto name = py::detail::const_name("str | Point3d | numpy.ndarray[float64, (3,)]");
};

Matrix4x4 MatrixFrom(py::handle values) {
    const py::array a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!a || a.ndim() != 2 || a.shape(0) != 4 || a.shape(1) != 4) Fail("values", "expected a (4, 4) array of numbers");
    const auto* v = static_cast<const double*>(a.data());
    for (int i = 0; i < 16; ++i) Finite(v[i], "values");
    return Matrix4x4(v);
}

std::string Repr(const Point3d& p) {
    std::ostringstream s;
    s << "Point3d(" << p.GetX() << ", " << p.GetY() << ", " << p.GetZ() << ")";
    return s.str();
}

std::string Repr(const Matrix4x4& m) {
    std::ostringstream s;
    s << "Matrix4x4([";
    for (int i = 0; i < 4; ++i) {
        s << (i ? ", [" : "[");
        for (int j = 0; j < 4; ++j) s << (j ? ", " : "") << m.Get(i, j);
        s << "]";
    }
    s << "])";
    return s.str();
}

Matrix4x4 Rotation(py::handle axis, double degrees, py::handle centre) {
    Finite(degrees, "degrees");
    Matrix4x4 m(Matrix4x4::IdentityMatrix);
    if (py::isinstance<py::str>(axis)) {
        const std::string name = axis.cast<std::string>();
        if (!centre.is_none()) Fail("centre", "a rotation about a named axis turns about the origin");
        if (name != "x" && name != "y" && name != "z") Fail("axis", "expected 'x', 'y', 'z' or a vector");
        return m.SetRotation(static_cast<Tessary::Axis>(name[0] - 'x'), degrees);
    }
    const Point3d direction = DirectionFrom(axis, "axis");
    if (centre.is_none()) return m.SetRotation(direction, degrees);
    return m.SetRotation(direction, PointFrom(centre, "centre"), degrees);
}

// A writable, C-contiguous (n, 3) float32 array, transformed where it lies.
// The GIL stays held: the array is the caller's, and another thread may
// transform or read it too; each call then works on it whole, in turn.
void TransformInPlace(const Matrix4x4& m, py::array points) {
    if (points.ndim() != 2 || points.shape(1) != 3 || points.dtype().kind() != 'f' || points.itemsize() != 4 ||
        !(points.flags() & py::array::c_style) || !points.writeable())
        Fail("points", "transforming in place needs a writable C-contiguous (n, 3) float32 array");
    auto* data = static_cast<Point3d*>(points.mutable_data());
    const auto n = static_cast<std::size_t>(points.shape(0));
    m.Transform(data, n);
}

// The (n, 3) points transformed into a new array. The input and the matrix
// are copied with the GIL held (other threads may change them); the
// transformation of the copy, which no other thread can reach, runs without it.
py::array_t<float> Transform(const Matrix4x4& t, py::handle points) {
    const PointsIn in(points, "points");
    Point3d* out = nullptr;
    py::array_t<float> result = NewPoints(in.size(), &out);
    if (in.size()) std::memcpy(out, in.data(), in.size() * sizeof(Point3d));
    const Matrix4x4 m = t;
    py::gil_scoped_release release;
    m.Transform(out, in.size());
    return result;
}

// True when rows 0-2 hold a proper rotation (orthonormal, determinant +1) and row 3 is finite.
bool IsMotion(const Matrix4x4& m) {
    constexpr double kTolerance = 1e-3;
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(m.Get(3, i))) return false;
        for (int j = 0; j < 3; ++j) {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k) dot += m.Get(i, k) * m.Get(j, k);
            if (!(std::fabs(dot - (i == j ? 1.0 : 0.0)) < kTolerance)) return false;
        }
    }
    const double det = m.Get(0, 0) * (m.Get(1, 1) * m.Get(2, 2) - m.Get(1, 2) * m.Get(2, 1)) -
                       m.Get(0, 1) * (m.Get(1, 0) * m.Get(2, 2) - m.Get(1, 2) * m.Get(2, 0)) +
                       m.Get(0, 2) * (m.Get(1, 0) * m.Get(2, 1) - m.Get(1, 1) * m.Get(2, 0));
    return det > 0;
}

// The superposition of a onto b applied to c (or to a). The library moves
// one array, so c, a and four reference points travel together: the moved a
// gives the RMSD and the moved references give the matrix.
FitOut Superpose(py::handle a, py::handle b, py::handle c, bool iterative) {
    const PointsIn pa(a, "a");
    const PointsIn pb(b, "b");
    if (pa.size() == 0) Fail("a", "no points to fit");
    if (pb.size() != pa.size())
        Fail("b", "expected " + std::to_string(pa.size()) + " points like a, got " + std::to_string(pb.size()));
    std::optional<PointsIn> pc;
    if (!c.is_none()) pc.emplace(c, "c");
    const std::size_t nc = pc ? pc->size() : 0;
    const std::size_t na = pa.size();
    // A power of two keeps the references exact; their spread, 1024 times
    // the largest coordinate, keeps the rotation read from them accurate
    // next to a translation of any size float32 holds.
    float largest = 1.0f;
    for (const PointsIn* set : {&pa, &pb})
        for (std::size_t i = 0; i < set->size(); ++i)
            for (int k = 0; k < 3; ++k) largest = std::max(largest, std::fabs((*set)[i][k]));
    const double kReach = std::ldexp(1.0, std::min(std::ilogb(largest) + 11, 120));
    const Point3d references[4] = {Point3d(0, 0, 0), Point3d(kReach, 0, 0), Point3d(0, kReach, 0),
                                   Point3d(0, 0, kReach)};

    const Point3d::Array arrayA = pa.ToArray();
    const Point3d::Array arrayB = pb.ToArray();
    Point3d::Array moved;
    moved.SetSize(static_cast<int>(nc + na + 4));
    Point3d* out = moved.GetData();
    if (nc) std::memcpy(out, pc->data(), nc * sizeof(Point3d));
    std::memcpy(out + nc, pa.data(), na * sizeof(Point3d));
    std::memcpy(out + nc + na, references, sizeof references);

    bool found = true;
    {
        py::gil_scoped_release release;
        if (iterative)
            Tessary::RMSBestFit(arrayA, arrayB, moved);
        else
            found = Tessary::RMSBestFitTools::FindAndApplyTransformation(arrayA, arrayB, moved);
    }
    out = moved.GetData();
    double sum = 0.0;
    for (std::size_t i = 0; i < na; ++i) sum += out[nc + i].Distance2(pb[i]);
    const double rmsd = std::sqrt(sum / static_cast<double>(na));

    const Point3d* image = out + nc + na;
    Matrix4x4 m(Matrix4x4::IdentityMatrix);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m.Set(i, j, (double(image[i + 1][j]) - image[0][j]) / kReach);
        m.Set(3, i, image[0][i]);
    }
    // Coordinates near the float32 limit overflow inside the fit.
    if (!found || !std::isfinite(rmsd) || !IsMotion(m))
        throw py::value_error("superposition failed: the coordinates are too large to fit in float32");
    return py::reinterpret_steal<py::object>(
        py::make_tuple(pc ? PointsOut(out, nc) : PointsOut(out + nc, na), m, rmsd).release());
}

}  // namespace

void RegisterGeometry(py::module_& m) {
    py::class_<Point3d>(m, "Point3d", "A 3D point or vector, stored as three float32 values.")
        .def(py::init<double, double, double>(), py::arg("x") = 0.0, py::arg("y") = 0.0, py::arg("z") = 0.0,
             "A point; coordinates are rounded to float32.")
        .def_readwrite("x", &Point3d::x, "x coordinate")
        .def_readwrite("y", &Point3d::y, "y coordinate")
        .def_readwrite("z", &Point3d::z, "z coordinate")
        .def("__repr__", [](const Point3d& p) { return Repr(p); }, "Point3d(x, y, z).")
        .def("__eq__", [](const Point3d& a, const Point3d& b) { return a == b; }, py::is_operator(),
             "Equal within the smallest normal float (sum of absolute differences).")
        .def("__add__", [](const Point3d& a, const Point3d& b) { return a + b; }, py::is_operator(), "Sum.")
        .def("__add__", [](const Point3d& a, double s) { return a + s; }, py::is_operator(), "s added to each coordinate.")
        .def("__sub__", [](const Point3d& a, const Point3d& b) { return a - b; }, py::is_operator(), "Difference.")
        .def("__sub__", [](const Point3d& a, double s) { return a - s; }, py::is_operator(), "s taken from each coordinate.")
        .def("__mul__", [](const Point3d& a, const Point3d& b) { return a * b; }, py::is_operator(),
             "Component-wise product (not a dot or cross product).")
        .def("__mul__", [](const Point3d& a, double s) { return a * s; }, py::is_operator(), "Scaled by s.")
        .def("__mul__", [](const Point3d& p, const Matrix4x4& t) { return p * t; }, py::is_operator(),
             "The point transformed by the matrix (row vector times matrix).")
        .def("__rmul__", [](const Point3d& a, double s) { return a * s; }, py::is_operator(), "Scaled by s.")
        .def("__truediv__", [](const Point3d& a, const Point3d& b) { return a / b; }, py::is_operator(),
             "Component-wise quotient; unchanged unless every divisor component is non-zero.")
        .def("__truediv__", [](const Point3d& a, double s) { return a / s; }, py::is_operator(),
             "Quotient; unchanged when s is zero.")
        .def("__neg__", [](const Point3d& a) { return -a; }, "The opposite vector.")
        .def("dot", &Point3d::Dot, py::arg("other"), "Dot product.")
        .def("cross", &Point3d::Cross, py::arg("other"), "Cross product self x other.")
        .def("length", &Point3d::Length, "Euclidean length.")
        .def("distance", &Point3d::Distance, py::arg("other"), "Distance to another point.")
        .def("normalized", [](Point3d p) { return p.Normalize(); }, "A unit vector copy; a zero vector stays zero.")
        .def("to_numpy", [](const Point3d& p) { return py::array_t<float>(3, &p.x); },
             "The coordinates as a new (3,) float32 array.")
        .def(py::pickle([](const Point3d& p) { return py::make_tuple(p.x, p.y, p.z); },
                        [](const py::tuple& t) {
                            if (t.size() != 3) Fail("state", "expected (x, y, z)");
                            return Point3d(t[0].cast<float>(), t[1].cast<float>(), t[2].cast<float>());
                        }));

    py::class_<Matrix4x4>(m, "Matrix4x4", py::buffer_protocol(),
                          "A 4x4 homogeneous transformation of row vectors (p' = p * M): rows 0-2 hold the "
                          "linear part, row 3 the translation. numpy.asarray(m) is a writable (4, 4) float64 view.")
        .def(py::init([](std::optional<MatrixArg> values) {
                 return values ? MatrixFrom(*values) : Matrix4x4(Matrix4x4::IdentityMatrix);
             }),
             py::arg("values") = py::none(), "The identity, or a copy of a (4, 4) array of finite numbers.")
        .def_buffer([](Matrix4x4& t) {
            return py::buffer_info(static_cast<double*>(t), sizeof(double), py::format_descriptor<double>::format(), 2,
                                   {4, 4}, {4 * sizeof(double), sizeof(double)});
        })
        .def_static(
            "from_rotation",
            [](const Typed<AxisTag>& axis, double degrees, std::optional<PointArg> centre) {
                return Rotation(axis, degrees, centre ? centre->object : py::object(py::none()));
            },
            py::arg("axis"), py::arg("degrees"), py::arg("centre") = py::none(),
            "Rotation by degrees (right-hand rule) about 'x', 'y', 'z' or a vector (non-zero, any length); "
            "with a centre, about the axis through that point. ValueError for a zero or non-finite axis.")
        .def_static("from_translation",
                    [](const PointArg& t) { return Matrix4x4(Matrix4x4::IdentityMatrix).SetTranslation(PointFrom(t, "t")); },
                    py::arg("t"), "The identity with translation t.")
        .def_static("from_to",
                    [](const PointArg& a, const PointArg& b) {
                        return Matrix4x4(Matrix4x4::IdentityMatrix).SetRotation(DirectionFrom(a, "a"), DirectionFrom(b, "b"));
                    },
                    py::arg("a"), py::arg("b"),
                    "The rotation turning direction a onto direction b (ValueError for a zero vector).")
        .def_property(
            "translation", [](const Matrix4x4& t) { return t.GetTranslation(); },
            [](Matrix4x4& t, const PointArg& v) {
                const Point3d p = PointFrom(v, "translation");
                t.Set(3, 0, p.GetX()).Set(3, 1, p.GetY()).Set(3, 2, p.GetZ());
            },
            "Row 3 (the translation); setting it keeps the rest of the matrix.")
        .def("__matmul__", [](const Matrix4x4& a, const Matrix4x4& b) { return a * b; }, py::is_operator(),
             "Product a @ b: applied to points, a acts first, then b.")
        .def("__mul__", [](const Matrix4x4& a, const Matrix4x4& b) { return a * b; }, py::is_operator(),
             "Same as a @ b.")
        .def("__mul__", [](const Matrix4x4& a, double s) { return a * s; }, py::is_operator(), "Every element times s.")
        .def("__repr__", [](const Matrix4x4& t) { return Repr(t); }, "Matrix4x4([[...], ...]) row by row.")
        .def("inverse", [](Matrix4x4 t) { return t.Invert(); }, "The inverse; a singular matrix comes back unchanged.")
        .def("transposed", [](Matrix4x4 t) { return t.Transpose(); }, "The transpose.")
        .def("determinant", &Matrix4x4::Determinant, "The determinant.")
        .def("to_numpy", [](const Matrix4x4& t) { return py::array_t<double>({4, 4}, static_cast<const double*>(t)); },
             "A (4, 4) float64 copy.")
        .def(
            "transform", [](const Matrix4x4& t, const PointsArg& points) { return Transform(t, points); },
            py::arg("points"),
            "The (n, 3) points transformed (projectively, w-divided) into a new float32 array; the input "
            "is not changed. A point without a finite image becomes float32 max in every coordinate.")
        .def("transform_inplace", &TransformInPlace, py::arg("points"),
             "Transforms a writable C-contiguous (n, 3) float32 array where it lies (no copy), holding the GIL.")
        .def(py::pickle([](const Matrix4x4& t) { return py::array_t<double>({4, 4}, static_cast<const double*>(t)); },
                        [](const py::array_t<double>& values) { return MatrixFrom(values); }));

    m.def(
        "superpose",
        [](const PointsArg& a, const PointsArg& b, std::optional<PointsArg> c) {
            return Superpose(a, b, c ? c->object : py::object(py::none()), false);
        },
        py::arg("a"),
        py::arg("b"), py::arg("c") = py::none(),
        "Closed-form least-squares fit of the (n, 3) points a onto the matched points b (proper rotation "
        "then translation, reflections not tested). Returns (moved, matrix, rmsd): c (or a when c is None) "
        "moved by the fit as a new float32 array, the fit as a Matrix4x4, and the RMSD of moved a from b. "
        "Inputs are copied. ValueError for mismatched or empty sets, non-finite coordinates, and coordinates "
        "so large that the fit overflows float32.");
    m.def(
        "rms_best_fit",
        [](const PointsArg& a, const PointsArg& b, std::optional<PointsArg> c) {
            return Superpose(a, b, c ? c->object : py::object(py::none()), true);
        },
        py::arg("a"), py::arg("b"), py::arg("c") = py::none(),
        "Iterative fit of a onto b (rotations about the axes in turn until the fit stops improving): close "
        "to, not exactly, the closed-form result. Returns (moved, matrix, rmsd) like superpose.");
}

}  // namespace tessary_python
