#include "tessary/graphics/displaylist/IconLibrary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>

namespace Tessary {
namespace {

// One test: the library's state is process-wide and built once.
TEST(IconLibrary, BuildsTheFourBuiltInIconsOnceAndHandsOutIDsFromFive) {
    const DisplayList3D before;
    EXPECT_EQ(IconLibrary::GetNewIconID(), 5u);
    EXPECT_EQ(IconLibrary::GetNewIconID(), 6u);
    EXPECT_EQ(DisplayList3D().GetID(), before.GetID() + 5) << "the four icons take four list IDs";

    IconLibrary::IndexMap& index = IconLibrary::GetIconIndex();
    EXPECT_EQ(&index, &IconLibrary::GetIconIndex());
    EXPECT_EQ(index.GetCount(), 4);
    const IconLibrary::DefinitionMap& definitions = IconLibrary::GetIconDefinitions();
    struct Expected {
        const char* name;
        int lines, unlitTriangles;
    };
    const Expected expected[] = {{"Tessary.jack", 3, 0}, {"Tessary.cross", 2, 0}, {"Tessary.triangle", 0, 1},
                                 {"Tessary.diamond", 24, 0}};
    for (unsigned id = 1; id <= 4; ++id) {
        const Expected& e = expected[id - 1];
        SCOPED_TRACE(e.name);
        unsigned found = 0;
        EXPECT_TRUE(index.Lookup(e.name, found));
        EXPECT_EQ(found, id);
        const auto* icon = definitions.PLookup(id);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->value.GetID(), before.GetID() + id);
        EXPECT_EQ(icon->value.GetNumLines(), e.lines);
        EXPECT_EQ(icon->value.GetNumUnlitTriangles(), e.unlitTriangles);
        for (int i = 0; i < icon->value.GetNumLines(); ++i) {
            const LinePrimitive& line = icon->value.GetLine(i);
            EXPECT_EQ(line.GetColor1(), Color(255, 255, 255, 0));
            EXPECT_EQ(line.GetColor2(), Color(255, 255, 255, 0));
            EXPECT_EQ(line.GetWidth(), 1);
            EXPECT_EQ(line.GetID1() + line.GetID2(), 0u);
        }
    }
    unsigned missing = 0;
    EXPECT_FALSE(index.Lookup("tessary.jack", missing)) << "names are case-sensitive";
    EXPECT_EQ(IconLibrary::GetNewIconID(), 7u) << "looking up does not rebuild";

    const UnlitTrianglePrimitive& triangle = definitions.PLookup(3)->value.GetUnlitTriangle(0);
    EXPECT_EQ(triangle.GetEnd1(), Point3d(-0.5, -0.28867513459481287, 0));
    EXPECT_EQ(triangle.GetEnd3(), Point3d(0, 0.5773502691896257, 0));
    EXPECT_EQ(triangle.GetColor(), Color(0, 255, 255, 0));

    // The diamond outlines each of the octahedron's twelve edges twice.
    const DisplayList3D& diamond = definitions.PLookup(4)->value;
    std::map<std::pair<std::string, std::string>, int> edges;
    const auto key = [](const Point3d& p) {
        return std::to_string(std::lround(p.x * 1000)) + "," + std::to_string(std::lround(p.y * 1000)) + "," +
               std::to_string(std::lround(p.z * 1000));
    };
    for (int i = 0; i < diamond.GetNumLines(); ++i) {
        std::string a = key(diamond.GetLine(i).GetEnd1()), b = key(diamond.GetLine(i).GetEnd2());
        if (b < a) std::swap(a, b);
        ++edges[{a, b}];
    }
    EXPECT_EQ(edges.size(), 12u);
    for (const auto& edge : edges) EXPECT_EQ(edge.second, 2);
    Point3d q1(-0.5, 0, -0.5);
    q1.RotateAboutY(30.0);
    EXPECT_EQ(diamond.GetLine(0).GetEnd1(), q1);
    EXPECT_EQ(diamond.GetLine(1).GetEnd2(), Point3d(0, 1, 0));
    EXPECT_EQ(diamond.GetLine(23).GetEnd1(), Point3d(0, -1, 0));
}

}  // namespace
}  // namespace Tessary
