// DisplayList: a display list built from arrays (spheres, cylinders, triangle
// meshes), with child lists, local transformations, clip planes, pick dots
// and a byte form.

#include <cstdint>
#include <limits>
#include <vector>

#include "Arrays.h"
#include "Module.h"
#include "SceneArchive.h"  // tools/scenefile
#include "SceneKinds.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace tessary_python {

using namespace Tessary;

namespace {

constexpr std::int64_t kMaxID = std::numeric_limits<std::uint32_t>::max();

std::size_t CheckSameLength(const PointsIn& a, const PointsIn& b, const char* what) {
    if (a.size() != b.size())
        Fail(what, "expected " + std::to_string(a.size()) + " points, got " + std::to_string(b.size()));
    return a.size();
}

void AddSpheres(DisplayList3D& list, py::handle centres, py::handle radii, py::handle colors, py::handle ids) {
    const PointsIn c(centres, "centres");
    const std::size_t n = c.size();
    const std::vector<double> r = Doubles(radii, n, "radii");
    const std::vector<Color> k = Colors(colors, n, "colors");
    const std::vector<std::int64_t> id = Integers(ids, n, 0, kMaxID, "ids");
    for (std::size_t i = 0; i < n; ++i) list.Add(SpherePrimitive(c[i], r[i], k[i], static_cast<unsigned>(id[i])));
}

void AddCylinders(DisplayList3D& list, py::handle ends1, py::handle ends2, py::handle radii, py::handle colors1,
                  py::handle colors2, py::handle ids, py::handle endIds1, py::handle endIds2) {
    const PointsIn a(ends1, "ends1");
    const PointsIn b(ends2, "ends2");
    const std::size_t n = CheckSameLength(a, b, "ends2");
    const std::vector<double> r = Doubles(radii, n, "radii");
    const std::vector<Color> k1 = Colors(colors1, n, "colors1");
    const std::vector<Color> k2 = colors2.is_none() ? k1 : Colors(colors2, n, "colors2");
    const std::vector<std::int64_t> id = Integers(ids, n, 0, kMaxID, "ids");
    const std::vector<std::int64_t> e1 = endIds1.is_none() ? id : Integers(endIds1, n, 0, kMaxID, "end_ids1");
    const std::vector<std::int64_t> e2 = endIds2.is_none() ? id : Integers(endIds2, n, 0, kMaxID, "end_ids2");
    for (std::size_t i = 0; i < n; ++i)
        list.Add(CylinderPrimitive(a[i], k1[i], b[i], k2[i], r[i], static_cast<unsigned>(id[i]),
                                   static_cast<unsigned>(e1[i]), static_cast<unsigned>(e2[i])));
}

void AddMesh(DisplayList3D& list, py::handle vertices, py::handle normals, py::handle colors, py::handle triangles,
             unsigned id, py::handle vertexIds) {
    const PointsIn v(vertices, "vertices");
    const PointsIn nrm(normals, "normals");
    const std::size_t n = CheckSameLength(v, nrm, "normals");
    if (n > static_cast<std::size_t>(std::numeric_limits<int>::max())) Fail("vertices", "too many vertices");
    const std::vector<Color> k = Colors(colors, n, "colors");
    std::size_t rows = 0;
    const std::vector<std::int64_t> t =
        IntegerRows(triangles, 3, 0, static_cast<std::int64_t>(n) - 1, "triangles", &rows);
    TriangleMeshPrimitive::VertexArray va;
    va.SetSize(static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) va[static_cast<int>(i)] = VertexNormal(v[i], nrm[i], k[i]);
    TriangleMeshPrimitive::TriangleArray ta;
    ta.SetSize(static_cast<int>(rows));
    for (std::size_t i = 0; i < rows; ++i)
        ta[static_cast<int>(i)] = TriangleIndex(static_cast<int>(t[3 * i]), static_cast<int>(t[3 * i + 1]),
                                                static_cast<int>(t[3 * i + 2]));
    if (vertexIds.is_none()) {
        list.Add(TriangleMeshPrimitive(va, ta, id));
        return;
    }
    const std::vector<std::int64_t> ids = Integers(vertexIds, n, 0, kMaxID, "vertex_ids");
    OIDArray oids;
    for (std::int64_t x : ids) oids.Add(static_cast<unsigned>(x));
    TriangleMeshPrimitive mesh(va, ta, oids);
    mesh.SetID(id);
    list.Add(mesh);
}

template <class T>
py::array_t<T> VectorOut(const std::vector<T>& v) {
    return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

py::dict Spheres(const DisplayList3D& list) {
    std::vector<Point3d> centres;
    std::vector<float> radii;
    std::vector<Color> colors;
    std::vector<std::uint32_t> ids;
    ForEachOfKind(list, NumSpheres, GetSphere, [&](const SpherePrimitive& s) {
        centres.push_back(s.GetCenter());
        radii.push_back(static_cast<float>(s.GetRadius()));
        colors.push_back(s.GetColor());
        ids.push_back(s.GetID());
    });
    py::dict d;
    d["centres"] = PointsOut(centres.data(), centres.size());
    d["radii"] = VectorOut(radii);
    d["colors"] = ColorsOut(colors.data(), colors.size());
    d["ids"] = VectorOut(ids);
    return d;
}

py::dict Cylinders(const DisplayList3D& list) {
    std::vector<Point3d> ends1, ends2;
    std::vector<float> radii;
    std::vector<Color> colors1, colors2;
    std::vector<std::uint32_t> ids, endIds1, endIds2;
    ForEachOfKind(list, NumCylinders, GetCylinder, [&](const CylinderPrimitive& c) {
        ends1.push_back(c.GetEnd1());
        ends2.push_back(c.GetEnd2());
        radii.push_back(static_cast<float>(c.GetRadius()));
        colors1.push_back(c.GetColor1());
        colors2.push_back(c.GetColor2());
        ids.push_back(c.GetID());
        endIds1.push_back(c.GetEnd1ID());
        endIds2.push_back(c.GetEnd2ID());
    });
    py::dict d;
    d["ends1"] = PointsOut(ends1.data(), ends1.size());
    d["ends2"] = PointsOut(ends2.data(), ends2.size());
    d["radii"] = VectorOut(radii);
    d["colors1"] = ColorsOut(colors1.data(), colors1.size());
    d["colors2"] = ColorsOut(colors2.data(), colors2.size());
    d["ids"] = VectorOut(ids);
    d["end_ids1"] = VectorOut(endIds1);
    d["end_ids2"] = VectorOut(endIds2);
    return d;
}

py::dict Mesh(const DisplayList3D& list, int index) {
    const int opaque = NumMeshes(list, false);
    if (index < 0 || index >= opaque + NumMeshes(list, true)) throw py::index_error("no mesh " + std::to_string(index));
    const TriangleMeshPrimitive& m = index < opaque ? GetMesh(list, false, index) : GetMesh(list, true, index - opaque);
    const auto n = static_cast<std::size_t>(m.GetNumVertices());
    std::vector<Point3d> points(n), normals(n);
    std::vector<Color> colors(n);
    for (std::size_t i = 0; i < n; ++i) {
        const VertexNormal& v = m.GetVertexAt(static_cast<int>(i));
        points[i] = v.GetPoint();
        normals[i] = v.GetNormal();
        colors[i] = v.GetColor();
    }
    py::array_t<int> triangles({static_cast<py::ssize_t>(m.GetNumTriangles()), py::ssize_t{3}});
    int* t = triangles.mutable_data();
    for (int i = 0; i < m.GetNumTriangles(); ++i)
        for (int c = 0; c < 3; ++c) t[3 * i + c] = m.GetTriangleAt(i).GetIndex(c);
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < m.GetNumOIDs(); ++i) ids.push_back(m.GetOIDAt(i));
    py::dict d;
    d["vertices"] = PointsOut(points.data(), n);
    d["normals"] = PointsOut(normals.data(), n);
    d["colors"] = ColorsOut(colors.data(), n);
    d["triangles"] = triangles;
    d["vertex_ids"] = VectorOut(ids);
    d["id"] = m.GetID();
    return d;
}

py::tuple PickDots(const DisplayList3D& list) {
    std::vector<DotPrimitive> dots;
    {
        py::gil_scoped_release release;
        list.GetPickDots(dots);
    }
    Point3d* positions = nullptr;
    py::array_t<float> points = NewPoints(dots.size(), &positions);
    py::array_t<std::uint32_t> ids(static_cast<py::ssize_t>(dots.size()));
    std::uint32_t* id = ids.mutable_data();
    for (std::size_t i = 0; i < dots.size(); ++i) {
        positions[i] = dots[i].GetCoord();
        id[i] = dots[i].GetID();
    }
    return py::make_tuple(points, ids);
}

int PlaneIndex(const DisplayList3D& list, int i) {
    if (i < 0 || i >= list.GetMaxClipPlanes())
        throw py::index_error("clip plane index " + std::to_string(i) + " outside 0.." +
                              std::to_string(list.GetMaxClipPlanes() - 1));
    return i;
}

py::bytes ToBytes(const DisplayList3D& list) {
    const std::vector<unsigned char> bytes = TessaryScene::SceneBytes(list);
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

DisplayList3D FromBytes(const py::bytes& data) {
    const std::string_view view = data;
    std::vector<unsigned char> bytes(view.begin(), view.end());
    return TessaryScene::SceneFromBytes(bytes);
}

}  // namespace

void RegisterScene(py::module_& m) {
    py::class_<DisplayList3D>(m, "DisplayList",
                              "A display list: arrays of primitives (spheres, cylinders and triangle meshes here), "
                              "child lists held by value, a local transformation and six clip planes. Elements "
                              "whose colour has A > 0 (transparent) are filed apart from the opaque ones; every "
                              "reader lists the opaque ones first. Adding copies the arrays.")
        .def(py::init<>(), "An empty list with a new ID.")
        .def_property_readonly("id", &DisplayList3D::GetID, "The list's ID (unique in this process).")
        .def("add_spheres", &AddSpheres, py::arg("centres"), py::arg("radii"), py::arg("colors"), py::arg("ids") = 0,
             "Adds n spheres: (n, 3) centres, n radii or one, (n, 4) / (n, 3) uint8 colours or one colour "
             "(A is transparency, 0 = opaque), n object IDs or one (0: not pickable).")
        .def("add_cylinders", &AddCylinders, py::arg("ends1"), py::arg("ends2"), py::arg("radii"),
             py::arg("colors1"), py::arg("colors2") = py::none(), py::arg("ids") = 0,
             py::arg("end_ids1") = py::none(), py::arg("end_ids2") = py::none(),
             "Adds n cylinders from (n, 3) end arrays: radii, colours of each half (colors2 defaults to "
             "colors1), object IDs, and the IDs picked at each end (default: ids).")
        .def("add_mesh", &AddMesh, py::arg("vertices"), py::arg("normals"), py::arg("colors"),
             py::arg("triangles"), py::arg("id") = 0, py::arg("vertex_ids") = py::none(),
             "Adds one triangle mesh: (n, 3) vertices and normals, n colours, (m, 3) integer vertex indices "
             "(each within the vertices), the mesh's object ID and optionally one ID per vertex for picking.")
        .def_property_readonly("num_spheres", [](const DisplayList3D& l) { return NumSpheres(l, false) + NumSpheres(l, true); },
                               "Spheres in this list (not its children).")
        .def_property_readonly("num_cylinders",
                               [](const DisplayList3D& l) { return NumCylinders(l, false) + NumCylinders(l, true); },
                               "Cylinders in this list.")
        .def_property_readonly("num_meshes", [](const DisplayList3D& l) { return NumMeshes(l, false) + NumMeshes(l, true); },
                               "Triangle meshes in this list.")
        .def("spheres", &Spheres, "This list's spheres as new arrays: {'centres', 'radii', 'colors', 'ids'}.")
        .def("cylinders", &Cylinders,
             "This list's cylinders as new arrays: {'ends1', 'ends2', 'radii', 'colors1', 'colors2', 'ids', "
             "'end_ids1', 'end_ids2'}.")
        .def("mesh", &Mesh, py::arg("index"),
             "Mesh `index` as new arrays: {'vertices', 'normals', 'colors', 'triangles', 'vertex_ids', 'id'}.")
        .def("add_child", [](DisplayList3D& l, const DisplayList3D& child) { return l.Add(child); }, py::arg("child"),
             "Appends a copy of child and its subtree; returns the child's ID. Later changes to child do not "
             "reach the copy.")
        .def_property_readonly("num_children", &DisplayList3D::GetNumDisplayLists, "The number of child lists.")
        .def(
            "child",
            [](const DisplayList3D& l, int i) {
                if (i < 0 || i >= l.GetNumDisplayLists()) throw py::index_error("no child " + std::to_string(i));
                return l.GetDisplayList(i);
            },
            py::arg("index"), "A copy of child `index` (same ID); changing it leaves this list alone.")
        .def_property(
            "local_transformation", [](const DisplayList3D& l) { return l.GetLocalTransformation(); },
            &DisplayList3D::SetLocalTransformation,
            "The list's own transformation (a copy), applied to its primitives and children.")
        .def(
            "set_clip_plane",
            [](DisplayList3D& l, int i, py::handle point, py::handle normal, bool enabled) {
                l.SetClipPlane(PlaneIndex(l, i), Plane(PointFrom(point, "point"), PointFrom(normal, "normal")));
                l.SetClipPlaneEnabled(i, enabled);
            },
            py::arg("index"), py::arg("point"), py::arg("normal"), py::arg("enabled") = true,
            "Sets clip plane 0-5 through point with normal; an enabled plane keeps the pick dots of this list "
            "on the side the normal points to.")
        .def(
            "clip_plane",
            [](const DisplayList3D& l, int i) {
                Point3d point, normal;
                l.GetClipPlane(PlaneIndex(l, i)).Get(point, normal);
                return py::make_tuple(point, normal, l.GetClipPlaneEnabled(i));
            },
            py::arg("index"), "(point, normal, enabled) of clip plane 0-5.")
        .def("pick_dots", &PickDots,
             "The 3D pick dots of the whole tree in world coordinates, each list's own dots clipped by its "
             "enabled planes: ((n, 3) float32 positions, (n,) uint32 object IDs), both new arrays. Runs "
             "without the GIL: do not change the list from another thread meanwhile.")
        .def("to_bytes", &ToBytes,
             "The tree as bytes, in the scene file of the reference host (tessary-scene archive --check "
             "opens it): per list its settings, then every primitive kind counted, each element in its "
             "library archive form with what that form leaves out (colour transparency, end IDs, vertex "
             "IDs), then its children, at any depth.")
        .def_static("from_bytes", &FromBytes, py::arg("data"),
                    "A tree rebuilt from to_bytes output (new IDs). ArchiveError for malformed or truncated bytes.")
        .def(py::pickle([](const DisplayList3D& l) { return ToBytes(l); },
                        [](const py::bytes& b) { return FromBytes(b); }));
}

}  // namespace tessary_python
