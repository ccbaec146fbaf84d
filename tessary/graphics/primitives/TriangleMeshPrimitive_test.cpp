#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
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
using Mesh = TriangleMeshPrimitive;

// Sees the block count, which the interface keeps to itself.
class ProbedMesh : public Mesh {
public:
    using Mesh::Mesh;
    ProbedMesh(const Mesh& mesh) : Mesh(mesh) {}
    int Holders() const { return m_data->m_refCount; }
};

// Four vertices, two triangles, IDs 100..103.
ProbedMesh Square() {
    Mesh::VertexArray vertices;
    vertices.SetSize(4);
    for (int i = 0; i < 4; ++i)
        vertices[i] = VertexNormal(Point3d(i & 1, i >> 1, 0), Point3d(0, 0, 1), Color(10 * i, 0, 0, 5));
    Mesh::TriangleArray triangles;
    triangles.SetSize(2);
    triangles[0].Set(0, 1, 2);
    triangles[1].Set(1, 3, 2);
    OIDArray oids;
    for (unsigned id = 100; id < 104; ++id) oids.Add(id);
    return ProbedMesh(Mesh(vertices, triangles, oids));
}

// The const reads' addresses: the same addresses, the same block.
const VertexNormal* Block(const Mesh& mesh) { return mesh.GetVertices(); }

TEST(TriangleMesh, ConstructorsAndReads) {
    const Mesh empty;
    EXPECT_EQ(empty.GetNumTriangles() + empty.GetNumVertices() + empty.GetNumOIDs() + int(empty.GetID()), 0);
    EXPECT_FALSE(empty.GetTwoSided());
    EXPECT_EQ(empty.GetLineWidth(), 1.0f);

    const ProbedMesh square = Square();
    EXPECT_EQ(square.Holders(), 1) << "the temporary it was copied from is gone";
    EXPECT_EQ(square.GetOIDAt(3), 103u);
    EXPECT_EQ(square.GetOIDAt(4), 0u) << "outside the ID array";
    const Mesh withID(square.GetVertexArray(), square.GetTriangleArray(), 42u);
    EXPECT_EQ(withID.GetID(), 42u);
    EXPECT_EQ(withID.GetNumOIDs(), 0);
    EXPECT_EQ(withID.GetTriangleAt(1), TriangleIndex(1, 3, 2));
    ColorArray colors;
    square.GetColors(colors);
    ASSERT_EQ(colors.GetSize(), 4);
    EXPECT_EQ(colors[3], Color(30, 0, 0, 5));

    ProbedMesh mesh = Square();
    for (TriangleIndex bad : {TriangleIndex(0, 1, 4), TriangleIndex(-1, 0, 1)}) mesh.GetTriangleArray().Add(bad);
    const bool valid[] = {false, true, true, false, false, false};  // indices -1 .. 4
    for (int i = -1; i < 5; ++i) EXPECT_EQ(mesh.IsValidTriangle(i), valid[i + 1]) << i;
}

TEST(TriangleMesh, CopiesShareAndReadsNeverDetach) {
    ProbedMesh first = Square();
    first.SetTwoSided(true);
    first.SetLineWidth(3.0f);
    ProbedMesh copy(first);
    EXPECT_EQ(first.Holders(), 2);
    EXPECT_EQ(Block(copy), Block(first));
    EXPECT_TRUE(copy.GetTwoSided());
    EXPECT_EQ(copy.GetLineWidth(), 3.0f);

    ColorArray colors;
    const Mesh& view = copy;
    view.GetTriangleAt(1);
    view.GetVertexAt(3);
    view.GetOIDAt(2);
    view.GetTriangleArray();
    view.GetVertexArray();
    view.GetColors(colors);
    EXPECT_EQ(Block(copy), Block(first));
    EXPECT_EQ(&view.GetTriangleAt(0), &first.GetTriangleAt(0));

    ProbedMesh assigned;
    assigned = copy;
    const ProbedMesh& alias = assigned;
    assigned = alias;
    EXPECT_EQ(first.Holders(), 3) << "assignment to itself changes nothing";
    assigned = ProbedMesh();
    EXPECT_EQ(first.Holders(), 2) << "assignment releases the old block";
}

TEST(TriangleMesh, EveryWriterDetachesFirstAndOnlyThen) {
    VertexNormal v(Point3d(7, 7, 7), Point3d(1, 0, 0), Color(1, 1, 1));
    TriangleIndex t(3, 2, 1);
    using Write = std::function<void(Mesh&)>;
    const std::vector<std::pair<Write, bool>> writers = {  // the writer, and whether it detaches
        {[](Mesh& m) { m.GetVertices()[0].SetPoint(Point3d(5, 5, 5)); }, true},
        {[](Mesh& m) { m.GetTriangleArray()[0].Set(3, 3, 3); }, true},
        {[](Mesh& m) { m.GetVertexArray().SetSize(1); }, true},
        {[&t](Mesh& m) { m.SetTriangleAt(1, t); }, true},
        {[&v](Mesh& m) { m.SetVertexAt(3, v); }, true},  // the last vertex: more vertices than triangles
        {[](Mesh& m) { m.SetOIDAt(0, 9); }, true},
        {[](Mesh& m) { m.Transform(Matrix4x4(Axis::x, 30.0)); }, true},
        {[](Mesh& m) { m.TransformAll(Matrix4x4(Axis::y, 30.0)); }, true},
        {[](Mesh& m) { m.Rotate(Point3d(0, 0, 1), 45.0); }, true},
        {[](Mesh& m) { m.Rotate(Point3d(0, 0, 1), Point3d(1, 1, 0), 45.0); }, true},
        {[](Mesh& m) { m.Translate(Point3d(0, 0, 1e-3)); }, true},
        {[](Mesh& m) { m.Set(std::as_const(m).GetVertexArray(), {}); }, true},  // from the shared block
        {[](Mesh& m) { m.Clear(); }, true},
        {[&t](Mesh& m) { m.SetTriangleAt(-1, t); }, false},
        {[&t](Mesh& m) { m.SetTriangleAt(2, t); }, false},
        {[&v](Mesh& m) { m.SetVertexAt(4, v); }, false},
        {[](Mesh& m) { m.SetOIDAt(4, 9); }, false},
        {[](Mesh& m) { m.Translate(Point3d(0, 0, 0)); }, false},
    };
    const ProbedMesh before = Square();
    for (std::size_t i = 0; i < writers.size(); ++i) {
        const auto& [write, detaches] = writers[i];
        const ProbedMesh first = Square();
        const VertexNormal* shared = Block(first);
        ProbedMesh copy(first);
        write(copy);
        EXPECT_EQ(first.Holders(), detaches ? 1 : 2) << "writer " << i;
        EXPECT_EQ(copy.Holders(), detaches ? 1 : 2) << "writer " << i;
        EXPECT_EQ(Block(first), shared) << "writer " << i << ": the mesh that did not write keeps the block";
        EXPECT_EQ(Block(copy) != shared, detaches) << "writer " << i;
        EXPECT_EQ(first.GetVertexArray(), before.GetVertexArray()) << "writer " << i;
        EXPECT_EQ(first.GetTriangleArray(), before.GetTriangleArray()) << "writer " << i;
        EXPECT_EQ(first.GetOIDAt(0), 100u) << "writer " << i;
    }
}

TEST(TriangleMesh, SetAndLoadKeepOwnIDsAndDetachFromSharedOnes) {
    const Bytes form = StoreBytes(Square(), 7);
    const struct {
        std::function<void(Mesh&)> refill;
        int vertices;
    } cases[] = {
        {[](Mesh& m) { m.Set(Mesh::VertexArray(), std::as_const(m).GetTriangleArray()); }, 0},
        {[&form](Mesh& m) { LoadBytes(m, form, 7); }, 4},
    };
    for (const auto& c : cases) {
        ProbedMesh own = Square();
        c.refill(own);
        EXPECT_EQ(own.GetNumVertices(), c.vertices);
        EXPECT_EQ(own.GetNumTriangles(), 2);
        EXPECT_EQ(own.GetNumOIDs(), 4) << "an own block keeps its IDs";
        ProbedMesh shared = Square();
        const ProbedMesh other(shared);
        c.refill(shared);
        EXPECT_EQ(other.Holders(), 1);
        EXPECT_EQ(shared.GetTriangleArray(), other.GetTriangleArray());
        EXPECT_EQ(shared.GetNumOIDs(), 0) << "a fresh block has no IDs";
        EXPECT_EQ(other.GetNumOIDs(), 4);
        own.Clear();
        EXPECT_EQ(own.GetNumVertices() + own.GetNumTriangles() + own.GetNumOIDs(), 0);
    }
}

TEST(TriangleMesh, GeometryMovesPointsAndOnlyTransformAllMovesNormals) {
    const Matrix4x4 rotation(Axis::z, 90.0);
    Matrix4x4 shift;
    shift.SetTranslation(Point3d(1, 2, 3));
    Matrix4x4 projective(Matrix4x4::IdentityMatrix);
    projective(0, 3) = 0.5;
    struct Case {
        std::function<void(Mesh&)> apply;
        Matrix4x4 m;
        bool normals;
    };
    const Case cases[] = {
        {[&](Mesh& m) { m.Transform(rotation); }, rotation, false},
        {[](Mesh& m) { m.Rotate(Point3d(0, 0, 2), 90.0); }, rotation, false},
        {[](Mesh& m) { m.Rotate(Point3d(0, 0, 1), Point3d(1, 0, 0), 90.0); },
         Matrix4x4(Point3d(0, 0, 1), Point3d(1, 0, 0), 90.0), false},
        {[](Mesh& m) { m.Translate(Point3d(1, 2, 3)); }, shift, false},
        {[&](Mesh& m) { m.TransformAll(shift); }, shift, true},
        {[](Mesh& m) { m.TransformAll(Matrix4x4(Axis::x, 90.0)); }, Matrix4x4(Axis::x, 90.0), true},
        {[&](Mesh& m) { m.TransformAll(projective); }, projective, true},
    };
    const ProbedMesh before = Square();
    for (std::size_t c = 0; c < std::size(cases); ++c) {
        ProbedMesh mesh(before);
        cases[c].apply(mesh);
        for (int i = 0; i < 4; ++i) {
            const Point3d p = before.GetVertexAt(i).GetPoint(), n = before.GetVertexAt(i).GetNormal();
            const Matrix4x4& m = cases[c].m;
            EXPECT_LT(Distance(mesh.GetVertexAt(i).GetPoint(), p * m), 1e-6) << "case " << c << " vertex " << i;
            EXPECT_EQ(mesh.GetVertexAt(i).GetNormal(), cases[c].normals ? (p + n) * m - p * m : n) << "case " << c;
        }
    }
    ProbedMesh mesh = Square();
    // A point without a finite image goes where Matrix4x4 sends it.
    mesh.GetVertices()[0].SetPoint(Point3d(std::nan(""), 0, 0));
    mesh.Transform(shift);
    EXPECT_EQ(mesh.GetVertexAt(0).GetPoint(), Point3d::maximum);
}

// The form as each element's own Serialize writes it, one by one.
Bytes ElementByElement(const Mesh& mesh, std::uint32_t schema) {
    Bytes bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    LitPrimitive lit(mesh);
    Mesh::TriangleArray triangles(mesh.GetTriangleArray());
    Mesh::VertexArray vertices(mesh.GetVertexArray());
    bool twoSided = mesh.GetTwoSided();
    ArchiveFields(ar, lit, Sequence(triangles, 12), Sequence(vertices, 28), AsWord(twoSided));
    return bytes;
}

TEST(TriangleMesh, ArchiveGoldenBytesAndTheTwoSidedWord) {
    Mesh::VertexArray vertices;
    VertexNormal v(Point3d(1, 2, 3), Point3d(0, 0, -1), Color(0x11, 0x22, 0x33, 0x44));
    vertices.Add(v);
    Mesh::TriangleArray triangles;
    TriangleIndex t(0, 0, 0x01020304);
    triangles.Add(t);
    ProbedMesh mesh(vertices, triangles, 0xA1A2A3A4u);
    mesh.SetTwoSided(true);
    mesh.SetLineWidth(2.0f);
    const auto form = [](bool floats, bool newest) {
        return test::Cat({test::Raw<std::uint32_t>({0xA1A2A3A4u, 0}),  // ID, material
                          newest ? test::Raw<std::int32_t>({0}) : Bytes(),  // representation
                          test::Raw<std::int32_t>({1, 0, 0, 0x01020304, 1}),  // triangles, vertex count
                          test::Raw<unsigned char>({0x11, 0x22, 0x33, 0}),
                          test::PointBytes(Point3d(1, 2, 3), floats), test::PointBytes(Point3d(0, 0, -1), floats),
                          newest ? test::Raw<std::int32_t>({1}) : Bytes()});  // two-sided
    };
    for (std::uint32_t schema : {7u, kUnsetSchema}) {
        const ProbedMesh loaded = test::ExpectGoldenBytes(mesh, form(schema == 7, true), schema, ProbedMesh());
        EXPECT_EQ(loaded.GetVertexArray(), mesh.GetVertexArray());
        EXPECT_EQ(loaded.GetVertexAt(0).GetColor().GetA(), 0);
        EXPECT_TRUE(loaded.GetTwoSided()) << schema;
        EXPECT_EQ(loaded.GetLineWidth(), 1.0f) << "the line width is not part of the form";
    }
    // Version 6 stores the newest form; a file of that version has neither the
    // representation nor the two-sided word, and loading keeps the flag.
    EXPECT_EQ(StoreBytes(mesh, 6), ElementByElement(mesh, 6));
    for (bool twoSided : {false, true}) {
        ProbedMesh old;
        old.SetTwoSided(twoSided);
        LoadBytes(old, form(false, false), 6);
        EXPECT_EQ(old.GetTwoSided(), twoSided);
        EXPECT_EQ(old.GetVertexArray(), mesh.GetVertexArray());
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
    Mesh::VertexArray vertices;
    vertices.SetSize(2500);  // more than one staging chunk
    for (VertexNormal& v : vertices)
        v = VertexNormal(Point3d(coordinate(rng), coordinate(rng), coordinate(rng)),
                         Point3d(coordinate(rng), -0.0, 1e-40), Color(static_cast<unsigned long>(rng())));
    Mesh::TriangleArray triangles;
    triangles.SetSize(3000);
    for (int i = 0; i < 3000; ++i) triangles[i].Set(static_cast<int>(rng()), i, -i);
    const Mesh mesh(vertices, triangles, 5u);
    for (std::uint32_t schema : {0u, 6u, 7u, 13u, 0x80000000u, kUnsetSchema}) {
        const Bytes bytes = StoreBytes(mesh, schema);
        EXPECT_EQ(bytes, ElementByElement(mesh, schema)) << schema;
        if (schema < 7) continue;  // such files hold an older form than what is stored
        Mesh loaded;
        LoadBytes(loaded, bytes, schema);
        EXPECT_EQ(StoreBytes(loaded, schema), bytes) << schema;
    }
}

TEST(TriangleMesh, AFailedLoadKeepsTheSharedBlock) {
    const Bytes form = StoreBytes(Square(), 7);
    const ProbedMesh other = Square();
    ProbedMesh copy(other);
    Bytes cases[4] = {form, form, form, form};
    cases[0].pop_back();                                       // two-sided word cut
    cases[1].resize(cases[1].size() - 5);                      // last vertex cut
    std::memcpy(cases[2].data() + 12, "\xff\xff\xff\x7f", 4);  // triangle count beyond the input
    std::memcpy(cases[3].data() + 12, "\xff\xff\xff\xff", 4);  // negative triangle count
    for (const Bytes& bytes : cases) {
        EXPECT_THROW(LoadBytes(copy, bytes, 7), CArchiveException);
        EXPECT_EQ(other.Holders(), 2);
        EXPECT_EQ(Block(copy), Block(other));
    }
}

}  // namespace
}  // namespace Tessary
