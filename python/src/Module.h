#pragma once

// The parts of the extension module, each adding its classes and functions.

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

namespace tessary_python {

void RegisterGeometry(pybind11::module_& m);
void RegisterChemistry(pybind11::module_& m);
void RegisterColors(pybind11::module_& m);
void RegisterScene(pybind11::module_& m);

// Python's ReferenceError: an object refers to something that is gone.
struct RemovedError : std::runtime_error {
    explicit RemovedError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace tessary_python
