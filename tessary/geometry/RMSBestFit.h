#pragma once

// Least-squares superposition of matched point sets. Both methods find the
// proper rotation followed by a translation that brings A as close as
// possible onto B (matched by index) and apply it, p' = p * M + t, to every
// point of C, which is typically the whole molecule that A was taken from.
// Neither tests for reflections: mirror images are superimposed as well as
// a rotation allows.
//
// RMSBestFit rotates about the coordinate axes in turn until a full cycle no
// longer improves the fit by more than the 0.001 rule (or 101 axis steps), so
// its result is close but not exact. The quaternion method of
// FindAndApplyTransformation is closed-form and exact to rounding.
//
// Centroids are summed in single precision, as the stored results of earlier
// hosts were computed that way.

#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

// Moves C by the best fit of A onto B. Nothing happens when A is empty or B
// holds fewer points than A; a single pair only translates.
TESSARY_API void RMSBestFit(const Point3d::Array& A, const Point3d::Array& B, Point3d::Array& C);

namespace RMSBestFitTools {

// The quaternion method. False, with C unchanged, when A and B differ in
// size, A or C is empty, or the fit cannot be computed (non-finite input).
TESSARY_API bool FindAndApplyTransformation(const Point3d::Array& A, const Point3d::Array& B, Point3d::Array& C);

// Least-squares plane: centre and unit normal (its sign is arbitrary).
// No points: centre (0, 0, 0); one point: that point; either way, and when
// the points are not finite, the normal is (0, 0, 1).
TESSARY_API void FindPlane(const Point3d::Array& points, Point3d& centre, Point3d& normal);

}  // namespace RMSBestFitTools

}  // namespace Tessary
