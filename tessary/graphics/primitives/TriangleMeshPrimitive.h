#pragma once

// TriangleMeshPrimitive: a lit surface of per-vertex positions, normals and
// colours, an index list of triangles and, optionally, one object ID per
// vertex for picking. Meshes are large, so copies share one reference-counted
// block: a copy costs a pointer and an increment, reads never detach, and
// every writer first detaches (UnlinkData: a private copy of the content) or,
// where it replaces the content whole, takes a fresh empty block (SaveData).
// The count is a plain integer: copies of one mesh must be made, changed and
// destroyed by one thread at a time.
//
// Edge cases:
// - SetTriangleAt/SetVertexAt ignore an index outside their array and do not
//   detach then; SetOIDAt ignores an index outside the ID array, GetOIDAt
//   returns 0 there. GetTriangleAt/GetVertexAt expect a valid index.
// - The ID array may be empty or shorter than the vertex array. Set keeps it
//   when the block was not shared and empties it when it was; Clear empties it.
// - A triangle may name a vertex index outside the vertex array (host data,
//   a crafted archive): readers that go from triangles to vertices skip every
//   triangle for which IsValidTriangle is false.
// - Translate by a zero vector does nothing, not even detach. TransformAll
//   moves normals as (p + n) * M - p * M, not renormalised; Transform and
//   Rotate leave normals alone.
//
// Archive form: the LitPrimitive part; the triangle count (32-bit) and each
// triangle's three 32-bit indices; the vertex count (32-bit) and each
// vertex's form (colour word with A cleared, point, normal); the two-sided
// flag as a 32-bit word. The word is always written and read from version 7
// on and with the unset version. The ID array and the line width are not
// part of the form: loading keeps the line width, keeps the ID array of a
// block that was the mesh's own and leaves it empty when the mesh shared its
// block. A load that throws leaves the mesh as it was.

#include <cstdint>

#include "tessary/color/ColorArray.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"
#include "tessary/graphics/primitives/Vertex.h"

namespace Tessary {

// The three vertex indices of one mesh triangle, as positions in the mesh's
// vertex array. Archive form: the three indices as 32-bit words, in order.
class TESSARY_API TriangleIndex {
public:
    TriangleIndex() = default;
    TriangleIndex(int a, int b, int c) : m_a(a), m_b(b), m_c(c) {}
    TriangleIndex(const TriangleIndex&) = default;
    TriangleIndex& operator=(const TriangleIndex&) = default;
    virtual ~TriangleIndex() = default;

    int GetA() const { return m_a; }
    int GetB() const { return m_b; }
    int GetC() const { return m_c; }
    // Corner 0, 1 or 2; any other corner gives -1.
    int GetIndex(int corner) const { return corner == 0 ? m_a : corner == 1 ? m_b : corner == 2 ? m_c : -1; }
    void Set(int a, int b, int c) {
        m_a = a;
        m_b = b;
        m_c = c;
    }

    bool operator==(const TriangleIndex& other) const {
        return m_a == other.m_a && m_b == other.m_b && m_c == other.m_c;
    }
    bool operator!=(const TriangleIndex& other) const { return !(*this == other); }

    void Serialize(CArchive& ar);

protected:
    std::int32_t m_a = 0;
    std::int32_t m_b = 0;
    std::int32_t m_c = 0;
};

// Per-vertex object IDs of a mesh.
class OIDArray : public CArray<unsigned int, unsigned int> {};

class TESSARY_API TriangleMeshPrimitive : public LitPrimitive {
public:
    using TriangleArray = CArray<TriangleIndex, TriangleIndex&>;
    using VertexArray = CArray<VertexNormal, VertexNormal&>;

    // The block copies share.
    struct Data {
        std::int32_t m_refCount = 1;
        TriangleArray m_triangles;
        VertexArray m_vertices;
        OIDArray m_oids;
    };

    // ID 0, a fresh empty block, one-sided, line width 1.
    TriangleMeshPrimitive();
    // Copies the triangles, then the vertices, into a fresh block; no object IDs.
    TriangleMeshPrimitive(const VertexArray& vertices, const TriangleArray& triangles, unsigned int id);
    // ID 0; copies triangles, vertices and object IDs into a fresh block.
    TriangleMeshPrimitive(const VertexArray& vertices, const TriangleArray& triangles, OIDArray& oids);
    // Shares `other`'s block.
    TriangleMeshPrimitive(const TriangleMeshPrimitive& other);
    TriangleMeshPrimitive& operator=(const TriangleMeshPrimitive& other);
    ~TriangleMeshPrimitive() override;

    int GetNumTriangles() const { return m_data->m_triangles.GetSize(); }
    int GetNumVertices() const { return m_data->m_vertices.GetSize(); }
    int GetNumOIDs() const { return m_data->m_oids.GetSize(); }

    // Reads: never detach.
    const TriangleIndex& GetTriangleAt(int i) const { return m_data->m_triangles[i]; }
    const VertexNormal& GetVertexAt(int i) const { return m_data->m_vertices[i]; }
    // Null for a mesh without vertices.
    const VertexNormal* GetVertices() const { return m_data->m_vertices.GetData(); }
    const TriangleArray& GetTriangleArray() const { return m_data->m_triangles; }
    const VertexArray& GetVertexArray() const { return m_data->m_vertices; }
    // 0 outside the ID array.
    unsigned int GetOIDAt(int i) const { return i >= 0 && i < GetNumOIDs() ? m_data->m_oids[i] : 0u; }
    // `colors` gets one colour per vertex, in vertex order.
    void GetColors(ColorArray& colors) const;
    // True when triangle i exists and its three indices lie in the vertex array.
    bool IsValidTriangle(int i) const;

    // Writes: each detaches first.
    VertexNormal* GetVertices();
    TriangleArray& GetTriangleArray();
    VertexArray& GetVertexArray();
    void SetTriangleAt(int i, TriangleIndex& triangle);
    void SetVertexAt(int i, VertexNormal& vertex);
    void SetOIDAt(int i, unsigned int id);
    // Replaces triangles and vertices (see the header comment for the IDs).
    void Set(const VertexArray& vertices, const TriangleArray& triangles);
    void Clear();

    bool GetTwoSided() const { return m_twoSided; }
    void SetTwoSided(bool twoSided) { m_twoSided = twoSided; }
    float GetLineWidth() const { return m_lineWidth; }
    void SetLineWidth(float width) { m_lineWidth = width; }

    virtual void Serialize(CArchive& ar);
    // Rotations in degrees, about the axis through `point` or the origin; points only.
    virtual void Rotate(const Point3d& axis, const Point3d& point, double angle);
    virtual void Rotate(const Point3d& axis, double angle);
    // Points only.
    virtual void Transform(const Matrix4x4& m);
    virtual void Translate(const Point3d& offset);
    // Points, and normals as (p + n) * m - p * m.
    virtual void TransformAll(const Matrix4x4& m);

protected:
    // Points the mesh at a new empty block with count 1.
    void CreateData();
    // Gives up the mesh's reference (freeing the block with the last one); the pointer becomes null.
    void DeleteData();
    // Shares `data`, or a new block when it is null.
    void CopyData(const Data* data);
    // A fresh empty block when the current one is shared.
    void SaveData();
    // A private copy of the content when the current block is shared.
    void UnlinkData();

    Data* m_data = nullptr;
    bool m_twoSided = false;
    float m_lineWidth = 1.0f;

private:
    template <class Move>
    void MovePoints(const Move& move);
};

static_assert(sizeof(TriangleIndex) <= 24, "a triangle index is a table pointer and three ints");
static_assert(sizeof(TriangleMeshPrimitive) <= 40, "a mesh is its root, a block pointer, a flag and a width");

}  // namespace Tessary
