#pragma once

// The display list files each lit kind in an opaque and a transparent array;
// the module reads and stores them as one sequence, opaque first. These give
// the count and the element of either array by a flag.

#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace tessary_python {

using Tessary::CylinderPrimitive;
using Tessary::DisplayList3D;
using Tessary::SpherePrimitive;
using Tessary::TriangleMeshPrimitive;

inline int NumSpheres(const DisplayList3D& l, bool transparent) {
    return transparent ? l.GetNumTransparentSpheres() : l.GetNumOpaqueSpheres();
}
inline const SpherePrimitive& GetSphere(const DisplayList3D& l, bool transparent, int i) {
    return transparent ? l.GetTransparentSphere(i) : l.GetOpaqueSphere(i);
}
inline int NumCylinders(const DisplayList3D& l, bool transparent) {
    return transparent ? l.GetNumTransparentCylinders() : l.GetNumOpaqueCylinders();
}
inline const CylinderPrimitive& GetCylinder(const DisplayList3D& l, bool transparent, int i) {
    return transparent ? l.GetTransparentCylinder(i) : l.GetOpaqueCylinder(i);
}
inline int NumMeshes(const DisplayList3D& l, bool transparent) {
    return transparent ? l.GetNumTransparentTriangleMeshes() : l.GetNumOpaqueTriangleMeshes();
}
inline const TriangleMeshPrimitive& GetMesh(const DisplayList3D& l, bool transparent, int i) {
    return transparent ? l.GetTransparentTriangleMesh(i) : l.GetOpaqueTriangleMesh(i);
}

// Calls each(element) for the opaque, then the transparent elements of a kind.
template <class Count, class Get, class Each>
void ForEachOfKind(const DisplayList3D& list, Count count, Get get, Each each) {
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < count(list, pass == 1); ++i) each(get(list, pass == 1, i));
}

}  // namespace tessary_python
