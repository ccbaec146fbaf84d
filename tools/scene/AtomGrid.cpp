#include "AtomGrid.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace TessaryScene {

namespace {

constexpr double kMaxDensity = 1.0;  // atoms per cubic angstrom
constexpr std::size_t kMinCrowd = 64;

bool Finite(const Tessary::Point3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

AtomGrid::AtomGrid(const Structure& s, double reach)
    : m_list(reach, static_cast<int>(s.atoms.size() / 8 + 1)), m_listed(s.atoms.size(), false) {
    // Cells counted by sorting their indices (kept as doubles: any finite
    // coordinate has one, however far out).
    using Cell = std::array<double, 3>;
    std::vector<std::pair<Cell, int>> cells;
    cells.reserve(s.atoms.size());
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        const Tessary::Point3d& p = s.atoms[i].position;
        if (Finite(p))
            cells.push_back({{std::floor(p.x / reach), std::floor(p.y / reach), std::floor(p.z / reach)},
                             static_cast<int>(i)});
    }
    std::sort(cells.begin(), cells.end());
    const double volume = reach * reach * reach;
    const std::size_t crowd = std::max(kMinCrowd, static_cast<std::size_t>(std::isfinite(volume) && volume < 1e9
                                                                               ? kMaxDensity * volume
                                                                               : 1e9));
    for (std::size_t first = 0; first < cells.size();) {
        std::size_t last = first;
        while (last < cells.size() && cells[last].first == cells[first].first) ++last;
        if (last - first <= crowd)
            for (std::size_t k = first; k < last; ++k) m_listed[static_cast<std::size_t>(cells[k].second)] = true;
        first = last;
    }
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        if (!m_listed[i]) continue;
        m_list.Add(s.atoms[i].position);
        m_atomOf.push_back(static_cast<int>(i));
    }
}

void AtomGrid::Near(const Tessary::Point3d& p, double radius, std::vector<int>& found) {
    m_scratch.RemoveAll();
    m_list.GetNeighbors(p, radius, m_scratch);
    for (int k = 0; k < m_scratch.GetSize(); ++k) found.push_back(m_atomOf[static_cast<std::size_t>(m_scratch[k])]);
}

}  // namespace TessaryScene
