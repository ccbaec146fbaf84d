#pragma once

// The renderer of the reference host: draws a display-list tree through a
// View with cairo, to PNG, SVG or PDF chosen by the output's extension.
//
// Painter's algorithm: every 3D primitive becomes one or more draw items
// with a depth; all opaque items are drawn far to near, then all
// transparent ones far to near (alpha = 1 - A/255), then the scene's labels
// (dark text with a light halo, placed clear of each other and of the
// overlay, see Labels.h), then the 2D overlay in the order of the tree,
// whose coordinates are output pixels (origin top-left, y down).
//
// Bonds: a cylinder is drawn as two shaded bands, one per colour, each with
// its own depth. Where a sphere sits at an end, that end is trimmed to where
// the cylinder's axis leaves the sphere, so a band never reaches into the
// sphere it starts from, and the depth order of band and disc comes out right
// whichever way the bond points.
//
// In the SVG and PDF outputs the shaded shapes that repeat are stamps: a
// lit ball per colour and a bond's band per colour and cap depth are drawn
// once (in the SVG a group `<g id="surfaceN">` in <defs>, holding the one
// filled path with its gradient) and each sphere or band is one placement of
// its stamp (`<use xlink:href="#surfaceN" transform=...>`), so the file holds
// one gradient per stamp rather than one per atom. Every sphere is exactly
// one <use> whose stamp holds a radial gradient fill (`fill:url(#radial...)`);
// bands' stamps hold linear ones; an ellipsoid is one filled <path> with a
// radial gradient of its own. PNG output draws every shape directly.
//
// Failures: an unknown extension throws InputError before any file is
// touched; an output that cannot be written throws InputError, and a failure
// inside cairo throws std::runtime_error. The output is written as it is
// made into a fresh file beside it, which replaces the output only when
// whole (OutputFile, Files.h), so a failure leaves no file.

#include <cairo.h>

#include <new>
#include <string>
#include <vector>

#include "Labels.h"
#include "View.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace TessaryScene {

// The largest picture drawn, in pixels (8192 x 8192, 256 MB as an image):
// a larger request is refused before anything is allocated.
constexpr long long kMaxPixels = 8192LL * 8192LL;

// The scene's labels (Text3D primitives that are not annotations) in the
// tree's order, placed as the renderer draws them through `view`: clear of
// each other and of the boxes of the overlay's shapes and texts.
struct SceneLabels {
    std::vector<const Tessary::Text3DPrimitive*> labels;
    LabelPlacement placement;  // one box per label
    std::vector<PixelBox> overlay;  // what the labels keep clear of
};
SceneLabels LayOutLabels(const Tessary::DisplayList3D& root, const View& view);

struct RenderSummary {
    int labels = 0;         // labels in view
    int labelsDropped = 0;  // of them, left out for want of room
};

// Draws `root` through `view` to `path` (.png, .svg or .pdf, any case),
// view.GetWidth() x view.GetHeight() pixels (points for the vector formats).
// Throws InputError for a view of more than kMaxPixels.
RenderSummary Render(const Tessary::DisplayList3D& root, const View& view, const std::string& path);

// cairo's write callback for a stream surface whose closure is a `Sink`
// (std::string, OutputFile, or anything with append(const char*, size_t)).
// cairo calls it from C, so nothing may be thrown through it: an append that
// throws is reported to cairo as CAIRO_STATUS_NO_MEMORY (out of memory) or
// CAIRO_STATUS_WRITE_ERROR (anything else), which then fails the surface,
// and Render throws.
template <class Sink>
cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) noexcept {
    try {
        static_cast<Sink*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    } catch (...) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
}

// cairo and fontconfig keep font caches for the life of the process; a
// program frees them at exit so a leak checker reports only real leaks.
void ReleaseFontCaches();

}  // namespace TessaryScene
