#include "io/gadget4_export.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "io/replacing_file.h"
#include "io/snapshot_file.h"
#include "model/galaxy.h"
#include "model/number_text.h"
#include "model/word_wrap.h"
#include "physics/forces.h"
#include "physics/softening.h"

namespace {

// GADGET-4 maps the run onto an integer timeline of 2^29 ticks (TIMEBASE in
// its src/data/dtypes.h); no step can be shorter than one tick.
constexpr double kTimeBase = 536870912.0;

// The values param.txt and README.txt give, from the galaxy and the run.
struct Values {
    double begin, until, between, step;
    double typicalMass, shield, softening;
    double lengthCm, massG, velocityCmPerS;
    int memoryMb;
};

Values valuesFor(const CGalaxy& g, const Gadget4Run& run) {
    Values v{};
    v.begin = g.time;
    v.until = run.until;
    v.between = (run.until - g.time) / run.snapshots;
    v.step = std::fabs(g.timeStep);
    v.typicalMass = gadget4TypicalMass(g);
    v.shield = ShieldRadius(g.gravity * v.typicalMass, g.timeStep, g.shieldModifier);
    // GADGET-4's spline softening is given as epsilon, the Plummer
    // equivalent: its depth at r = 0 is G m / epsilon, as Plummer's is, and
    // beyond 2.8 epsilon it is Newton's law. A softened galaxy keeps its own
    // epsilon; the shield's galaxy gets the one that is Newtonian beyond the
    // shield radius of its typical star.
    v.softening = g.softening == Softening::Shield ? v.shield / kSplineReach : g.epsilon;
    v.lengthCm = g.lengthUnit * 100.0;
    v.massG = g.massUnit * 1000.0;
    v.velocityCmPerS = v.lengthCm / g.timeUnit;
    // 500 MB and 1 KB per star, in steps of 100 MB: room for every star on
    // one rank. GADGET-4 reserves it at the start, never takes more, and
    // stops at once when the machine has less memory per rank.
    v.memoryMb = 500 + 100 * static_cast<int>(std::ceil(g.numStars / 102400.0));
    return v;
}

// param.txt's lines: a tag, its value and a comment after them, which
// GADGET-4 skips; lines starting with % are comments as a whole.
class ParamWriter {
public:
    void comment(const std::string& text) { text_ += "% " + text + "\n"; }
    void section(const std::string& title) { text_ += "\n%---- " + title + "\n"; }
    void param(const std::string& tag, const std::string& value, const std::string& note = {}) {
        std::string line = tag;
        line.append(tag.size() < 34 ? 34 - tag.size() : 1, ' ');
        line += value;
        if (!note.empty()) {
            line.append(value.size() < 24 ? 24 - value.size() : 1, ' ');
            line += "% " + note;
        }
        text_ += line + "\n";
    }
    void param(const std::string& tag, double value, const std::string& note = {}) {
        param(tag, shortestText(value), note);
    }
    void param(const std::string& tag, int value, const std::string& note = {}) {
        param(tag, std::to_string(value), note);
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// The softening section's heading and comments: how GADGET-4's softening
// follows from Zyr's force law. Returns the note of the first class's value.
std::string softeningSection(ParamWriter& p, const CGalaxy& g, const Values& v) {
    const int s = g.scale;
    const std::string& length = g.lengthUnitName[s];
    if (g.softening != Softening::Shield) {
        p.section("Softening, Zyr's own");
        if (g.softening == Softening::Spline) {
            p.comment("Zyr softens with GADGET-4's spline kernel of epsilon = " + shortestText(g.epsilon) + " " +
                      length + ": GADGET-4 pulls exactly as Zyr does.");
        } else {
            p.comment("Zyr softens with Plummer's law of epsilon = " + shortestText(g.epsilon) + " " + length +
                      ". GADGET-4 applies its spline kernel");
            p.comment("of the same epsilon (the same depth G m / epsilon at r = 0), which is Newton's law beyond");
            p.comment("2.8 epsilon, where Plummer's only approaches it: the pulls differ within a few epsilon.");
        }
        return "Zyr's epsilon, " + length;
    }
    const std::string& time = g.timeUnitName[s];
    p.section("Softening, from Zyr's shield rule");
    p.comment("Zyr switches a star's pull off inside its shield radius");
    p.comment("  r = (G m)^0.333 * |dt|^0.667 * modifier");
    p.comment("and pulls as Newton's law outside it. For the typical star (median mass m = " +
              shortestText(v.typicalMass) + " " + g.massUnitName[s] + "),");
    p.comment("G = " + shortestText(g.gravity) + ", dt = " + shortestText(g.timeStep) + " " + time + " and modifier " +
              shortestText(g.shieldModifier) + ":");
    p.comment("  r = " + shortestText(v.shield) + " " + length);
    p.comment("GADGET-4 softens with a spline kernel given as epsilon, its Plummer equivalent, and pulls");
    p.comment("exactly as Newton's law beyond 2.8 epsilon. epsilon = r / 2.8 makes both Newtonian beyond r.");
    p.comment("Heavier stars (a central mass) have wider shields in Zyr; GADGET-4 gives every star this one.");
    return "r / 2.8, " + length;
}

std::string snapshotName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "snapshot_%03d.hdf5", n);
    return name;
}

// Single quotes for the shell, so that a folder with blanks can be pasted.
std::string quoted(const std::string& path) {
    std::string text = "'";
    for (const char c : path) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

// A paragraph of README.txt in lines of at most 78 characters: the first
// starts with first, the others with rest (first's width of blanks when not
// given).
std::string paragraph(const std::string& text, const std::string& first, std::string rest = {}) {
    if (rest.empty()) rest.assign(first.size(), ' ');
    return wrapped(text, first, rest, 78);
}

std::string absolutePath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// Makes the folder when it is missing; "" when it exists and takes files.
std::string prepareFolder(const std::string& folder) {
    if (folder.empty()) return "no folder given to export into";
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return "cannot create the folder " + folder + ": " + std::strerror(errno);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "cannot export into " + folder + ": it is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot export into " + folder + ": " + std::strerror(errno);
    return {};
}

}  // namespace

double gadget4TypicalMass(const CGalaxy& g) {
    std::vector<double> masses;
    masses.reserve(static_cast<std::size_t>(g.numStars));
    for (int i = 0; i < g.numStars; ++i)
        if (g.mass[i] > 0.0) masses.push_back(g.mass[i]);
    if (masses.empty()) return 0.0;
    // The lower of the two middle masses of an even count.
    const auto middle = masses.begin() + static_cast<std::ptrdiff_t>((masses.size() - 1) / 2);
    std::nth_element(masses.begin(), middle, masses.end());
    return *middle;
}

Gadget4Run defaultGadget4Run(const CGalaxy& g) { return {g.time + 1000.0 * std::fabs(g.timeStep), 10}; }

std::string gadget4GalaxyRefusal(const CGalaxy& g) {
    if (g.numStars == 0) return "the galaxy has no stars to export";
    if (const int star = g.firstNonFiniteStar(); star >= 0)
        return "star " + std::to_string(star) + " holds a number that is infinite or not a number";
    if (g.darkMatter == DarkMatterModel::Sphere) {
        return "GADGET-4 has no counterpart of Zyr's dark-matter halo, a fixed sphere that pulls the stars; "
               "switch it off (Galaxy Settings, or leave out --dark-matter) to export";
    }
    if (g.darkMatter != DarkMatterModel::None) {
        return std::string("GADGET-4 has no counterpart of Zyr's rigid ") +
               (g.darkMatter == DarkMatterModel::NFW ? "NFW" : "Hernquist") +
               " dark-matter halo, a fixed pull of no stars; switch it off (Galaxy Settings, or leave out "
               "--dark-matter) or build the model's halo of stars (--halo-stars above 0) to export";
    }
    if (g.bulgeMass > 0.0) {
        return "GADGET-4 has no counterpart of Zyr's rigid bulge, a fixed pull of no stars; build the model's "
               "bulge of stars (--bulge-stars above 0) to export";
    }
    const double mass = gadget4TypicalMass(g);
    if (mass <= 0.0) return "no star has a mass, so there is nothing for GADGET-4 to move";
    const double shield = ShieldRadius(g.gravity * mass, g.timeStep, g.shieldModifier);
    if (g.softening == Softening::Shield && (!(shield > 0.0) || !std::isfinite(shield))) {
        return "the stars' shield radius is " + shortestText(shield) +
               " (shield radius modifier " + shortestText(g.shieldModifier) +
               "), but GADGET-4 needs a softening length greater than 0; give the modifier a value above 0";
    }
    return {};
}

std::string gadget4RunRefusal(const CGalaxy& g, const Gadget4Run& run) {
    const std::string& unit = g.timeUnitName[g.scale];
    if (!std::isfinite(run.until) || !(run.until > g.time)) {
        return "the end time " + shortestText(run.until) + " " + unit + " must be later than the galaxy's time, " +
               shortestText(g.time) + " " + unit;
    }
    if (run.snapshots < 1 || run.snapshots > kMaxGadget4Snapshots)
        return "the number of snapshots must be from 1 to " + std::to_string(kMaxGadget4Snapshots);
    const double span = run.until - g.time, step = std::fabs(g.timeStep);
    if (span / run.snapshots < step) {
        return std::to_string(run.snapshots) + " snapshots up to " + shortestText(run.until) + " " + unit +
               " would come closer together than the time step, " + shortestText(step) + " " + unit +
               "; ask for fewer snapshots or a later end time";
    }
    if (span / step > kTimeBase) {
        return "the run from " + shortestText(g.time) + " to " + shortestText(run.until) + " " + unit +
               " takes more steps of " + shortestText(step) + " " + unit + " than GADGET-4's timeline holds (2^29)";
    }
    return {};
}

std::string gadget4ParamText(const CGalaxy& g, const Gadget4Run& run) {
    const Values v = valuesFor(g, run);
    const int s = g.scale;
    const std::string& time = g.timeUnitName[s];
    const std::string& length = g.lengthUnitName[s];
    const std::string& mass = g.massUnitName[s];
    ParamWriter p;
    p.comment("GADGET-4 parameter file for a galaxy of " + std::to_string(g.numStars) + " stars exported by Zyr,");
    p.comment("in the units of Zyr's " + g.scaleName[s] + " scale (" + length + ", " + time + ", " + mass + ").");
    p.comment("GADGET-4 wants each parameter of its build (Config.sh) exactly once and no other:");
    p.comment("these are all of them. A % starts a comment.");

    p.section("Files and formats");
    p.param("InitCondFile", "./ic", "ic.hdf5 in this folder; GADGET-4 adds .hdf5");
    p.param("OutputDir", "./output");
    p.param("SnapshotFileBase", "snapshot", "output/" + snapshotName(0) + " to " + snapshotName(run.snapshots));
    p.param("OutputListFilename", "output_times.txt", "not read: OutputListOn is 0");
    p.param("ICFormat", 3, "HDF5");
    p.param("SnapFormat", 3, "HDF5, which Zyr reads");
    p.param("NumFilesPerSnapshot", 1, "one file per snapshot");
    p.param("MaxFilesWithConcurrentIO", 1);

    p.section("CPU time and memory");
    p.param("TimeLimitCPU", 86400, "wall-clock seconds per start; at 85 % GADGET-4 stops with restart files");
    p.param("CpuTimeBetRestartFile", 7200, "restart files every 2 hours");
    p.param("MaxMemSize", v.memoryMb, "MB per MPI rank, reserved at the start: 500 and 1 KB per star");

    p.section("Time span: Newtonian, not cosmological");
    p.param("TimeBegin", v.begin, "the galaxy's time in Zyr, " + time);
    p.param("TimeMax", v.until, "the end time asked for");
    p.param("ComovingIntegrationOn", 0, "physical coordinates, no expansion");
    p.param("BoxSize", 0, "no periodic box: only PERIODIC builds use it");
    p.param("Omega0", 0);
    p.param("OmegaLambda", 0);
    p.param("OmegaBaryon", 0);
    p.param("HubbleParam", 1.0, "h = 1: the units below are plain cm, g and cm/s");
    p.param("Hubble", 0, "used only by comoving runs");

    p.section("Units of the " + g.scaleName[s] + " scale, in cgs");
    p.param("UnitLength_in_cm", v.lengthCm, length);
    p.param("UnitMass_in_g", v.massG, mass);
    p.param("UnitVelocity_in_cm_per_s", v.velocityCmPerS, length + " / " + time + ", so that time is in " + time);
    p.param("GravityConstantInternal", g.gravity, "Zyr's G in these units");

    p.section("Snapshots: " + std::to_string(run.snapshots) + " after the start, evenly spaced, the last at TimeMax");
    p.param("OutputListOn", 0, "times from TimeOfFirstSnapshot and TimeBetSnapshot");
    p.param("TimeOfFirstSnapshot", v.begin, snapshotName(0) + ": the start");
    p.param("TimeBetSnapshot", v.between, "(TimeMax - TimeBegin) / " + std::to_string(run.snapshots));
    p.param("TimeBetStatistics", v.between, "a line of energy.txt per snapshot");

    p.section("Time steps");
    p.comment("GADGET-4 chooses each star's step, dt = sqrt(2 ErrTolIntAccuracy epsilon / |a|) (epsilon: the");
    p.comment("softening below), from the powers of 2 that divide TimeMax - TimeBegin, at most Zyr's step.");
    p.param("MaxSizeTimestep", v.step, "Zyr's time step, " + time);
    p.param("MinSizeTimestep", 0, "no lower limit");
    p.param("ErrTolIntAccuracy", 0.025, "GADGET-4's usual accuracy");

    p.section("Gravity tree");
    if (g.forceError > 0.0 && g.softening != Softening::Shield) {
        p.comment("Zyr's Barnes-Hut opens its cells for a 99th-percentile relative force error of " +
                  shortestText(g.forceError) + ";");
        p.comment("GADGET-4's relative criterion (type 1) bounds each cell's estimated error by ErrTolForceAcc");
        p.comment("times the star's whole acceleration, which aims at errors of that size.");
        p.param("TypeOfOpeningCriterion", 1, "relative, as Zyr's force error target");
        p.param("ErrTolTheta", 0.7, "the geometric angle of GADGET-4's first step only");
        p.param("ErrTolThetaMax", 1.0, "no cell wider than this seen from a star is taken whole");
        p.param("ErrTolForceAcc", g.forceError, "Zyr's force error target");
    } else {
        p.comment("Zyr's Barnes-Hut takes a cell of side l whole at a distance r when l / r < " +
                  shortestText(g.openingAngle) + ";");
        p.comment("GADGET-4's geometric criterion (type 0) does the same with ErrTolTheta " +
                  shortestText(g.openingAngle) + ".");
        p.param("TypeOfOpeningCriterion", 0, "geometric, as Zyr's");
        p.param("ErrTolTheta", g.openingAngle, "Zyr's opening angle");
        p.param("ErrTolThetaMax", 1.0, "used only by the relative criterion (type 1)");
        p.param("ErrTolForceAcc", 0.005, "used only by the relative criterion (type 1)");
    }
    p.param("TopNodeFactor", 2.5, "domain decomposition, GADGET-4's usual values");
    p.param("ActivePartFracForNewDomainDecomp", 0.01);

    const std::string classNote = softeningSection(p, g, v);
    p.comment("One value for every softening class; Zyr's stars are type 1 (ic.hdf5).");
    for (int c = 0; c < 6; ++c)
        p.param("SofteningComovingClass" + std::to_string(c), v.softening, c == 0 ? classNote : "");
    for (int c = 0; c < 6; ++c)
        p.param("SofteningMaxPhysClass" + std::to_string(c), v.softening, c == 0 ? "used only by comoving runs" : "");
    for (int t = 0; t < 6; ++t) p.param("SofteningClassOfPartType" + std::to_string(t), 0);

    p.section("Gas: none, Zyr's stars are collisionless; GADGET-4 still wants these");
    p.param("DesNumNgb", 64);
    p.param("MaxNumNgbDeviation", 1);
    p.param("ArtBulkViscConst", 1.0);
    p.param("CourantFac", 0.15);
    p.param("InitGasTemp", 0);
    p.param("MinEgySpec", 0);
    return p.text();
}

std::string gadget4ConfigText(int stars) {
    std::string text = "# GADGET-4 compile-time options for the galaxy Zyr exported into this folder:\n"
                       "# exactly those param.txt and ic.hdf5 are written for. Build with\n"
                       "#   make DIR=<this folder>   (README.txt).\n"
                       "\n"
                       "SELFGRAVITY        # the stars' gravity on each other, Zyr's only force\n"
                       "NTYPES=6           # particle types 0 to 5, as ic.hdf5's header counts them\n"
                       "DOUBLEPRECISION=1  # double precision throughout, as Zyr computes\n";
    if (stars > kStarsWith32BitIds)
        text += "IDS_64BIT          # ic.hdf5's ParticleIDs, which carry the colours, need 64 bits\n";
    return text;
}

std::string gadget4ReadmeText(const CGalaxy& g, const Gadget4Run& run, const std::string& folder) {
    const Values v = valuesFor(g, run);
    const int s = g.scale;
    const std::string& time = g.timeUnitName[s];
    const std::string dir = quoted(folder);
    const std::string last = snapshotName(run.snapshots);
    std::string t = "A Zyr galaxy for GADGET-4\n=========================\n\n";
    t += paragraph("This folder runs a galaxy exported from Zyr in GADGET-4, the N-body code of Volker Springel and "
                 "others (https://wwwmpa.mpa-garching.mpg.de/gadget4/), as it stands:",
                 "") +
         "\n";
    t += paragraph("the galaxy: " + std::to_string(g.numStars) + " stars as particles of type 1, at time " +
                     shortestText(v.begin) + " " + time,
                 "  ic.hdf5    ", "             ");
    t += paragraph("GADGET-4's parameters: the units of Zyr's " + g.scaleName[s] + " scale (" + g.lengthUnitName[s] +
                     ", " + time + ", " + g.massUnitName[s] +
                     "), Zyr's gravitational constant, " +
                     (g.softening == Softening::Shield ? "a softening length from the shield rule"
                      : g.softening == Softening::Spline
                          ? "Zyr's spline softening, the same force law"
                          : "Zyr's softening length with GADGET-4's spline in place of Plummer's law") +
                     ", steps of at most " +
                     shortestText(v.step) + " " + time + ", the run up to " + shortestText(v.until) + " " + time +
                     "; its comments say how each value was chosen",
                 "  param.txt  ", "             ");
    t += paragraph("the compile-time options param.txt is written for", "  Config.sh  ", "             ") + "\n";

    t += paragraph("1. Build GADGET-4 with this folder's Config.sh. It needs an MPI C++ compiler, GSL, HDF5 and "
                 "Python 3; on Debian or Ubuntu:",
                 "", "   ") +
         "\n"
         "     sudo apt-get install g++ make python3 openmpi-bin libopenmpi-dev libgsl-dev \\\n"
         "                          libhdf5-dev pkg-config\n\n";
    t += paragraph("Then, in GADGET-4's source folder (git clone https://gitlab.mpcdf.mpg.de/vrs/gadget4):", "   ") +
         "\n"
         "     export SYSTYPE=Generic-gcc\n"
         "     make -j 4 DIR=" + dir + " PYTHON=python3 \\\n"
         "          HDF5_INCL=\"$(pkg-config --cflags hdf5)\" HDF5_LIBS=\"$(pkg-config --libs hdf5) -lz\"\n\n";
    t += paragraph("With DIR, make takes the Config.sh of that folder, builds in its build/ and puts the program "
                 "Gadget4 beside param.txt (GADGET-4's documentation, \"Building the code\"). On a cluster, "
                 "choose its SYSTYPE and library paths instead. The snapshots come in single precision; "
                 "OUTPUT_IN_DOUBLEPRECISION added to Config.sh makes them double.",
                 "   ") +
         "\n";

    t += "2. Run it in this folder:\n\n"
         "     cd " + dir + "\n"
         "     mpirun -np 2 ./Gadget4 param.txt\n\n";
    t += paragraph("GADGET-4 writes output/" + snapshotName(0) + " (the start) to output/" + last + " (time " +
                     shortestText(v.until) + " " + time + "), one every " + shortestText(v.between) + " " + time +
                     ", each at the end of the full step nearest to its time, and its logs (energy.txt, "
                     "timings.txt, ...) into output/. Each MPI rank reserves " + std::to_string(v.memoryMb) +
                     " MB (MaxMemSize in param.txt) at the start; GADGET-4 stops at once when the machine has less "
                     "memory per rank. A run stopped by its time limit (TimeLimitCPU, 24 hours) leaves restart "
                     "files; the same command with a 1 after param.txt continues it.",
                 "   ") +
         "\n";

    t += paragraph("3. Bring the run back into Zyr. The last snapshot, with a report of its energies, momenta and "
                 "centre of mass:",
                 "", "   ") +
         "\n"
         "     zyr-sim --load " + quoted(folder + "/output/" + last) + " --steps 0\n\n";
    t += paragraph("or File > Open in zyr. The whole run, a report per snapshot:", "   ") +
         "\n"
         "     zyr-sim --replay " + quoted(folder + "/output/snapshot_*.hdf5") + "\n\n";
    t += paragraph("or File > Replay Snapshots... in zyr. Zyr converts the snapshots from the units GADGET-4 records "
                 "in them (under /Parameters) into those of its scale: the Galactic scale for zyr-sim, the scale "
                 "of the galaxy window for zyr. The stars keep their colours, which their ParticleIDs carry "
                 "through GADGET-4.",
                 "   ");
    return t;
}

constexpr auto failure = Gadget4ExportStatus::failure;

Gadget4ExportStatus exportForGadget4(const CGalaxy& g, const std::string& folder, const Gadget4Run& run) {
    std::string why = gadget4GalaxyRefusal(g);
    if (why.empty()) why = gadget4RunRefusal(g, run);
    if (!why.empty()) return failure(Gadget4ExportError::CannotExport, "cannot export for GADGET-4: " + why);
    if (why = prepareFolder(folder); !why.empty()) return failure(Gadget4ExportError::CannotWrite, why);

    const std::string base = folder.back() == '/' ? folder : folder + "/";
    // The texts of the files after the snapshot.
    const std::string texts[] = {
        gadget4ParamText(g, run),
        gadget4ConfigText(g.numStars),
        gadget4ReadmeText(g, run, absolutePath(folder)),
    };
    static_assert(std::size(texts) + 1 == std::size(kGadget4Files));
    // Every file is opened before any is written, so that a folder that
    // takes no files costs nothing.
    ReplacingFile snapshot;
    ReplacingFile files[std::size(texts)];
    if (const FileStatus opened = snapshot.open(base + kGadget4Files[0]); !opened.ok())
        return failure(Gadget4ExportError::CannotWrite, opened.message);
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        if (const FileStatus opened = files[i].open(base + kGadget4Files[i + 1]); !opened.ok())
            return failure(Gadget4ExportError::CannotWrite, opened.message);
        files[i].write(texts[i]);
    }
    // The large file first: when it fails, the others are discarded with it.
    if (const GalaxyFileStatus written = writeSnapshotFile(g, snapshot); !written.ok())
        return failure(Gadget4ExportError::CannotWrite, written.message);
    for (ReplacingFile& file : files)
        if (const FileStatus written = file.commit(); !written.ok())
            return failure(Gadget4ExportError::CannotWrite, written.message);
    return {};
}
