// Drives the numerics with arbitrary numbers, non-finite ones included: the
// symmetric eigen decomposition, both superpositions, the plane fit and both
// spline families. Nothing may hang (the QL iteration and the axis rotations
// are capped), read or write out of bounds, or report an impossible result.
// The first byte picks the operation, the next few its sizes and options;
// the rest is raw doubles (decomposition) or floats (points).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tessary/geometry/QuadraticMatrix.h"
#include "tessary/geometry/RMSBestFit.h"
#include "tessary/geometry/Spline.h"

using namespace Tessary;

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    template <class T>
    T Value() {
        T v{};
        if (m_pos + sizeof(T) <= m_size) {
            std::memcpy(&v, m_data + m_pos, sizeof(T));
            m_pos += sizeof(T);
        }
        return v;
    }
    Point3d::Array Points(int count) {
        Point3d::Array a;
        for (int i = 0; i < count; ++i) {
            const float x = Value<float>(), y = Value<float>(), z = Value<float>();
            a.Add(Point3d(x, y, z));
        }
        return a;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void Require(bool condition) {
    if (!condition) std::abort();
}

void Decompose(Input& in) {
    const int n = in.Byte() % 12 + 1;
    QuadraticMatrix m(n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) m(i, j) = m(j, i) = in.Value<double>();
    QuadraticMatrix vectors;
    std::vector<double> values(static_cast<std::size_t>(n));
    if (m.GetEigenvectorsAndEigenvalues(vectors, values.data())) {
        Require(vectors.Dimension() == n);
        for (int i = 1; i < n; ++i) Require(values[i - 1] >= values[i]);
    }
}

void Superpose(Input& in) {
    const int n = in.Byte() % 16;
    const int extraB = in.Byte() % 3 - 1;  // B one shorter, equal, or one longer
    const int nc = in.Byte() % 4;
    const Point3d::Array a = in.Points(n);
    const Point3d::Array b = in.Points(n + extraB < 0 ? 0 : n + extraB);
    const Point3d::Array c = in.Points(nc);
    Point3d::Array moved = c;
    const bool ok = RMSBestFitTools::FindAndApplyTransformation(a, b, moved);
    Require(moved.GetSize() == nc);
    if (!ok)
        for (int i = 0; i < nc; ++i) Require(std::memcmp(&moved[i], &c[i], sizeof(Point3d)) == 0);
    moved = c;
    RMSBestFit(a, b, moved);
    Require(moved.GetSize() == nc);
    Point3d centre, normal;
    RMSBestFitTools::FindPlane(a, centre, normal);
}

void Splines(Input& in) {
    const std::uint8_t selector = in.Byte();
    const int n = in.Byte() % 12;
    Point3d::Array points = in.Points(n);

    Spline cubic(static_cast<Spline::SplineType>(selector % 5));
    cubic.SetGranularity(in.Byte() % 20 - 2);
    cubic.SetTension(in.Value<double>());
    cubic.SetBias(in.Value<double>());
    Point3d::Array out;
    Require(cubic.GetCubicSpline(points, out) == 1);
    Require(out.GetSize() <= (n + 2) * 20);

    const int count = in.Byte() % 14 - 1;
    const int passes = in.Byte() % 5 - 1;
    const int perSegment = in.Byte() % 12 - 2;
    const Point3d before = Point3d(in.Value<float>(), in.Value<float>(), in.Value<float>());
    const Point3d after = Point3d(in.Value<float>(), in.Value<float>(), in.Value<float>());
    const int produced = cubic.GetHermiteSpline(points, count, out, (selector & 8) ? &before : nullptr,
                                                (selector & 16) ? &after : nullptr, passes, perSegment,
                                                in.Value<double>());
    Require(produced >= 0 && produced <= out.GetSize());
    Require(points.GetSize() == n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    switch (in.Byte() % 3) {
        case 0: Decompose(in); break;
        case 1: Superpose(in); break;
        default: Splines(in); break;
    }
    return 0;
}
