#include "tessary/graphics/displaylist/IconLibrary.h"

#include <cmath>
#include <initializer_list>
#include <utility>

#include "tessary/graphics/displaylist/detail/DisplayListStatics.h"
#include "tessary/graphics/primitives/LinePrimitives.h"

namespace Tessary {

namespace {

const Color kWhite(255, 255, 255);
const Color kCyan(0, 255, 255);

using Segment = std::pair<Point3d, Point3d>;

DisplayList3D LineIcon(std::initializer_list<Segment> segments) {
    DisplayList3D icon;
    for (const Segment& s : segments) icon.Add(LinePrimitive(s.first, s.second, kWhite, 1, 0));
    return icon;
}

DisplayList3D Jack() {
    return LineIcon({{Point3d(-0.5, 0, 0), Point3d(0.5, 0, 0)},
                     {Point3d(0, -0.5, 0), Point3d(0, 0.5, 0)},
                     {Point3d(0, 0, -0.5), Point3d(0, 0, 0.5)}});
}

DisplayList3D Cross() {
    return LineIcon({{Point3d(-0.5, 0, 0), Point3d(0.5, 0, 0)}, {Point3d(0, -0.5, 0), Point3d(0, 0.5, 0)}});
}

// Side 1, centroid at the origin, apex towards +y.
DisplayList3D Triangle() {
    const double angle = 0.5235987755982988;  // 30 degrees
    const double h = 0.5 * std::tan(angle);
    const double r = 0.5 / std::cos(angle);
    DisplayList3D icon;
    icon.Add(UnlitTrianglePrimitive(Point3d(-0.5, -h, 0), Point3d(0.5, -h, 0), Point3d(0, r, 0), kCyan, 0));
    return icon;
}

// An octahedron, each face outlined on its own: every edge twice.
DisplayList3D Diamond() {
    Point3d q[4] = {Point3d(-0.5, 0, -0.5), Point3d(-0.5, 0, 0.5), Point3d(0.5, 0, 0.5), Point3d(0.5, 0, -0.5)};
    for (Point3d& p : q) p.RotateAboutY(30.0);
    DisplayList3D icon;
    for (const Point3d& apex : {Point3d(0, 1, 0), Point3d(0, -1, 0)}) {
        for (int i = 0; i < 4; ++i) {
            const Point3d& a = q[i];
            const Point3d& b = q[(i + 1) % 4];
            for (const Segment& s : {Segment(a, b), Segment(b, apex), Segment(apex, a)})
                icon.Add(LinePrimitive(s.first, s.second, kWhite, 1, 0));
        }
    }
    return icon;
}

}  // namespace

void IconLibrary::Initialize() {
    detail::IconLibraryMaps& maps = detail::g_iconLibraryMaps;
    if (!maps.m_definitions) maps.m_definitions.emplace(10);
    if (!maps.m_index) maps.m_index.emplace(10);
    if (maps.m_initialized) return;
    maps.m_definitions->InitHashTable(257);
    maps.m_index->InitHashTable(257);
    maps.m_initialized = true;

    struct BuiltIn {
        const char* name;
        DisplayList3D (*build)();
    };
    const BuiltIn builtIns[] = {
        {"Tessary.jack", Jack}, {"Tessary.cross", Cross}, {"Tessary.triangle", Triangle}, {"Tessary.diamond", Diamond}};
    unsigned int iconID = 0;
    for (const BuiltIn& icon : builtIns) {
        DisplayList3D definition = icon.build();
        maps.m_definitions->SetAt(++iconID, definition);
        maps.m_index->SetAt(CString(icon.name), iconID);
    }
    m_pIconDefinitions = &*maps.m_definitions;
    m_pIconIndex = &*maps.m_index;
    m_iconID = iconID;
}

IconLibrary::DefinitionMap& IconLibrary::GetIconDefinitions() {
    Initialize();
    return *m_pIconDefinitions;
}

IconLibrary::IndexMap& IconLibrary::GetIconIndex() {
    Initialize();
    return *m_pIconIndex;
}

unsigned IconLibrary::GetNewIconID() {
    Initialize();
    return ++m_iconID;
}

}  // namespace Tessary
