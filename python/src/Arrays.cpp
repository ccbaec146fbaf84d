#include "Arrays.h"

#include <cstring>
#include <limits>
#include <memory>
#include <sstream>

namespace tessary_python {

namespace {

std::string ShapeText(const py::array& a) {
    std::string s = "(";
    for (py::ssize_t d = 0; d < a.ndim(); ++d) s += (d ? ", " : "") + std::to_string(a.shape(d));
    return s + (a.ndim() == 1 ? ",)" : ")");
}

std::string DtypeText(const py::array& a) { return py::str(a.dtype()).cast<std::string>(); }

// An ndarray as it is (its dtype is checked by the caller); anything else,
// such as nested lists, converted by NumPy, to `dtype` when one is given.
py::array AsArray(py::handle object, const char* what, const char* dtype = nullptr) {
    if (py::isinstance<py::array>(object)) return py::reinterpret_borrow<py::array>(object);
    try {
        const py::object asarray = py::module_::import("numpy").attr("asarray");
        return dtype ? asarray(object, py::arg("dtype") = dtype) : asarray(object);
    } catch (py::error_already_set&) {
        Fail(what, "cannot be read as an array");
    }
}

// Native byte order only: the data is read through plain C++ pointers.
bool NativeOrder(const py::array& a) { return a.dtype().byteorder() != '>'; }

// Calls f(const T* data) with the array made C-contiguous, T its integer type.
template <class F>
void VisitIntegers(const py::array& in, const char* what, F&& f) {
    const char kind = in.dtype().kind();
    if ((kind != 'i' && kind != 'u') || !NativeOrder(in))
        Fail(what, "expected an integer array, got " + DtypeText(in));
    const py::array a = py::array::ensure(in, py::array::c_style);
    const void* p = a.data();
    const bool sign = kind == 'i';
    switch (a.itemsize()) {
        case 1: return sign ? f(static_cast<const std::int8_t*>(p)) : f(static_cast<const std::uint8_t*>(p));
        case 2: return sign ? f(static_cast<const std::int16_t*>(p)) : f(static_cast<const std::uint16_t*>(p));
        case 4: return sign ? f(static_cast<const std::int32_t*>(p)) : f(static_cast<const std::uint32_t*>(p));
        case 8: return sign ? f(static_cast<const std::int64_t*>(p)) : f(static_cast<const std::uint64_t*>(p));
        default: Fail(what, "unsupported integer type " + DtypeText(in));
    }
}

// The values of an integer array, flattened in C order, each within [lo, hi].
std::vector<std::int64_t> ReadIntegers(const py::array& a, std::int64_t lo, std::int64_t hi, const char* what) {
    std::vector<std::int64_t> out(static_cast<std::size_t>(a.size()));
    VisitIntegers(a, what, [&](const auto* data) {
        using T = std::remove_cv_t<std::remove_pointer_t<decltype(data)>>;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const T v = data[i];
            bool inRange;
            if constexpr (std::is_signed_v<T>) {
                inRange = v >= lo && v <= hi;
            } else {
                inRange = static_cast<std::uint64_t>(v) <= static_cast<std::uint64_t>(hi) && (lo <= 0 || v >= static_cast<std::uint64_t>(lo));
            }
            if (!inRange)
                Fail(what, "value " + std::to_string(v) + " outside " + std::to_string(lo) + ".." + std::to_string(hi));
            out[i] = static_cast<std::int64_t>(v);
        }
    });
    return out;
}

std::string Number(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

// ValueError unless every point is finite (after rounding to float32).
void CheckFinite(const Point3d* points, std::size_t n, const char* what) {
    for (std::size_t i = 0; i < n; ++i) {
        const Point3d& p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            Fail(what, "coordinates must be finite (in float32); point " + std::to_string(i) + " is (" +
                           Number(p.x) + ", " + Number(p.y) + ", " + Number(p.z) + ")");
    }
}

}  // namespace

void Fail(const char* what, const std::string& message) { throw py::value_error(std::string(what) + ": " + message); }

PointsIn::PointsIn(py::handle object, const char* what, Storage storage)
    : m_array(AsArray(object, what, "float64")) {
    if (m_array.ndim() != 2 || m_array.shape(1) != 3)
        Fail(what, "expected an (n, 3) array, got shape " + ShapeText(m_array));
    const char kind = m_array.dtype().kind();
    const py::ssize_t width = m_array.itemsize();
    if (kind != 'f' || (width != 4 && width != 8) || !NativeOrder(m_array))
        Fail(what, "expected float32 or float64 coordinates, got " + DtypeText(m_array));
    m_size = static_cast<std::size_t>(m_array.shape(0));
    const bool aligned = reinterpret_cast<std::uintptr_t>(m_array.data()) % alignof(Point3d) == 0;
    if (storage == InPlace && width == 4 && (m_array.flags() & py::array::c_style) && aligned) {
        m_data = static_cast<const Point3d*>(m_array.data());
        CheckFinite(m_data, m_size, what);
        return;
    }
    m_copy.resize(m_size);
    if (width == 4) {
        const auto a = m_array.unchecked<float, 2>();
        for (std::size_t i = 0; i < m_size; ++i) {
            const auto r = static_cast<py::ssize_t>(i);
            m_copy[i] = Point3d(a(r, 0), a(r, 1), a(r, 2));
        }
    } else {
        const auto a = m_array.unchecked<double, 2>();
        for (std::size_t i = 0; i < m_size; ++i) {
            const auto r = static_cast<py::ssize_t>(i);
            m_copy[i] = Point3d(a(r, 0), a(r, 1), a(r, 2));
        }
    }
    m_data = m_copy.data();
    CheckFinite(m_data, m_size, what);
}

Point3d::Array PointsIn::ToArray() const {
    Point3d::Array out;
    out.SetSize(static_cast<int>(m_size));
    if (m_size) std::memcpy(out.GetData(), m_data, m_size * sizeof(Point3d));
    return out;
}

Point3d PointFrom(py::handle object, const char* what) {
    Point3d p;
    if (py::isinstance<Point3d>(object)) {
        p = object.cast<Point3d>();
    } else {
        const py::array a = AsArray(object, what, "float64");
        if (a.ndim() != 1 || a.shape(0) != 3)
            Fail(what, "expected a point of 3 coordinates, got shape " + ShapeText(a));
        const std::vector<double> v = Doubles(a, 3, what);
        p = Point3d(v[0], v[1], v[2]);
    }
    CheckFinite(&p, 1, what);
    return p;
}

Point3d DirectionFrom(py::handle object, const char* what) {
    const Point3d p = PointFrom(object, what);
    if (p.x == 0 && p.y == 0 && p.z == 0) Fail(what, "a direction must not be the zero vector");
    return p;
}

double Finite(double value, const char* what, double minimum) {
    if (!std::isfinite(value)) Fail(what, "must be finite, got " + Number(value));
    if (value < minimum) Fail(what, "must be at least " + Number(minimum) + ", got " + Number(value));
    return value;
}

py::array_t<float> NewPoints(std::size_t n, Point3d** storage) {
    py::array_t<float> out({static_cast<py::ssize_t>(n), py::ssize_t{3}});
    *storage = reinterpret_cast<Point3d*>(out.mutable_data());
    return out;
}

py::array_t<float> PointsOut(const Point3d* points, std::size_t n) {
    Point3d* storage = nullptr;
    py::array_t<float> out = NewPoints(n, &storage);
    if (n) std::memcpy(storage, points, n * sizeof(Point3d));
    return out;
}

std::vector<double> Doubles(py::handle object, std::size_t n, const char* what, double minimum) {
    const py::array a = AsArray(object, what);
    const char kind = a.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u') Fail(what, "expected numbers, got " + DtypeText(a));
    if (a.ndim() > 1 || (a.ndim() == 1 && static_cast<std::size_t>(a.shape(0)) != n))
        Fail(what, "expected " + std::to_string(n) + " values or one, got shape " + ShapeText(a));
    const py::array_t<double, py::array::c_style | py::array::forcecast> d(a);
    std::vector<double> out = a.ndim() == 0 ? std::vector<double>(n, *d.data())
                                            : std::vector<double>(d.data(), d.data() + n);
    for (const double v : out) Finite(v, what, minimum);
    return out;
}

std::vector<std::int64_t> Integers(py::handle object, std::size_t n, std::int64_t lo, std::int64_t hi,
                                   const char* what) {
    const py::array a = AsArray(object, what);
    if (a.ndim() > 1 || (a.ndim() == 1 && static_cast<std::size_t>(a.shape(0)) != n))
        Fail(what, "expected " + std::to_string(n) + " values or one, got shape " + ShapeText(a));
    std::vector<std::int64_t> values = ReadIntegers(a, lo, hi, what);
    if (a.ndim() == 0) return std::vector<std::int64_t>(n, values[0]);
    return values;
}

std::vector<std::int64_t> IntegerRows(py::handle object, std::size_t k, std::int64_t lo, std::int64_t hi,
                                      const char* what, std::size_t* rows) {
    const py::array a = AsArray(object, what);
    if (a.ndim() != 2 || static_cast<std::size_t>(a.shape(1)) != k)
        Fail(what, "expected an (n, " + std::to_string(k) + ") array, got shape " + ShapeText(a));
    *rows = static_cast<std::size_t>(a.shape(0));
    return ReadIntegers(a, lo, hi, what);
}

std::vector<Color> Colors(py::handle object, std::size_t n, const char* what) {
    const py::array a = AsArray(object, what);
    const py::ssize_t width = a.ndim() == 0 ? 0 : a.shape(a.ndim() - 1);
    const bool one = a.ndim() == 1;
    if ((width != 3 && width != 4) || a.ndim() > 2 || (a.ndim() == 2 && static_cast<std::size_t>(a.shape(0)) != n))
        Fail(what, "expected (" + std::to_string(n) + ", 4) or (" + std::to_string(n) +
                       ", 3) bytes, or one colour, got shape " + ShapeText(a));
    if (a.dtype().kind() != 'i' && a.dtype().kind() != 'u')
        Fail(what, "expected colour bytes (uint8, or integers 0..255), got " + DtypeText(a));
    const std::vector<std::int64_t> bytes = ReadIntegers(a, 0, 255, what);
    const auto w = static_cast<std::size_t>(width);
    std::vector<Color> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t* b = bytes.data() + (one ? 0 : i * w);
        out[i] = Color(static_cast<int>(b[0]), static_cast<int>(b[1]), static_cast<int>(b[2]),
                       w == 4 ? static_cast<int>(b[3]) : 0);
    }
    return out;
}

py::array_t<std::uint8_t> ColorsOut(const Color* colors, std::size_t n) {
    static_assert(sizeof(Color) == 4, "a colour is its four bytes");
    py::array_t<std::uint8_t> out({static_cast<py::ssize_t>(n), py::ssize_t{4}});
    if (n) std::memcpy(out.mutable_data(), colors, n * sizeof(Color));
    return out;
}

py::array_t<int> TakeInts(Tessary::IntArray&& values) {
    auto owner = std::make_unique<Tessary::IntArray>(std::move(values));
    const auto n = static_cast<py::ssize_t>(owner->GetSize());
    const int* data = owner->GetData();
    if (n == 0) return py::array_t<int>(0);
    py::capsule free(owner.get(), [](void* p) { delete static_cast<Tessary::IntArray*>(p); });
    owner.release();
    return py::array_t<int>({n}, {static_cast<py::ssize_t>(sizeof(int))}, data, free);
}

}  // namespace tessary_python
