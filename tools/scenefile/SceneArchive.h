#pragma once

// The scene file: a display-list tree stored through the library's archive,
// shared by tessary-scene, the Python module and the fuzz target (it needs
// nothing but the library). Each primitive goes in its own archive form,
// followed by what that form leaves out and a viewer still needs: the A byte
// of every colour the form clears (A decides transparency), a cylinder's end
// IDs and cap, a tetrahedron's hidden faces, a mesh's line width and
// per-vertex IDs, a screen rectangle's whole state, a volume ramp's name.
// Every element goes back into the array it was stored from.
//
// Layout: the text "tessary-scene"; the format (int); from format 2 on, the
// object schema the forms are written with (32 bits); then the lists in
// pre-order. A list: render mode (int); icon scale (point); local
// transformation (16 doubles); six clip planes, each enabled (int), point,
// normal; for every array in the display list's table order a count and the
// elements; a count of child lists. Points of the list header as three floats.
// List IDs are not stored: a loaded list takes a fresh one; a volume's grid
// is the host's and is never stored.
//
// Format 1 wrote no schema (the forms were written with the archive's unset
// schema) and fewer extras; it is still read.
//
// Nesting has no limit of its own: storing, loading and comparing walk the
// tree with a stack on the heap, and a file holds at least a few hundred
// bytes per list, so its depth is bounded by its size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace TessaryScene {

// The format StoreScene writes, and the object schema it writes the forms
// with: the newest version any of the library's forms knows (13, a line
// array's stipple). It is named in the file rather than left unset because
// the unset schema reads as newer than every version: a field the library
// adds in a later version would be expected in every file already written.
constexpr int kSceneFormat = 2;
constexpr std::uint32_t kSceneObjectSchema = 13;

// Writes the newest format. The archive's object schema is restored afterwards.
void StoreScene(const Tessary::DisplayList3D& root, Tessary::CArchive& ar);
// Reads format 1 or 2. Throws CArchiveException on anything that is not a
// whole scene: another magic text or format (badClass, badSchema), an object
// schema newer than kSceneObjectSchema (badSchema), bad counts or a short file.
Tessary::DisplayList3D LoadScene(Tessary::CArchive& ar);

std::vector<unsigned char> SceneBytes(const Tessary::DisplayList3D& root);
// Loads the whole of `bytes`; bytes left over after the scene throw as well.
Tessary::DisplayList3D SceneFromBytes(std::vector<unsigned char>& bytes);

// True when `data` starts with a scene file's magic text (whatever follows).
bool IsSceneFile(const unsigned char* data, std::size_t size);

// What differs between two trees, through the objects' getters: list
// settings, counts per array, every element's state (colours with A, IDs,
// flags) and the 3D and overlay pick dots. Empty when they agree. Numbers
// compare exactly; NaN equals NaN.
std::vector<std::string> CompareScenes(const Tessary::DisplayList3D& a, const Tessary::DisplayList3D& b);

}  // namespace TessaryScene
