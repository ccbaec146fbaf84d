#pragma once

// One sample of every array of the display list, each with the values an
// archive form is most likely to drop set away from their defaults: the A
// byte of every colour, every object ID and every flag. Each row also has a
// probe that reads those values back from the list, through the getters, as
// one line of text.

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace KindSamples {

using namespace Tessary;

struct Sample {
    const char* row;  // the array's plural name, as in the display list's table
    std::function<void(DisplayList3D&)> add;
    std::function<std::string(const DisplayList3D&)> probe;
};

template <class... T>
std::string Fields(const T&... values) {
    std::ostringstream out;
    ((out << values << ' '), ...);
    return out.str();
}
inline int A(const Color& c) { return c.GetA(); }

inline std::string LineFields(const LinePrimitive& l) {
    return Fields(A(l.GetColor1()), A(l.GetColor2()), l.GetID1(), l.GetID2(), l.GetWidth());
}
inline std::string LitFields(const LitPrimitive& p) {
    return Fields(p.GetID(), static_cast<int>(p.GetMaterial()), static_cast<int>(p.GetRepresentation()));
}
inline std::string ShapeFields(const UnlitShapePrimitive& s) {
    return Fields(s.GetID(), A(s.GetForegroundColor()), A(s.GetBackgroundColor()), s.GetIsOutlined(),
                  s.GetIsFilled(), s.GetIsStippled(), static_cast<int>(s.GetStipplePattern()), s.GetOutlineWidth());
}
inline std::string TextFields(const TextStringPrimitive& t) {
    return ShapeFields(t) + Fields(t.GetShowCursor(), t.GetCursorPosition(), t.GetTextString().GetString(),
                                   t.GetFont().GetFace().GetString(), t.GetFont().GetSize());
}
inline std::string MeshFields(const TriangleMeshPrimitive& m) {
    std::string s = LitFields(m) + Fields(m.GetTwoSided(), m.GetLineWidth());
    for (int i = 0; i < m.GetNumVertices(); ++i) s += Fields(A(m.GetVertexAt(i).GetColor()), m.GetOIDAt(i));
    return s;
}

inline TetrahedronPrimitive Tetrahedron(int alpha, int hidden, unsigned id) {
    TetrahedronPrimitive t(Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0), Point3d(0, 0, 1));
    t.SetColor(Color(200, 100, 50, alpha));
    t.SetHiddenFace(hidden, true);
    t.SetID(id);
    t.SetMaterial(static_cast<LitPrimitive::Material>(3));
    t.SetRepresentation(static_cast<LitPrimitive::Representation>(4));
    return t;
}
inline CylinderPrimitive Cylinder(int alpha1, int alpha2, unsigned id) {
    CylinderPrimitive c(Point3d(0, 0, 0), Color(1, 2, 3, alpha1), Point3d(0, 0, 2), Color(4, 5, 6, alpha2), 0.25, id,
                        id + 1, id + 2);
    c.SetIsCapped(false);
    return c;
}
inline TriangleMeshPrimitive Mesh(int firstAlpha, unsigned id) {
    TriangleMeshPrimitive::VertexArray vertices;
    for (int i = 0; i < 3; ++i) {
        VertexNormal v(Point3d(i, i * i, 1), Point3d(0, 0, 1), Color(9, 9, 9, i == 0 ? firstAlpha : 60 + i));
        vertices.Add(v);
    }
    TriangleMeshPrimitive::TriangleArray triangles;
    TriangleIndex triangle(0, 1, 2);
    triangles.Add(triangle);
    OIDArray ids;
    for (unsigned i = 0; i < 3; ++i) ids.Add(id + 10 + i);
    TriangleMeshPrimitive m(vertices, triangles, ids);
    m.SetID(id);
    m.SetTwoSided(true);
    m.SetLineWidth(2.5f);
    return m;
}

inline const std::vector<Sample>& All() {
    static const std::vector<Sample> samples = {
        {"Lines",
         [](DisplayList3D& l) {
             LinePrimitive line(Point3d(0, 0, 0), Color(10, 20, 30, 40), Point3d(1, 1, 1), Color(50, 60, 70, 80), 3, 11);
             line.SetID2(12);
             l.Add(line);
         },
         [](const DisplayList3D& l) { return LineFields(l.GetLine(0)); }},
        {"DashedLines",
         [](DisplayList3D& l) {
             DashedLinePrimitive line(Point3d(0, 0, 0), Color(1, 1, 1, 90), Point3d(2, 0, 0), Color(2, 2, 2, 91), 2, 7,
                                      true, 13);
             line.SetID2(14);
             l.Add(line);
         },
         [](const DisplayList3D& l) {
             const DashedLinePrimitive& d = l.GetDashedLine(0);
             return LineFields(d) + Fields(d.GetNumDashes(), d.GetStartBlank());
         }},
        {"LineArrays",
         [](DisplayList3D& l) {
             LineArrayPrimitive::LineArray lines;
             lines.Add(LinePrimitive(Point3d(0, 0, 0), Color(1, 1, 1, 100), Point3d(0, 1, 0), Color(1, 1, 1, 101), 1, 15));
             LinePrimitive second(Point3d(1, 0, 0), Point3d(1, 1, 0), Color(3, 3, 3, 102), 4, 16, 17);
             lines.Add(second);
             LineArrayPrimitive array(2.5f, lines, true, 0xF0F0);
             array.SetID(18);
             l.Add(array);
         },
         [](const DisplayList3D& l) {
             const LineArrayPrimitive& a = l.GetLineArray(0);
             std::string s = Fields(a.GetID(), a.GetDashed(), a.GetDashPattern(), a.GetLineWidth());
             for (const LinePrimitive& line : a.GetLineArray()) s += LineFields(line);
             return s;
         }},
        {"OpaqueTetrahedrons", [](DisplayList3D& l) { l.Add(Tetrahedron(0, 2, 19)); },
         [](const DisplayList3D& l) {
             const TetrahedronPrimitive& t = l.GetOpaqueTetrahedron(0);
             return LitFields(t) + Fields(A(t.GetColor()), t.GetHiddenFace(0), t.GetHiddenFace(1), t.GetHiddenFace(2),
                                          t.GetHiddenFace(3));
         }},
        {"TransparentTetrahedrons", [](DisplayList3D& l) { l.Add(Tetrahedron(120, 1, 20)); },
         [](const DisplayList3D& l) {
             const TetrahedronPrimitive& t = l.GetTransparentTetrahedron(0);
             return LitFields(t) + Fields(A(t.GetColor()), t.GetHiddenFace(0), t.GetHiddenFace(1), t.GetHiddenFace(2),
                                          t.GetHiddenFace(3));
         }},
        {"OpaqueSpheres", [](DisplayList3D& l) { l.Add(SpherePrimitive(Point3d(1, 2, 3), 1.5, Color(9, 8, 7, 0), 21)); },
         [](const DisplayList3D& l) { return LitFields(l.GetOpaqueSphere(0)) + Fields(A(l.GetOpaqueSphere(0).GetColor())); }},
        {"TransparentSpheres",
         [](DisplayList3D& l) {
             SpherePrimitive s(Point3d(1, 2, 3), 1.5, Color(9, 8, 7, 130), 22);
             s.SetMaterial(static_cast<LitPrimitive::Material>(5));
             l.Add(s);
         },
         [](const DisplayList3D& l) {
             return LitFields(l.GetTransparentSphere(0)) + Fields(A(l.GetTransparentSphere(0).GetColor()));
         }},
        {"OpaqueEllipsoids",
         [](DisplayList3D& l) {
             l.Add(EllipsoidPrimitive(Point3d(0, 1, 0), Point3d(1, 2, 3), Matrix4x4(Point3d(0, 0, 1), 30.0),
                                      Color(1, 2, 3, 0), 23));
         },
         [](const DisplayList3D& l) {
             return LitFields(l.GetOpaqueEllipsoid(0)) + Fields(A(l.GetOpaqueEllipsoid(0).GetColor()));
         }},
        {"TransparentEllipsoids",
         [](DisplayList3D& l) {
             l.Add(EllipsoidPrimitive(Point3d(0, 1, 0), Point3d(1, 2, 3), Matrix4x4(Point3d(1, 0, 0), 45.0),
                                      Color(1, 2, 3, 135), 24));
         },
         [](const DisplayList3D& l) {
             return LitFields(l.GetTransparentEllipsoid(0)) + Fields(A(l.GetTransparentEllipsoid(0).GetColor()));
         }},
        {"OpaqueCylinders", [](DisplayList3D& l) { l.Add(Cylinder(0, 140, 25)); },
         [](const DisplayList3D& l) {
             const CylinderPrimitive& c = l.GetOpaqueCylinder(0);
             return LitFields(c) + Fields(A(c.GetColor1()), A(c.GetColor2()), c.GetEnd1ID(), c.GetEnd2ID(), c.GetIsCapped());
         }},
        {"TransparentCylinders", [](DisplayList3D& l) { l.Add(Cylinder(150, 0, 28)); },
         [](const DisplayList3D& l) {
             const CylinderPrimitive& c = l.GetTransparentCylinder(0);
             return LitFields(c) + Fields(A(c.GetColor1()), A(c.GetColor2()), c.GetEnd1ID(), c.GetEnd2ID(), c.GetIsCapped());
         }},
        {"Cones", [](DisplayList3D& l) { l.Add(ConePrimitive(Point3d(0, 0, 0), Point3d(0, 0, 1), Color(5, 5, 5, 160), 0.5, 31)); },
         [](const DisplayList3D& l) { return LitFields(l.GetCone(0)) + Fields(A(l.GetCone(0).GetColor())); }},
        {"Triangles",
         [](DisplayList3D& l) {
             l.Add(TrianglePrimitive(Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0), Point3d(0, 0, 1),
                                     Color(7, 7, 7, 170), 32));
         },
         [](const DisplayList3D& l) { return LitFields(l.GetTriangle(0)) + Fields(A(l.GetTriangle(0).GetColor())); }},
        {"OpaqueTriangleMeshes", [](DisplayList3D& l) { l.Add(Mesh(0, 33)); },
         [](const DisplayList3D& l) { return MeshFields(l.GetOpaqueTriangleMesh(0)); }},
        {"TransparentTriangleMeshes", [](DisplayList3D& l) { l.Add(Mesh(190, 50)); },
         [](const DisplayList3D& l) { return MeshFields(l.GetTransparentTriangleMesh(0)); }},
        {"Dots", [](DisplayList3D& l) { l.Add(DotPrimitive(Point3d(1, 1, 1), Color(1, 2, 3, 200), 4, 70)); },
         [](const DisplayList3D& l) { return Fields(l.GetDot(0).GetID(), A(l.GetDot(0).GetColor()), l.GetDot(0).GetWidth()); }},
        {"Arcs",
         [](DisplayList3D& l) {
             l.Add(ArcPrimitive(Point3d(0, 0, 0), Point3d(0, 0, 1), Point3d(1, 0, 0), 90.0, 8, Color(2, 2, 2, 210), 2, 71));
         },
         [](const DisplayList3D& l) {
             return Fields(l.GetArc(0).GetID(), A(l.GetArc(0).GetColor()), l.GetArc(0).GetNumPoints());
         }},
        {"Text3D",
         [](DisplayList3D& l) {
             Text3DPrimitive label("label", Point3d(1, 2, 3), 0.5, Color(20, 20, 20, 220), Font("Courier", 9), 72);
             label.SetIsAnnotation(true);
             l.Add(label);
         },
         [](const DisplayList3D& l) {
             const Text3DPrimitive& t = l.GetText3D(0);
             return Fields(t.GetID(), A(t.GetColor()), t.GetIsAnnotation(), t.GetText(), t.GetFont().GetFace().GetString());
         }},
        {"UnlitTriangles",
         [](DisplayList3D& l) {
             l.Add(UnlitTrianglePrimitive(Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0), Color(3, 3, 3, 230), 73));
         },
         [](const DisplayList3D& l) { return Fields(l.GetUnlitTriangle(0).GetID(), A(l.GetUnlitTriangle(0).GetColor())); }},
        {"Rect2D", [](DisplayList3D& l) { l.Add(Rect2DPrimitive(Point3d(1, 2, 3), Color(4, 4, 4, 240), 5, 6, 74)); },
         [](const DisplayList3D& l) {
             const Rect2DPrimitive& r = l.GetRect2D(0);
             return Fields(r.GetID(), A(r.GetColor()), r.GetCoord().x, r.GetCoord().y, r.GetCoord().z, r.GetWidth(),
                           r.GetHeight());
         }},
        {"Volume",
         [](DisplayList3D& l) {
             ColorArray ramp(CString("Ramp"));
             ramp.Add(Color(0, 0, 255, 10));
             ramp.Add(Color(255, 0, 0, 250));
             BoolArray transfer;
             transfer.Add(true);
             transfer.Add(false);
             l.Add(VolumePrimitive(nullptr, -1.0f, 2.0f, 0.0f, 1.0f, true, ramp, 0.5f, transfer, 75));
         },
         [](const DisplayList3D& l) {
             const VolumePrimitive& v = l.GetVolume(0);
             std::string s = Fields(v.GetID(), v.GetClipOutsideRange(), v.GetColors().GetName().GetString());
             for (const Color& c : v.GetColors()) s += Fields(A(c));
             for (bool on : v.GetTransferFunction()) s += Fields(on);
             return s;
         }},
        {"Icon",
         [](DisplayList3D& l) {
             IconPrimitive icon(Point3d(1, 0, 0), 7, true, false, Color(5, 5, 5, 245), 76);
             icon.SetIconScale(2.0);
             l.Add(icon);
         },
         [](const DisplayList3D& l) {
             const IconPrimitive& i = l.GetIcon(0);
             return Fields(i.GetID(), A(i.GetColor()), i.GetIconID(), i.GetRotationInvariant(), i.GetScaleInvariant(),
                           i.GetUseColor(), i.GetIconScale());
         }},
        {"LineSegments",
         [](DisplayList3D& l) { l.Add(LineSegmentPrimitive(Point2d(0, 0), Point2d(5, 5), Color(1, 1, 1, 1), 2, 77)); },
         [](const DisplayList3D& l) {
             const LineSegmentPrimitive& s = l.GetLineSegment(0);
             return Fields(s.GetID(), A(s.GetColor()), s.GetPoints().GetSize(), s.GetWidth());
         }},
        {"Polylines",
         [](DisplayList3D& l) {
             Point2d::Array points;
             for (int i = 0; i < 3; ++i) points.Add(Point2d(i, 2 * i));
             l.Add(PolylinePrimitive(points, Color(1, 1, 1, 2), 3, 78));
         },
         [](const DisplayList3D& l) {
             const PolylinePrimitive& p = l.GetPolyline(0);
             return Fields(p.GetID(), A(p.GetColor()), p.GetPoints().GetSize(), p.GetWidth());
         }},
        {"Rectangles",
         [](DisplayList3D& l) {
             RectanglePrimitive r(Point2d(20, 10), Point2d(5, 5), false, Color(1, 1, 1, 3), 2, true, Color(2, 2, 2, 4), 79);
             r.SetIsStippled(true);
             r.SetStipplePattern(static_cast<UnlitShapePrimitive::StipplePattern>(7));
             l.Add(r);
         },
         [](const DisplayList3D& l) { return ShapeFields(l.GetRectangle(0)); }},
        {"Ellipses",
         [](DisplayList3D& l) {
             l.Add(EllipsePrimitive(Point2d(8, 6), Point2d(1, 1), true, Color(1, 1, 1, 5), 3, true, Color(2, 2, 2, 6), 80));
         },
         [](const DisplayList3D& l) { return ShapeFields(l.GetEllipse(0)); }},
        {"TriangleShapes",
         [](DisplayList3D& l) {
             l.Add(TriangleShapePrimitive(Point2d(0, 0), Point2d(4, 0), Point2d(0, 4), true, Color(1, 1, 1, 7), 1, true,
                                          Color(2, 2, 2, 8), 81));
         },
         [](const DisplayList3D& l) { return ShapeFields(l.GetTriangleShape(0)); }},
        {"TextStrings",
         [](DisplayList3D& l) {
             TextStringPrimitive t(CString("text"), Font("Times", 10), Point2d(3, 4), true, Color(1, 1, 1, 9), 1, false,
                                   Color(2, 2, 2, 10), 82);
             t.SetShowCursor(true);
             t.SetCursorPosition(2);
             l.Add(t);
         },
         [](const DisplayList3D& l) { return TextFields(l.GetTextString(0)); }},
        {"TextBoxes",
         [](DisplayList3D& l) {
             l.Add(TextBoxPrimitive(30.0f, true, CString("box"), Font("Courier", 11), Point2d(5, 6), false,
                                    Color(1, 1, 1, 11), 2, true, Color(2, 2, 2, 12), 83));
         },
         [](const DisplayList3D& l) {
             const TextBoxPrimitive& b = l.GetTextBox(0);
             return TextFields(b) + Fields(b.GetShowHandles(), b.GetBoxWidth());
         }},
        {"TextCallouts",
         [](DisplayList3D& l) {
             TextCalloutPrimitive c(Point3d(1, 2, 3), 40.0f, true, CString("callout"), Font("Arial", 14), Point2d(7, 8),
                                    true, Color(1, 1, 1, 13), 1, true, Color(2, 2, 2, 14), 84);
             c.SetLocation2d(Point2d(9, 10));
             l.Add(c);
         },
         [](const DisplayList3D& l) {
             const TextCalloutPrimitive& c = l.GetTextCallout(0);
             return TextFields(c) + Fields(c.GetShowHandles(), c.GetLocation().z, c.GetLocation2d().y);
         }},
    };
    return samples;
}

// A list with the sample of every row whose name is in `rows` (all rows when empty).
inline DisplayList3D ListOf(const std::vector<std::string>& rows = {}) {
    DisplayList3D list;
    for (const Sample& s : All()) {
        bool wanted = rows.empty();
        for (const std::string& r : rows) wanted = wanted || r == s.row;
        if (wanted) s.add(list);
    }
    return list;
}

// A tree of the kinds whose whole state the first scene file format kept,
// with every list setting changed: what tests/format1_kinds.scene holds.
inline DisplayList3D FormatOneScene() {
    DisplayList3D root = ListOf({"Lines", "OpaqueTetrahedrons", "TransparentTetrahedrons", "OpaqueSpheres",
                                 "TransparentSpheres", "OpaqueEllipsoids", "TransparentEllipsoids", "OpaqueCylinders",
                                 "TransparentCylinders", "Cones", "OpaqueTriangleMeshes", "TransparentTriangleMeshes",
                                 "Arcs", "UnlitTriangles", "LineSegments", "Polylines", "Rectangles", "Ellipses",
                                 "TriangleShapes", "TextStrings", "TextBoxes", "TextCallouts"});
    DisplayList3D child = ListOf({"Lines", "OpaqueSpheres"});
    child.SetRenderMode(static_cast<DisplayList3D::RenderMode>(3));
    child.SetIconScale(Point3d(2, 2, 0.5));
    child.SetLocalTransformation(Matrix4x4(Point3d(0, 1, 0), 30.0));
    child.SetClipPlane(1, Plane(Point3d(0, 0, 1), Point3d(0, 0.6, -0.8)));
    child.SetClipPlaneEnabled(1, true);
    child.Add(ListOf({"Cones"}));
    root.Add(child);
    return root;
}

}  // namespace KindSamples
