// The extension module tessary._tessary; the package tessary re-exports it.

#include "Module.h"

#include <algorithm>

#include "tessary/frame/CArchive.h"

namespace py = pybind11;

namespace {

// Pickle protocols 0 and 1 rebuild an object through object.__new__, which
// a pybind11 class cannot survive (the interpreter aborts). Every class
// therefore reduces as protocol 2 does, through cls.__new__ and its
// __setstate__, whatever protocol is asked for; a class without pickle
// support raises TypeError at every protocol alike.
void ReduceAsProtocol2(py::handle scope) {
    const py::object reduce = py::module_::import("builtins").attr("object").attr("__reduce_ex__");
    for (const auto item : scope.attr("__dict__").cast<py::dict>()) {
        const py::handle value = item.second;
        if (!PyType_Check(value.ptr()) ||
            !py::detail::get_type_info(reinterpret_cast<PyTypeObject*>(value.ptr())))
            continue;
        value.attr("__reduce_ex__") = py::cpp_function(
            [reduce](const py::object& self, int protocol) { return reduce(self, std::max(protocol, 2)); },
            py::name("__reduce_ex__"), py::is_method(value), py::arg("protocol"),
            "Pickles as protocol 2 does for protocols 0 and 1 too.");
    }
}

}  // namespace

PYBIND11_MODULE(_tessary, m) {
    m.doc() = "Geometry, neighbour search, superposition, coordination geometry, colour ramps, name "
              "filters and display lists of the tessary library, on NumPy arrays.";
    // Loaders throw CArchiveException on malformed bytes; Python sees its message.
    py::register_exception<Tessary::CArchiveException>(m, "ArchiveError");
    // An argument of the wrong type is a TypeError (pybind11 says RuntimeError).
    py::register_local_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const py::cast_error& e) {
            PyErr_SetString(PyExc_TypeError, e.what());
        } catch (const tessary_python::RemovedError& e) {
            PyErr_SetString(PyExc_ReferenceError, e.what());
        }
    });
    tessary_python::RegisterGeometry(m);
    tessary_python::RegisterChemistry(m);
    tessary_python::RegisterColors(m);
    tessary_python::RegisterScene(m);
    ReduceAsProtocol2(m);
    ReduceAsProtocol2(m.attr("coordination"));
}
