#pragma once

// The class Galaxy: a galaxy of the core generated, loaded or made from
// arrays, stepped without the interpreter's lock, its stars as numpy views,
// files added and saved, and pictures drawn as zyr-sim draws them.

#include <pybind11/pybind11.h>

namespace zyr_python {

// After registerReport: the signature of Galaxy.report names the class Report
// only when pybind11 knows it by then.
void registerGalaxy(pybind11::module_& m);

}  // namespace zyr_python
