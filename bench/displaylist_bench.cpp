// A display-list scene of 1,000,000 spheres, 1,000,000 cylinders and a mesh
// of 2,000,000 vertices in a three-level tree (root -> three children -> one
// grandchild each, the primitives in the grandchildren, a transformation at
// every level). Items are elements (spheres + cylinders + mesh vertices)
// unless a case says otherwise. Every bulk pass counts the bytes it reads
// plus the bytes it writes and runs beside a Memcpy/ case of the same total,
// counted the same way (support/Bandwidth.h); the run ends with the table of
// their ratios.
//
// * Add: 1,000,000 spheres into an empty list (and its destruction), against
//   pushing them into a std::vector.
// * Copy: the whole tree. The mesh's block is shared, not copied, so Copy is
//   charged with the spheres' and cylinders' bytes and the mesh's handle
//   (the case checks that the copy really shares the block); items are the
//   primitives copied. CopyMeshes: a list of meshes, O(number of meshes)
//   whatever their size.
// * ApplyLocalTransformation: every level's matrix baked into every element
//   (each element read and written).
// * Flatten: bake and merge (the scene's copy is made outside the timing).
// * GetPickDots: the scene with one clip plane enabled on the mesh's list.
//   Items are dots; bytes are the primitives' bytes read (the mesh's
//   triangles too) plus the dots' bytes written. Three ways a host holds the
//   output: reused (cleared outside the timing, capacity kept: the call
//   alone), kept (the host clears its kept buffer and calls, both timed) and
//   fresh (a new vector per call, grown from empty and freed, as a host that
//   keeps nothing pays).
// The counters bytes_per_sphere / bytes_per_cylinder are what the list holds
// per element.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "bench/support/Bandwidth.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

using namespace Tessary;
using TessaryBench::ReportTraffic;
using TessaryBench::Traffic;

namespace {

constexpr int kSpheres = 1'000'000;
constexpr int kCylinders = 1'000'000;
constexpr int kVertices = 2'000'000;
constexpr std::int64_t kElements = kSpheres + kCylinders + kVertices;
constexpr std::int64_t kSceneBytes = static_cast<std::int64_t>(sizeof(SpherePrimitive)) * kSpheres +
                                     static_cast<std::int64_t>(sizeof(CylinderPrimitive)) * kCylinders +
                                     static_cast<std::int64_t>(sizeof(VertexNormal)) * kVertices;

Point3d RandomPoint(std::mt19937& rng) {
    std::uniform_real_distribution<float> dist(-50.0f, 50.0f);
    return Point3d(dist(rng), dist(rng), dist(rng));
}

const std::vector<SpherePrimitive>& Spheres() {
    static const std::vector<SpherePrimitive> spheres = [] {
        std::mt19937 rng(1);
        std::vector<SpherePrimitive> out;
        for (int i = 0; i < kSpheres; ++i)
            out.emplace_back(RandomPoint(rng), 1.5, Color(200, 100, 50), static_cast<unsigned>(i + 1));
        return out;
    }();
    return spheres;
}

TriangleMeshPrimitive MakeMesh(int vertices, std::mt19937& rng) {
    TriangleMeshPrimitive::VertexArray v;
    v.SetSize(vertices);
    for (VertexNormal& vertex : v) {
        vertex.SetPoint(RandomPoint(rng));
        vertex.SetNormal(Point3d(0, 0, 1));
    }
    TriangleMeshPrimitive::TriangleArray t;
    t.SetSize(vertices);
    for (int i = 0; i < vertices; ++i) t[i].Set(i, (i + 1) % vertices, (i + 2) % vertices);
    return TriangleMeshPrimitive(v, t, 1u);
}

void SetTransformations(DisplayList3D& root) {
    root.SetLocalTransformation(Matrix4x4().SetTranslation(1, 2, 3));
    for (int c = 0; c < root.GetNumDisplayLists(); ++c) {
        DisplayList3D& child = root.GetDisplayList(c);
        child.SetLocalTransformation(Matrix4x4(Point3d(1, 1, 0), 10.0 * (c + 1)));
        child.GetDisplayList(0).SetLocalTransformation(Matrix4x4().SetTranslation(-1, 0, 0.5 * c));
    }
}

// The scene's copies share the mesh's block; the first transform would copy it.
void DetachMesh(DisplayList3D& scene) { scene.GetDisplayList(2).GetDisplayList(0).GetOpaqueTriangleMesh(0).GetVertices(); }

const DisplayList3D& Scene() {
    static const DisplayList3D scene = [] {
        std::mt19937 rng(2);
        DisplayList3D spheres, cylinders, mesh;
        for (const SpherePrimitive& s : Spheres()) spheres.Add(s);
        for (int i = 0; i < kCylinders; ++i)
            cylinders.Add(CylinderPrimitive(RandomPoint(rng), Color(1, 2, 3), RandomPoint(rng), Color(4, 5, 6), 0.2,
                                            0, static_cast<unsigned>(i), static_cast<unsigned>(i + 1)));
        mesh.Add(MakeMesh(kVertices, rng));
        DisplayList3D root;
        for (const DisplayList3D* leaf : {&spheres, &cylinders, &mesh}) {
            DisplayList3D child;
            child.Add(*leaf);
            root.Add(child);
        }
        SetTransformations(root);
        return root;
    }();
    return scene;
}

void ReportSizes(benchmark::State& state) {
    state.counters["bytes_per_sphere"] = sizeof(SpherePrimitive);
    state.counters["bytes_per_cylinder"] = sizeof(CylinderPrimitive);
}

void Add(benchmark::State& state) {
    const std::vector<SpherePrimitive>& spheres = Spheres();
    for (auto _ : state) {
        DisplayList3D list;
        for (const SpherePrimitive& s : spheres) list.Add(s);
        benchmark::DoNotOptimize(&list);
    }
    state.SetItemsProcessed(state.iterations() * kSpheres);
    ReportSizes(state);
}
BENCHMARK(Add)->Unit(benchmark::kMillisecond);

// Anchor for Add: the same spheres pushed into a plain vector.
void PushBackSpheres(benchmark::State& state) {
    const std::vector<SpherePrimitive>& spheres = Spheres();
    for (auto _ : state) {
        std::vector<SpherePrimitive> list;
        for (const SpherePrimitive& s : spheres) list.push_back(s);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * kSpheres);
}
BENCHMARK(PushBackSpheres)->Unit(benchmark::kMillisecond);

const TriangleMeshPrimitive& SceneMesh(const DisplayList3D& scene) {
    return scene.GetDisplayList(2).GetDisplayList(0).GetOpaqueTriangleMesh(0);
}

// What Copy moves: the spheres and cylinders, and the mesh's handle (its
// vertices and triangles stay in the shared block), each read and written.
Traffic CopyTraffic(const benchmark::State&) {
    const std::int64_t copied = static_cast<std::int64_t>(sizeof(SpherePrimitive)) * kSpheres +
                                static_cast<std::int64_t>(sizeof(CylinderPrimitive)) * kCylinders +
                                static_cast<std::int64_t>(sizeof(TriangleMeshPrimitive));
    return {copied, copied};
}

void Copy(benchmark::State& state) {
    const DisplayList3D& scene = Scene();
    DisplayList3D target;
    for (auto _ : state) {
        target.Copy(scene);
        benchmark::ClobberMemory();
    }
    if (SceneMesh(std::as_const(target)).GetVertices() != SceneMesh(scene).GetVertices())
        state.SkipWithError("the copy does not share the mesh; its bytes would be uncounted");
    state.SetItemsProcessed(state.iterations() * (kSpheres + kCylinders + 1));
    ReportTraffic(state, CopyTraffic(state));
}
BENCHMARK(Copy)->Unit(benchmark::kMillisecond);
TESSARY_MEMCPY_ANCHOR(Copy, CopyTraffic);

// 1,000 meshes of 10 or 10,000 vertices: the same time per mesh.
void CopyMeshes(benchmark::State& state) {
    std::mt19937 rng(3);
    DisplayList3D list;
    const TriangleMeshPrimitive mesh = MakeMesh(static_cast<int>(state.range(0)), rng);
    for (int i = 0; i < 1000; ++i) list.Add(mesh);
    DisplayList3D target;
    for (auto _ : state) {
        target.Copy(list);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(CopyMeshes)->Arg(10)->Arg(10'000);

// Every element read and written.
Traffic SceneTraffic(const benchmark::State&) { return {kSceneBytes, kSceneBytes}; }

void ApplyLocalTransformation(benchmark::State& state) {
    DisplayList3D scene(Scene());
    DetachMesh(scene);
    for (auto _ : state) {
        SetTransformations(scene);
        scene.ApplyLocalTransformation();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kElements);
    ReportTraffic(state, SceneTraffic(state));
}
BENCHMARK(ApplyLocalTransformation)->Unit(benchmark::kMillisecond);
TESSARY_MEMCPY_ANCHOR(Scene, SceneTraffic);

void Flatten(benchmark::State& state) {
    std::optional<DisplayList3D> scene;
    for (auto _ : state) {
        state.PauseTiming();  // the copy and the last one's destruction are not Flatten's
        scene.emplace(Scene());
        DetachMesh(*scene);
        state.ResumeTiming();
        scene->Flatten();
        benchmark::DoNotOptimize(&*scene);
    }
    state.SetItemsProcessed(state.iterations() * kElements);
    ReportTraffic(state, SceneTraffic(state));
}
BENCHMARK(Flatten)->Unit(benchmark::kMillisecond);

// The scene with a clip plane on the mesh's list and an ID on every stick.
const DisplayList3D& PickScene() {
    static const DisplayList3D scene = [] {
        DisplayList3D out(Scene());
        DisplayList3D& meshList = out.GetDisplayList(2).GetDisplayList(0);
        meshList.SetClipPlane(0, Plane(Point3d(0, 0, 0), Point3d(1, 1, 0)));
        meshList.SetClipPlaneEnabled(0, true);
        // The scene's sticks carry end IDs only; give each its own ID as well.
        DisplayList3D& stickList = out.GetDisplayList(1).GetDisplayList(0);
        for (int i = 0; i < stickList.GetNumOpaqueCylinders(); ++i)
            stickList.GetOpaqueCylinder(i).GraphicsPrimitive::SetID(static_cast<unsigned>(i + 1));
        return out;
    }();
    return scene;
}

std::int64_t PickDotCount() {
    static const std::int64_t count = [] {
        std::vector<DotPrimitive> dots;
        return static_cast<std::int64_t>(PickScene().GetPickDots(dots));
    }();
    return count;
}

// Read: every primitive and the mesh's triangles; written: the dots.
Traffic PickDotTraffic(const benchmark::State&) {
    return {kSceneBytes + static_cast<std::int64_t>(sizeof(TriangleIndex)) * SceneMesh(PickScene()).GetNumTriangles(),
            PickDotCount() * static_cast<std::int64_t>(sizeof(DotPrimitive))};
}

enum class PickOutput { Reused, Kept, Fresh };

void GetPickDots(benchmark::State& state, PickOutput output) {
    const DisplayList3D& scene = PickScene();
    std::vector<DotPrimitive> dots;
    if (output != PickOutput::Fresh) scene.GetPickDots(dots);
    for (auto _ : state) {
        if (output == PickOutput::Fresh) {
            std::vector<DotPrimitive> fresh;
            scene.GetPickDots(fresh);
            benchmark::DoNotOptimize(fresh.data());
            continue;
        }
        if (output == PickOutput::Reused) state.PauseTiming();
        dots.clear();
        if (output == PickOutput::Reused) state.ResumeTiming();
        scene.GetPickDots(dots);
        benchmark::DoNotOptimize(dots.data());
    }
    state.SetItemsProcessed(state.iterations() * PickDotCount());
    ReportTraffic(state, PickDotTraffic(state));
    state.counters["dots"] = static_cast<double>(PickDotCount());
    state.counters["bytes_per_dot"] = sizeof(DotPrimitive);
}
BENCHMARK_CAPTURE(GetPickDots, reused, PickOutput::Reused)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GetPickDots, kept, PickOutput::Kept)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GetPickDots, fresh, PickOutput::Fresh)->Unit(benchmark::kMillisecond);
TESSARY_MEMCPY_ANCHOR(GetPickDots, PickDotTraffic);

}  // namespace
