#pragma once

// The host's scene file: a display-list tree stored through the library's
// archive. Each primitive goes in its own archive form, followed by what
// that form leaves out and a viewer still needs (the A byte of colours,
// which decides whether a solid is filed transparent; a cylinder's end IDs
// and cap; a tetrahedron's hidden faces; a mesh's line width and per-vertex
// IDs). The Python module stores its scenes in this same form, so a scene
// built there opens here.
//
// Layout: the text "tessary-scene", format 1 (int), then the root list.
// A list: render mode (int); icon scale (point); local transformation
// (16 doubles); six clip planes, each enabled (int), point, normal; for
// every primitive kind in the display list's table order a count and the
// elements; a count and the child lists. Points as doubles. List IDs are
// not stored: a loaded list takes a fresh one.

#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace TessaryScene {

// Throws CArchiveException for a tree nested deeper than 64 lists, which a load would refuse.
void StoreScene(const Tessary::DisplayList3D& root, Tessary::CArchive& ar);
// Throws CArchiveException on anything that is not a whole scene file
// (children nested deeper than 64 lists included).
Tessary::DisplayList3D LoadScene(Tessary::CArchive& ar);

std::vector<unsigned char> SceneBytes(const Tessary::DisplayList3D& root);
// Loads the whole of `bytes`; bytes left over after the scene throw as well.
Tessary::DisplayList3D SceneFromBytes(std::vector<unsigned char>& bytes);

// What differs between two trees: settings and counts per list, each element's
// stored form, and the 3D and overlay pick dots. Empty when they agree.
std::vector<std::string> CompareScenes(const Tessary::DisplayList3D& a, const Tessary::DisplayList3D& b);

}  // namespace TessaryScene
