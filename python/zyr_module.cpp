// The Python module zyr: galaxies of the simulation core as objects, their
// stars as numpy views into the core's own arrays. Settings are taken by
// zyr-sim's option names and checked by zyr-sim's own option table, so the
// module accepts what zyr-sim accepts and refuses it in the same words.

#include <pybind11/pybind11.h>

#include <string>

#include "physics/methods.h"
#include "physics/workers.h"
#include "python/galaxy_binding.h"
#include "python/report_binding.h"

namespace py = pybind11;

namespace {

py::tuple namesOf(const auto& table) {
    py::list names;
    for (const auto& entry : table) names.append(entry.name);
    return py::tuple(names);
}

}  // namespace

PYBIND11_MODULE(zyr, m) {
    m.doc() =
        "Zyr, the gravitational N-body simulator, as a Python module.\n"
        "\n"
        "A Galaxy holds its stars in the simulation core; its positions, velocities,\n"
        "masses and colors are numpy views into them, without a copy. Galaxies are\n"
        "generated, loaded and stepped exactly as zyr-sim does it, to the bit, and take\n"
        "zyr-sim's long options as keywords (dashes become underscores) with the same\n"
        "values:\n"
        "\n"
        "    import zyr\n"
        "    g = zyr.Galaxy(shape=\"disc\", stars=1024, seed=1, central_mass=1e5)\n"
        "    g.integrator = \"leapfrog\"\n"
        "    g.step(100)\n"
        "    print(g.report().total, g.positions[:3])\n"
        "\n"
        "Galaxies share nothing: several may be stepped side by side, also from\n"
        "several threads at once (step() runs without the interpreter's lock).\n"
        "\n"
        "integrators and force_methods list the names the Galaxy properties accept.";
    // Said once, where Python says such things, when ZYR_THREADS is ignored.
    if (const std::string warning = workerThreadsWarning(); !warning.empty()) {
        if (PyErr_WarnEx(PyExc_RuntimeWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
    }
    m.attr("integrators") = namesOf(kIntegrators);
    m.attr("force_methods") = namesOf(kForceMethods);
    zyr_python::registerReport(m);
    zyr_python::registerGalaxy(m);
}
