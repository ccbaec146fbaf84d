#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using test::Bytes;
using test::LoadBytes;
using test::StoreBytes;

// Sees the block count, which the interface keeps to itself.
class ProbedMesh : public TriangleMeshPrimitive {
public:
    using TriangleMeshPrimitive::TriangleMeshPrimitive;
    ProbedMesh(const TriangleMeshPrimitive& mesh) : TriangleMeshPrimitive(mesh) {}
    int Holders() const { return m_data->m_refCount; }
};

// Four vertices, two triangles, IDs 100..103.
ProbedMesh Square() {
    TriangleMeshPrimitive::VertexArray vertices;
    for (int i = 0; i < 4; ++i) {
        VertexNormal v(Point3d(i & 1, i >> 1, 0), Point3d(0, 0, 1), Color(10 * i, 0, 0, 5));
        vertices.Add(v);
    }
    TriangleMeshPrimitive::TriangleArray triangles;
    TriangleIndex t1(0, 1, 2), t2(1, 3, 2);
    triangles.Add(t1);
    triangles.Add(t2);
    OIDArray oids;
    for (unsigned id = 100; id < 104; ++id) oids.Add(id);
    return ProbedMesh(TriangleMeshPrimitive(vertices, triangles, oids));
}

TEST(TriangleMesh, DefaultsAndConstructors) {
    const TriangleMeshPrimitive empty;
    EXPECT_EQ(empty.GetID(), 0u);
    EXPECT_EQ(empty.GetNumTriangles() + empty.GetNumVertices() + empty.GetNumOIDs(), 0);
    EXPECT_FALSE(empty.GetTwoSided());
    EXPECT_EQ(empty.GetLineWidth(), 1.0f);
    EXPECT_EQ(empty.GetVertices(), nullptr);

    const ProbedMesh square = Square();
    EXPECT_EQ(square.Holders(), 1) << "the temporary it was copied from is gone";
    EXPECT_EQ(square.GetNumTriangles(), 2);
    EXPECT_EQ(square.GetNumVertices(), 4);
    EXPECT_EQ(square.GetOIDAt(3), 103u);
    EXPECT_EQ(square.GetOIDAt(4), 0u) << "outside the ID array";
    EXPECT_EQ(square.GetOIDAt(-1), 0u);
    const TriangleMeshPrimitive withID(square.GetVertexArray(), square.GetTriangleArray(), 42u);
    EXPECT_EQ(withID.GetID(), 42u);
    EXPECT_EQ(withID.GetNumOIDs(), 0);
    EXPECT_EQ(withID.GetTriangleAt(1), TriangleIndex(1, 3, 2));

    ColorArray colors;
    square.GetColors(colors);
    ASSERT_EQ(colors.GetSize(), 4);
    EXPECT_EQ(colors[3], Color(30, 0, 0, 5));
}

// Where the const reads point: the same addresses mean the same block.
struct Addresses {
    const VertexNormal* vertices;
    const TriangleIndex* triangles;
    bool operator==(const Addresses& o) const { return vertices == o.vertices && triangles == o.triangles; }
};
Addresses Of(const TriangleMeshPrimitive& mesh) {
    return {mesh.GetVertices(), &mesh.GetTriangleArray()[0]};
}

TEST(TriangleMesh, CopiesShareAndReadsNeverDetach) {
    ProbedMesh first = Square();
    first.SetTwoSided(true);
    first.SetLineWidth(3.0f);
    ProbedMesh copy(first);
    EXPECT_EQ(first.Holders(), 2);
    EXPECT_TRUE(Of(copy) == Of(first));
    EXPECT_TRUE(copy.GetTwoSided());
    EXPECT_EQ(copy.GetLineWidth(), 3.0f);

    ColorArray colors;
    const TriangleMeshPrimitive& view = copy;
    view.GetTriangleAt(1);
    view.GetVertexAt(3);
    view.GetOIDAt(2);
    view.GetVertexArray();
    view.GetColors(colors);
    view.IsValidTriangle(0);
    EXPECT_TRUE(Of(copy) == Of(first));
    EXPECT_EQ(copy.Holders(), 2);

    ProbedMesh assigned;
    assigned = copy;
    EXPECT_EQ(first.Holders(), 3);
    const ProbedMesh& alias = assigned;
    assigned = alias;
    EXPECT_EQ(first.Holders(), 3) << "assignment to itself changes nothing";
    assigned = ProbedMesh();
    EXPECT_EQ(first.Holders(), 2) << "assignment releases the old block";
}

TEST(TriangleMesh, EveryWriterDetachesFirst) {
    VertexNormal v(Point3d(7, 7, 7), Point3d(1, 0, 0), Color(1, 1, 1));
    TriangleIndex t(3, 2, 1);
    const std::vector<std::pair<std::string, std::function<void(TriangleMeshPrimitive&)>>> writers = {
        {"GetVertices", [](TriangleMeshPrimitive& m) { m.GetVertices()[0].SetPoint(Point3d(5, 5, 5)); }},
        {"GetTriangleArray", [](TriangleMeshPrimitive& m) { m.GetTriangleArray()[0].Set(3, 3, 3); }},
        {"GetVertexArray", [](TriangleMeshPrimitive& m) { m.GetVertexArray().SetSize(1); }},
        {"SetTriangleAt", [&t](TriangleMeshPrimitive& m) { m.SetTriangleAt(1, t); }},
        {"SetVertexAt", [&v](TriangleMeshPrimitive& m) { m.SetVertexAt(0, v); }},
        {"SetOIDAt", [](TriangleMeshPrimitive& m) { m.SetOIDAt(0, 9); }},
        {"Transform", [](TriangleMeshPrimitive& m) { m.Transform(Matrix4x4(Axis::x, 30.0)); }},
        {"TransformAll", [](TriangleMeshPrimitive& m) { m.TransformAll(Matrix4x4(Axis::y, 30.0)); }},
        {"Rotate", [](TriangleMeshPrimitive& m) { m.Rotate(Point3d(0, 0, 1), 45.0); }},
        {"RotateAbout", [](TriangleMeshPrimitive& m) { m.Rotate(Point3d(0, 0, 1), Point3d(1, 1, 0), 45.0); }},
        {"Translate", [](TriangleMeshPrimitive& m) { m.Translate(Point3d(0, 0, 1e-3)); }},
        {"Set", [](TriangleMeshPrimitive& m) { m.Set(std::as_const(m).GetVertexArray(), {}); }},
        {"Clear", [](TriangleMeshPrimitive& m) { m.Clear(); }},
    };
    for (const auto& [name, write] : writers) {
        const ProbedMesh first = Square();
        const ProbedMesh before = Square();
        ProbedMesh copy(first);
        const Addresses shared = Of(first);
        write(copy);
        EXPECT_EQ(first.Holders(), 1) << name;
        EXPECT_EQ(copy.Holders(), 1) << name;
        EXPECT_TRUE(Of(first) == shared) << name << ": the mesh that did not write keeps the block";
        EXPECT_NE(copy.GetVertices(), shared.vertices) << name;
        EXPECT_EQ(first.GetVertexArray(), before.GetVertexArray()) << name;
        EXPECT_EQ(first.GetTriangleArray(), before.GetTriangleArray()) << name;
        EXPECT_EQ(first.GetOIDAt(0), 100u) << name;
    }
}

TEST(TriangleMesh, WritesThatDoNothingDoNotDetach) {
    VertexNormal v(Point3d(7, 7, 7), Point3d(1, 0, 0), Color(1, 1, 1));
    TriangleIndex t(3, 2, 1);
    const ProbedMesh first = Square();
    ProbedMesh copy(first);
    copy.SetTriangleAt(-1, t);
    copy.SetTriangleAt(2, t);
    copy.SetVertexAt(4, v);
    copy.SetVertexAt(-1, v);
    copy.SetOIDAt(4, 1);
    copy.Translate(Point3d(0, 0, 0));
    EXPECT_EQ(first.Holders(), 2);
    EXPECT_TRUE(Of(copy) == Of(first));

    // The last valid index writes, though the mesh has more vertices than triangles.
    copy.SetVertexAt(3, v);
    EXPECT_EQ(copy.GetVertexAt(3), v);
    EXPECT_NE(first.GetVertexAt(3), v);
    // An element of the mesh's own block as the argument.
    copy.SetTriangleAt(0, copy.GetTriangleArray()[1]);
    EXPECT_EQ(copy.GetTriangleAt(0), TriangleIndex(1, 3, 2));
}

TEST(TriangleMesh, SetAndClearReplaceTheContent) {
    ProbedMesh own = Square();
    TriangleMeshPrimitive::VertexArray vertices;
    vertices.SetSize(2);
    own.Set(vertices, TriangleMeshPrimitive::TriangleArray());
    EXPECT_EQ(own.GetNumVertices(), 2);
    EXPECT_EQ(own.GetNumTriangles(), 0);
    EXPECT_EQ(own.GetNumOIDs(), 4) << "an own block keeps its IDs";

    ProbedMesh shared = Square();
    const ProbedMesh other(shared);
    // The arguments lie in the shared block the mesh gives up.
    shared.Set(std::as_const(shared).GetVertexArray(), std::as_const(shared).GetTriangleArray());
    EXPECT_EQ(shared.GetNumVertices(), 4);
    EXPECT_EQ(shared.GetNumTriangles(), 2);
    EXPECT_EQ(shared.GetNumOIDs(), 0) << "a fresh block has no IDs";
    EXPECT_EQ(other.GetNumOIDs(), 4);

    own.Clear();
    EXPECT_EQ(own.GetNumVertices() + own.GetNumTriangles() + own.GetNumOIDs(), 0);
}

TEST(TriangleMesh, GeometryMovesPointsAndOnlyTransformAllMovesNormals) {
    Matrix4x4 rotation(Axis::z, 90.0);
    Matrix4x4 shift;
    shift.SetTranslation(Point3d(1, 2, 3));
    Matrix4x4 projective(Matrix4x4::IdentityMatrix);
    projective(0, 3) = 0.5;
    struct Case {
        const char* name;
        std::function<void(TriangleMeshPrimitive&)> apply;
        Matrix4x4 m;
        bool normals;
    };
    const Case cases[] = {
        {"Transform", [&](TriangleMeshPrimitive& m) { m.Transform(rotation); }, rotation, false},
        {"Rotate", [](TriangleMeshPrimitive& m) { m.Rotate(Point3d(0, 0, 2), 90.0); }, rotation, false},
        {"RotateAbout", [](TriangleMeshPrimitive& m) { m.Rotate(Point3d(0, 0, 1), Point3d(1, 0, 0), 90.0); },
         Matrix4x4(Point3d(0, 0, 1), Point3d(1, 0, 0), 90.0), false},
        {"Translate", [](TriangleMeshPrimitive& m) { m.Translate(Point3d(1, 2, 3)); }, shift, false},
        {"TransformAll shift", [&](TriangleMeshPrimitive& m) { m.TransformAll(shift); }, shift, true},
        {"TransformAll rotation", [&](TriangleMeshPrimitive& m) { m.TransformAll(rotation); }, rotation, true},
        {"TransformAll projective", [&](TriangleMeshPrimitive& m) { m.TransformAll(projective); }, projective, true},
    };
    for (const Case& c : cases) {
        const ProbedMesh before = Square();
        ProbedMesh mesh(before);
        c.apply(mesh);
        for (int i = 0; i < 4; ++i) {
            const VertexNormal& old = before.GetVertexAt(i);
            const VertexNormal& now = mesh.GetVertexAt(i);
            EXPECT_LT(Distance(now.GetPoint(), old.GetPoint() * c.m), 1e-6) << c.name << " vertex " << i;
            const Point3d normal =
                c.normals ? (old.GetPoint() + old.GetNormal()) * c.m - old.GetPoint() * c.m : old.GetNormal();
            EXPECT_EQ(now.GetNormal(), normal) << c.name << " vertex " << i;
            EXPECT_EQ(now.GetColor(), old.GetColor());
        }
    }
    // The rotated normal (0, 0, 1) about x by 90 degrees lies along -y or +y, length kept.
    ProbedMesh mesh = Square();
    mesh.TransformAll(Matrix4x4(Axis::x, 90.0));
    EXPECT_NEAR(std::fabs(mesh.GetVertexAt(0).GetNormal().GetY()), 1.0, 1e-6);
    // A point without a finite image goes where Matrix4x4 sends it.
    mesh.GetVertices()[0].SetPoint(Point3d(std::nan(""), 0, 0));
    mesh.Transform(shift);
    EXPECT_EQ(mesh.GetVertexAt(0).GetPoint(), Point3d::maximum);
}

TEST(TriangleMesh, ValidTrianglesNameVerticesInsideTheArray) {
    ProbedMesh mesh = Square();
    TriangleIndex bad[] = {{0, 1, 4}, {-1, 0, 1}, {0, 2, 3}};
    mesh.GetTriangleArray().Add(bad[0]);
    mesh.GetTriangleArray().Add(bad[1]);
    mesh.GetTriangleArray().Add(bad[2]);
    const bool expected[] = {true, true, false, false, true};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(mesh.IsValidTriangle(i), expected[i]) << i;
    EXPECT_FALSE(mesh.IsValidTriangle(5));
    EXPECT_FALSE(mesh.IsValidTriangle(-1));
    EXPECT_EQ(bad[0].GetIndex(2), 4);
    EXPECT_EQ(bad[0].GetIndex(3), -1);
}

// The form as each element's own Serialize writes it, one by one.
Bytes ElementByElement(const TriangleMeshPrimitive& mesh, std::uint32_t schema) {
    Bytes bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    LitPrimitive lit(mesh);
    TriangleMeshPrimitive::TriangleArray triangles(mesh.GetTriangleArray());
    TriangleMeshPrimitive::VertexArray vertices(mesh.GetVertexArray());
    bool twoSided = mesh.GetTwoSided();
    ArchiveFields(ar, lit, Sequence(triangles, 12), Sequence(vertices, 28), AsWord(twoSided));
    return bytes;
}

TEST(TriangleMesh, ArchiveGoldenBytes) {
    TriangleMeshPrimitive::VertexArray vertices;
    VertexNormal v(Point3d(1, 2, 3), Point3d(0, 0, -1), Color(0x11, 0x22, 0x33, 0x44));
    vertices.Add(v);
    TriangleMeshPrimitive::TriangleArray triangles;
    TriangleIndex t(0, 0, 0x01020304);
    triangles.Add(t);
    ProbedMesh mesh(vertices, triangles, 0xA1A2A3A4u);
    mesh.SetTwoSided(true);
    mesh.SetLineWidth(2.0f);
    for (bool floats : {true, false}) {
        const std::uint32_t schema = floats ? 7 : kUnsetSchema;
        const Bytes form = test::Cat({test::Raw<std::uint32_t>({0xA1A2A3A4u, 0, 0}),  // ID, material, representation
                                      test::Raw<std::int32_t>({1, 0, 0, 0x01020304}), test::Raw<std::int32_t>({1}),
                                      test::Raw<unsigned char>({0x11, 0x22, 0x33, 0}),
                                      test::PointBytes(Point3d(1, 2, 3), floats),
                                      test::PointBytes(Point3d(0, 0, -1), floats), test::Raw<std::int32_t>({1})});
        ProbedMesh loaded = test::ExpectGoldenBytes(mesh, form, schema, ProbedMesh());
        EXPECT_EQ(loaded.GetVertexArray(), mesh.GetVertexArray());
        EXPECT_EQ(loaded.GetVertexAt(0).GetColor().GetA(), 0);
        EXPECT_EQ(loaded.GetTriangleAt(0), t);
        EXPECT_TRUE(loaded.GetTwoSided()) << schema;
        EXPECT_EQ(loaded.GetLineWidth(), 1.0f) << "the line width is not part of the form";
    }
    // Version 6 stores the newest form (both words), but a file of that
    // version holds neither the representation nor the two-sided word.
    EXPECT_EQ(StoreBytes(mesh, 6), ElementByElement(mesh, 6));
    const Bytes six = test::Cat({test::Raw<std::uint32_t>({0xA1A2A3A4u, 3}), test::Raw<std::int32_t>({1, 0, 0, 2}),
                                 test::Raw<std::int32_t>({1}), test::Raw<unsigned char>({0x11, 0x22, 0x33, 0}),
                                 test::PointBytes(Point3d(1, 2, 3), false), test::PointBytes(Point3d(0, 0, -1), false)});
    for (bool twoSided : {false, true}) {
        ProbedMesh old;
        old.SetTwoSided(twoSided);
        old.SetRepresentation(static_cast<LitPrimitive::Representation>(5));
        LoadBytes(old, six, 6);
        EXPECT_EQ(old.GetTwoSided(), twoSided) << "schema 6 keeps the flag the mesh had";
        EXPECT_EQ(old.GetRepresentation(), 5);
        EXPECT_EQ(old.GetMaterial(), 3);
        EXPECT_EQ(old.GetVertexArray(), mesh.GetVertexArray());
        EXPECT_EQ(old.GetTriangleAt(0), TriangleIndex(0, 0, 2));
    }
    Bytes cleared = StoreBytes(mesh, 7);
    cleared[cleared.size() - 4] = 0;  // the word's low byte
    ProbedMesh seven;
    seven.SetTwoSided(true);
    LoadBytes(seven, cleared, 7);
    EXPECT_FALSE(seven.GetTwoSided()) << "schema 7 takes the stored flag";
}

TEST(TriangleMesh, BulkArchiveWritesTheBytesOfTheElementForms) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-1e3f, 1e3f);
    TriangleMeshPrimitive::VertexArray vertices;
    for (int i = 0; i < 2500; ++i) {  // more than one staging chunk
        VertexNormal v(Point3d(coordinate(rng), coordinate(rng), coordinate(rng)),
                       Point3d(coordinate(rng), -0.0, 1e-40), Color(static_cast<unsigned long>(rng())));
        vertices.Add(v);
    }
    TriangleMeshPrimitive::TriangleArray triangles;
    for (int i = 0; i < 3000; ++i) {
        TriangleIndex t(static_cast<int>(rng()), i, -i);
        triangles.Add(t);
    }
    const TriangleMeshPrimitive mesh(vertices, triangles, 5u);
    for (std::uint32_t schema : {0u, 6u, 7u, 13u, 0x80000000u, kUnsetSchema}) {
        const Bytes bytes = StoreBytes(mesh, schema);
        EXPECT_EQ(bytes, ElementByElement(mesh, schema)) << schema;
        if (schema < 7) continue;  // such files hold an older form than what is stored
        TriangleMeshPrimitive loaded;
        LoadBytes(loaded, bytes, schema);
        EXPECT_EQ(StoreBytes(loaded, schema), bytes) << schema;
    }
}

TEST(TriangleMesh, LoadingDetachesAndKeepsOwnIDs) {
    const Bytes form = StoreBytes(Square(), 7);
    ProbedMesh own = Square();
    own.SetLineWidth(4.0f);
    LoadBytes(own, form, 7);
    EXPECT_EQ(own.GetNumOIDs(), 4) << "an own block keeps its IDs";
    EXPECT_EQ(own.GetLineWidth(), 4.0f);

    ProbedMesh shared = Square();
    const ProbedMesh other(shared);
    LoadBytes(shared, form, 7);
    EXPECT_EQ(shared.Holders(), 1);
    EXPECT_EQ(other.Holders(), 1);
    EXPECT_EQ(shared.GetNumOIDs(), 0) << "a detached mesh has no IDs";
    EXPECT_EQ(other.GetNumOIDs(), 4);
}

TEST(TriangleMesh, StreamLoadsTheSameMesh) {
    const ProbedMesh square = Square();
    const Bytes form = StoreBytes(square, kUnsetSchema);
    std::istringstream in(std::string(form.begin(), form.end()) + "tail");
    CArchive ar(in);
    ProbedMesh loaded;
    loaded.Serialize(ar);
    ar.Close();
    EXPECT_EQ(loaded.GetVertexArray(), square.GetVertexArray());
    EXPECT_EQ(loaded.GetTriangleArray(), square.GetTriangleArray());
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "tail") << "the mesh took its own bytes only";

    std::istringstream cut(std::string(form.begin(), form.end() - 1));
    CArchive cutArchive(cut);
    EXPECT_THROW(loaded.Serialize(cutArchive), CArchiveException);
    EXPECT_EQ(loaded.GetVertexArray(), square.GetVertexArray());
}

TEST(TriangleMesh, MalformedLoadThrowsAndLeavesTheMeshAsItWas) {
    Bytes form = StoreBytes(Square(), 7);
    const ProbedMesh first = Square();
    const Addresses before = Of(first);
    ProbedMesh copy(first);
    Bytes cases[3] = {form, form, form};
    cases[0].pop_back();                                             // two-sided word cut
    cases[1].resize(cases[1].size() - 5);                            // last vertex cut
    std::memcpy(cases[2].data() + 12, "\xff\xff\xff\x7f", 4);        // triangle count beyond the input
    for (const Bytes& bytes : cases) {
        EXPECT_THROW(LoadBytes(copy, bytes, 7), CArchiveException);
        EXPECT_EQ(first.Holders(), 2);
        EXPECT_TRUE(Of(copy) == before);
    }
    Bytes negative = form;
    std::memcpy(negative.data() + 12, "\xff\xff\xff\xff", 4);
    EXPECT_THROW(LoadBytes(copy, negative, 7), CArchiveException);
}

}  // namespace
}  // namespace Tessary
