#include "run/options.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "io/gadget4_export.h"
#include "model/galaxy.h"
#include "model/number_text.h"
#include "model/word_wrap.h"
#include "physics/methods.h"
#include "physics/workers.h"
#include "render/raster.h"

namespace {

struct Choice {
    const char* name;
    int id;
};

constexpr Choice kShapes[] = {
    {"sphere", GalaxyShape::Sphere}, {"disc", GalaxyShape::Disc},     {"cube", GalaxyShape::Cube},
    {"grid2d", GalaxyShape::Grid2D}, {"grid3d", GalaxyShape::Grid3D}, {"rings", GalaxyShape::Rings},
    {"plummer", GalaxyShape::Plummer}, {"hernquist", GalaxyShape::Hernquist}, {"nfw", GalaxyShape::NFW},
    {"disc-galaxy", GalaxyShape::DiscGalaxy},
};
constexpr Choice kDarkMatterModels[] = {{"none", DarkMatterModel::None},
                                        {"sphere", DarkMatterModel::Sphere},
                                        {"nfw", DarkMatterModel::NFW},
                                        {"hernquist", DarkMatterModel::Hernquist}};
constexpr Choice kModelHalos[] = {
    {"nfw", ModelHalo::NFW}, {"hernquist", ModelHalo::Hernquist}, {"none", ModelHalo::None}};
constexpr Choice kColourings[] = {{"own", 0}, {"redshift", 1}, {"chromadepth", 2}};
constexpr Choice kScales[] = {
    {"galactic", UnitScale::Galactic}, {"solar-system", UnitScale::SolarSystem}, {"earth-sun", UnitScale::EarthSun}};

// The choice tables and the integrator and force tables share the fields
// name and id, so one set of helpers serves all of them.
template <class Table>
std::string choiceList(const Table& table) {
    std::string list;
    for (const auto& entry : table) {
        if (!list.empty()) list += '|';
        list += entry.name;
    }
    return list;
}

template <class Table>
std::string readChoice(std::string_view text, const Table& table, std::optional<int>& out) {
    for (const auto& entry : table)
        if (text == entry.name) {
            out = entry.id;
            return {};
        }
    return "not one of " + choiceList(table);
}

// from_chars takes no plus sign; people write one now and then.
std::string_view withoutPlus(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    return text;
}

// The type a field holds, whether it is set always or only when given.
template <class T>
struct ValueOf {
    using type = T;
};
template <class T>
struct ValueOf<std::optional<T>> {
    using type = T;
};

// A whole number in [min, max], in the C locale, with nothing after it. The
// bounds are those of the field it goes to, so the conversion cannot overflow.
// belowMin says what the option needs; above max the limit itself is named.
template <class Out>
std::string readWhole(std::string_view text, long long min, long long max, const char* belowMin, Out& out) {
    text = withoutPlus(text);
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::invalid_argument || end != text.data() + text.size()) return "not a whole number";
    if (ec == std::errc::result_out_of_range) value = text[0] == '-' ? LLONG_MIN : LLONG_MAX;
    if (value < min) return belowMin;
    if (value > max) return "must be at most " + std::to_string(max);
    out = static_cast<typename ValueOf<Out>::type>(value);
    return {};
}

// Checks of a real value: nullptr when it is acceptable, the reason otherwise.
using RealCheck = const char* (*)(double);

const char* anyReal(double) { return nullptr; }
const char* positive(double v) { return v > 0.0 ? nullptr : "must be greater than 0"; }
const char* nonNegative(double v) { return v >= 0.0 ? nullptr : "must not be negative"; }
const char* nonZero(double v) { return v != 0.0 ? nullptr : "must not be 0 (a negative step integrates backwards)"; }
const char* fraction(double v) { return v >= 0.0 && v < 1.0 ? nullptr : "must be at least 0 and less than 1"; }
const char* openFraction(double v) {
    return v > 0.0 && v < 1.0 ? nullptr : "must be greater than 0 and less than 1";
}

// A finite real number in the C locale, with nothing after it.
std::string readReal(std::string_view text, RealCheck check, std::optional<double>& out) {
    text = withoutPlus(text);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::invalid_argument || end != text.data() + text.size()) return "not a number";
    if (ec == std::errc::result_out_of_range) return "out of the range of a double";
    if (!std::isfinite(value)) return "not a finite number";
    if (const char* why = check(value)) return why;
    out = value;
    return {};
}

// The same for a field that always holds a value.
std::string readReal(std::string_view text, RealCheck check, double& out) {
    std::optional<double> value;
    std::string why = readReal(text, check, value);
    if (value) out = *value;
    return why;
}

// WIDTHxHEIGHT in pixels.
std::string readSize(std::string_view text, PictureOptions& out) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) return "not WIDTHxHEIGHT";
    int w = 0, h = 0;
    const std::string limit = "must be at least 1";
    if (!readWhole(text.substr(0, x), 1, Raster::kMaxExtent, limit.c_str(), w).empty() ||
        !readWhole(text.substr(x + 1), 1, Raster::kMaxExtent, limit.c_str(), h).empty())
        return "not WIDTHxHEIGHT with sides from 1 to " + std::to_string(Raster::kMaxExtent);
    out.width = w;
    out.height = h;
    return {};
}

// X,Y,Z: three finite numbers for the galaxy added last.
std::string readTriple(std::string_view text, SimOptions& o, double (AddedGalaxy::*field)[3]) {
    if (o.added.empty()) return "belongs to an --add before it";
    double values[3];
    for (int k = 0; k < 3; ++k) {
        const std::size_t comma = k < 2 ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return "not X,Y,Z";
        if (std::string why = readReal(text.substr(0, comma), anyReal, values[k]); !why.empty()) return "not X,Y,Z";
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    std::copy(values, values + 3, o.added.back().*field);
    return {};
}

std::string setFlag(bool& flag, bool value) {
    flag = value;
    return {};
}

std::string readPath(std::string_view text, std::string& out) {
    if (text.empty()) return "needs a file name";
    out = text;
    return {};
}

std::string readFolder(std::string_view text, std::string& out) {
    if (text.empty()) return "needs a folder name";
    out = text;
    return {};
}

struct OptionInfo {
    const char* heading;  // starts a group in the help text
    const char* name;     // without the leading dashes
    const char* metavar;  // nullptr for a flag
    const char* help;
    std::string (*choices)();                     // the accepted names, for options that take one
    std::string (*defaultText)(const CGalaxy&);  // nullptr when there is no default to show
    std::string (*apply)(SimOptions&, std::string_view value);  // empty on success, else the reason
};

const OptionInfo kOptions[] = {
    {"Galaxy (for a generated galaxy):", "shape", "NAME",
     "initial distribution; plummer, hernquist and nfw are spheres in equilibrium, disc-galaxy an exponential disc "
     "with a bulge and a halo (the equilibrium models below)",
     [] { return choiceList(kShapes); }, [](const CGalaxy& g) -> std::string { return nameOf(kShapes, g.shape); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kShapes, o.shape); }},
    {nullptr, "stars", "N",
     "number of stars asked for; grids and rings may use fewer; of a model, the sphere's or the disc's (its bulge "
     "and halo stars come on top)",
     nullptr,
     [](const CGalaxy& g) { return std::to_string(g.requestedStars); },
     [](SimOptions& o, std::string_view v) { return readWhole(v, 1, INT_MAX, "must be at least 1", o.stars); }},
    {nullptr, "star-mass", "M", "mass of every star; 0 makes test stars, which feel the others and pull on nobody",
     nullptr, [](const CGalaxy& g) { return shortestText(g.starMass); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.starMass); }},
    {nullptr, "central-mass", "M", "mass of a central star at the origin; 0 for none", nullptr,
     [](const CGalaxy& g) { return shortestText(g.centralMass); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.centralMass); }},
    {nullptr, "rotation", "F", "factor on the circular start velocities; negative reverses", nullptr,
     [](const CGalaxy& g) { return shortestText(g.rotationFactor); },
     [](SimOptions& o, std::string_view v) { return readReal(v, anyReal, o.rotation); }},
    {nullptr, "dark-matter", "NAME",
     "rigid dark matter halo, a pull of no stars: sphere holds the share --dark-fraction of the total mass inside "
     "--dark-radius; nfw and hernquist are the halos of --halo-mass, --halo-radius and (nfw) --concentration",
     [] { return choiceList(kDarkMatterModels); },
     [](const CGalaxy& g) -> std::string { return nameOf(kDarkMatterModels, g.darkMatterSetting); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kDarkMatterModels, o.darkMatter); }},
    {nullptr, "dark-radius", "R", "radius of the sphere halo, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.darkRadiusSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.darkRadius); }},
    {nullptr, "dark-fraction", "F", "share of the total mass in the sphere halo, 0 <= F < 1", nullptr,
     [](const CGalaxy& g) { return shortestText(g.darkFractionSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, fraction, o.darkFraction); }},
    {nullptr, "scale", "NAME", "unit scale; a loaded file brings its own", [] { return choiceList(kScales); },
     [](const CGalaxy& g) -> std::string { return nameOf(kScales, g.scaleSetting); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kScales, o.scale); }},
    {nullptr, "seed", "S", "seed of the random generator, 0 to 4294967295", nullptr,
     [](const CGalaxy&) { return std::string("the time in seconds"); },
     [](SimOptions& o, std::string_view v) { return readWhole(v, 0, UINT_MAX, "must not be negative", o.seed); }},

    {"Equilibrium models (--shape plummer|hernquist|nfw|disc-galaxy):", "total-mass", "M",
     "mass of the sphere (nfw: inside concentration x scale radius), greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.totalMass); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.totalMass); }},
    {nullptr, "scale-radius", "R", "scale radius of the sphere, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.scaleRadius); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.scaleRadius); }},
    {nullptr, "concentration", "C",
     "concentration of an nfw sphere or halo, the radius where it ends over its scale radius, greater than 0; "
     "also that of a rigid --dark-matter nfw halo beside any galaxy",
     nullptr, [](const CGalaxy& g) { return shortestText(g.modelSetting.concentration); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.concentration); }},
    {nullptr, "disc-mass", "M", "mass of the disc galaxy's exponential disc; 0 makes its stars test stars", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.discMass); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.discMass); }},
    {nullptr, "disc-scale-length", "R", "scale length of the disc, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.discScaleLength); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.discScaleLength); }},
    {nullptr, "disc-height", "Z", "thickness z0 of the disc's sech^2 layers, 0 or more", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.discHeight); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.discHeight); }},
    {nullptr, "toomre-q", "Q", "Toomre Q of the disc at 2.4 scale lengths, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.toomreQ); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.toomreQ); }},
    {nullptr, "constant-q", nullptr, "the disc's Toomre Q at every radius instead of at 2.4 scale lengths", nullptr,
     nullptr, [](SimOptions& o, std::string_view) { return setFlag(o.constantQ, true); }},
    {nullptr, "bulge-mass", "M", "mass of the disc galaxy's Hernquist bulge; 0 for none", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.bulgeMass); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.bulgeMass); }},
    {nullptr, "bulge-radius", "R", "scale radius of the bulge, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.bulgeRadius); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.bulgeRadius); }},
    {nullptr, "bulge-stars", "N", "stars of the bulge; 0 makes it rigid, a pull of no stars", nullptr,
     [](const CGalaxy& g) {
         return g.modelSetting.bulgeStars == kAutomaticStars ? std::string("a quarter of --stars")
                                                             : std::to_string(g.modelSetting.bulgeStars);
     },
     [](SimOptions& o, std::string_view v) {
         return readWhole(v, 0, INT_MAX, "must not be negative", o.bulgeStars);
     }},
    {nullptr, "halo", "NAME", "dark matter halo of the disc galaxy", [] { return choiceList(kModelHalos); },
     [](const CGalaxy& g) -> std::string { return nameOf(kModelHalos, g.modelSetting.halo); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kModelHalos, o.halo); }},
    {nullptr, "halo-mass", "M",
     "mass of the disc galaxy's halo (nfw: inside concentration x halo radius), greater than 0 with a halo; also "
     "that of a rigid --dark-matter nfw|hernquist halo beside any galaxy",
     nullptr, [](const CGalaxy& g) { return shortestText(g.modelSetting.haloMass); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.haloMass); }},
    {nullptr, "halo-radius", "R",
     "scale radius of the halo, greater than 0; also that of a rigid --dark-matter nfw|hernquist halo", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.haloRadius); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.haloRadius); }},
    {nullptr, "halo-stars", "N", "stars of the halo; 0 makes it rigid, a pull of no stars", nullptr,
     [](const CGalaxy& g) {
         return g.modelSetting.haloStars == kAutomaticStars ? std::string("twice --stars")
                                                            : std::to_string(g.modelSetting.haloStars);
     },
     [](SimOptions& o, std::string_view v) { return readWhole(v, 0, INT_MAX, "must not be negative", o.haloStars); }},
    {nullptr, "mass-cutoff", "F",
     "share of each component's mass inside the radius where its stars end, 0 < F < 1", nullptr,
     [](const CGalaxy& g) { return shortestText(g.modelSetting.massCutoff); },
     [](SimOptions& o, std::string_view v) { return readReal(v, openFraction, o.massCutoff); }},

    {"Model:", "force", "NAME", "force calculation", [] { return choiceList(kForceMethods); },
     [](const CGalaxy& g) -> std::string { return nameOf(kForceMethods, g.forceSetting); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kForceMethods, o.force); }},
    {nullptr, "integrator", "NAME", "integration method", [] { return choiceList(kIntegrators); },
     [](const CGalaxy& g) -> std::string { return nameOf(kIntegrators, g.integrationSetting); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kIntegrators, o.integrator); }},
    {nullptr, "dt", "H", "time step, not 0; a negative step integrates backwards", nullptr,
     [](const CGalaxy& g) { return shortestText(g.timeStepSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonZero, o.timeStep); }},
    {nullptr, "shield", "K", "shield radius modifier, 0 or more", nullptr,
     [](const CGalaxy& g) { return shortestText(g.shieldSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.shield); }},
    {nullptr, "softening", "NAME",
     "how near stars pull: the shield switches a star's pull off inside its shield radius; plummer and spline "
     "(GADGET-4's kernel, Newtonian beyond 2.8 epsilon) soften it over the length --epsilon",
     [] { return choiceList(kSoftenings); },
     [](const CGalaxy& g) -> std::string { return nameOf(kSoftenings, g.softeningSetting); },
     [](SimOptions& o, std::string_view v) { return readChoice(v, kSoftenings, o.softening); }},
    {nullptr, "epsilon", "E", "softening length in the scale's length unit, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.epsilonSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.epsilon); }},
    {nullptr, "opening-angle", "THETA",
     "barnes-hut takes a cell whole when its edge over its distance is below THETA, greater than 0", nullptr,
     [](const CGalaxy& g) { return shortestText(g.openingAngleSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.openingAngle); }},
    {nullptr, "force-error", "E",
     "with a softening, barnes-hut opens the cells so that the 99th percentile of the relative force error is "
     "about E, instead of by the angle; 0 for the angle",
     nullptr, [](const CGalaxy& g) { return shortestText(g.forceErrorSetting); },
     [](SimOptions& o, std::string_view v) { return readReal(v, nonNegative, o.forceError); }},

    {"Run:", "load", "FILE", "start from a galaxy file (.zyr) or HDF5 snapshot (.hdf5) instead of generating one", nullptr, nullptr,
     [](SimOptions& o, std::string_view v) { return readPath(v, o.loadPath); }},
    {nullptr, "replay", "PATTERN",
     "instead of steps, take the snapshots that PATTERN matches (quote it: 'output/snapshot_*.hdf5') in name "
     "order as the run: a report, a CSV row and a frame for each",
     nullptr, nullptr, [](SimOptions& o, std::string_view v) { return readPath(v, o.replayPattern); }},
    {nullptr, "add", "FILE", "add the stars of a galaxy file or snapshot before the first step; may be repeated", nullptr,
     nullptr,
     [](SimOptions& o, std::string_view v) {
         o.added.emplace_back();
         return readPath(v, o.added.back().path);
     }},
    {nullptr, "offset", "X,Y,Z", "shift the stars of the --add before it by this position", nullptr,
     [](const CGalaxy&) { return std::string("0,0,0"); },
     [](SimOptions& o, std::string_view v) { return readTriple(v, o, &AddedGalaxy::offset); }},
    {nullptr, "velocity", "VX,VY,VZ", "and add this velocity to them: a collision course", nullptr,
     [](const CGalaxy&) { return std::string("0,0,0"); },
     [](SimOptions& o, std::string_view v) { return readTriple(v, o, &AddedGalaxy::velocity); }},
    {nullptr, "steps", "N", "number of integration steps, 0 or more", nullptr,
     [](const CGalaxy&) { return std::to_string(kDefaultSteps); },
     [](SimOptions& o, std::string_view v) { return readWhole(v, 0, INT_MAX, "must not be negative", o.steps); }},
    {nullptr, "report-every", "K", "also report every K steps, K >= 1", nullptr,
     [](const CGalaxy&) { return std::string("start and end only"); },
     [](SimOptions& o, std::string_view v) {
         return readWhole(v, 1, INT_MAX, "must be at least 1", o.reportEvery);
     }},
    {nullptr, "centre", nullptr,
     "before the first step, move the centre of mass to the origin and take away the total momentum, so that the "
     "galaxy stays in the box",
     nullptr, nullptr, [](SimOptions& o, std::string_view) { return setFlag(o.centre, true); }},
    {nullptr, "exact-energy", nullptr,
     "the potential energy from every pair of stars, also for barnes-hut and particle-mesh runs, which otherwise "
     "take it from their tree or grid; costs time of order N^2 per report",
     nullptr, nullptr, [](SimOptions& o, std::string_view) { return setFlag(o.exactEnergy, true); }},
    {nullptr, "threads", "N", "threads for the force sums and the bookkeeping; ZYR_THREADS sets the default",
     nullptr, [](const CGalaxy&) { return std::to_string(workerThreads()); },
     [](SimOptions& o, std::string_view v) {
         return readWhole(v, 1, kMaxWorkerThreads, "must be at least 1", o.threads);
     }},

    {"Pictures (the galaxy window's renderer):", "png", "FILE.png", "draw the galaxy after the last step", nullptr,
     nullptr, [](SimOptions& o, std::string_view v) { return readPath(v, o.picture.pngPath); }},
    {nullptr, "frames", "DIR", "draw frame-000000.png, frame-000001.png, ... into DIR at the start and every K steps",
     nullptr, nullptr, [](SimOptions& o, std::string_view v) { return readPath(v, o.picture.framesDir); }},
    {nullptr, "every", "K", "steps between two frames, K >= 1", nullptr,
     [](const CGalaxy&) { return std::string("1"); },
     [](SimOptions& o, std::string_view v) { return readWhole(v, 1, INT_MAX, "must be at least 1", o.picture.every); }},
    {nullptr, "size", "WxH", "picture size in pixels", nullptr, [](const CGalaxy&) { return std::string("600x600"); },
     [](SimOptions& o, std::string_view v) { return readSize(v, o.picture); }},
    {nullptr, "tilt", "DEG", "turn the view about the screen's horizontal axis", nullptr,
     [](const CGalaxy&) { return std::string("0"); },
     [](SimOptions& o, std::string_view v) { return readReal(v, anyReal, o.picture.tilt); }},
    {nullptr, "turn", "DEG", "then turn it about the screen's vertical axis", nullptr,
     [](const CGalaxy&) { return std::string("0"); },
     [](SimOptions& o, std::string_view v) { return readReal(v, anyReal, o.picture.turn); }},
    {nullptr, "zoom", "F", "bring the camera F times closer, F > 0", nullptr,
     [](const CGalaxy&) { return std::string("1"); },
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.picture.zoom); }},
    {nullptr, "colouring", "NAME", "star colours, redshift or ChromaDepth", [] { return choiceList(kColourings); },
     [](const CGalaxy&) { return std::string("own"); },
     [](SimOptions& o, std::string_view v) {
         std::optional<int> id;
         std::string why = readChoice(v, kColourings, id);
         if (id) o.picture.colouring = *id;
         return why;
     }},
    {nullptr, "star-size", "N", "stars as squares of N + 1 pixels, 0 to 5", nullptr,
     [](const CGalaxy& g) { return std::to_string(g.starSize); },
     [](SimOptions& o, std::string_view v) { return readWhole(v, 0, 5, "must not be negative", o.picture.starSize); }},
    {nullptr, "balls", nullptr, "stars as shaded balls", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.picture.balls, true); }},
    {nullptr, "no-depth-cue", nullptr, "no dimming of distant stars", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.picture.depthCue, false); }},
    {nullptr, "white-background", nullptr, "white instead of black", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.picture.whiteBackground, true); }},
    {nullptr, "no-box", nullptr, "leave out the cube outline", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.picture.box, false); }},
    {nullptr, "trace", nullptr, "frames keep the earlier frames: stars leave trails", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.picture.trace, true); }},

    {"GADGET-4 (a folder to run on a cluster):", "export-gadget4", "DIR",
     "write the galaxy as set up (after --load, --add and --centre) into DIR as GADGET-4's initial conditions "
     "ic.hdf5, with param.txt, Config.sh and README.txt, instead of taking steps",
     nullptr, nullptr, [](SimOptions& o, std::string_view v) { return readFolder(v, o.gadget4Dir); }},
    {nullptr, "until", "T", "the time at which GADGET-4's run ends, later than the galaxy's", nullptr, nullptr,
     [](SimOptions& o, std::string_view v) { return readReal(v, positive, o.until); }},
    {nullptr, "snapshots", "K",
     "snapshots after the one at the start, evenly spaced up to T, 1 to 999",
     nullptr, [](const CGalaxy&) { return std::string("10"); },
     [](SimOptions& o, std::string_view v) {
         return readWhole(v, 1, kMaxGadget4Snapshots, "must be at least 1", o.snapshots);
     }},

    {"Output:", "save", "FILE", "write a galaxy file (.zyr) or HDF5 snapshot (.hdf5) after the last step", nullptr, nullptr,
     [](SimOptions& o, std::string_view v) { return readPath(v, o.savePath); }},
    {nullptr, "csv", "FILE", "write every report as a CSV row; - for the standard output (the report then goes "
     "to the standard error)", nullptr, nullptr,
     [](SimOptions& o, std::string_view v) { return readPath(v, o.csvPath); }},
    {nullptr, "state", "FILE.csv", "write every star after the last step as CSV", nullptr, nullptr,
     [](SimOptions& o, std::string_view v) { return readPath(v, o.statePath); }},
    {nullptr, "state-accelerations", nullptr,
     "add the columns ax,ay,az,phi to --state: each star's acceleration and potential (energy per unit mass) "
     "from the force method and halo, at the positions written",
     nullptr, nullptr, [](SimOptions& o, std::string_view) { return setFlag(o.stateAccelerations, true); }},
    {nullptr, "quiet", nullptr, "no report; warnings, errors and the progress line remain", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.quiet, true); }},
    {nullptr, "help", nullptr, "show this text and exit", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.help, true); }},
    {nullptr, "version", nullptr, "show the version and exit", nullptr, nullptr,
     [](SimOptions& o, std::string_view) { return setFlag(o.version, true); }},
};

static_assert(kMaxGadget4Snapshots == 999, "the help text of --snapshots names the limit");

// The options of the list that were given, as "--a, --b", in the list's order.
std::string givenOf(const std::vector<std::string_view>& given, std::initializer_list<const char*> names) {
    std::string list;
    for (const char* name : names) {
        if (std::find(given.begin(), given.end(), name) == given.end()) continue;
        if (!list.empty()) list += ", ";
        list += std::string("--") + name;
    }
    return list;
}

// A loaded galaxy brings its own stars and scale; these would go unused.
std::string unusedWithLoad(const std::vector<std::string_view>& given) {
    return givenOf(given, {"shape",         "stars",       "star-mass",   "central-mass", "rotation",
                           "scale",         "seed",        "total-mass",  "scale-radius", "concentration",
                           "disc-mass",     "disc-scale-length", "disc-height", "toomre-q", "constant-q",
                           "bulge-mass",    "bulge-radius", "bulge-stars", "halo",        "halo-mass",
                           "halo-radius",   "halo-stars",  "mass-cutoff"});
}

// A replay takes no step: its snapshots bring the stars, the scale, the
// times and (when Zyr wrote them) the model settings. Everything that makes
// or steps a galaxy would go unused or falsify the report.
std::string unusedWithReplay(const std::vector<std::string_view>& given) {
    return givenOf(given, {"shape", "stars", "star-mass", "central-mass", "rotation", "dark-matter", "dark-radius",
                           "dark-fraction", "scale", "seed", "total-mass", "scale-radius", "concentration",
                           "disc-mass", "disc-scale-length", "disc-height", "toomre-q", "constant-q", "bulge-mass",
                           "bulge-radius", "bulge-stars", "halo", "halo-mass", "halo-radius", "halo-stars",
                           "mass-cutoff", "force", "integrator", "dt", "shield", "softening", "epsilon",
                           "opening-angle", "force-error", "load", "add", "steps", "report-every", "centre",
                           "export-gadget4"});
}

// --export-gadget4 writes a folder instead of running: it needs the end time,
// and the options of a run have nothing to do.
std::string gadget4Conflict(const SimOptions& o, const std::vector<std::string_view>& given) {
    if (o.gadget4Dir.empty()) {
        const std::string alone = givenOf(given, {"until", "snapshots"});
        return alone.empty() ? std::string() : alone + ": only with --export-gadget4";
    }
    if (!o.until) return "--export-gadget4 needs --until T, the time at which GADGET-4's run ends";
    if (o.darkMatter && *o.darkMatter != DarkMatterModel::None)
        return "--dark-matter " + std::string(nameOf(kDarkMatterModels, *o.darkMatter)) +
               ": not with --export-gadget4, since GADGET-4 has no counterpart of Zyr's halo";
    const std::string run =
        givenOf(given, {"steps", "report-every", "exact-energy", "png", "frames", "every", "save", "csv", "state"});
    return run.empty() ? std::string()
                       : run + ": not with --export-gadget4, which takes no steps and writes only its folder";
}

const OptionInfo* findOption(std::string_view name) {
    for (const auto& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

ParseResult failure(std::string message) {
    return Status<OptionError>::failure(OptionError::BadArguments, std::move(message));
}

// One option of the help text: the option in a left column, its description
// wrapped to 80 columns beside it, or below it when the option is too wide.
void appendOption(std::string& text, const std::string& left, std::string_view description) {
    constexpr std::size_t kColumn = 26, kWidth = 80;
    const std::string indent(kColumn, ' ');
    if (left.size() + 2 > kColumn)
        text += left + "\n" + wrapped(description, indent, indent, kWidth);
    else
        text += wrapped(description, left + std::string(kColumn - left.size(), ' '), indent, kWidth);
}

}  // namespace

ParseResult parseOptions(int argc, const char* const* argv) {
    SimOptions options;
    std::vector<std::string_view> given;  // the options' names, as they came
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "-h") arg = "--help";
        if (!arg.starts_with("--")) return failure("unexpected argument '" + std::string(arg) + "'");
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> attached;  // --name=value
        if (const auto eq = name.find('='); eq != std::string_view::npos) {
            attached = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionInfo* entry = findOption(name);
        if (!entry) return failure("unknown option --" + std::string(name));
        given.push_back(entry->name);
        const std::string option = "--" + std::string(name);

        std::string_view value;
        if (!entry->metavar) {
            if (attached) return failure(option + " takes no value");
        } else if (attached) {
            value = *attached;
        } else if (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--")) {
            // Negative numbers ("--dt -4") are values; another option is not.
            value = argv[++i];
        } else {
            return failure(option + " needs a value (" + entry->metavar + ")");
        }
        if (std::string why = entry->apply(options, value); !why.empty())
            return failure(option + " '" + std::string(value) + "': " + why);
    }
    if (const std::string unused = unusedWithReplay(given); !options.replayPattern.empty() && !unused.empty())
        return failure(unused + ": not with --replay, whose snapshots give the stars, the settings and the steps");
    if (const std::string unused = unusedWithLoad(given); !options.loadPath.empty() && !unused.empty())
        return failure(unused + ": not with --load, whose file gives the stars and the scale");
    if (std::string conflict = gadget4Conflict(options, given); !conflict.empty())
        return failure(std::move(conflict));
    if (options.stateAccelerations && options.statePath.empty())
        return failure("--state-accelerations: only with --state, whose rows it adds to");
    return options;
}

std::string applyOption(SimOptions& options, std::string_view name, std::string_view value) {
    const OptionInfo* entry = findOption(name);
    if (!entry) return "unknown option";
    if (!entry->metavar && !value.empty()) return "takes no value";
    return entry->apply(options, value);
}

std::string optionChoices(std::string_view name) {
    const OptionInfo* entry = findOption(name);
    return entry && entry->choices ? entry->choices() : std::string();
}

std::string optionSummary(std::string_view name, const CGalaxy& defaults) {
    const OptionInfo* entry = findOption(name);
    if (!entry) return {};
    std::string text = entry->help;
    if (entry->choices) text += ": " + entry->choices();
    if (entry->defaultText) text += " (default: " + entry->defaultText(defaults) + ")";
    return text;
}

std::string versionText() { return std::string("zyr-sim ") + ZYR_VERSION + "\n"; }

void applySettings(const SimOptions& o, CGalaxy& g) {
    if (o.stars) g.requestedStars = *o.stars;
    if (o.shape) g.shape = *o.shape;
    if (o.starMass) g.starMass = *o.starMass;
    if (o.centralMass) g.centralMass = *o.centralMass;
    if (o.rotation) g.rotationFactor = *o.rotation;
    if (o.darkMatter) g.darkMatterSetting = *o.darkMatter;
    if (o.darkRadius) g.darkRadiusSetting = *o.darkRadius;
    if (o.darkFraction) g.darkFractionSetting = *o.darkFraction;
    if (o.scale) g.scaleSetting = *o.scale;
    if (o.seed) g.randomSeed = *o.seed;
    ModelParameters& p = g.modelSetting;
    if (o.totalMass) p.totalMass = *o.totalMass;
    if (o.scaleRadius) p.scaleRadius = *o.scaleRadius;
    if (o.concentration) p.concentration = g.haloConcentrationSetting = *o.concentration;
    if (o.discMass) p.discMass = *o.discMass;
    if (o.discScaleLength) p.discScaleLength = *o.discScaleLength;
    if (o.discHeight) p.discHeight = *o.discHeight;
    if (o.toomreQ) p.toomreQ = *o.toomreQ;
    if (o.constantQ) p.constantQ = true;
    if (o.bulgeMass) p.bulgeMass = *o.bulgeMass;
    if (o.bulgeRadius) p.bulgeRadius = *o.bulgeRadius;
    if (o.bulgeStars) p.bulgeStars = *o.bulgeStars;
    if (o.halo) p.halo = *o.halo;
    // The halo's numbers are also those of a rigid halo beside any galaxy.
    if (o.haloMass) p.haloMass = g.haloMassSetting = *o.haloMass;
    if (o.haloRadius) p.haloRadius = g.haloRadiusSetting = *o.haloRadius;
    if (o.haloStars) p.haloStars = *o.haloStars;
    if (o.massCutoff) p.massCutoff = *o.massCutoff;
    if (o.force) g.forceSetting = *o.force;
    if (o.integrator) g.integrationSetting = *o.integrator;
    if (o.timeStep) g.timeStepSetting = *o.timeStep;
    if (o.shield) g.shieldSetting = *o.shield;
    if (o.softening) g.softeningSetting = *o.softening;
    if (o.epsilon) g.epsilonSetting = *o.epsilon;
    if (o.openingAngle) g.openingAngleSetting = *o.openingAngle;
    if (o.forceError) g.forceErrorSetting = *o.forceError;
    if (o.threads) setWorkerThreads(*o.threads);
    g.exactEnergy = o.exactEnergy ? 1 : 0;
}

std::string unusedModelOptions(const SimOptions& o, const CGalaxy& g, OptionSpelling spelling) {
    const bool keywords = spelling == OptionSpelling::Keywords;
    // "--disc-mass" or "disc_mass"
    const auto spelled = [keywords](std::string name) {
        if (!keywords) return "--" + name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    };
    const bool sphere = g.shape == GalaxyShape::Plummer || g.shape == GalaxyShape::Hernquist ||
                        g.shape == GalaxyShape::NFW;
    const bool discGalaxy = g.shape == GalaxyShape::DiscGalaxy;
    const bool rigidHalo =
        g.darkMatterSetting == DarkMatterModel::NFW || g.darkMatterSetting == DarkMatterModel::Hernquist;
    using Pairs = std::vector<std::pair<const char*, const char*>>;
    struct Use {
        bool used;
        Pairs where;                                        // option, the names it needs
        std::vector<std::pair<const char*, bool>> options;  // name, given
    };
    const Use uses[] = {
        {sphere,
         {{"shape", "plummer|hernquist|nfw"}},
         {{"total-mass", o.totalMass.has_value()}, {"scale-radius", o.scaleRadius.has_value()}}},
        {g.shape == GalaxyShape::NFW || discGalaxy || g.darkMatterSetting == DarkMatterModel::NFW,
         {{"shape", "nfw|disc-galaxy"}, {"dark-matter", "nfw"}},
         {{"concentration", o.concentration.has_value()}}},
        {discGalaxy,
         {{"shape", "disc-galaxy"}},
         {{"disc-mass", o.discMass.has_value()},
          {"disc-scale-length", o.discScaleLength.has_value()},
          {"disc-height", o.discHeight.has_value()},
          {"toomre-q", o.toomreQ.has_value()},
          {"constant-q", o.constantQ},
          {"bulge-mass", o.bulgeMass.has_value()},
          {"bulge-radius", o.bulgeRadius.has_value()},
          {"bulge-stars", o.bulgeStars.has_value()},
          {"halo", o.halo.has_value()}}},
        {discGalaxy || rigidHalo,
         {{"shape", "disc-galaxy"}, {"dark-matter", "nfw|hernquist"}},
         {{"halo-mass", o.haloMass.has_value()}, {"halo-radius", o.haloRadius.has_value()}}},
        {discGalaxy, {{"shape", "disc-galaxy"}}, {{"halo-stars", o.haloStars.has_value()}}},
        {isModelShape(g.shape),
         {{"shape", "plummer|hernquist|nfw|disc-galaxy"}},
         {{"mass-cutoff", o.massCutoff.has_value()}}},
    };
    std::string text;
    for (const Use& use : uses) {
        if (use.used) continue;
        std::string names;
        for (const auto& [name, given] : use.options)
            if (given) names += (names.empty() ? "" : ", ") + spelled(name);
        if (names.empty()) continue;
        std::string where;
        for (const auto& [option, values] : use.where)
            where += (where.empty() ? "" : " or ") + spelled(option) + (keywords ? "=" : " ") + values;
        text += (text.empty() ? "" : "; ") + names + ": only with " + where;
    }
    return text;
}

std::string helpText(const CGalaxy& d) {
    std::string text =
        "Usage: zyr-sim [options]\n"
        "\n"
        "Runs the Zyr gravitational N-body simulation without a window: generates a\n"
        "galaxy (or loads one), takes the given number of integration steps and reports\n"
        "time, energies, momenta and centre of mass, in the units of the scale.\n"
        "The defaults are those of the desktop program: a " +
        std::to_string(d.requestedStars) + "-star " + nameOf(kShapes, d.shape) + ",\n" +
        std::string(nameOf(kIntegrators, d.integrationSetting)) + " integration, " + nameOf(kForceMethods, d.forceSetting) +
        " summation, time step " + shortestText(d.timeStepSetting) + ", shield radius\nmodifier " +
        shortestText(d.shieldSetting) + ".\n";

    for (const auto& entry : kOptions) {
        if (entry.heading) text += std::string("\n") + entry.heading + "\n";
        std::string left = std::string("  --") + entry.name;
        if (entry.metavar) {
            left += ' ';
            left += entry.choices ? entry.choices() : std::string(entry.metavar);
        }
        std::string description = entry.help;
        if (entry.defaultText) description += " (default: " + entry.defaultText(d) + ")";
        appendOption(text, left, description);
    }

    text +=
        "\n"
        "With --load the file gives the stars and the scale; the model settings and the\n"
        "dark matter halo above still apply, the other galaxy settings and the options\n"
        "of the equilibrium models are refused. An option of the equilibrium models that\n"
        "the shape (or --dark-matter) does not use is refused as well.\n"
        "A model chooses a spline softening, its length, the time step and the box for\n"
        "its stars, and the report's first lines say so; --softening, --epsilon and --dt\n"
        "given beside it win.\n"
        "With --replay the snapshots, read one at a time, are the run: step N is the\n"
        "N-th snapshot (from 0) in name order, where numbers in names count by their\n"
        "value; each is reported with its time and drawn with the picture options,\n"
        "and the energies use the model settings a Zyr snapshot holds\n"
        "(the defaults above for others). Galaxy, equilibrium model and model settings,\n"
        "--load, --add, --steps, --report-every and --centre are refused beside it;\n"
        "--png, --state and --save take the last snapshot.\n"
        "\n"
        "--export-gadget4 DIR --until T takes no steps: it writes the galaxy as set up\n"
        "into DIR for GADGET-4, with the scale's units, Zyr's G, a softening length from\n"
        "the shield rule, the time step as the largest step and K + 1 snapshots from\n"
        "the galaxy's time to T. DIR/README.txt says how to build and run GADGET-4 and\n"
        "how to bring its snapshots back into Zyr.\n"
        "\n"
        "Reports go to standard output at the start, every K steps and at the end. Steps\n"
        "per second are measured with a monotonic clock over the steps since the\n"
        "previous report, without the time of the reports themselves (0 at the start).\n"
        "The potential energy of a direct-summation run is the exact sum over all\n"
        "pairs; a barnes-hut or particle-mesh run takes each star's potential from the\n"
        "tree or grid its forces come from, at the cost of one force evaluation, unless\n"
        "--exact-energy is given. The report names it: (exact), (tree) or (mesh).\n"
        "--csv writes the same series with the header\n"
        "  step,time,kinetic,potential,total,momentum_x,momentum_y,momentum_z,center_x,center_y,center_z,steps_per_second,test_stars,potential_from\n"
        "where test_stars counts the stars of mass 0 and potential_from is exact, tree\n"
        "or mesh.\n"
        "--state writes the header index,mass,x,y,z,vx,vy,vz,color and one row per star;\n"
        "with --state-accelerations the header goes on with ax,ay,az,phi.\n"
        "Numbers in both files have 17 significant digits, with a full stop as the\n"
        "decimal separator whatever the locale.\n"
        "A run that takes longer than a second shows its progress on standard error:\n"
        "redrawn in place on a terminal, a line every ten seconds otherwise; so does an\n"
        "exact pass over all pairs.\n"
        "An output file replaces an older one only once it is complete: a run that\n"
        "fails or is interrupted before its end leaves the older files as they were.\n"
        "A galaxy file with fewer star lines than its count loads the stars it holds,\n"
        "with a warning.\n"
        "\n"
        "Exit status: 0 done; 1 a file could not be read or written, --replay matched\n"
        "no file, the galaxy does not fit into memory or cannot be exported as\n"
        "--export-gadget4 asks, or a step made a position or velocity infinite or not\n"
        "a number (the message names the step and the star); 2 bad arguments.\n";
    return text;
}
