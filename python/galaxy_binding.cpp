#include "python/galaxy_binding.h"

#include <pybind11/numpy.h>

#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "io/any_galaxy_file.h"
#include "io/galaxy_file.h"
#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/methods.h"
#include "python/keywords.h"
#include "python/report_binding.h"
#include "render/galaxy_renderer.h"
#include "render/raster.h"
#include "run/galaxy_setup.h"
#include "run/options.h"
#include "run/pictures.h"

namespace py = pybind11;

namespace zyr_python {
namespace {

// A file operation's failure as Python sees it: memory as MemoryError, every
// other reason as OSError, with zyr-sim's message. A damaged file that could
// still be read gives a warning.
void check(const GalaxyFileStatus& status) {
    if (status.error == GalaxyFileError::TooManyStars) raise(PyExc_MemoryError, status.message);
    if (!status.ok()) raise(PyExc_OSError, status.message);
    if (!status.warning.empty() && PyErr_WarnEx(PyExc_RuntimeWarning, status.warning.c_str(), 1) != 0)
        throw py::error_already_set();
}

// One galaxy of the module: a CGalaxy of its own, the lock that lets one
// thread at a time change it, and the picture a trace paints over.
class Galaxy {
public:
    CGalaxy g;
    Raster raster;

    // Holds the galaxy's lock. Waiting for it, the thread lets go of the
    // interpreter, so that the thread holding it (stepping without the
    // interpreter) is never waited for by a thread it waits for.
    std::unique_lock<std::mutex> hold() {
        std::unique_lock lock(mutex_, std::defer_lock);
        if (!lock.try_lock()) {
            py::gil_scoped_release released;
            lock.lock();
        }
        return lock;
    }

    // An (N, columns) view of the stars' values from data on, its columns
    // stride elements apart, or an (N,) view for one column. Its base holds
    // the galaxy and the arrays, so the view outlives neither; a later reset
    // leaves it on arrays that are no longer the galaxy's, but alive.
    template <class T>
    py::array view(py::handle self, T* data, int columns, int stride) {
        const auto owner = new std::shared_ptr<const void>(g.arrays());
        const py::capsule arrays(owner, [](void* p) { delete static_cast<std::shared_ptr<const void>*>(p); });
        const py::tuple base = py::make_tuple(py::reinterpret_borrow<py::object>(self), arrays);
        const py::ssize_t n = g.numStars;
        if (columns == 1) return py::array_t<T>({n}, {static_cast<py::ssize_t>(sizeof(T))}, data, base);
        return py::array_t<T>({n, static_cast<py::ssize_t>(columns)},
                              {static_cast<py::ssize_t>(sizeof(T)), static_cast<py::ssize_t>(sizeof(T)) * stride}, data,
                              base);
    }

    void checkColours() const {
        for (int i = 0; i < g.numStars; ++i)
            if (g.color[i] < 0 || g.color[i] >= kStarColorCount)
                raise(PyExc_ValueError, "colors: star " + std::to_string(i) + " has colour " +
                                            std::to_string(g.color[i]) + ", not 0 to " +
                                            std::to_string(kStarColorCount - 1));
    }

    // Takes n steps as zyr-sim does, without the interpreter's lock, so that
    // other Python threads (stepping other galaxies) go on meanwhile. Stops
    // at a star that is no longer finite: the reason, or empty. On the main
    // thread a run looks for Ctrl+C a few times a second and ends with
    // KeyboardInterrupt after the step in hand.
    std::string steps(long long n, bool mainThread) {
        using Clock = std::chrono::steady_clock;
        constexpr auto kLookEvery = std::chrono::milliseconds(200);
        py::gil_scoped_release released;
        std::lock_guard lock(mutex_);
        Clock::time_point nextLook = Clock::now() + kLookEvery;
        for (long long k = 0; k < n; ++k) {
            g.iteration += 1;
            integrationStep(g);
            if (const int star = g.firstNonFiniteStar(); star >= 0)
                return "step " + std::to_string(g.iteration) + " gave star " + std::to_string(star) +
                       " a position or velocity that is infinite or not a number; the run stops";
            if (mainThread && Clock::now() >= nextLook) {
                py::gil_scoped_acquire acquired;
                if (PyErr_CheckSignals() != 0) throw py::error_already_set();
                nextLook = Clock::now() + kLookEvery;
            }
        }
        return {};
    }

private:
    std::mutex mutex_;
};

std::unique_ptr<Galaxy> generated(const SimOptions& options) {
    auto galaxy = std::make_unique<Galaxy>();
    GenerateStatus status;
    {
        py::gil_scoped_release released;
        status = generateGalaxy(galaxy->g, options, OptionSpelling::Keywords);
    }
    if (status.error == GenerateError::BadArguments) raise(PyExc_ValueError, status.message);
    if (!status.ok()) raise(PyExc_MemoryError, status.message);
    return galaxy;
}

std::unique_ptr<Galaxy> loaded(const py::object& path, const SimOptions& options) {
    const std::string file = pathOf(path, "path");
    auto galaxy = std::make_unique<Galaxy>();
    CGalaxy& g = galaxy->g;
    // File work keeps the interpreter's lock: two threads never read or write
    // files through the core at once.
    check(loadGalaxy(g, file, options));
    return galaxy;
}

std::unique_ptr<Galaxy> fromArrays(const py::object& positions, const py::object& velocities, const py::object& masses,
                                   const py::object& colors, const py::object& scale) {
    const auto p = realArray(positions, "positions", {-1, 3});
    const py::ssize_t n = p.shape(0);
    const auto v = realArray(velocities, "velocities", {n, 3});
    const auto m = realArray(masses, "masses", {n});
    std::vector<int> c(static_cast<std::size_t>(n), StarColor::White);
    if (!colors.is_none()) {
        const auto values = realArray(colors, "colors", {n});
        for (py::ssize_t i = 0; i < n; ++i) {
            const double colour = values.data()[i];
            if (colour != std::floor(colour) || colour < 0 || colour >= kStarColorCount)
                raise(PyExc_ValueError, "colors: element " + std::to_string(i) + " is " +
                                            std::string(py::repr(py::float_(colour))) +
                                            ", not a whole number from 0 to " + std::to_string(kStarColorCount - 1));
            c[i] = static_cast<int>(colour);
        }
    }
    const SimOptions options = optionsOf({{"scale", scale}});
    if (n > INT_MAX / 6)
        raise(PyExc_MemoryError, "a galaxy of " + std::to_string(n) + " stars does not fit into memory");
    std::vector<double> columns[6];
    for (int k = 0; k < 6; ++k) {
        const double* source = (k < 3 ? p : v).data() + k % 3;
        columns[k].resize(static_cast<std::size_t>(n));
        for (py::ssize_t i = 0; i < n; ++i) columns[k][i] = source[3 * i];
    }
    auto galaxy = std::make_unique<Galaxy>();
    CGalaxy& g = galaxy->g;
    applySettings(options, g);
    Vec3Arrays at, moving;
    at.view(columns[0].data(), columns[1].data(), columns[2].data());
    moving.view(columns[3].data(), columns[4].data(), columns[5].data());
    if (!g.reset(static_cast<int>(n), at, moving, m.data(), c.data()))
        raise(PyExc_MemoryError, "a galaxy of " + std::to_string(n) + " stars does not fit into memory");
    return galaxy;
}

Report report(Galaxy& galaxy, bool exactEnergy) {
    const auto lock = galaxy.hold();
    CGalaxy& g = galaxy.g;
    {
        py::gil_scoped_release released;
        g.exactEnergy = exactEnergy ? 1 : 0;
        g.bookkeeping();
    }
    Report r;
    r.time = g.time;
    r.iteration = g.iteration;
    r.kinetic = g.kineticEnergy;
    r.potential = g.potentialEnergy;
    r.total = g.totalEnergy;
    r.totalMass = g.totalMass;
    r.momentum = {g.momentumX, g.momentumY, g.momentumZ};
    r.centre = {g.centerX, g.centerY, g.centerZ};
    r.potentialFrom = potentialSourceName(g.potentialSource);
    r.testStars = testStarCount(g);
    return r;
}

void add(Galaxy& galaxy, const py::object& other, const py::object& offsetValue, const py::object& velocityValue) {
    const std::array<double, 3> offset = tripleOf(offsetValue, "offset");
    const std::array<double, 3> velocity = tripleOf(velocityValue, "velocity");
    if (!py::isinstance<Galaxy>(other)) {
        const std::string file = pathOf(other, "galaxy", "a Galaxy or a file name");
        const auto lock = galaxy.hold();
        check(mergeAnyGalaxyFile(galaxy.g, file, offset.data(), velocity.data()));
        return;
    }
    // The other galaxy's stars are copied under its own lock first, so that
    // no thread ever holds two galaxies' locks (and a galaxy can add itself).
    GalaxyFileData stars;
    {
        Galaxy& source = other.cast<Galaxy&>();
        const auto lock = source.hold();
        const CGalaxy& s = source.g;
        const auto copy = [&](std::vector<double>& to, const double* from) { to.assign(from, from + s.numStars); };
        try {
            copy(stars.mass, s.mass);
            copy(stars.x, s.pos.x);
            copy(stars.y, s.pos.y);
            copy(stars.z, s.pos.z);
            copy(stars.vx, s.vel.x);
            copy(stars.vy, s.vel.y);
            copy(stars.vz, s.vel.z);
            stars.color.assign(s.color, s.color + s.numStars);
        } catch (const std::bad_alloc&) {
            raise(PyExc_MemoryError, "the added galaxy does not fit into memory");
        }
    }
    const auto lock = galaxy.hold();
    const GalaxyFileStatus status =
        mergeGalaxyData(galaxy.g, stars, "the added galaxy", offset.data(), velocity.data());
    if (status.error == GalaxyFileError::NotFinite) raise(PyExc_ValueError, status.message);
    check(status);
}

void save(Galaxy& galaxy, const py::object& path) {
    const std::string file = pathOf(path, "path");
    const auto lock = galaxy.hold();
    galaxy.checkColours();
    check(saveAnyGalaxyFile(galaxy.g, file));
}

py::array render(Galaxy& galaxy, const py::object& size, const py::object& tilt, const py::object& turn,
                 const py::object& zoom, const py::object& colouring, const py::object& starSize,
                 const py::object& balls, const py::object& depthCue, const py::object& whiteBackground,
                 const py::object& box, const py::object& trace) {
    SimOptions options =
        optionsOf({{"tilt", tilt}, {"turn", turn}, {"zoom", zoom}, {"colouring", colouring}, {"star_size", starSize}});
    applySize(options, size);
    applyFlag(options, "balls", balls, true, "balls");
    applyFlag(options, "depth_cue", depthCue, false, "no-depth-cue");
    applyFlag(options, "white_background", whiteBackground, true, "white-background");
    applyFlag(options, "box", box, false, "no-box");
    applyFlag(options, "trace", trace, true, "trace");
    const PictureOptions& picture = options.picture;

    const auto lock = galaxy.hold();
    galaxy.checkColours();
    if (!galaxy.raster.resize(picture.width, picture.height))
        raise(PyExc_MemoryError, "cannot hold a picture of " + std::to_string(picture.width) + " x " +
                                     std::to_string(picture.height) + " pixels");
    py::array_t<std::uint8_t> image(
        {static_cast<py::ssize_t>(picture.height), static_cast<py::ssize_t>(picture.width), py::ssize_t{3}});
    std::uint8_t* out = image.mutable_data();
    {
        py::gil_scoped_release released;
        CGalaxy& g = galaxy.g;
        // One picture's view does not carry over into the next.
        const GalaxyView before(g);
        applyPictureOptions(picture, g);
        renderGalaxy(g, galaxy.raster, picture.box);
        before.restore(g);
        const std::uint32_t* pixels = galaxy.raster.data();
        const std::size_t count = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
        for (std::size_t i = 0; i < count; ++i) {
            out[3 * i] = static_cast<std::uint8_t>(pixels[i] >> 16);
            out[3 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
            out[3 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
        }
    }
    return image;
}

// A model setting's property: read as zyr-sim's name or number, written
// through zyr-sim's option of the same name into both the setting and the
// value the galaxy runs with. The Adams-Moulton history starts anew, as the
// desktop program's Model Settings do it.
template <class Get, class Set>
void modelProperty(py::class_<Galaxy>& cls, const char* name, Get get, Set set, const char* doc) {
    cls.def_property(
        name, [get](Galaxy& galaxy) { return get(galaxy.g); },
        [name, set](Galaxy& galaxy, const py::object& value) {
            const SimOptions options = optionsOf({{name, value}});
            const auto lock = galaxy.hold();
            set(options, galaxy.g);
            galaxy.g.historyCount = 0;
        },
        (keywordHelp({name}) + "\n" + doc).c_str());
}

// A property giving a view of one of the star arrays: first(g) is its first
// value, the columns (of an (N, 3) view) lie a capacity apart in the state.
template <class First>
void starView(py::class_<Galaxy>& cls, const char* name, First first, int columns, const char* what) {
    const std::string doc = std::string(what) +
                            "\n\nA view of the stars of this moment: add() gives the galaxy new arrays, after\n"
                            "which earlier views still hold the old stars (safely) but no longer the\n"
                            "galaxy's; take the property again.";
    cls.def_property_readonly(
        name,
        [first, columns](py::object self) {
            Galaxy& galaxy = self.cast<Galaxy&>();
            const auto lock = galaxy.hold();
            return galaxy.view(self, first(galaxy.g), columns, galaxy.g.capacity());
        },
        doc.c_str());
}

}  // namespace

void registerGalaxy(py::module_& m) {
    py::class_<Galaxy> cls(m, "Galaxy",
                           "A galaxy of point-mass stars with its own settings, stepped by the Zyr core.\n"
                           "\n"
                           "Galaxy(...) generates one as zyr-sim does; Galaxy.load() reads a file and\n"
                           "Galaxy.from_arrays() takes stars from numpy arrays. len(g) is the number of\n"
                           "stars. The star arrays (positions, velocities, masses, colors) are views into\n"
                           "the galaxy: writing them changes the stars the next step starts from.\n"
                           "\n"
                           "Keywords are zyr-sim's long options with underscores for dashes and accept the\n"
                           "same values; a wrong one raises TypeError or ValueError naming it and what it\n"
                           "accepts. Files that cannot be read or written raise OSError with zyr-sim's\n"
                           "message, a galaxy too large for memory MemoryError.");
    cls.def(py::init([](const py::object& shape, const py::object& stars, const py::object& starMass,
                        const py::object& centralMass, const py::object& rotation, const py::object& darkMatter,
                        const py::object& darkRadius, const py::object& darkFraction, const py::object& scale,
                        const py::object& seed, const py::object& force, const py::object& integrator,
                        const py::object& dt, const py::object& shield, const py::object& softening,
                        const py::object& epsilon, const py::object& openingAngle, const py::object& forceError,
                        const py::object& totalMass, const py::object& scaleRadius, const py::object& concentration,
                        const py::object& discMass, const py::object& discScaleLength, const py::object& discHeight,
                        const py::object& toomreQ, const py::object& constantQ, const py::object& bulgeMass,
                        const py::object& bulgeRadius, const py::object& bulgeStars, const py::object& halo,
                        const py::object& haloMass, const py::object& haloRadius, const py::object& haloStars,
                        const py::object& massCutoff) {
                SimOptions options = optionsOf({{"shape", shape},
                                            {"stars", stars},
                                            {"star_mass", starMass},
                                            {"central_mass", centralMass},
                                            {"rotation", rotation},
                                            {"dark_matter", darkMatter},
                                            {"dark_radius", darkRadius},
                                            {"dark_fraction", darkFraction},
                                            {"scale", scale},
                                            {"seed", seed},
                                            {"force", force},
                                            {"integrator", integrator},
                                            {"dt", dt},
                                            {"shield", shield},
                                            {"softening", softening},
                                            {"epsilon", epsilon},
                                            {"opening_angle", openingAngle},
                                            {"force_error", forceError},
                                            {"total_mass", totalMass},
                                            {"scale_radius", scaleRadius},
                                            {"concentration", concentration},
                                            {"disc_mass", discMass},
                                            {"disc_scale_length", discScaleLength},
                                            {"disc_height", discHeight},
                                            {"toomre_q", toomreQ},
                                            {"bulge_mass", bulgeMass},
                                            {"bulge_radius", bulgeRadius},
                                            {"bulge_stars", bulgeStars},
                                            {"halo", halo},
                                            {"halo_mass", haloMass},
                                            {"halo_radius", haloRadius},
                                            {"halo_stars", haloStars},
                                            {"mass_cutoff", massCutoff}});
                applyFlag(options, "constant_q", constantQ, true, "constant-q");
                return generated(options);
            }),
            py::kw_only(), py::arg("shape") = py::none(), py::arg("stars") = py::none(),
            py::arg("star_mass") = py::none(), py::arg("central_mass") = py::none(), py::arg("rotation") = py::none(),
            py::arg("dark_matter") = py::none(), py::arg("dark_radius") = py::none(),
            py::arg("dark_fraction") = py::none(), py::arg("scale") = py::none(), py::arg("seed") = py::none(),
            py::arg("force") = py::none(), py::arg("integrator") = py::none(), py::arg("dt") = py::none(),
            py::arg("shield") = py::none(), py::arg("softening") = py::none(), py::arg("epsilon") = py::none(),
            py::arg("opening_angle") = py::none(), py::arg("force_error") = py::none(),
            py::arg("total_mass") = py::none(), py::arg("scale_radius") = py::none(),
            py::arg("concentration") = py::none(), py::arg("disc_mass") = py::none(),
            py::arg("disc_scale_length") = py::none(), py::arg("disc_height") = py::none(),
            py::arg("toomre_q") = py::none(), py::arg("constant_q") = false, py::arg("bulge_mass") = py::none(),
            py::arg("bulge_radius") = py::none(), py::arg("bulge_stars") = py::none(), py::arg("halo") = py::none(),
            py::arg("halo_mass") = py::none(), py::arg("halo_radius") = py::none(),
            py::arg("halo_stars") = py::none(), py::arg("mass_cutoff") = py::none(),
            ("Generates a galaxy as zyr-sim does with the same options; a keyword left out\n"
             "(None) takes zyr-sim's default.\n\n" +
             keywordHelp({"shape", "stars", "star_mass", "central_mass", "rotation", "dark_matter", "dark_radius",
                          "dark_fraction", "scale", "seed", "force", "integrator", "dt", "shield", "softening",
                          "epsilon", "opening_angle", "force_error"}) +
             "\nThe equilibrium models (shape plummer, hernquist, nfw or disc-galaxy):\n\n" +
             keywordHelp({"total_mass", "scale_radius", "concentration", "disc_mass", "disc_scale_length",
                          "disc_height", "toomre_q", "constant_q", "bulge_mass", "bulge_radius", "bulge_stars", "halo",
                          "halo_mass", "halo_radius", "halo_stars", "mass_cutoff"}) +
             "\nA model chooses a spline softening, its length, the time step and a view for\n"
             "its stars (model_note says which); softening, epsilon and dt given here win.\n"
             "Raises ValueError for a model keyword the shape does not use and for numbers\n"
             "the model cannot be built from, MemoryError when the galaxy does not fit into\n"
             "memory.")
                .c_str());
    cls.def_static(
        "load",
        [](const py::object& path, const py::object& force, const py::object& integrator, const py::object& dt,
           const py::object& shield, const py::object& softening, const py::object& epsilon,
           const py::object& openingAngle, const py::object& forceError, const py::object& darkMatter,
           const py::object& darkRadius, const py::object& darkFraction) {
            return loaded(path, optionsOf({{"force", force},
                                           {"integrator", integrator},
                                           {"dt", dt},
                                           {"shield", shield},
                                           {"softening", softening},
                                           {"epsilon", epsilon},
                                           {"opening_angle", openingAngle},
                                           {"force_error", forceError},
                                           {"dark_matter", darkMatter},
                                           {"dark_radius", darkRadius},
                                           {"dark_fraction", darkFraction}}));
        },
        py::arg("path"), py::kw_only(), py::arg("force") = py::none(), py::arg("integrator") = py::none(),
        py::arg("dt") = py::none(), py::arg("shield") = py::none(), py::arg("softening") = py::none(),
        py::arg("epsilon") = py::none(), py::arg("opening_angle") = py::none(), py::arg("force_error") = py::none(),
        py::arg("dark_matter") = py::none(),
        py::arg("dark_radius") = py::none(), py::arg("dark_fraction") = py::none(),
        ("Galaxy.load(path, ...) reads a galaxy file (.zyr) or an HDF5 snapshot (.hdf5),\n"
         "as zyr-sim --load does: the file gives the stars and the scale (a Zyr snapshot\n"
         "also the time and the model settings); the model settings and the dark matter\n"
         "halo given here win over the file's.\n\n" +
         keywordHelp({"force", "integrator", "dt", "shield", "softening", "epsilon", "opening_angle", "force_error",
                      "dark_matter", "dark_radius", "dark_fraction"}) +
         "\n"
         "Raises OSError with zyr-sim's message when the file cannot be read, MemoryError\n"
         "when its stars do not fit into memory; a damaged file that could still be read\n"
         "gives a RuntimeWarning.")
            .c_str());
    cls.def_static("from_arrays", &fromArrays, py::arg("positions"), py::arg("velocities"), py::arg("masses"),
                   py::arg("colors") = py::none(), py::arg("scale") = "galactic",
                   "Galaxy.from_arrays(positions, velocities, masses, colors=None, scale='galactic')\n"
                   "makes a galaxy of the given stars, copied: positions and velocities (N, 3),\n"
                   "masses (N,), colors (N,) whole numbers 0 to 7 (white, red, orange, yellow,\n"
                   "green, blue, purple, cyan; all white when None), in the units of the scale\n"
                   "(galactic|solar-system|earth-sun). Everything else takes zyr-sim's defaults.\n"
                   "\n"
                   "Raises ValueError for a wrong shape or a value that is not finite.");

    modelProperty(
        cls, "force", [](const CGalaxy& g) { return nameOf(kForceMethods, g.forceMethod); },
        [](const SimOptions& o, CGalaxy& g) { g.forceSetting = g.forceMethod = *o.force; },
        "zyr.force_methods lists the names.");
    modelProperty(
        cls, "integrator", [](const CGalaxy& g) { return nameOf(kIntegrators, g.integrationMethod); },
        [](const SimOptions& o, CGalaxy& g) { g.integrationSetting = g.integrationMethod = *o.integrator; },
        "zyr.integrators lists the names.");
    modelProperty(
        cls, "dt", [](const CGalaxy& g) { return g.timeStep; },
        [](const SimOptions& o, CGalaxy& g) { g.timeStepSetting = g.timeStep = *o.timeStep; },
        "In the time unit of the galaxy's scale.");
    modelProperty(
        cls, "shield", [](const CGalaxy& g) { return g.shieldModifier; },
        [](const SimOptions& o, CGalaxy& g) { g.shieldSetting = g.shieldModifier = *o.shield; },
        "A star exerts no force inside its shield radius, which grows with this.");
    modelProperty(
        cls, "softening", [](const CGalaxy& g) { return nameOf(kSoftenings, g.softening); },
        [](const SimOptions& o, CGalaxy& g) { g.softeningSetting = g.softening = *o.softening; },
        "shield (the shield radius above), plummer or spline (softened over epsilon).");
    modelProperty(
        cls, "epsilon", [](const CGalaxy& g) { return g.epsilon; },
        [](const SimOptions& o, CGalaxy& g) { g.epsilonSetting = g.epsilon = *o.epsilon; },
        "The softening length, in the length unit of the galaxy's scale.");
    modelProperty(
        cls, "opening_angle", [](const CGalaxy& g) { return g.openingAngle; },
        [](const SimOptions& o, CGalaxy& g) { g.openingAngleSetting = g.openingAngle = *o.openingAngle; },
        "barnes-hut takes a cell whole when its edge over its distance is below this.");
    modelProperty(
        cls, "force_error", [](const CGalaxy& g) { return g.forceError; },
        [](const SimOptions& o, CGalaxy& g) { g.forceErrorSetting = g.forceError = *o.forceError; },
        "With a softening, barnes-hut aims at this 99th-percentile relative force error\n"
        "instead of the opening angle; 0 for the angle. The shield's tree ignores it.");

    cls.def(
        "step",
        [](Galaxy& galaxy, const py::object& n) {
            if (PyBool_Check(n.ptr()) || !PyIndex_Check(n.ptr()))
                raise(PyExc_TypeError, "n must be a whole number, not " + typeName(n));
            const long long count = py::int_(n).cast<long long>();
            if (count < 0) raise(PyExc_ValueError, "n=" + std::to_string(count) + ": must not be negative");
            const py::module_ threading = py::module_::import("threading");
            const bool mainThread = threading.attr("current_thread")().is(threading.attr("main_thread")());
            if (const std::string error = galaxy.steps(count, mainThread); !error.empty())
                raise(PyExc_FloatingPointError, error);
        },
        py::arg("n") = 1,
        "step(n=1) takes n integration steps with the galaxy's integrator, force method,\n"
        "time step and shield, as zyr-sim does, to the bit. Runs without the\n"
        "interpreter's lock: other threads go on meanwhile.\n"
        "\n"
        "Raises FloatingPointError when a step makes a star's position or velocity\n"
        "infinite or not a number (the galaxy stays at that step). Ctrl+C (a kernel\n"
        "interrupt) stops a run on the main thread after the step in hand.");
    cls.def_property_readonly(
        "time",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            return galaxy.g.time;
        },
        "The galaxy's time, in the time unit of its scale.");
    cls.def_property_readonly(
        "model_note",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            return galaxy.g.modelNote;
        },
        "What a generated equilibrium model chose for its run (the softening, time\n"
        "step and view), a sentence as zyr-sim's report gives it; empty for other\n"
        "galaxies.");
    cls.def_property_readonly(
        "iteration",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            return galaxy.g.iteration;
        },
        "Steps taken since the galaxy was made or loaded.");
    cls.def(
        "__len__",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            return galaxy.g.numStars;
        },
        "The number of stars.");
    cls.def(
        "__repr__",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            const CGalaxy& g = galaxy.g;
            return "<zyr.Galaxy: " + std::to_string(g.numStars) + " stars, time " +
                   std::string(py::repr(py::float_(g.time))) + " " + g.timeUnitName[g.scale] + ", " +
                   nameOf(kIntegrators, g.integrationMethod) + ", " + nameOf(kForceMethods, g.forceMethod) + ">";
        },
        "A short description: stars, time, integrator and force method.");

    starView(
        cls, "positions", [](CGalaxy& g) { return g.pos.x; }, 3,
        "Star positions, an (N, 3) float64 view into the galaxy's state: no copy,\n"
        "writable, and a change is seen by the next step.");
    starView(
        cls, "velocities", [](CGalaxy& g) { return g.vel.x; }, 3,
        "Star velocities, an (N, 3) float64 view like positions.");
    starView(
        cls, "masses", [](CGalaxy& g) { return g.mass; }, 1, "Star masses, an (N,) float64 view, writable.");
    starView(
        cls, "colors", [](CGalaxy& g) { return g.color; }, 1,
        "Star colours, an (N,) int32 view, writable with 0 to 7 (white, red, orange,\n"
        "yellow, green, blue, purple, cyan); render() and save() refuse others.");

    cls.def_property_readonly(
        "accelerations",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            const CGalaxy& g = galaxy.g;
            const py::ssize_t n = g.numStars;
            py::array_t<double> out({n, py::ssize_t{3}});
            std::vector<double> ax(static_cast<std::size_t>(n)), ay(ax.size()), az(ax.size());
            {
                py::gil_scoped_release released;
                starAccelerations(g, ax.data(), ay.data(), az.data());
            }
            auto rows = out.mutable_unchecked<2>();
            for (py::ssize_t i = 0; i < n; ++i) {
                rows(i, 0) = ax[static_cast<std::size_t>(i)];
                rows(i, 1) = ay[static_cast<std::size_t>(i)];
                rows(i, 2) = az[static_cast<std::size_t>(i)];
            }
            return out;
        },
        "Each star's acceleration, a new (N, 3) float64 array, computed when asked for\n"
        "the stars as they are now: the pull of the force method (with the shield or the\n"
        "softening) and of the halo, which the next step starts from. Costs one force\n"
        "evaluation.");
    cls.def_property_readonly(
        "potentials",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            const CGalaxy& g = galaxy.g;
            py::array_t<double> out(py::ssize_t{g.numStars});
            {
                py::gil_scoped_release released;
                starPotentials(g, out.mutable_data());
            }
            return out;
        },
        "The potential at each star (energy per unit mass), a new (N,) float64 array,\n"
        "computed when asked for the stars as they are now: that of the pull the force\n"
        "method applies (flat inside a shield radius, softened, or from the tree's or\n"
        "grid's cells) plus the halo's. Costs about one force evaluation; a direct\n"
        "galaxy's, a pass over all pairs.");

    cls.def("report", &report, py::arg("exact_energy") = false,
            "report(exact_energy=False) runs the bookkeeping and returns a Report: energies,\n"
            "total mass, momentum and centre of mass now. exact_energy takes the potential\n"
            "from every pair of stars also for barnes-hut and particle-mesh galaxies, as\n"
            "zyr-sim --exact-energy (time of order N^2).");
    cls.def(
        "centre",
        [](Galaxy& galaxy) {
            const auto lock = galaxy.hold();
            galaxy.g.centre();
        },
        "Moves the centre of mass to the origin and takes away the total momentum, as\n"
        "zyr-sim --centre: the galaxy stays in the box. A massless galaxy stays as it is.");
    cls.def("add", &add, py::arg("galaxy"), py::arg("offset") = py::make_tuple(0, 0, 0),
            py::arg("velocity") = py::make_tuple(0, 0, 0),
            "add(galaxy, offset=(0, 0, 0), velocity=(0, 0, 0)) adds the stars of another\n"
            "Galaxy, or of a galaxy file or snapshot named by a path, shifted by offset and\n"
            "given the extra velocity, as zyr-sim --add FILE --offset X,Y,Z --velocity\n"
            "VX,VY,VZ: a collision course. The galaxy keeps its scale, time and settings;\n"
            "the added numbers are taken as they stand.\n"
            "\n"
            "Raises OSError for a file that cannot be read, MemoryError when the stars do\n"
            "not fit into memory, ValueError when the offset or velocity would take a star\n"
            "beyond the range of numbers; the galaxy then stays as it was.");
    cls.def("save", &save, py::arg("path"),
            "save(path) writes a galaxy file (.zyr) or an HDF5 snapshot (.hdf5), by the\n"
            "extension, as zyr-sim --save. An older file is replaced only once the new one\n"
            "is complete. Raises OSError with zyr-sim's message when it cannot be written.");
    cls.def("render", &render, py::kw_only(), py::arg("size") = py::make_tuple(600, 600), py::arg("tilt") = 0.0,
            py::arg("turn") = 0.0, py::arg("zoom") = 1.0, py::arg("colouring") = "own",
            py::arg("star_size") = py::none(), py::arg("balls") = false, py::arg("depth_cue") = true,
            py::arg("white_background") = false, py::arg("box") = true, py::arg("trace") = false,
            "render(size=(600, 600), tilt=0, turn=0, zoom=1, colouring='own', star_size=None,\n"
            "balls=False, depth_cue=True, white_background=False, box=True, trace=False)\n"
            "draws the galaxy with the galaxy window's own renderer, the same pixels as\n"
            "zyr-sim --png with the options of the same names, and returns them as a\n"
            "(height, width, 3) uint8 array.\n"
            "\n"
            "size is (width, height) or 'WIDTHxHEIGHT'; tilt and turn turn the view\n"
            "(degrees) about the screen's horizontal and then vertical axis; zoom brings\n"
            "the camera closer; colouring: own|redshift|chromadepth; star_size 0 to 5\n"
            "draws stars as squares of star_size + 1 pixels (None: the galaxy's, 0); balls\n"
            "draws shaded balls; box the cube outline; trace paints over the galaxy's\n"
            "previous picture of the same size, so that the stars leave trails. The view\n"
            "applies to this picture only.");
}

}  // namespace zyr_python
