#pragma once

// The byte form of a scene built from Python. The library archives every
// primitive but never a display list, so the list's own layout is ours; each
// primitive still goes through its own Serialize, so its bytes are the
// library's. Little-endian, no padding:
//
//   header   archive string "tessary.scene", uint32 layout 1, uint32 object
//            schema of the primitive forms (13)
//   list     int32 render mode; local transformation (16 doubles, row-major);
//            6 clip planes, each: byte enabled, point, normal (3 floats each);
//            icon scale (3 floats);
//            count, then each sphere: its form, then its colour's A byte;
//            count, then each cylinder: its form, A of colour 1 and 2 (bytes),
//              end 1 ID and end 2 ID (uint32), capped (byte);
//            count, then each mesh: its form, line width (float), count and
//              that many per-vertex IDs (uint32), one A byte per vertex;
//            count, then each child list, the same way (at most 64 deep).
//   Counts use the archive's count encoding. Spheres, cylinders and meshes
//   come opaque first, then transparent. The forms clear A and leave out the
//   end IDs, capped flag, line width and vertex IDs, so those follow them.
//
// Loading rebuilds the tree in a fresh list (new IDs) and throws
// CArchiveException on any malformed or truncated input, bytes left over
// included.

#include <vector>

#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace tessary_python {

std::vector<unsigned char> StoreScene(const Tessary::DisplayList3D& list);
Tessary::DisplayList3D LoadScene(std::vector<unsigned char>& bytes);

}  // namespace tessary_python
