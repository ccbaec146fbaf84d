#pragma once

// Atom labels of the reference host: the text that names an atom, the room
// a label takes in the picture, and where it goes.
//
// Labels are placed in pixels once the view is known (a stored scene is
// placed again for the view it is drawn with). Each label, in the scene's
// order, tries a few spots around its atom's image and takes the first that
// lies inside the picture and clear of every label placed before it and of
// the overlay (title, legend); a label with no such spot is left out. The
// view's fit counts every label at its first spot, so a label at the edge of
// the picture still has room there.
//
// Text is measured with cairo on a scratch image surface, the way the PNG is
// drawn, so the fit, the placement and the picture agree.

#include <cairo.h>

#include <string>
#include <vector>

#include "tessary/graphics/attributes/Font.h"

#include "Structure.h"

namespace TessaryScene {

// "FE1 SF4 101 A": atom name, residue name, number (and insertion code) and
// chain. An atom without a residue is named by itself, with its number when
// its name is only its element ("Fe12", as XYZ atoms are named).
std::string AtomLabel(const Atom& atom);

// An axis-aligned box in pixels: top-left corner, width and height.
struct PixelBox {
    double x = 0, y = 0, width = 0, height = 0;

    // Boxes that only touch do not overlap.
    bool Overlaps(const PixelBox& other) const {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
    bool Inside(double pictureWidth, double pictureHeight) const {
        return x >= 0 && y >= 0 && x + width <= pictureWidth && y + height <= pictureHeight;
    }
};

// The face and size cairo draws `font` with (sans-serif, 12 when unset).
void SelectFont(cairo_t* cr, const Tessary::Font& font);

// A scratch cairo context to measure text with; one per batch of measurements.
class TextMeasure {
public:
    TextMeasure();
    ~TextMeasure();
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;
    cairo_t* Context() const { return m_cr; }

private:
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};

// A label's room: its text's advance and the font's height, with the halo
// around them; `ascent` places the baseline below the box's top.
struct LabelSize {
    double width = 0, height = 0, ascent = 0;
};
constexpr double kLabelHalo = 2.0;  // pixels of halo on each side of the text
LabelSize MeasureLabel(cairo_t* cr, const Tessary::Font& font, const char* text);

// Spot k (0 to kLabelSpots - 1) of a label of `size` for an atom seen at
// pixel (x, y): beside, above and below it, near first, then a ring farther
// out. Spot 0, the first tried, is to the upper right.
constexpr int kLabelSpots = 16;
PixelBox LabelSpot(double x, double y, const LabelSize& size, int k);

struct LabelRequest {
    double x = 0, y = 0;  // the atom's image
    LabelSize size;
};

struct LabelPlacement {
    std::vector<PixelBox> boxes;  // per request; meaningful where placed
    std::vector<bool> placed;
    int dropped = 0;
};

// Places the requests in order inside width x height, clear of each other and
// of `obstacles`; a request with no free spot is dropped (counted, not drawn).
LabelPlacement PlaceLabels(const std::vector<LabelRequest>& requests, double width, double height,
                           const std::vector<PixelBox>& obstacles);

}  // namespace TessaryScene
