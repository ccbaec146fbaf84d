// Neighbour lists and coordination geometry on arbitrary input: points with
// any float bit pattern (NaN, infinities, the largest floats), any cutoff,
// adds and queries interleaved. Every answer of the neighbour list is checked
// against brute force; the coordination functions must return their
// documented values or fall-backs and never read outside their tables.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "tessary/chemistry/CoordinationGeometry.h"
#include "tessary/chemistry/NeighborList.h"

using namespace Tessary;

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    template <class T>
    T Raw() {
        T value{};
        std::uint8_t bytes[sizeof(T)] = {};
        for (std::uint8_t& b : bytes) b = Byte();
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void Check(bool ok) {
    if (!ok) std::abort();
}

bool Finite(const Point3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

void FuzzNeighborList(Input& in) {
    static const double kCutoffs[] = {1.0, 2.5, 0.001, 1e-16, 1e20, 0.0, -1.0, NAN, INFINITY, 3.0};
    const std::uint8_t selector = in.Byte();
    const double cutoff = selector < 200 ? kCutoffs[selector % 10] : in.Raw<double>();
    const bool active = std::isfinite(cutoff) && cutoff > 0.0 && std::isfinite(1.0 / cutoff);
    NeighborList list(cutoff, in.Byte());
    std::vector<Point3d> points;

    while (!in.Empty() && points.size() < 300) {
        const std::uint8_t op = in.Byte();
        switch (op % 5) {
            case 0:  // any bit pattern
                points.push_back(Point3d(in.Raw<float>(), in.Raw<float>(), in.Raw<float>()));
                Check(list.Add(points.back()) == static_cast<int>(points.size()) - 1);
                break;
            case 1:
            case 2: {  // small multiples of the cutoff: crowded cells, exact distances
                const double unit = std::isfinite(cutoff) ? cutoff / 4.0 : 1.0;
                points.push_back(Point3d(static_cast<std::int8_t>(in.Byte()) * unit,
                                         static_cast<std::int8_t>(in.Byte()) * unit,
                                         static_cast<std::int8_t>(in.Byte()) * unit));
                Check(list.Add(points.back()) == static_cast<int>(points.size()) - 1);
                break;
            }
            case 3: {
                const std::uint8_t which = in.Byte();
                const Point3d q = points.empty() || which >= 200 ? Point3d(in.Raw<float>(), in.Raw<float>(), in.Raw<float>())
                                                                  : points[which % points.size()];
                const double radius = std::isfinite(cutoff) ? cutoff * (in.Byte() / 255.0) : 1.0;
                IntArray found;
                found.Add(-5);
                const int nearest = list.GetNeighbors(q, radius, found);
                Check(found.GetSize() >= 1 && found[0] == -5);
                std::vector<int> got(found.begin() + 1, found.end());
                std::sort(got.begin(), got.end());
                std::vector<int> expected;
                double best = INFINITY;
                if (active && radius > 0.0 && Finite(q))
                    for (std::size_t i = 0; i < points.size(); ++i) {
                        if (!Finite(points[i])) continue;
                        const double d2 = q.Distance2(points[i]);
                        if (d2 < radius * radius) {
                            expected.push_back(static_cast<int>(i));
                            best = std::min(best, d2);
                        }
                    }
                Check(got == expected);
                Check(expected.empty() ? nearest == -1
                                       : nearest >= 0 && q.Distance2(points[static_cast<std::size_t>(nearest)]) == best);
                break;
            }
            case 4: {
                IntArray first, second;
                const int size = list.GetPairs(first, second);
                Check(size == first.GetSize() && size == second.GetSize());
                std::set<std::pair<int, int>> got;
                for (int i = 0; i < size; ++i)
                    Check(got.insert({std::min(first[i], second[i]), std::max(first[i], second[i])}).second);
                std::set<std::pair<int, int>> expected;
                if (active)
                    for (std::size_t i = 0; i < points.size(); ++i)
                        for (std::size_t j = i + 1; j < points.size(); ++j)
                            if (Finite(points[i]) && Finite(points[j]) && points[i].Distance2(points[j]) < cutoff * cutoff)
                                expected.insert({static_cast<int>(i), static_cast<int>(j)});
                Check(got == expected);
                break;
            }
        }
    }
}

void FuzzCoordination(Input& in) {
    using namespace CoordinationGeometry;
    const auto type = static_cast<CoordinationGeometryType>(static_cast<std::int8_t>(in.Byte()));
    const int n = GetCoordinationNumber(type);
    Check(n >= 0 && n <= 9);

    Point3d::Array points;
    const TPY3GeometryConstraint cone(in.Raw<double>(), in.Raw<double>(), in.Raw<double>());
    const int size = GetCoordinates(TrigonalPyramidal, points, &cone);
    Check(size == points.GetSize() && (size == 0 || size == 4));
    for (int i = 1; i < size; ++i) Check(std::fabs(points[i].Length() - 1.0) < 1e-5);
    GetCoordinates(type, points, nullptr);
    Check(points.GetSize() == 0 || points.GetSize() == n + 1);
    Check(GetCoordinationAngle(type, in.Byte() % 11, in.Byte() % 11) >= 0.0);

    Point3d::Array directions;
    const int count = in.Byte() % 10;
    for (int i = 0; i < count; ++i) directions.Add(Point3d(in.Raw<float>(), in.Raw<float>(), in.Raw<float>()));
    IntArray assignment;
    assignment.Add(77);
    const double score = DeviationFromIdealCoordinationGeometry(directions, type, assignment);
    if (score == -1.0) {
        Check(assignment.GetSize() == 1 && assignment[0] == 77);
    } else {
        Check(assignment.GetSize() == n);
        std::vector<int> sorted(assignment.begin(), assignment.end());
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < n; ++i) Check(sorted[static_cast<std::size_t>(i)] == i + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    if (in.Byte() % 2) FuzzCoordination(in);
    else FuzzNeighborList(in);
    return 0;
}
