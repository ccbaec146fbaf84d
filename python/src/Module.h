#pragma once

// The parts of the extension module, each adding its classes and functions.

#include <pybind11/pybind11.h>

namespace tessary_python {

void RegisterGeometry(pybind11::module_& m);
void RegisterChemistry(pybind11::module_& m);
void RegisterColors(pybind11::module_& m);
void RegisterScene(pybind11::module_& m);

}  // namespace tessary_python
