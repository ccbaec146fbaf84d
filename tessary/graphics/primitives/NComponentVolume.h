#pragma once

// NComponentVolume: a minimal host grid for volume primitives. A grid of
// sample points, each holding `components` values of type T, laid out with x
// fastest, then y, then z, the components of one point side by side. The box
// is described by its origin, its far corner, the point counts along each
// axis, the spacings and the cell angles in degrees; the library reads only
// these five (for the volume's pick dots) and never the samples.
//
// Edge cases: negative counts and component numbers are taken as 0; the
// samples are resized with the counts (new values zero). A change that would
// make more than kMaxSamples values (2^31, 8 GiB of floats; a product that
// wraps around counts as more) throws std::length_error and leaves counts,
// components and samples as they were: the one exception the library throws
// itself, since a silently short grid lets At() write past it. The box members
// are not checked against each other: a host may describe a box whose far
// corner does not follow from origin, counts and spacings. At() expects an
// index in range (checked by assert in debug builds).

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "tessary/geometry/Point3d.h"

namespace Tessary {

template <class T>
class NComponentVolume {
public:
    using Counts = std::array<std::int32_t, 3>;

    // The most values a grid holds.
    static constexpr std::size_t kMaxSamples = std::size_t{1} << 31;

    NComponentVolume() = default;
    NComponentVolume(const Point3d& origin, const Point3d& farCorner, const Counts& counts, const Point3d& spacings,
                     int components = 1, const Point3d& angles = Point3d(90, 90, 90))
        : m_origin(origin), m_farCorner(farCorner), m_spacings(spacings), m_angles(angles) {
        SetComponents(components);
        SetPointCounts(counts);
    }

    const Point3d& GetOrigin() const { return m_origin; }
    void SetOrigin(const Point3d& origin) { m_origin = origin; }
    const Point3d& GetFarCorner() const { return m_farCorner; }
    void SetFarCorner(const Point3d& farCorner) { m_farCorner = farCorner; }
    // Points along x, y and z.
    const Counts& GetPointCounts() const { return m_counts; }
    void SetPointCounts(const Counts& counts) {
        Counts clamped;
        for (int a = 0; a < 3; ++a) clamped[a] = std::max<std::int32_t>(counts[a], 0);
        Resize(clamped, m_components);
    }
    const Point3d& GetSpacings() const { return m_spacings; }
    void SetSpacings(const Point3d& spacings) { m_spacings = spacings; }
    // Cell angles alpha, beta, gamma in degrees; 90, 90, 90 is an axis-aligned box.
    const Point3d& GetCellAngles() const { return m_angles; }
    void SetCellAngles(const Point3d& angles) { m_angles = angles; }

    int GetComponents() const { return m_components; }
    void SetComponents(int components) { Resize(m_counts, std::max(components, 0)); }

    // Every sample, x fastest, components innermost.
    const std::vector<T>& GetSamples() const { return m_samples; }
    std::vector<T>& GetSamples() { return m_samples; }
    const T& At(int x, int y, int z, int component = 0) const { return m_samples[Index(x, y, z, component)]; }
    T& At(int x, int y, int z, int component = 0) { return m_samples[Index(x, y, z, component)]; }

private:
    std::size_t Index(int x, int y, int z, int component) const {
        assert(x >= 0 && x < m_counts[0] && y >= 0 && y < m_counts[1] && z >= 0 && z < m_counts[2] &&
               component >= 0 && component < m_components && "NComponentVolume index out of range");
        const auto nx = static_cast<std::size_t>(m_counts[0]);
        const auto ny = static_cast<std::size_t>(m_counts[1]);
        const std::size_t point = (static_cast<std::size_t>(z) * ny + static_cast<std::size_t>(y)) * nx +
                                  static_cast<std::size_t>(x);
        return point * static_cast<std::size_t>(m_components) + static_cast<std::size_t>(component);
    }
    // Counts and components are taken only once the samples fit them.
    void Resize(const Counts& counts, int components) {
        const std::size_t size = SampleCount(counts, components);
        m_samples.resize(size);
        m_counts = counts;
        m_components = components;
    }
    static std::size_t SampleCount(const Counts& counts, int components) {
        if (components == 0 || counts[0] == 0 || counts[1] == 0 || counts[2] == 0) return 0;
        std::size_t size = static_cast<std::size_t>(components);  // below kMaxSamples: an int
        for (std::int32_t n : counts) {
            if (size > kMaxSamples / static_cast<std::size_t>(n)) throw std::length_error("NComponentVolume: too many samples");
            size *= static_cast<std::size_t>(n);
        }
        return size;
    }

    Point3d m_origin;
    Point3d m_farCorner;
    Counts m_counts{};
    Point3d m_spacings{1, 1, 1};
    Point3d m_angles{90, 90, 90};
    int m_components = 1;
    std::vector<T> m_samples;
};

}  // namespace Tessary
