// The extension module tessary._tessary; the package tessary re-exports it.

#include "Module.h"

#include "tessary/frame/CArchive.h"

namespace py = pybind11;

PYBIND11_MODULE(_tessary, m) {
    m.doc() = "Geometry, neighbour search, superposition, coordination geometry, colour ramps, name "
              "filters and display lists of the tessary library, on NumPy arrays.";
    // Loaders throw CArchiveException on malformed bytes; Python sees its message.
    py::register_exception<Tessary::CArchiveException>(m, "ArchiveError");
    tessary_python::RegisterGeometry(m);
    tessary_python::RegisterChemistry(m);
    tessary_python::RegisterColors(m);
    tessary_python::RegisterScene(m);
}
