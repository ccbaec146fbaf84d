// The scene file on its own: every kind of the display list comes back with
// its transparency, IDs and flags and in the array it was stored from; the
// comparison sees what the archive forms drop; the header names the schema;
// files of the first format still load; deep trees need no deep recursion.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "KindSamples.h"
#include "SceneArchive.h"

using namespace Tessary;
using namespace TessaryScene;

namespace {

using Differences = std::vector<std::string>;

DisplayList3D RoundTrip(const DisplayList3D& list) {
    std::vector<unsigned char> bytes = SceneBytes(list);
    return SceneFromBytes(bytes);
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SceneFile, SamplesCoverEveryArrayOfTheList) {
    const DisplayList3D all = KindSamples::ListOf();
#define TESSARY_TEST_ROW(Class, Plural, ...) EXPECT_EQ(all.GetNum##Plural(), 1) << #Plural;
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_TEST_ROW)
#undef TESSARY_TEST_ROW
}

TEST(SceneFile, EveryKindKeepsItsAlphaIDsAndFlags) {
    for (const KindSamples::Sample& sample : KindSamples::All()) {
        SCOPED_TRACE(sample.row);
        // In the root and, one level down, in a child.
        DisplayList3D root;
        sample.add(root);
        DisplayList3D child;
        sample.add(child);
        root.Add(child);
        const DisplayList3D loaded = RoundTrip(root);
        EXPECT_EQ(sample.probe(loaded), sample.probe(root));
        EXPECT_EQ(sample.probe(loaded.GetDisplayList(0)), sample.probe(root));
        EXPECT_EQ(CompareScenes(root, loaded), Differences());
    }
    // All of them in one list: the file is stable and loads back equal.
    const DisplayList3D all = KindSamples::ListOf();
    std::vector<unsigned char> bytes = SceneBytes(all);
    const DisplayList3D loaded = SceneFromBytes(bytes);
    EXPECT_EQ(CompareScenes(all, loaded), Differences());
    EXPECT_EQ(SceneBytes(loaded), bytes);
}

TEST(SceneFile, CompareSeesWhatTheFormsDrop) {
    struct Change {
        const char* expected;
        void (*apply)(DisplayList3D&);
    };
    const Change changes[] = {
        {"root: DashedLine 0", [](DisplayList3D& l) { l.GetDashedLine(0).SetColor1(Color(1, 1, 1, 7)); }},
        {"root: LineArray 0",
         [](DisplayList3D& l) { l.GetLineArray(0).GetLineArray()[1].SetColor2(Color(3, 3, 3, 9)); }},
        {"root: Triangle 0", [](DisplayList3D& l) { l.GetTriangle(0).SetColor(Color(7, 7, 7, 1)); }},
        {"root: Dot 0", [](DisplayList3D& l) { l.GetDot(0).SetColor(Color(1, 2, 3, 0)); }},
        {"root: Text3D 0", [](DisplayList3D& l) { l.GetText3D(0).SetColor(Color(20, 20, 20, 0)); }},
        {"root: Icon 0", [](DisplayList3D& l) { l.GetIcon(0).SetColor(Color(5, 5, 5, 0)); }},
        {"root: Rect2D 0", [](DisplayList3D& l) { l.GetRect2D(0).SetWidth(50); }},
        {"root: Volume 0", [](DisplayList3D& l) { l.GetVolume(0).GetColors().SetName("Other"); }},
        {"root: OpaqueTetrahedron 0", [](DisplayList3D& l) { l.GetOpaqueTetrahedron(0).SetHiddenFace(3, true); }},
        {"root: TransparentTriangleMesh 0",
         [](DisplayList3D& l) {
             VertexNormal* v = l.GetTransparentTriangleMesh(0).GetVertices();
             v[2].SetColor(Color(9, 9, 9, 1));
         }},
        {"root: OpaqueCylinder 0", [](DisplayList3D& l) { l.GetOpaqueCylinder(0).SetIsCapped(true); }},
        {"root: icon scale", [](DisplayList3D& l) { l.SetIconScale(Point3d(1, 1, 2)); }},
    };
    const DisplayList3D original = KindSamples::ListOf();
    for (const Change& change : changes) {
        DisplayList3D changed = original;
        change.apply(changed);
        const Differences found = CompareScenes(original, changed);
        ASSERT_EQ(found.size(), 1u) << change.expected;
        EXPECT_EQ(found[0], change.expected);
    }
}

TEST(SceneFile, ElementsStayInTheArrayTheyCameFrom) {
    // Add files by colour; a colour changed afterwards leaves the element where it is.
    DisplayList3D list;
    list.Add(SpherePrimitive(Point3d(0, 0, 0), 1.0, Color(1, 1, 1, 0), 1));
    list.GetOpaqueSphere(0).SetColor(Color(1, 1, 1, 100));
    list.Add(KindSamples::Cylinder(150, 0, 2));
    list.GetTransparentCylinder(0).SetColor1(Color(1, 2, 3, 0));
    list.Add(KindSamples::Mesh(190, 3));
    list.GetTransparentTriangleMesh(0).Clear();  // an empty mesh is filed opaque by Add
    const DisplayList3D loaded = RoundTrip(list);
    ASSERT_EQ(loaded.GetNumOpaqueSpheres(), 1);
    EXPECT_EQ(loaded.GetOpaqueSphere(0).GetColor().GetA(), 100);
    ASSERT_EQ(loaded.GetNumTransparentCylinders(), 1);
    EXPECT_EQ(loaded.GetTransparentCylinder(0).GetColor1().GetA(), 0);
    EXPECT_EQ(loaded.GetNumTransparentTriangleMeshes(), 1);
    EXPECT_EQ(CompareScenes(list, loaded), Differences());
}

TEST(SceneFile, HeaderNamesTheObjectSchema) {
    std::vector<unsigned char> bytes = SceneBytes(KindSamples::ListOf({"OpaqueSpheres"}));
    ASSERT_TRUE(IsSceneFile(bytes.data(), bytes.size()));
    // The 14-byte magic text, the format, the schema.
    int format = 0;
    std::uint32_t schema = 0;
    std::memcpy(&format, &bytes[14], 4);
    std::memcpy(&schema, &bytes[18], 4);
    EXPECT_EQ(format, kSceneFormat);
    EXPECT_EQ(schema, kSceneObjectSchema);

    // The caller's archive keeps its own schema.
    std::vector<unsigned char> stored;
    CArchive out(stored, CArchive::store);
    out.SetObjectSchema(5);
    StoreScene(DisplayList3D(), out);
    EXPECT_EQ(out.GetObjectSchema(), 5u);
    out.Close();
    CArchive in(stored, CArchive::load);
    LoadScene(in);
    EXPECT_EQ(in.GetObjectSchema(), kUnsetSchema);

    // A schema this reader does not know (a newer one, or the unset one) is refused,
    // and so is a format it does not know.
    for (std::uint32_t newer : {kSceneObjectSchema + 1, kUnsetSchema}) {
        std::vector<unsigned char> patched = bytes;
        std::memcpy(&patched[18], &newer, 4);
        EXPECT_THROW(SceneFromBytes(patched), CArchiveException) << newer;
    }
    for (int unknown : {0, kSceneFormat + 1}) {
        std::vector<unsigned char> patched = bytes;
        std::memcpy(&patched[14], &unknown, 4);
        EXPECT_THROW(SceneFromBytes(patched), CArchiveException) << unknown;
    }
    std::vector<unsigned char> other = bytes;
    other[1] = 'T';
    EXPECT_FALSE(IsSceneFile(other.data(), other.size()));
    EXPECT_THROW(SceneFromBytes(other), CArchiveException);
    EXPECT_FALSE(IsSceneFile(bytes.data(), 10));
}

TEST(SceneFile, ReadsTheFirstFormat) {
    // Written before the header named a schema: forms under the unset schema
    // (points as doubles) and fewer extras.
    std::vector<unsigned char> bytes = ReadBytes(std::string(TESSARY_SCENEFILE_TESTDATA) + "/format1_kinds.scene");
    ASSERT_TRUE(IsSceneFile(bytes.data(), bytes.size()));
    int format = 0;
    std::memcpy(&format, &bytes[14], 4);
    ASSERT_EQ(format, 1);
    const DisplayList3D expected = KindSamples::FormatOneScene();
    const DisplayList3D loaded = SceneFromBytes(bytes);
    EXPECT_EQ(CompareScenes(expected, loaded), Differences());
    // Stored again it is the current format, and the same scene.
    EXPECT_EQ(CompareScenes(expected, RoundTrip(loaded)), Differences());
}

// A chain of nested lists `depth` deep with a sphere at the bottom, built
// and checked level by level (no call that walks the tree recursively).
void ExpectDeepChainRoundTrips(int depth) {
    DisplayList3D root;
    DisplayList3D* bottom = &root;
    for (int level = 0; level < depth; ++level) {
        bottom->Add(DisplayList3D());
        bottom = &bottom->GetDisplayList(0);
    }
    bottom->Add(SpherePrimitive(Point3d(1, 2, 3), 0.5, Color(1, 2, 3, 4), 99));
    std::vector<unsigned char> bytes = SceneBytes(root);
    const DisplayList3D loaded = SceneFromBytes(bytes);
    const DisplayList3D* at = &loaded;
    int levels = 0;
    while (at->GetNumDisplayLists() == 1) {
        at = &at->GetDisplayList(0);
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    ASSERT_EQ(at->GetNumTransparentSpheres(), 1);
    EXPECT_EQ(at->GetTransparentSphere(0).GetID(), 99u);
    EXPECT_EQ(SceneBytes(loaded), bytes);
}

TEST(SceneFile, DeepTreesStoreAndLoad) { ExpectDeepChainRoundTrips(2000); }

TEST(SceneFile, ChainOf20000ListsStoresAndLoads) { ExpectDeepChainRoundTrips(20000); }

}  // namespace
