// Triangle meshes of 1,000,000 vertices and 2,000,000 triangles, against
// memcpy in the same run.
//
// * Copy: a copy of the mesh and its destruction (O(1): a shared block).
// * TransformAll: points and normals of every vertex by a rotation about a
//   centre. Bytes count what the pass reads and writes (the vertex array
//   twice); the anchor copies the vertex array, counted the same way.
// * Store / Load: the mesh through a CArchive in memory, version 7 (floats)
//   and unset (doubles). Bytes are the archive's bytes; the anchor copies a
//   buffer of the archive's size, counted once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"

using namespace Tessary;

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

void TransformAll(benchmark::State& state) {
    TriangleMeshPrimitive mesh(Mesh());
    mesh.GetVertices();  // detach once, outside the timing
    const Matrix4x4 m(Point3d(1, 2, 3), Point3d(4, -5, 6), 17.0);
    for (auto _ : state) {
        mesh.TransformAll(m);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
    state.SetBytesProcessed(state.iterations() * 2 * kVertexBytes);
}
BENCHMARK(TransformAll)->Unit(benchmark::kMillisecond);

// Anchor for TransformAll: the vertex array's size, read once and written once.
void MemcpyVertices(benchmark::State& state) {
    std::vector<unsigned char> from(static_cast<std::size_t>(kVertexBytes), 1), to(from.size(), 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kVertexBytes);
}
BENCHMARK(MemcpyVertices)->Unit(benchmark::kMillisecond);

std::vector<unsigned char> Stored(std::uint32_t schema) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    TriangleMeshPrimitive(Mesh()).Serialize(ar);
    return bytes;
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
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(Store)->Arg(7)->Arg(0xFFFFFFFF)->Unit(benchmark::kMillisecond);

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
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(Load)->Arg(7)->Arg(0xFFFFFFFF)->Unit(benchmark::kMillisecond);

// Anchor for Store and Load: a buffer of the archive's size copied once.
void MemcpyArchive(benchmark::State& state) {
    const std::vector<unsigned char> from = Stored(static_cast<std::uint32_t>(state.range(0)));
    std::vector<unsigned char> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(from.size()));
}
BENCHMARK(MemcpyArchive)->Arg(7)->Arg(0xFFFFFFFF)->Unit(benchmark::kMillisecond);

}  // namespace
