#include "python/report_binding.h"

#include <pybind11/numpy.h>

namespace py = pybind11;

namespace zyr_python {

void registerReport(py::module_& m) {
    py::class_<Report>(m, "Report",
                       "The bookkeeping of a galaxy at one moment, as zyr-sim reports it, in the units\n"
                       "of the galaxy's scale. Galaxy.report() makes one.")
        .def_readonly("time", &Report::time, "The galaxy's time.")
        .def_readonly("iteration", &Report::iteration, "Steps taken since the galaxy was made or loaded.")
        .def_readonly("kinetic", &Report::kinetic, "Kinetic energy of the stars.")
        .def_readonly("potential", &Report::potential,
                      "Potential energy: exact over all pairs, or from the tree or grid of a\n"
                      "barnes-hut or particle-mesh galaxy (see potential_from).")
        .def_readonly("total", &Report::total, "Total energy, kinetic plus potential.")
        .def_readonly("total_mass", &Report::totalMass, "Sum of the star masses.")
        .def_property_readonly(
            "momentum", [](const Report& r) { return py::array_t<double>(3, r.momentum.data()); },
            "Total momentum (x, y, z), a new (3,) array.")
        .def_property_readonly(
            "centre", [](const Report& r) { return py::array_t<double>(3, r.centre.data()); },
            "Centre of mass (x, y, z), a new (3,) array.")
        .def_readonly("potential_from", &Report::potentialFrom,
                      "Where the potential energy comes from: 'exact', 'tree' or 'mesh'.")
        .def_readonly("test_stars", &Report::testStars,
                      "Stars of mass 0: they feel the others and pull on nobody.")
        .def(
            "__repr__",
            [](const Report& r) {
                return "<zyr.Report time " + std::string(py::repr(py::float_(r.time))) + ": kinetic " +
                       std::string(py::repr(py::float_(r.kinetic))) + ", potential " +
                       std::string(py::repr(py::float_(r.potential))) + " (" + r.potentialFrom + "), total " +
                       std::string(py::repr(py::float_(r.total))) + ">";
            },
            "A short description: time and energies.");
}

}  // namespace zyr_python
