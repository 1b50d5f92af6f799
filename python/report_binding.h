#pragma once

// The class Report: a galaxy's bookkeeping at one moment, copied out of the
// galaxy so that it stays as it was while the galaxy steps on.

#include <pybind11/pybind11.h>

#include <array>
#include <string>

namespace zyr_python {

struct Report {
    double time = 0.0;
    int iteration = 0;
    double kinetic = 0.0, potential = 0.0, total = 0.0, totalMass = 0.0;
    std::array<double, 3> momentum{}, centre{};
    std::string potentialFrom;
    int testStars = 0;
};

void registerReport(pybind11::module_& m);

}  // namespace zyr_python
