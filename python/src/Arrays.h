#pragma once

// NumPy at the module's edge: every array argument goes through these
// readers, which check shape and dtype once (ValueError otherwise) and hand
// the library contiguous Point3d / Color / integer data. An (n, 3) float32
// C-contiguous array is used in place, since Point3d is three packed floats;
// anything else is converted once. Outputs are fresh NumPy arrays written in
// bulk, never per-element Python objects.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

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

// Points read from an (n, 3) float32/float64 array, or from anything NumPy
// turns into one. `data` points into the caller's array (no copy) when it is
// float32 and C-contiguous, else into `copy`. Hold the object while `data` is used.
class PointsIn {
public:
    PointsIn(py::handle object, const char* what);
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

// An (n, 3) float32 array, and the points as its writable storage.
py::array_t<float> NewPoints(std::size_t n, Point3d** storage);
py::array_t<float> PointsOut(const Point3d* points, std::size_t n);

// n doubles from a 1-D float array or a scalar (broadcast).
std::vector<double> Doubles(py::handle object, std::size_t n, const char* what);
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
