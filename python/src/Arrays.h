#pragma once

// NumPy at the module's edge: every array argument goes through these
// readers, which check shape and dtype once (ValueError otherwise) and hand
// the library contiguous Point3d / Color / integer data. An (n, 3) float32
// C-contiguous array is used in place, since Point3d is three packed floats;
// anything else is converted once. Outputs are fresh NumPy arrays written in
// bulk, never per-element Python objects.
//
// One rule for numbers: coordinates, radii, distances, angles and matrix
// elements must be finite; a NaN or infinity raises ValueError naming the
// argument. (Values given to a colour map are data, where NaN is allowed.)

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tessary/color/Color.h"
#include "tessary/frame/CArray.h"
#include "tessary/geometry/Point3d.h"

namespace tessary_python {

namespace py = pybind11;
using Tessary::Color;
using Tessary::Point3d;

// An argument or result passed through as the Python object it is; the tag
// only names it in signatures (help(), stubs, "incompatible arguments"), so
// that they say what the readers below accept instead of "handle".
template <class Tag>
struct Typed {
    Typed() = default;
    Typed(py::object o) : object(std::move(o)) {}  // NOLINT: results convert implicitly
    operator py::handle() const { return object; }
    py::object object;
};

#define TESSARY_PY_TYPED(Type, text)                                             \
    struct Type##Tag {                                                           \
        static constexpr auto name = pybind11::detail::const_name(text);         \
    };                                                                           \
    using Type = Typed<Type##Tag>;
TESSARY_PY_TYPED(PointsArg, "numpy.ndarray[float32, (n, 3)]")
TESSARY_PY_TYPED(PointArg, "Point3d | numpy.ndarray[float64, (3,)]")
TESSARY_PY_TYPED(FloatsArg, "float | numpy.ndarray[float64, (n,)]")
TESSARY_PY_TYPED(ValuesArg, "numpy.ndarray[float64, (n,)]")
TESSARY_PY_TYPED(IdsArg, "int | numpy.ndarray[uint32, (n,)]")
TESSARY_PY_TYPED(ColorsArg, "numpy.ndarray[uint8, (n, 4)]")
TESSARY_PY_TYPED(TrianglesArg, "numpy.ndarray[int32, (m, 3)]")
TESSARY_PY_TYPED(MatrixArg, "numpy.ndarray[float64, (4, 4)]")
TESSARY_PY_TYPED(BoolsArg, "numpy.ndarray[bool, (n,)]")
TESSARY_PY_TYPED(NamesArg, "Iterable[str]")
TESSARY_PY_TYPED(PairsOut, "tuple[numpy.ndarray[int32, (k,)], numpy.ndarray[int32, (k,)]]")
TESSARY_PY_TYPED(DotsOut, "tuple[numpy.ndarray[float32, (n, 3)], numpy.ndarray[uint32, (n,)]]")
TESSARY_PY_TYPED(FitOut, "tuple[numpy.ndarray[float32, (n, 3)], Matrix4x4, float]")
TESSARY_PY_TYPED(DeviationOut, "tuple[float, numpy.ndarray[int32, (n,)]]")
TESSARY_PY_TYPED(RankOut, "list[tuple[Geometry, float]]")
TESSARY_PY_TYPED(ArraysOut, "dict[str, numpy.ndarray]")
#undef TESSARY_PY_TYPED

// Points read from an (n, 3) float32/float64 array, or from anything NumPy
// turns into one. `data` points into the caller's array (no copy) when it is
// float32 and C-contiguous, else into `copy`. Hold the object while `data` is used.
class PointsIn {
public:
    // A call that lets the GIL go asks for a private copy: another thread may
    // write the caller's array meanwhile.
    enum Storage { InPlace, Copied };
    PointsIn(py::handle object, const char* what, Storage storage = InPlace);
    PointsIn(const PointsIn&) = delete;
    PointsIn& operator=(const PointsIn&) = delete;

    const Point3d* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    const Point3d& operator[](std::size_t i) const { return m_data[i]; }
    // A library array holding a copy of the points.
    Point3d::Array ToArray() const;

private:
    py::array m_array;
    std::vector<Point3d> m_copy;
    const Point3d* m_data = nullptr;
    std::size_t m_size = 0;
};

// One point from a Point3d or any sequence of three numbers.
Point3d PointFrom(py::handle object, const char* what);
// A direction: a point that is not the zero vector.
Point3d DirectionFrom(py::handle object, const char* what);
// The number itself when it is finite (and at least `minimum`).
double Finite(double value, const char* what, double minimum = -HUGE_VAL);

// An (n, 3) float32 array, and the points as its writable storage.
py::array_t<float> NewPoints(std::size_t n, Point3d** storage);
py::array_t<float> PointsOut(const Point3d* points, std::size_t n);

// n finite doubles (each at least `minimum`) from a 1-D float array or a scalar (broadcast).
std::vector<double> Doubles(py::handle object, std::size_t n, const char* what, double minimum = -HUGE_VAL);
// n integers from a 1-D integer array or a scalar (broadcast), each within [lo, hi].
std::vector<std::int64_t> Integers(py::handle object, std::size_t n, std::int64_t lo, std::int64_t hi,
                                   const char* what);
// An (n, k) integer array of any length n, each value within [lo, hi]; row-major.
std::vector<std::int64_t> IntegerRows(py::handle object, std::size_t k, std::int64_t lo, std::int64_t hi,
                                      const char* what, std::size_t* rows);
// n colours from an (n, 4) or (n, 3) integer array of bytes, or one colour of
// 3 or 4 bytes for all; three bytes leave A at 0 (opaque).
std::vector<Color> Colors(py::handle object, std::size_t n, const char* what);
py::array_t<std::uint8_t> ColorsOut(const Color* colors, std::size_t n);

// A 1-D int32 array taking over the library array's storage (no copy).
py::array_t<int> TakeInts(Tessary::IntArray&& values);

// The ValueError every reader raises: "<what>: <message>".
[[noreturn]] void Fail(const char* what, const std::string& message);

}  // namespace tessary_python

namespace pybind11::detail {
template <class Tag>
struct type_caster<tessary_python::Typed<Tag>> {
    PYBIND11_TYPE_CASTER(tessary_python::Typed<Tag>, Tag::name);
    bool load(handle src, bool) {
        if (!src) return false;
        value.object = reinterpret_borrow<object>(src);
        return true;
    }
    static handle cast(const tessary_python::Typed<Tag>& src, return_value_policy, handle) {
        return src.object.inc_ref();
    }
};
}  // namespace pybind11::detail
