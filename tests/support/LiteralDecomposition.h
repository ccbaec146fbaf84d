#pragma once

// The tetrahedron decomposition read word for word: every face of every
// earlier tetrahedron is tested for each new point, through the public
// accessors only. Tests compare the library's decomposition with it, and the
// benchmark uses it as the baseline the library's face list must beat.

#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

namespace TessaryTest {

inline void LiteralAddPoint(Tessary::TetrahedronPrimitive::Array& result, const Tessary::Point3d& point) {
    using Tessary::Point3d;
    using Tessary::TetrahedronPrimitive;
    const int firstNew = result.GetSize();
    for (int t = 0; t < firstNew; ++t) {
        for (int f = 0; f < 4; ++f) {
            if (result[t].GetHiddenFace(f)) continue;
            if ((point - result[t].GetFaceCentroid(f)).Dot(result[t].GetFaceNormal(f)) <= 0.001) continue;
            Point3d a, b, c;
            result[t].GetFaceVertices(f, a, b, c);
            result.Add(TetrahedronPrimitive(a, b, c, point));
            result[t].SetHiddenFace(f, true);
            result[result.GetSize() - 1].SetHiddenFace(0, true);
        }
    }
    for (int i = firstNew; i < result.GetSize(); ++i)
        for (int j = i + 1; j < result.GetSize(); ++j)
            for (int k = 0; k < 4; ++k) {
                if (result[i].GetHiddenFace(k)) continue;
                for (int l = 0; l < 4; ++l)
                    if (Distance(result[i].GetFaceCentroid(k), result[j].GetFaceCentroid(l)) < 0.001) {
                        result[i].SetHiddenFace(k, true);
                        result[j].SetHiddenFace(l, true);
                    }
            }
}

inline void LiteralDecompose(Tessary::TetrahedronPrimitive::Array& result, const Tessary::Point3d::Array& points) {
    if (points.GetSize() < 4) return;
    result.Add(Tessary::TetrahedronPrimitive(points[0], points[1], points[2], points[3]));
    for (int i = 4; i < points.GetSize(); ++i) LiteralAddPoint(result, points[i]);
}

}  // namespace TessaryTest
