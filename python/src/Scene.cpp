// DisplayList: a display list built from arrays (spheres, cylinders, triangle
// meshes), with child lists, local transformations, clip planes, pick dots
// and a byte form.

#include <Python.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Arrays.h"
#include "Guarded.h"
#include "Module.h"
#include "SceneArchive.h"  // tools/scenefile
#include "SceneKinds.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace tessary_python {

using namespace Tessary;

namespace {

// The tree behind one or more Python DisplayList objects, and a count of
// the changes made to it.
struct Tree {
    Tree() = default;
    explicit Tree(DisplayList3D&& list) : root(std::move(list)) {}
    DisplayList3D root;
    std::uint64_t changes = 0;
};

// A display list as Python sees it: the tree it belongs to, shared by every
// Python object that reaches into it, and the path from the tree's root down
// to this list. The library holds children by value, so a child is found
// again after the tree changed: at the position it was seen at when it still
// carries its ID there, else by its ID among its parent's children;
// ReferenceError when it was removed. The tree lives while any Python object
// reaches it, so nothing dangles.
class DisplayListRef {
public:
    DisplayListRef() : m_tree(std::make_shared<Guarded<Tree>>()) {}
    explicit DisplayListRef(DisplayList3D&& list) : m_tree(std::make_shared<Guarded<Tree>>(std::move(list))) {}

    // f(list) under the tree's lock (see Guarded): shared for the queries, alone for the changes.
    template <class F>
    auto Read(F&& f) const {
        return m_tree->Read([&](const Tree& tree) { return f(Find(tree)); });
    }
    template <class F>
    auto ReadReleased(F&& f) const {
        return m_tree->ReadReleased([&](const Tree& tree) { return f(Find(tree)); });
    }
    // Every change counts as one that may move lists (only the changed list
    // itself surely stays where it is).
    template <class F>
    auto Write(F&& f) {
        return m_tree->Write([&](Tree& tree) {
            // The tree is not const here: the list found may be changed.
            auto& list = const_cast<DisplayList3D&>(Find(tree));
            m_found = &list;
            m_foundAt = ++tree.changes;
            return f(list);
        });
    }

    // A reference to child `index` of this list.
    DisplayListRef Child(int index) const {
        return m_tree->Read([&](const Tree& tree) {
            const DisplayList3D& list = Find(tree);
            if (index < 0 || index >= list.GetNumDisplayLists()) throw py::index_error("no child " + std::to_string(index));
            DisplayListRef child = *this;  // under the lock, as it reads m_found
            child.m_found = &list.GetDisplayList(index);
            child.m_foundAt = tree.changes;
            child.m_path.push_back({index, child.m_found->GetID()});
            return child;
        });
    }

private:
    struct Step {
        int index;
        unsigned id;
    };

    // The list, from the path unless the tree is as it was when it was last found.
    const DisplayList3D& Find(const Tree& tree) const {
        if (m_found && m_foundAt == tree.changes) return *m_found;
        const DisplayList3D* list = &tree.root;
        for (const Step& step : m_path) {
            const int n = list->GetNumDisplayLists();
            int at = step.index < n && list->GetDisplayList(step.index).GetID() == step.id ? step.index : -1;
            for (int i = 0; at < 0 && i < n; ++i)
                if (list->GetDisplayList(i).GetID() == step.id) at = i;
            if (at < 0)
                throw RemovedError("display list " + std::to_string(step.id) + " was removed from its parent");
            list = &list->GetDisplayList(at);
        }
        return *list;
    }

    std::shared_ptr<Guarded<Tree>> m_tree;
    std::vector<Step> m_path;
    // The list last found and the change count then. Set under the tree's
    // lock held alone (or on a new object no other thread sees), read under
    // the lock shared.
    const DisplayList3D* m_found = nullptr;
    std::uint64_t m_foundAt = 0;
};

constexpr std::int64_t kMaxID = std::numeric_limits<std::uint32_t>::max();

std::size_t CheckSameLength(const PointsIn& a, const PointsIn& b, const char* what) {
    if (a.size() != b.size())
        Fail(what, "expected " + std::to_string(a.size()) + " points, got " + std::to_string(b.size()));
    return a.size();
}

// The primitives are built from the arguments first, then added in one step.
template <class Primitive>
void AddAll(DisplayListRef& self, const std::vector<Primitive>& primitives) {
    self.Write([&](DisplayList3D& list) {
        for (const Primitive& p : primitives) list.Add(p);
    });
}

void AddSpheres(DisplayListRef& self, const PointsArg& centres, const FloatsArg& radii, const ColorsArg& colors,
                const IdsArg& ids) {
    const PointsIn c(centres, "centres");
    const std::size_t n = c.size();
    const std::vector<double> r = Doubles(radii, n, "radii", 0.0);
    const std::vector<Color> k = Colors(colors, n, "colors");
    const std::vector<std::int64_t> id = Integers(ids, n, 0, kMaxID, "ids");
    std::vector<SpherePrimitive> spheres;
    spheres.reserve(n);
    for (std::size_t i = 0; i < n; ++i) spheres.emplace_back(c[i], r[i], k[i], static_cast<unsigned>(id[i]));
    AddAll(self, spheres);
}

void AddCylinders(DisplayListRef& self, const PointsArg& ends1, const PointsArg& ends2, const FloatsArg& radii,
                  const ColorsArg& colors1, std::optional<ColorsArg> colors2, const IdsArg& ids,
                  std::optional<IdsArg> endIds1, std::optional<IdsArg> endIds2) {
    const PointsIn a(ends1, "ends1");
    const PointsIn b(ends2, "ends2");
    const std::size_t n = CheckSameLength(a, b, "ends2");
    const std::vector<double> r = Doubles(radii, n, "radii", 0.0);
    const std::vector<Color> k1 = Colors(colors1, n, "colors1");
    const std::vector<Color> k2 = colors2 ? Colors(*colors2, n, "colors2") : k1;
    const std::vector<std::int64_t> id = Integers(ids, n, 0, kMaxID, "ids");
    const std::vector<std::int64_t> e1 = endIds1 ? Integers(*endIds1, n, 0, kMaxID, "end_ids1") : id;
    const std::vector<std::int64_t> e2 = endIds2 ? Integers(*endIds2, n, 0, kMaxID, "end_ids2") : id;
    std::vector<CylinderPrimitive> cylinders;
    cylinders.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        cylinders.emplace_back(a[i], k1[i], b[i], k2[i], r[i], static_cast<unsigned>(id[i]),
                               static_cast<unsigned>(e1[i]), static_cast<unsigned>(e2[i]));
    AddAll(self, cylinders);
}

void AddMesh(DisplayListRef& self, const PointsArg& vertices, const PointsArg& normals, const ColorsArg& colors,
             const TrianglesArg& triangles, unsigned id, std::optional<IdsArg> vertexIds) {
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
    std::vector<TriangleMeshPrimitive> mesh;
    if (!vertexIds) {
        mesh.emplace_back(va, ta, id);
    } else {
        const std::vector<std::int64_t> ids = Integers(*vertexIds, n, 0, kMaxID, "vertex_ids");
        OIDArray oids;
        for (std::int64_t x : ids) oids.Add(static_cast<unsigned>(x));
        mesh.emplace_back(va, ta, oids);
        mesh.back().SetID(id);
    }
    AddAll(self, mesh);
}

template <class T>
py::array_t<T> VectorOut(const std::vector<T>& v) {
    return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

ArraysOut Dict(py::dict d) { return py::reinterpret_steal<py::object>(d.release()); }

ArraysOut Spheres(const DisplayListRef& self) {
    struct Out {
        std::vector<Point3d> centres;
        std::vector<float> radii;
        std::vector<Color> colors;
        std::vector<std::uint32_t> ids;
    };
    const Out o = self.Read([](const DisplayList3D& list) {
        Out out;
        ForEachOfKind(list, NumSpheres, GetSphere, [&](const SpherePrimitive& s) {
            out.centres.push_back(s.GetCenter());
            out.radii.push_back(static_cast<float>(s.GetRadius()));
            out.colors.push_back(s.GetColor());
            out.ids.push_back(s.GetID());
        });
        return out;
    });
    py::dict d;
    d["centres"] = PointsOut(o.centres.data(), o.centres.size());
    d["radii"] = VectorOut(o.radii);
    d["colors"] = ColorsOut(o.colors.data(), o.colors.size());
    d["ids"] = VectorOut(o.ids);
    return Dict(std::move(d));
}

ArraysOut Cylinders(const DisplayListRef& self) {
    struct Out {
        std::vector<Point3d> ends1, ends2;
        std::vector<float> radii;
        std::vector<Color> colors1, colors2;
        std::vector<std::uint32_t> ids, endIds1, endIds2;
    };
    const Out o = self.Read([](const DisplayList3D& list) {
        Out out;
        ForEachOfKind(list, NumCylinders, GetCylinder, [&](const CylinderPrimitive& c) {
            out.ends1.push_back(c.GetEnd1());
            out.ends2.push_back(c.GetEnd2());
            out.radii.push_back(static_cast<float>(c.GetRadius()));
            out.colors1.push_back(c.GetColor1());
            out.colors2.push_back(c.GetColor2());
            out.ids.push_back(c.GetID());
            out.endIds1.push_back(c.GetEnd1ID());
            out.endIds2.push_back(c.GetEnd2ID());
        });
        return out;
    });
    py::dict d;
    d["ends1"] = PointsOut(o.ends1.data(), o.ends1.size());
    d["ends2"] = PointsOut(o.ends2.data(), o.ends2.size());
    d["radii"] = VectorOut(o.radii);
    d["colors1"] = ColorsOut(o.colors1.data(), o.colors1.size());
    d["colors2"] = ColorsOut(o.colors2.data(), o.colors2.size());
    d["ids"] = VectorOut(o.ids);
    d["end_ids1"] = VectorOut(o.endIds1);
    d["end_ids2"] = VectorOut(o.endIds2);
    return Dict(std::move(d));
}

ArraysOut Mesh(const DisplayListRef& self, int index) {
    struct Out {
        std::vector<Point3d> points, normals;
        std::vector<Color> colors;
        std::vector<int> triangles;
        std::vector<std::uint32_t> ids;
        unsigned id = 0;
    };
    const Out o = self.Read([&](const DisplayList3D& list) {
        const int opaque = NumMeshes(list, false);
        if (index < 0 || index >= opaque + NumMeshes(list, true))
            throw py::index_error("no mesh " + std::to_string(index));
        const TriangleMeshPrimitive& m =
            index < opaque ? GetMesh(list, false, index) : GetMesh(list, true, index - opaque);
        Out out;
        for (int i = 0; i < m.GetNumVertices(); ++i) {
            const VertexNormal& v = m.GetVertexAt(i);
            out.points.push_back(v.GetPoint());
            out.normals.push_back(v.GetNormal());
            out.colors.push_back(v.GetColor());
        }
        for (int i = 0; i < m.GetNumTriangles(); ++i)
            for (int c = 0; c < 3; ++c) out.triangles.push_back(m.GetTriangleAt(i).GetIndex(c));
        for (int i = 0; i < m.GetNumOIDs(); ++i) out.ids.push_back(m.GetOIDAt(i));
        out.id = m.GetID();
        return out;
    });
    py::array_t<int> triangles({static_cast<py::ssize_t>(o.triangles.size() / 3), py::ssize_t{3}});
    std::copy(o.triangles.begin(), o.triangles.end(), triangles.mutable_data());
    py::dict d;
    d["vertices"] = PointsOut(o.points.data(), o.points.size());
    d["normals"] = PointsOut(o.normals.data(), o.normals.size());
    d["colors"] = ColorsOut(o.colors.data(), o.colors.size());
    d["triangles"] = triangles;
    d["vertex_ids"] = VectorOut(o.ids);
    d["id"] = o.id;
    return Dict(std::move(d));
}

// Gathered without the GIL: other threads' queries may run meanwhile, changes wait.
DotsOut PickDots(const DisplayListRef& self) {
    const std::vector<DotPrimitive> dots = self.ReadReleased([](const DisplayList3D& list) {
        std::vector<DotPrimitive> out;
        list.GetPickDots(out);
        return out;
    });
    Point3d* positions = nullptr;
    py::array_t<float> points = NewPoints(dots.size(), &positions);
    py::array_t<std::uint32_t> ids(static_cast<py::ssize_t>(dots.size()));
    std::uint32_t* id = ids.mutable_data();
    for (std::size_t i = 0; i < dots.size(); ++i) {
        positions[i] = dots[i].GetCoord();
        id[i] = dots[i].GetID();
    }
    return py::reinterpret_steal<py::object>(py::make_tuple(points, ids).release());
}

// Every display list has six clip planes.
constexpr int kClipPlanes = 6;

int PlaneIndex(int i) {
    if (i < 0 || i >= kClipPlanes)
        throw py::index_error("clip plane index " + std::to_string(i) + " outside 0.." + std::to_string(kClipPlanes - 1));
    return i;
}

py::bytes ToBytes(const DisplayListRef& self) {
    const std::vector<unsigned char> bytes =
        self.ReadReleased([](const DisplayList3D& list) { return TessaryScene::SceneBytes(list); });
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The bytes of any object with the buffer interface (bytes, bytearray, memoryview, NumPy arrays).
std::vector<unsigned char> BufferBytes(py::handle data) {
    Py_buffer view;
    if (PyObject_GetBuffer(data.ptr(), &view, PyBUF_FULL_RO) != 0) {
        PyErr_Clear();
        throw py::type_error("data: expected bytes or another buffer, got " +
                             std::string(py::str(py::type::of(data).attr("__name__"))));
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(view.len));
    const int copied = PyBuffer_ToContiguous(bytes.data(), &view, view.len, 'C');
    PyBuffer_Release(&view);
    if (copied != 0) throw py::error_already_set();
    return bytes;
}

// The GIL stays held: loading makes new lists, and their IDs come from a
// process-wide counter that one thread at a time may use.
DisplayListRef FromBytes(py::handle data) {
    std::vector<unsigned char> bytes = BufferBytes(data);
    return DisplayListRef(TessaryScene::SceneFromBytes(bytes));
}

struct BufferTag {
    static constexpr auto name = py::detail::const_name("bytes | bytearray | memoryview");
};

// A tree of its own holding a copy of the list a reference points at.
DisplayListRef CopyTree(const DisplayListRef& self) {
    return DisplayListRef(self.Read([](const DisplayList3D& l) { return l; }));
}

}  // namespace

void RegisterScene(py::module_& m) {
    py::class_<DisplayListRef>(
        m, "DisplayList",
        "A display list: arrays of primitives (spheres, cylinders and triangle meshes here), child lists, a "
        "local transformation and six clip planes. Elements whose colour has A > 0 (transparent) are filed "
        "apart from the opaque ones; every reader lists the opaque ones first. Adding copies the arrays.\n\n"
        "child(i) is a reference into this list's tree, not a copy: changes made through it are the tree's. "
        "It keeps the tree alive and finds its list again on each call (ReferenceError once the list was "
        "removed). add_child copies; copy.copy and copy.deepcopy give an independent tree.\n\n"
        "Threads may share a tree: pick_dots and to_bytes run without the GIL alongside other queries, and "
        "every change waits for them, so each call sees the tree as it stood before or after any other.")
        .def(py::init<>(), "An empty list with a new ID.")
        .def_property_readonly(
            "id", [](const DisplayListRef& self) { return self.Read([](const DisplayList3D& l) { return l.GetID(); }); },
            "The list's ID (unique in this process; a copy keeps it).")
        .def("add_spheres", &AddSpheres, py::arg("centres"), py::arg("radii"), py::arg("colors"), py::arg("ids") = 0,
             "Adds n spheres: (n, 3) centres, n radii or one (finite, not negative), (n, 4) / (n, 3) uint8 "
             "colours or one colour (A is transparency, 0 = opaque), n object IDs or one (0: not pickable).")
        .def("add_cylinders", &AddCylinders, py::arg("ends1"), py::arg("ends2"), py::arg("radii"),
             py::arg("colors1"), py::arg("colors2") = py::none(), py::arg("ids") = 0,
             py::arg("end_ids1") = py::none(), py::arg("end_ids2") = py::none(),
             "Adds n cylinders from (n, 3) end arrays: radii (finite, not negative), colours of each half "
             "(colors2 defaults to colors1), object IDs, and the IDs picked at each end (default: ids).")
        .def("add_mesh", &AddMesh, py::arg("vertices"), py::arg("normals"), py::arg("colors"),
             py::arg("triangles"), py::arg("id") = 0, py::arg("vertex_ids") = py::none(),
             "Adds one triangle mesh: (n, 3) vertices and normals, n colours, (m, 3) integer vertex indices "
             "(each within the vertices), the mesh's object ID and optionally one ID per vertex for picking.")
        .def_property_readonly(
            "num_spheres",
            [](const DisplayListRef& self) {
                return self.Read([](const DisplayList3D& l) { return NumSpheres(l, false) + NumSpheres(l, true); });
            },
            "Spheres in this list (not its children).")
        .def_property_readonly(
            "num_cylinders",
            [](const DisplayListRef& self) {
                return self.Read([](const DisplayList3D& l) { return NumCylinders(l, false) + NumCylinders(l, true); });
            },
            "Cylinders in this list.")
        .def_property_readonly(
            "num_meshes",
            [](const DisplayListRef& self) {
                return self.Read([](const DisplayList3D& l) { return NumMeshes(l, false) + NumMeshes(l, true); });
            },
            "Triangle meshes in this list.")
        .def("spheres", &Spheres, "This list's spheres as new arrays: {'centres', 'radii', 'colors', 'ids'}.")
        .def("cylinders", &Cylinders,
             "This list's cylinders as new arrays: {'ends1', 'ends2', 'radii', 'colors1', 'colors2', 'ids', "
             "'end_ids1', 'end_ids2'}.")
        .def("mesh", &Mesh, py::arg("index"),
             "Mesh `index` as new arrays: {'vertices', 'normals', 'colors', 'triangles', 'vertex_ids', 'id'}.")
        .def(
            "add_child",
            [](DisplayListRef& self, const DisplayListRef& child) {
                // Copied under the child's lock first, then added under this tree's: never both locks at
                // once, so two threads adding trees to each other cannot wait on each other.
                const DisplayList3D copy = child.Read([](const DisplayList3D& c) { return c; });
                return self.Write([&](DisplayList3D& l) { return l.Add(copy); });
            },
            py::arg("child"),
            "Appends a copy of child and its subtree (as they stand now); returns the child's ID. Later "
            "changes to child do not reach the copy: use child(i) to reach it.")
        .def(
            "remove_child",
            [](DisplayListRef& self, int index) {
                self.Write([&](DisplayList3D& l) {
                    if (index < 0 || index >= l.GetNumDisplayLists()) throw py::index_error("no child " + std::to_string(index));
                    l.RemoveDisplayList(index, 1);
                });
            },
            py::arg("index"), "Removes child `index` and its subtree; references to them raise ReferenceError.")
        .def_property_readonly(
            "num_children",
            [](const DisplayListRef& self) { return self.Read([](const DisplayList3D& l) { return l.GetNumDisplayLists(); }); },
            "The number of child lists.")
        .def("child", &DisplayListRef::Child, py::arg("index"),
             "A reference to child `index` (not a copy): what is changed through it changes this tree.")
        .def_property(
            "local_transformation",
            [](const DisplayListRef& self) {
                return self.Read([](const DisplayList3D& l) { return l.GetLocalTransformation(); });
            },
            [](DisplayListRef& self, const Matrix4x4& m) {
                self.Write([&](DisplayList3D& l) { l.SetLocalTransformation(m); });
            },
            "The list's own transformation (a copy), applied to its primitives and children.")
        .def(
            "set_clip_plane",
            [](DisplayListRef& self, int i, const PointArg& point, const PointArg& normal, bool enabled) {
                const Plane plane(PointFrom(point, "point"), DirectionFrom(normal, "normal"));
                PlaneIndex(i);
                self.Write([&](DisplayList3D& l) {
                    l.SetClipPlane(i, plane);
                    l.SetClipPlaneEnabled(i, enabled);
                });
            },
            py::arg("index"), py::arg("point"), py::arg("normal"), py::arg("enabled") = true,
            "Sets clip plane 0-5 through point with a non-zero normal; an enabled plane keeps the pick dots "
            "of this list on the side the normal points to.")
        .def(
            "clip_plane",
            [](const DisplayListRef& self, int i) {
                PlaneIndex(i);
                Point3d point, normal;
                const bool enabled = self.Read([&](const DisplayList3D& l) {
                    l.GetClipPlane(i).Get(point, normal);
                    return l.GetClipPlaneEnabled(i);
                });
                return py::make_tuple(point, normal, enabled);
            },
            py::arg("index"), "(point, normal, enabled) of clip plane 0-5.")
        .def("pick_dots", &PickDots,
             "The 3D pick dots of this list's tree in its own coordinates (a child's parents' transformations "
             "are not applied), each list's own dots clipped by its enabled planes: ((n, 3) float32 positions, "
             "(n,) uint32 object IDs), both new arrays. Runs without the GIL.")
        .def("to_bytes", &ToBytes,
             "The tree as bytes, in the scene file of the reference host (tessary-scene archive --check "
             "opens it): per list its settings, then every primitive kind counted, each element in its "
             "library archive form with what that form leaves out (colour transparency, end IDs, vertex "
             "IDs), then its children, at any depth.")
        .def_static(
            "from_bytes", [](const Typed<BufferTag>& data) { return FromBytes(data); }, py::arg("data"),
            "A tree rebuilt from to_bytes output held in any buffer (bytes, bytearray, memoryview; new IDs). "
            "ArchiveError for malformed or truncated bytes.")
        .def("__copy__", &CopyTree, "An independent tree holding a copy of this list (same IDs).")
        .def(
            "__deepcopy__", [](const DisplayListRef& self, const py::dict&) { return CopyTree(self); },
            py::arg("memo"), "Same as __copy__: the copy shares nothing.")
        .def(py::pickle([](const DisplayListRef& self) { return ToBytes(self); },
                        [](const py::bytes& b) { return FromBytes(b); }));
}

}  // namespace tessary_python
