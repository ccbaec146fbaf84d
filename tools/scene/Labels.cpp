#include "Labels.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace TessaryScene {

std::string AtomLabel(const Atom& atom) {
    if (atom.residueKind != ResidueKind::None || !atom.residueName.empty()) return atom.name + " " + atom.ResidueLabel();
    if (atom.name.empty() || atom.name == atom.element) return atom.element + std::to_string(atom.residueNumber);
    return atom.name;
}

void SelectFont(cairo_t* cr, const Tessary::Font& font) {
    const Tessary::CString face = font.GetFace();
    cairo_select_font_face(cr, face.GetLength() > 0 ? face.GetString() : "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.GetSize() > 0 ? font.GetSize() : 12);
}

TextMeasure::TextMeasure()
    : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1)), m_cr(cairo_create(m_surface)) {
    if (cairo_status(m_cr) != CAIRO_STATUS_SUCCESS) {
        const std::string status = cairo_status_to_string(cairo_status(m_cr));
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
        throw std::runtime_error("cairo: " + status);
    }
}

TextMeasure::~TextMeasure() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

LabelSize MeasureLabel(cairo_t* cr, const Tessary::Font& font, const char* text) {
    SelectFont(cr, font);
    cairo_font_extents_t f;
    cairo_font_extents(cr, &f);
    cairo_text_extents_t t;
    cairo_text_extents(cr, text, &t);
    LabelSize size;
    size.width = std::max(t.x_advance, 0.0) + 2 * kLabelHalo;
    size.height = f.ascent + f.descent + 2 * kLabelHalo;
    size.ascent = f.ascent + kLabelHalo;
    return size;
}

PixelBox LabelSpot(double x, double y, const LabelSize& size, int k) {
    const double w = size.width, h = size.height;
    // Near the atom, then a label's height farther out.
    const double d = k < 8 ? 3.0 : 3.0 + h;
    const double left = x - d - w, right = x + d, above = y - d - h, below = y + d;
    switch (k % 8) {
    case 0: return {right, above, w, h};
    case 1: return {right, below, w, h};
    case 2: return {left, above, w, h};
    case 3: return {left, below, w, h};
    case 4: return {right, y - h / 2, w, h};
    case 5: return {left, y - h / 2, w, h};
    case 6: return {x - w / 2, above, w, h};
    default: return {x - w / 2, below, w, h};
    }
}

namespace {

// The boxes taken so far, filed by the grid cells they cover, so a test
// looks only at its neighbours and placing n labels stays near O(n).
class TakenBoxes {
public:
    TakenBoxes(double width, double height)
        : m_columns(Cells(width)), m_rows(Cells(height)), m_cells(static_cast<std::size_t>(m_columns) * m_rows) {}

    void Add(const PixelBox& box) {
        const int index = static_cast<int>(m_boxes.size());
        m_boxes.push_back(box);
        ForCells(box, [&](std::vector<int>& cell) {
            cell.push_back(index);
            return false;
        });
    }

    bool Free(const PixelBox& box) {
        return !ForCells(box, [&](std::vector<int>& cell) {
            return std::any_of(cell.begin(), cell.end(), [&](int i) { return m_boxes[static_cast<std::size_t>(i)].Overlaps(box); });
        });
    }

private:
    static constexpr double kCell = 32.0;
    static int Cells(double extent) { return std::max(1, static_cast<int>(std::ceil(extent / kCell))); }

    // Calls f on each cell the box covers (clamped to the grid) until it returns true.
    template <class F>
    bool ForCells(const PixelBox& box, F&& f) {
        if (!(box.width > 0 && box.height > 0) || !std::isfinite(box.x + box.y + box.width + box.height)) return false;
        const auto cell = [](double v, int count) {
            return static_cast<int>(std::clamp(std::floor(v / kCell), 0.0, static_cast<double>(count - 1)));
        };
        const int x0 = cell(box.x, m_columns), x1 = cell(box.x + box.width, m_columns);
        const int y0 = cell(box.y, m_rows), y1 = cell(box.y + box.height, m_rows);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (f(m_cells[static_cast<std::size_t>(y) * m_columns + x])) return true;
        return false;
    }

    int m_columns, m_rows;
    std::vector<std::vector<int>> m_cells;
    std::vector<PixelBox> m_boxes;
};

// The overlay's cover of the picture as a summed table over cells of a few
// pixels at most: a box is tested against any number of overlay shapes (a
// stored scene may hold very many) in constant time. Shapes and boxes are
// widened to whole cells, so the test errs towards "covered".
class CoveredCells {
public:
    CoveredCells(double width, double height, const std::vector<PixelBox>& shapes) {
        // At most about four million cells, whatever the picture's size.
        m_cell = std::max(1.0, std::ceil(std::sqrt(std::max(width, 1.0) * std::max(height, 1.0) / 4.0e6)));
        m_columns = Cells(width);
        m_rows = Cells(height);
        m_sum.assign(static_cast<std::size_t>(m_columns + 1) * (m_rows + 1), 0);
        // Corner marks of each shape, then two running sums give the cover
        // count per cell, then a summed table of the covered cells.
        for (const PixelBox& b : shapes) {
            int x0, y0, x1, y1;
            if (!Span(b, x0, y0, x1, y1)) continue;
            At(x0, y0) += 1;
            At(x1, y0) -= 1;
            At(x0, y1) -= 1;
            At(x1, y1) += 1;
        }
        for (int y = 0; y <= m_rows; ++y)
            for (int x = 0; x <= m_columns; ++x)
                At(x, y) += (x > 0 ? At(x - 1, y) : 0) + (y > 0 ? At(x, y - 1) : 0) - (x > 0 && y > 0 ? At(x - 1, y - 1) : 0);
        std::vector<long long> covered(m_sum.size(), 0);
        for (int y = 0; y < m_rows; ++y)
            for (int x = 0; x < m_columns; ++x)
                covered[Index(x + 1, y + 1)] = (At(x, y) > 0 ? 1 : 0) + covered[Index(x, y + 1)] +
                                               covered[Index(x + 1, y)] - covered[Index(x, y)];
        m_sum = std::move(covered);
    }

    bool Free(const PixelBox& box) const {
        int x0, y0, x1, y1;
        if (!Span(box, x0, y0, x1, y1)) return true;
        return m_sum[Index(x1, y1)] - m_sum[Index(x0, y1)] - m_sum[Index(x1, y0)] + m_sum[Index(x0, y0)] == 0;
    }

private:
    int Cells(double extent) const {
        return std::max(1, static_cast<int>(std::ceil(std::clamp(extent, 1.0, 1e6) / m_cell)));
    }
    std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * (m_columns + 1) + x; }
    long long& At(int x, int y) { return m_sum[Index(x, y)]; }

    // The cells [x0, x1) x [y0, y1) the box touches inside the picture; false when none.
    bool Span(const PixelBox& b, int& x0, int& y0, int& x1, int& y1) const {
        if (!(b.width > 0 && b.height > 0) || !std::isfinite(b.x + b.y + b.width + b.height)) return false;
        const auto cell = [this](double v, int count) {
            return static_cast<int>(std::clamp(v / m_cell, 0.0, static_cast<double>(count)));
        };
        x0 = cell(std::floor(b.x), m_columns);
        y0 = cell(std::floor(b.y), m_rows);
        x1 = cell(std::ceil((b.x + b.width) / m_cell) * m_cell, m_columns);
        y1 = cell(std::ceil((b.y + b.height) / m_cell) * m_cell, m_rows);
        return x0 < x1 && y0 < y1;
    }

    double m_cell = 1.0;
    int m_columns = 1, m_rows = 1;
    std::vector<long long> m_sum;
};

}  // namespace

LabelPlacement PlaceLabels(const std::vector<LabelRequest>& requests, double width, double height,
                           const std::vector<PixelBox>& obstacles) {
    LabelPlacement result;
    result.boxes.resize(requests.size());
    result.placed.assign(requests.size(), false);
    TakenBoxes taken(width, height);
    const CoveredCells overlay(width, height, obstacles);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const LabelRequest& r = requests[i];
        for (int k = 0; k < kLabelSpots && !result.placed[i]; ++k) {
            const PixelBox box = LabelSpot(r.x, r.y, r.size, k);
            if (box.Inside(width, height) && overlay.Free(box) && taken.Free(box)) {
                taken.Add(box);
                result.boxes[i] = box;
                result.placed[i] = true;
            }
        }
        if (!result.placed[i]) ++result.dropped;
    }
    return result;
}

}  // namespace TessaryScene
