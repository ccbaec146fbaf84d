// Triangle meshes of 1,000,000 vertices and 2,000,000 triangles. Every bulk
// pass counts the bytes it reads plus the bytes it writes and runs beside a
// Memcpy/ case of the same total, counted the same way (support/Bandwidth.h);
// the run ends with the table of their ratios.
//
// * Copy: a copy of the mesh and its destruction (O(1): a shared block, so
//   no bytes are charged).
// * TransformAll: points and normals of every vertex by a rotation about a
//   centre: the vertex array read and written.
// * Store / Load: the mesh through a CArchive in memory, version 7 (floats)
//   and unset (doubles). Store reads the mesh's vertices and triangles and
//   writes the archive; Load reads the archive and writes them back.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench/support/Bandwidth.h"
#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"

using namespace Tessary;
using TessaryBench::ReportTraffic;
using TessaryBench::Traffic;

namespace {

constexpr int kVertices = 1'000'000;
constexpr int kTriangles = 2 * kVertices;

const TriangleMeshPrimitive& Mesh() {
    static const TriangleMeshPrimitive mesh = [] {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> dist(-50.0f, 50.0f);
        TriangleMeshPrimitive::VertexArray vertices;
        vertices.SetSize(kVertices);
        for (VertexNormal& v : vertices) {
            v.SetPoint(Point3d(dist(rng), dist(rng), dist(rng)));
            v.SetNormal(Point3d(dist(rng), dist(rng), dist(rng)).Normalize());
            v.SetColor(Color(static_cast<unsigned long>(rng())));
        }
        TriangleMeshPrimitive::TriangleArray triangles;
        triangles.SetSize(kTriangles);
        for (int i = 0; i < kTriangles; ++i)
            triangles[i].Set(static_cast<int>(rng() % kVertices), i / 2, static_cast<int>(rng() % kVertices));
        return TriangleMeshPrimitive(vertices, triangles, 1u);
    }();
    return mesh;
}

void Copy(benchmark::State& state) {
    const TriangleMeshPrimitive& mesh = Mesh();
    for (auto _ : state) {
        TriangleMeshPrimitive copy(mesh);
        benchmark::DoNotOptimize(&copy);
    }
}
BENCHMARK(Copy);

const std::int64_t kVertexBytes = static_cast<std::int64_t>(sizeof(VertexNormal)) * kVertices;
const std::int64_t kMeshBytes = kVertexBytes + static_cast<std::int64_t>(sizeof(TriangleIndex)) * kTriangles;

Traffic TransformTraffic(const benchmark::State&) { return {kVertexBytes, kVertexBytes}; }

void TransformAll(benchmark::State& state) {
    TriangleMeshPrimitive mesh(Mesh());
    mesh.GetVertices();  // detach once, outside the timing
    const Matrix4x4 m(Point3d(1, 2, 3), Point3d(4, -5, 6), 17.0);
    for (auto _ : state) {
        mesh.TransformAll(m);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
    ReportTraffic(state, TransformTraffic(state));
}
BENCHMARK(TransformAll)->Unit(benchmark::kMillisecond);
TESSARY_MEMCPY_ANCHOR(TransformAll, TransformTraffic);

std::vector<unsigned char> Stored(std::uint32_t schema) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    TriangleMeshPrimitive(Mesh()).Serialize(ar);
    return bytes;
}

std::int64_t ArchiveBytes(std::uint32_t schema) {
    static const std::int64_t floats = static_cast<std::int64_t>(Stored(7).size());
    static const std::int64_t doubles = static_cast<std::int64_t>(Stored(0xFFFFFFFF).size());
    return schema == 7 ? floats : doubles;
}

Traffic StoreTraffic(const benchmark::State& state) {
    return {kMeshBytes, ArchiveBytes(static_cast<std::uint32_t>(state.range(0)))};
}
Traffic LoadTraffic(const benchmark::State& state) {
    return {ArchiveBytes(static_cast<std::uint32_t>(state.range(0))), kMeshBytes};
}

void Store(benchmark::State& state) {
    const auto schema = static_cast<std::uint32_t>(state.range(0));
    TriangleMeshPrimitive mesh(Mesh());
    std::vector<unsigned char> bytes;
    bytes.reserve(Stored(schema).size());
    for (auto _ : state) {
        bytes.clear();
        CArchive ar(bytes, CArchive::store);
        ar.SetObjectSchema(schema);
        mesh.Serialize(ar);
        benchmark::ClobberMemory();
    }
    ReportTraffic(state, StoreTraffic(state));
}
BENCHMARK(Store)->Arg(7)->Arg(0xFFFFFFFF)->Unit(benchmark::kMillisecond);
TESSARY_MEMCPY_ANCHOR(Archive, StoreTraffic)->Arg(7)->Arg(0xFFFFFFFF);

void Load(benchmark::State& state) {
    const auto schema = static_cast<std::uint32_t>(state.range(0));
    std::vector<unsigned char> bytes = Stored(schema);
    TriangleMeshPrimitive mesh;
    for (auto _ : state) {
        CArchive ar(bytes, CArchive::load);
        ar.SetObjectSchema(schema);
        mesh.Serialize(ar);
        benchmark::ClobberMemory();
    }
    ReportTraffic(state, LoadTraffic(state));
}
BENCHMARK(Load)->Arg(7)->Arg(0xFFFFFFFF)->Unit(benchmark::kMillisecond);

}  // namespace
