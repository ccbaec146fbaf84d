#include "SceneWalk.h"

#include <cmath>

namespace TessaryScene {

using Tessary::Color;
using Tessary::DisplayList3D;
using Tessary::Matrix4x4;
using Tessary::Point3d;

namespace {

// One list's aggregate transformation and its enabled planes in world space.
class Frame {
public:
    Frame(const DisplayList3D& list, const Matrix4x4& m) : m_m(m) {
        // As the pick dots do: the plane's point by m, its normal by m
        // without the translation, then normalised.
        Matrix4x4 linear(m);
        linear(3, 0) = linear(3, 1) = linear(3, 2) = 0.0;
        for (int i = 0; i < list.GetMaxClipPlanes(); ++i) {
            if (!list.GetClipPlaneEnabled(i)) continue;
            Point3d point, normal;
            list.GetClipPlane(i).Get(point, normal);
            const Tessary::Plane world(point * m, (normal * linear).Normalize());
            double* abcd = m_planes[m_count++];
            world.GetABCD(abcd[0], abcd[1], abcd[2], abcd[3]);
        }
    }

    Point3d operator()(const Point3d& p) const { return m_m.Transform(p); }

    // False for a point cut away, or one without a finite image.
    bool Kept(const Point3d& q) const {
        if (!HasImage(q)) return false;
        for (int i = 0; i < m_count; ++i) {
            const double* p = m_planes[i];
            if (!(p[0] * q.x + p[1] * q.y + p[2] * q.z + p[3] >= 0.0)) return false;
        }
        return true;
    }

private:
    Matrix4x4 m_m;
    double m_planes[6][4] = {};
    int m_count = 0;
};

Point3d Centroid(const Point3d& a, const Point3d& b, const Point3d& c) { return (a + b + c) / 3.0; }

// The mean of three colours, A included.
Color Mean(Color a, Color b, Color c) {
    const auto mean = [](int x, int y, int z) { return (x + y + z + 1) / 3; };
    return Color(mean(a.GetR(), b.GetR(), c.GetR()), mean(a.GetG(), b.GetG(), c.GetG()),
                 mean(a.GetB(), b.GetB(), c.GetB()), mean(a.GetA(), b.GetA(), c.GetA()));
}

void WalkLine(const Frame& f, const Tessary::LinePrimitive& p, double width, const LineDash& dash, WorldSink& sink) {
    const Point3d a = f(p.GetEnd1()), b = f(p.GetEnd2());
    if (f.Kept(a.MidPoint(b))) sink.Line(a, b, p.GetColor1(), p.GetColor2(), width, dash);
}

void WalkTetrahedron(const Frame& f, const Tessary::TetrahedronPrimitive& p, WorldSink& sink) {
    Point3d v[4];
    p.GetTetrahedronVertices(v[0], v[1], v[2], v[3]);
    for (Point3d& corner : v) corner = f(corner);
    if (!f.Kept((v[0] + v[1] + v[2] + v[3]) / 4.0)) return;
    for (int face = 0; face < 4; ++face) {
        if (p.GetHiddenFace(face)) continue;
        Point3d a, b, c;
        p.GetFaceVertices(face, a, b, c);
        sink.Face(f(a), f(b), f(c), p.GetColor(), true);
    }
}

void WalkMesh(const Frame& f, const Tessary::TriangleMeshPrimitive& mesh, WorldSink& sink) {
    for (int i = 0; i < mesh.GetNumTriangles(); ++i) {
        if (!mesh.IsValidTriangle(i)) continue;
        const Tessary::TriangleIndex& t = mesh.GetTriangleAt(i);
        const Tessary::VertexNormal &va = mesh.GetVertexAt(t.GetA()), &vb = mesh.GetVertexAt(t.GetB()),
                                    &vc = mesh.GetVertexAt(t.GetC());
        const Point3d a = f(va.GetPoint()), b = f(vb.GetPoint()), c = f(vc.GetPoint());
        if (f.Kept(Centroid(a, b, c))) sink.Face(a, b, c, Mean(va.GetColor(), vb.GetColor(), vc.GetColor()), true);
    }
}

void WalkEllipsoid(const Frame& f, const Tessary::EllipsoidPrimitive& p, WorldSink& sink) {
    const Point3d centre = f(p.GetCenter());
    if (!f.Kept(centre)) return;
    // Row i of the axis matrix is where the unit axis i goes (row vectors).
    const Point3d& size = p.GetSize();
    const Matrix4x4& m = p.GetMatrix();
    double axes[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) axes[i][j] = size[i] * m(i, j);
    sink.Ellipsoid(centre, axes, p.GetColor());
}

// The list's own primitives; returns its aggregate transformation, its children's parent.
Matrix4x4 WalkOwn(const DisplayList3D& list, const Matrix4x4& parent, WorldSink& sink) {
    const Matrix4x4 m = parent * list.GetLocalTransformation();
    const Frame f(list, m);
    sink.List(list, m);

    const LineDash solid;
    for (int i = 0; i < list.GetNumLines(); ++i) {
        const auto& p = list.GetLine(i);
        WalkLine(f, p, p.GetWidth(), solid, sink);
    }
    for (int i = 0; i < list.GetNumDashedLines(); ++i) {
        const auto& p = list.GetDashedLine(i);
        LineDash dash;
        dash.kind = LineDash::Count;
        dash.count = p.GetNumDashes();
        dash.startBlank = p.GetStartBlank();
        WalkLine(f, p, p.GetWidth(), dash, sink);
    }
    for (int i = 0; i < list.GetNumLineArrays(); ++i) {
        const auto& array = list.GetLineArray(i);
        LineDash dash;
        if (array.GetDashed()) {
            dash.kind = LineDash::Stipple;
            dash.stipple = array.GetDashPattern();
        }
        for (const auto& line : array.GetLineArray()) WalkLine(f, line, array.GetLineWidth(), dash, sink);
    }
    for (int i = 0; i < list.GetNumOpaqueTetrahedrons(); ++i) WalkTetrahedron(f, list.GetOpaqueTetrahedron(i), sink);
    for (int i = 0; i < list.GetNumTransparentTetrahedrons(); ++i)
        WalkTetrahedron(f, list.GetTransparentTetrahedron(i), sink);

    const auto sphere = [&](const Tessary::SpherePrimitive& p) {
        const Point3d c = f(p.GetCenter());
        if (f.Kept(c)) sink.Sphere(c, p.GetRadius(), p.GetColor());
    };
    for (int i = 0; i < list.GetNumOpaqueSpheres(); ++i) sphere(list.GetOpaqueSphere(i));
    for (int i = 0; i < list.GetNumTransparentSpheres(); ++i) sphere(list.GetTransparentSphere(i));
    for (int i = 0; i < list.GetNumOpaqueEllipsoids(); ++i) WalkEllipsoid(f, list.GetOpaqueEllipsoid(i), sink);
    for (int i = 0; i < list.GetNumTransparentEllipsoids(); ++i)
        WalkEllipsoid(f, list.GetTransparentEllipsoid(i), sink);

    const auto cylinder = [&](const Tessary::CylinderPrimitive& p) {
        const Point3d a = f(p.GetEnd1()), b = f(p.GetEnd2());
        if (f.Kept(a.MidPoint(b))) sink.Cylinder(a, b, p.GetRadius(), p.GetColor1(), p.GetColor2());
    };
    for (int i = 0; i < list.GetNumOpaqueCylinders(); ++i) cylinder(list.GetOpaqueCylinder(i));
    for (int i = 0; i < list.GetNumTransparentCylinders(); ++i) cylinder(list.GetTransparentCylinder(i));

    for (int i = 0; i < list.GetNumTriangles(); ++i) {
        const auto& p = list.GetTriangle(i);
        const Point3d a = f(p.GetEnd1()), b = f(p.GetEnd2()), c = f(p.GetEnd3());
        if (f.Kept(Centroid(a, b, c))) sink.Face(a, b, c, p.GetColor(), true);
    }
    for (int i = 0; i < list.GetNumUnlitTriangles(); ++i) {
        const auto& p = list.GetUnlitTriangle(i);
        const Point3d a = f(p.GetEnd1()), b = f(p.GetEnd2()), c = f(p.GetEnd3());
        if (f.Kept(Centroid(a, b, c))) sink.Face(a, b, c, p.GetColor(), false);
    }
    for (int i = 0; i < list.GetNumOpaqueTriangleMeshes(); ++i) WalkMesh(f, list.GetOpaqueTriangleMesh(i), sink);
    for (int i = 0; i < list.GetNumTransparentTriangleMeshes(); ++i)
        WalkMesh(f, list.GetTransparentTriangleMesh(i), sink);

    for (int i = 0; i < list.GetNumDots(); ++i) {
        const auto& p = list.GetDot(i);
        const Point3d c = f(p.GetCoord());
        if (f.Kept(c)) sink.Dot(c, p.GetColor(), p.GetWidth());
    }
    for (int i = 0; i < list.GetNumArcs(); ++i) {
        const auto& p = list.GetArc(i);
        const Point3d::Array& points = p.GetPoints();
        for (int k = 1; k < points.GetSize(); ++k) {
            const Point3d a = f(points[k - 1]), b = f(points[k]);
            if (f.Kept(a.MidPoint(b))) sink.Line(a, b, p.GetColor(), p.GetColor(), p.GetWidth(), solid);
        }
    }
    for (int i = 0; i < list.GetNumText3D(); ++i) {
        const auto& p = list.GetText3D(i);
        if (p.GetIsAnnotation()) continue;
        const Point3d c = f(p.GetPosition());
        if (f.Kept(c)) sink.Label(c, p);
    }
    return m;
}

}  // namespace

void WalkWorld(const DisplayList3D& root, WorldSink& sink) {
    ForEachList(root, Matrix4x4(Matrix4x4::IdentityMatrix),
                [&](const DisplayList3D& list, const Matrix4x4& parent) { return WalkOwn(list, parent, sink); });
}

}  // namespace TessaryScene
