#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "tessary/frame/Serialization.h"

namespace Tessary {

void TriangleIndex::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](TriangleIndex& t) { ArchiveFields(ar, t.m_a, t.m_b, t.m_c); });
}

namespace {

template <class T>
unsigned char* Put(unsigned char* out, T value) {
    std::memcpy(out, &value, sizeof value);
    return out + sizeof value;
}
template <class T>
const unsigned char* Take(const unsigned char* in, T& value) {
    std::memcpy(&value, in, sizeof value);
    return in + sizeof value;
}

// TriangleIndex form: three 32-bit words.
struct TriangleCodec {
    static std::size_t RecordSize() { return 12; }
    static void Pack(const TriangleIndex& t, unsigned char* out) {
        Put(Put(Put(out, std::int32_t{t.GetA()}), std::int32_t{t.GetB()}), std::int32_t{t.GetC()});
    }
    static void Unpack(const unsigned char* in, TriangleIndex& t) {
        std::int32_t a, b, c;
        Take(Take(Take(in, a), b), c);
        t.Set(a, b, c);
    }
};

// VertexNormal form: colour word with A cleared on storing (kept as read on
// loading), then point and normal as floats or, widened, as doubles.
struct VertexCodec {
    bool floats;

    std::size_t RecordSize() const { return floats ? 28 : 52; }
    unsigned char* PackPoint(unsigned char* out, const Point3d& p) const {
        if (floats) return Put(Put(Put(out, p.x), p.y), p.z);
        return Put(Put(Put(out, double{p.x}), double{p.y}), double{p.z});
    }
    const unsigned char* UnpackPoint(const unsigned char* in, Point3d& p) const {
        if (floats) return Take(Take(Take(in, p.x), p.y), p.z);
        double x, y, z;
        in = Take(Take(Take(in, x), y), z);
        p.x = static_cast<float>(x);
        p.y = static_cast<float>(y);
        p.z = static_cast<float>(z);
        return in;
    }
    void Pack(const VertexNormal& v, unsigned char* out) const {
        const Color c = v.GetColor();
        const unsigned char rgb0[4] = {c.GetR(), c.GetG(), c.GetB(), 0};
        std::memcpy(out, rgb0, 4);
        PackPoint(PackPoint(out + 4, v.GetPoint()), v.GetNormal());
    }
    void Unpack(const unsigned char* in, VertexNormal& v) const {
        Point3d point, normal;
        UnpackPoint(UnpackPoint(in + 4, point), normal);
        v.SetColor(Color(in[0], in[1], in[2], in[3]));
        v.SetPoint(point);
        v.SetNormal(normal);
    }
};

// The triangles, the vertices and the two-sided word of a mesh's form. A mesh
// holds millions of vertices, and going through the archive's operators
// value by value costs several times the memory traffic, so the records go
// as blocks: storing packs a chunk at a time into a staging buffer; loading
// first makes sure the whole form is in the input, then takes the block to
// fill from `commit` (nothing can fail after that) and decodes the records
// straight from the archive's buffer into it. The bytes are those of each
// element's own form written one after the other, a signed 32-bit count
// before each run.
template <class Commit>
struct MeshBody {
    const TriangleMeshPrimitive::Data& stored;
    bool& twoSided;
    Commit commit;  // loading: returns the block to fill, emptied or not
};

template <class Array, class Codec>
void StoreRun(CArchive& ar, const Array& elements, const Codec& codec) {
    constexpr int kChunk = 1024;
    const std::size_t recordSize = codec.RecordSize();
    std::int32_t count = elements.GetSize();
    ArchiveFields(ar, count);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(count, kChunk)) * recordSize);
    for (int first = 0; first < count; first += kChunk) {
        const int n = std::min(kChunk, count - first);
        unsigned char* record = buffer.data();
        for (int i = first; i < first + n; ++i, record += recordSize) codec.Pack(elements[i], record);
        ar.Write(buffer.data(), static_cast<std::size_t>(n) * recordSize);
    }
}

// The count `offset` bytes ahead; a negative one, or one whose records the
// input cannot hold, throws badCount.
std::int32_t PeekCount(CArchive& ar, std::uint64_t offset, std::uint64_t recordSize) {
    std::int32_t count;
    std::memcpy(&count, ar.Peek(static_cast<std::size_t>(offset + 4)) + offset, 4);
    if (count < 0) throw CArchiveException(CArchiveException::badCount);
    ar.CheckAvailable(offset + 4 + static_cast<std::uint64_t>(count) * recordSize);
    return count;
}

template <class Array, class Codec>
const unsigned char* DecodeRun(const unsigned char* in, Array& elements, int count, const Codec& codec) {
    elements.SetSize(count);
    const std::size_t recordSize = codec.RecordSize();
    for (int i = 0; i < count; ++i, in += recordSize) codec.Unpack(in, elements[i]);
    return in;
}

template <class Commit>
void ArchiveField(CArchive& ar, MeshBody<Commit>& body) {
    const TriangleCodec triangleCodec;
    const VertexCodec vertexCodec{Point3d::ArchivedAsFloats(ar)};
    auto twoSided = StoredAlwaysFromVersion(7, AsWord(body.twoSided));
    if (ar.IsStoring()) {
        StoreRun(ar, body.stored.m_triangles, triangleCodec);
        StoreRun(ar, body.stored.m_vertices, vertexCodec);
        ArchiveFields(ar, twoSided);
        return;
    }
    const std::int32_t triangles = PeekCount(ar, 0, triangleCodec.RecordSize());
    const std::uint64_t verticesAt = 4 + static_cast<std::uint64_t>(triangles) * triangleCodec.RecordSize();
    const std::int32_t vertices = PeekCount(ar, verticesAt, vertexCodec.RecordSize());
    const std::uint64_t size = verticesAt + 4 + static_cast<std::uint64_t>(vertices) * vertexCodec.RecordSize();
    ar.CheckAvailable(size + (SchemaAtLeastUnsigned(ar, 7) ? 4 : 0));
    // The whole form is there: from here on nothing throws.
    const unsigned char* in = ar.Peek(static_cast<std::size_t>(size));
    TriangleMeshPrimitive::Data& data = body.commit();
    in = DecodeRun(in + 4, data.m_triangles, triangles, triangleCodec);
    DecodeRun(in + 4, data.m_vertices, vertices, vertexCodec);
    ar.Skip(static_cast<std::size_t>(size));
    ArchiveFields(ar, twoSided);
}

// p * m, bit for bit as Matrix4x4::Transform computes it, with the division
// by w left out for an affine m: there w is exactly 1 for a finite point,
// and a point that is not finite has no image either way.
class PointMap {
public:
    explicit PointMap(const Matrix4x4& m) : m_matrix(m), m_affine(m.IsAffine()) { m.Get(m_m); }

    Point3d operator()(const Point3d& p) const {
        if (!m_affine) return m_matrix.Transform(p);
        const double x = p.x, y = p.y, z = p.z;
        if (!std::isfinite(x + y + z)) return Point3d::maximum;
        return Point3d(x * m_m[0] + y * m_m[4] + z * m_m[8] + m_m[12], x * m_m[1] + y * m_m[5] + z * m_m[9] + m_m[13],
                       x * m_m[2] + y * m_m[6] + z * m_m[10] + m_m[14]);
    }

private:
    Matrix4x4 m_matrix;
    bool m_affine;
    double m_m[16];
};

}  // namespace

// ---- construction and sharing -------------------------------------------------

TriangleMeshPrimitive::TriangleMeshPrimitive() { CreateData(); }

TriangleMeshPrimitive::TriangleMeshPrimitive(const VertexArray& vertices, const TriangleArray& triangles,
                                             unsigned int id)
    : LitPrimitive(id) {
    CreateData();
    m_data->m_triangles.Copy(triangles);
    m_data->m_vertices.Copy(vertices);
}

TriangleMeshPrimitive::TriangleMeshPrimitive(const VertexArray& vertices, const TriangleArray& triangles,
                                             OIDArray& oids) {
    CreateData();
    m_data->m_triangles.Copy(triangles);
    m_data->m_vertices.Copy(vertices);
    m_data->m_oids.Copy(oids);
}

TriangleMeshPrimitive::TriangleMeshPrimitive(const TriangleMeshPrimitive& other)
    : LitPrimitive(other), m_data(other.m_data), m_twoSided(other.m_twoSided), m_lineWidth(other.m_lineWidth) {
    ++m_data->m_refCount;
}

TriangleMeshPrimitive& TriangleMeshPrimitive::operator=(const TriangleMeshPrimitive& other) {
    if (this == &other) return *this;
    LitPrimitive::operator=(other);
    CopyData(other.m_data);
    m_twoSided = other.m_twoSided;
    m_lineWidth = other.m_lineWidth;
    return *this;
}

TriangleMeshPrimitive::~TriangleMeshPrimitive() { DeleteData(); }

void TriangleMeshPrimitive::CreateData() { m_data = new Data(); }

void TriangleMeshPrimitive::DeleteData() {
    if (!m_data) return;
    if (m_data->m_refCount != 1) --m_data->m_refCount;
    else delete m_data;
    m_data = nullptr;
}

void TriangleMeshPrimitive::CopyData(const Data* data) {
    if (data == m_data) return;  // already ours: releasing first could free it
    DeleteData();
    if (!data) {
        CreateData();
        return;
    }
    // Sharing is the point of the block: a const source still gains a holder.
    m_data = const_cast<Data*>(data);
    ++m_data->m_refCount;
}

void TriangleMeshPrimitive::SaveData() {
    if (m_data->m_refCount <= 1) return;
    DeleteData();
    CreateData();
}

void TriangleMeshPrimitive::UnlinkData() {
    if (m_data->m_refCount < 2) return;
    // Copy before letting go, so a failed allocation leaves the mesh sharing as before.
    Data* own = new Data{1, m_data->m_triangles, m_data->m_vertices, m_data->m_oids};
    DeleteData();
    m_data = own;
}

// ---- reads ----------------------------------------------------------------------

void TriangleMeshPrimitive::GetColors(ColorArray& colors) const {
    const int n = GetNumVertices();
    colors.SetSize(n);
    for (int i = 0; i < n; ++i) colors[i] = m_data->m_vertices[i].GetColor();
}

bool TriangleMeshPrimitive::IsValidTriangle(int i) const {
    if (i < 0 || i >= GetNumTriangles()) return false;
    const TriangleIndex& t = m_data->m_triangles[i];
    const int n = GetNumVertices();
    for (int corner = 0; corner < 3; ++corner)
        if (t.GetIndex(corner) < 0 || t.GetIndex(corner) >= n) return false;
    return true;
}

// ---- writes ---------------------------------------------------------------------

VertexNormal* TriangleMeshPrimitive::GetVertices() {
    UnlinkData();
    return m_data->m_vertices.GetData();
}

TriangleMeshPrimitive::TriangleArray& TriangleMeshPrimitive::GetTriangleArray() {
    UnlinkData();
    return m_data->m_triangles;
}

TriangleMeshPrimitive::VertexArray& TriangleMeshPrimitive::GetVertexArray() {
    UnlinkData();
    return m_data->m_vertices;
}

void TriangleMeshPrimitive::SetTriangleAt(int i, TriangleIndex& triangle) {
    if (i < 0 || i >= GetNumTriangles()) return;
    // `triangle` may be an element of the shared block: take it before detaching.
    const TriangleIndex value(triangle);
    UnlinkData();
    m_data->m_triangles[i] = value;
}

void TriangleMeshPrimitive::SetVertexAt(int i, VertexNormal& vertex) {
    if (i < 0 || i >= GetNumVertices()) return;
    const VertexNormal value(vertex);
    UnlinkData();
    m_data->m_vertices[i] = value;
}

void TriangleMeshPrimitive::SetOIDAt(int i, unsigned int id) {
    if (i < 0 || i >= GetNumOIDs()) return;
    UnlinkData();
    m_data->m_oids[i] = id;
}

void TriangleMeshPrimitive::Set(const VertexArray& vertices, const TriangleArray& triangles) {
    // The arguments may lie in the current block; a shared block outlives
    // SaveData (the other holders keep it), an own one is not replaced.
    SaveData();
    m_data->m_triangles.Copy(triangles);
    m_data->m_vertices.Copy(vertices);
}

void TriangleMeshPrimitive::Clear() {
    SaveData();
    m_data->m_triangles.SetSize(0);
    m_data->m_vertices.SetSize(0);
    m_data->m_oids.SetSize(0);
}

// ---- geometry -------------------------------------------------------------------

template <class Move>
void TriangleMeshPrimitive::MovePoints(const Move& move) {
    UnlinkData();
    for (VertexNormal& v : m_data->m_vertices) v.SetPoint(move(v.GetPoint()));
}

// The rotations move the points themselves rather than through Transform, so
// a subclass that overrides Transform does not change them.
void TriangleMeshPrimitive::Rotate(const Point3d& axis, const Point3d& point, double angle) {
    MovePoints(PointMap(Matrix4x4(axis, point, angle)));
}

void TriangleMeshPrimitive::Rotate(const Point3d& axis, double angle) {
    MovePoints(PointMap(Matrix4x4(axis, angle)));
}

void TriangleMeshPrimitive::Transform(const Matrix4x4& m) { MovePoints(PointMap(m)); }

void TriangleMeshPrimitive::Translate(const Point3d& offset) {
    if (!(Length2(offset) > 0.0)) return;
    MovePoints([&offset](const Point3d& p) {
        Point3d moved(p);
        moved.x += offset.x;
        moved.y += offset.y;
        moved.z += offset.z;
        return moved;
    });
}

void TriangleMeshPrimitive::TransformAll(const Matrix4x4& m) {
    UnlinkData();
    const PointMap map(m);
    for (VertexNormal& v : m_data->m_vertices) {
        const Point3d& p = v.GetPoint();
        const Point3d moved = map(p);
        v.SetNormal(map(p + v.GetNormal()) - moved);
        v.SetPoint(moved);
    }
}

// ---- archive --------------------------------------------------------------------

void TriangleMeshPrimitive::Serialize(CArchive& ar) {
    // The LitPrimitive part loads into a stand-in and the body checks the
    // whole form is there before it gives up the block (SaveData), so a load
    // that throws leaves the mesh as it was.
    LitPrimitive lit(*this);
    auto commit = [this]() -> Data& {
        SaveData();
        return *m_data;
    };
    MeshBody<decltype(commit)> body{*m_data, m_twoSided, commit};
    ArchiveFieldsThen(ar, [&] { LitPrimitive::operator=(lit); }, lit, body);
}

}  // namespace Tessary
