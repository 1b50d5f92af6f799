// zyr-sim through its command line: the real program, its exit status, its
// messages and the files it writes. Where a run's result is checked in full,
// the same galaxy is built and stepped here in the test process through the
// core library, and the program's output must match it to the last digit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/any_galaxy_file.h"
#include "io/galaxy_file.h"
#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/methods.h"
#include "run/galaxy_setup.h"
#include "run/options.h"
#include "sim_runner.h"

#include <sys/stat.h>

namespace {

using Args = std::vector<std::string>;

constexpr const char* kSeriesHeader =
    "step,time,kinetic,potential,total,momentum_x,momentum_y,momentum_z,center_x,center_y,center_z,steps_per_second,"
    "test_stars,potential_from";
constexpr const char* kStateHeader = "index,mass,x,y,z,vx,vy,vz,color";

// The desktop program's settings, written out here on their own so that the
// command line's defaults are held against them and not against themselves.
void useDesktopDefaults(CGalaxy& g) {
    g.requestedStars = 512;
    g.shape = GalaxyShape::Sphere;
    g.starMass = 400.0;
    g.centralMass = 0.0;
    g.rotationFactor = 1.0;
    g.darkMatterSetting = DarkMatterModel::None;
    g.darkRadiusSetting = 5.0;
    g.darkFractionSetting = 0.9;
    g.scaleSetting = UnitScale::Galactic;
    g.randomSeed.reset();
    g.integrationSetting = IntegrationMethod::ImprovedEuler;
    g.forceSetting = ForceMethod::Direct;
    g.timeStepSetting = 8.0;
    g.shieldSetting = 10.0;
}

void stepHere(CGalaxy& g, int steps) {
    for (int i = 0; i < steps; ++i) {
        g.iteration += 1;
        integrationStep(g);
    }
}

// The rows zyr-sim's --state must hold for a galaxy of this process.
std::vector<std::vector<std::string>> stateRowsHere(const CGalaxy& g) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < g.numStars; ++i) {
        rows.push_back({g17(i), g17(g.mass[i]), g17(g.pos.x[i]), g17(g.pos.y[i]), g17(g.pos.z[i]), g17(g.vel.x[i]),
                        g17(g.vel.y[i]), g17(g.vel.z[i]), g17(g.color[i])});
    }
    return rows;
}

// "" when the tables are equal; otherwise the first row that differs, so that
// a failure shows one star and not the whole galaxy.
std::string firstDifference(const std::vector<std::vector<std::string>>& actual,
                            const std::vector<std::vector<std::string>>& expected) {
    if (actual.size() != expected.size())
        return std::to_string(actual.size()) + " rows instead of " + std::to_string(expected.size());
    auto join = [](const std::vector<std::string>& row) {
        std::string text;
        for (const auto& field : row) text += field + ",";
        return text;
    };
    for (std::size_t r = 0; r < actual.size(); ++r) {
        if (actual[r] != expected[r])
            return "row " + std::to_string(r) + ": " + join(actual[r]) + " instead of " + join(expected[r]);
    }
    return "";
}

Args with(Args args, const Args& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Star lines of a galaxy file: mass, x, y, z, vx, vy, vz, colour.
std::vector<std::vector<std::string>> starLines(const std::string& path) {
    std::istringstream in(readText(path));
    std::string line;
    for (int header = 0; header < 3; ++header) std::getline(in, line);
    std::vector<std::vector<std::string>> stars;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> star;
        for (std::string field; fields >> field;) star.push_back(field);
        if (!star.empty()) stars.push_back(star);
    }
    return stars;
}

double relativeEnergyChange(const CsvTable& series) {
    const double first = toNumber(series.rows.front().at(3));
    const double last = toNumber(series.rows.back().at(3));
    return std::fabs((last - first) / first);
}

TEST(ZyrSimHelp, ListsEveryOptionAndTheDesktopDefaults) {
    TempDir dir;
    const SimRun run = runSim(dir, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const char* option :
         {"--shape", "--stars", "--star-mass", "--central-mass", "--rotation", "--dark-matter", "--dark-radius",
          "--dark-fraction", "--scale", "--seed", "--force", "--integrator", "--dt", "--shield", "--load", "--steps",
          "--save", "--report-every", "--csv", "--state", "--png", "--frames", "--every", "--size", "--tilt", "--turn",
          "--zoom", "--colouring", "--add", "--offset", "--velocity", "--star-size", "--balls", "--no-depth-cue", "--white-background", "--no-box",
          "--trace", "--centre", "--quiet", "--export-gadget4", "--until", "--snapshots", "--help", "--version"}) {
        EXPECT_NE(run.out.find(std::string(option) + " "), std::string::npos) << option;
    }
    for (const char* text : {"512-star sphere", "improved-euler integration", "direct summation", "time step 8",
                             "modifier 10", "sphere|disc|cube|grid2d|grid3d|rings",
                             "euler|improved-euler|rk4|adams-moulton|dynamic-euler|leapfrog",
                             "direct|barnes-hut|particle-mesh",
                             "galactic|solar-system|earth-sun", kSeriesHeader, kStateHeader}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
}

// A thread count in the environment that cannot be taken is said once, as
// zyr-sim's other warnings are, and the run goes on; --threads makes it moot.
TEST(ZyrSimArguments, AnUnusableZyrThreadsIsAWarning) {
    TempDir dir;
    ASSERT_EQ(setenv("ZYR_THREADS", "many", 1), 0);
    const SimRun warned = runSim(dir, {"--stars", "8", "--steps", "1", "--quiet"});
    const SimRun given = runSim(dir, {"--stars", "8", "--steps", "1", "--quiet", "--threads", "1"});
    unsetenv("ZYR_THREADS");
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.err.rfind("zyr-sim: warning: ignoring ZYR_THREADS='many': not a whole number from 1 to 256; "
                               "using ", 0),
              0u)
        << warned.err;
    EXPECT_EQ(given.err, "");
}

TEST(ZyrSimArguments, BadArgumentsExitTwoNamingTheOption) {
    struct Case {
        Args args;
        const char* named;
    };
    const Case cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"--offset", "1,2,3"}, "--offset"},
        {{"--add", "a.zyr", "--offset", "1,2"}, "--offset"},
        {{"--add", "a.zyr", "--velocity", "1,x,3"}, "--velocity"},
        {{"--add", "a.zyr", "--velocity", "1,2,3,4"}, "--velocity"},
        {{"stray"}, "stray"},
        {{"--stars"}, "--stars"},
        {{"--stars", "many"}, "--stars"},
        {{"--stars", "0"}, "--stars"},
        {{"--stars", "-3"}, "--stars"},
        {{"--stars", "99999999999"}, "--stars"},
        {{"--star-mass", "-1"}, "--star-mass"},
        {{"--softening", "gauss"}, "--softening"},
        {{"--epsilon", "0"}, "--epsilon"},
        {{"--opening-angle", "-0.5"}, "--opening-angle"},
        {{"--force-error", "-1e-3"}, "--force-error"},
        {{"--state-accelerations"}, "--state-accelerations"},
        {{"--central-mass", "-1"}, "--central-mass"},
        {{"--rotation", "inf"}, "--rotation"},
        {{"--dark-radius", "0"}, "--dark-radius"},
        {{"--dark-fraction", "1"}, "--dark-fraction"},
        {{"--dark-fraction", "-0.1"}, "--dark-fraction"},
        {{"--shield", "-1"}, "--shield"},
        {{"--dt", "0"}, "--dt"},
        {{"--dt", "-0.0"}, "--dt"},
        {{"--dt", "nan"}, "--dt"},
        {{"--dt", "1e999"}, "--dt"},
        {{"--dt", "8,5"}, "--dt"},  // a decimal comma is trailing garbage, whatever the locale
        {{"--dt", ""}, "--dt"},
        {{"--steps", "-1"}, "--steps"},
        {{"--steps", "2.5"}, "--steps"},
        {{"--report-every", "0"}, "--report-every"},
        {{"--shape", "blob"}, "--shape"},
        {{"--integrator", "rk5"}, "--integrator"},
        {{"--force", "fmm"}, "--force"},
        {{"--scale", "lunar"}, "--scale"},
        {{"--seed", "-1"}, "--seed"},
        {{"--save", "--steps", "1"}, "--save"},
        {{"--csv"}, "--csv"},
        {{"--help=yes"}, "--help"},
        {{"--load", "a.zyr", "--seed", "3", "--rotation", "2"}, "--stars, --rotation, --seed: not with --load"},
        {{"--replay"}, "--replay"},
        {{"--replay", ""}, "--replay"},
        {{"--replay", "s_*.hdf5"}, "--stars, --steps: not with --replay"},
        {{"--replay", "s_*.hdf5", "--load", "a.zyr"}, "--load"},
        {{"--replay", "s_*.hdf5", "--add", "a.zyr"}, "--add"},
        {{"--replay", "s_*.hdf5", "--integrator", "rk4", "--dt", "2"}, "--integrator, --dt"},
        {{"--replay", "s_*.hdf5", "--dark-matter", "sphere"}, "--dark-matter"},
        {{"--replay", "s_*.hdf5", "--report-every", "2"}, "--report-every"},
        {{"--replay", "s_*.hdf5", "--centre"}, "--centre"},
        {{"--until", "5"}, "--until: only with --export-gadget4"},
        {{"--snapshots", "3"}, "--snapshots: only with --export-gadget4"},
        {{"--export-gadget4", "g4"}, "--export-gadget4 needs --until"},
        {{"--export-gadget4", "", "--until", "5"}, "--export-gadget4"},
        {{"--export-gadget4", "g4", "--until", "0"}, "--until"},
        {{"--export-gadget4", "g4", "--until", "inf"}, "--until"},
        {{"--export-gadget4", "g4", "--until", "5", "--snapshots", "0"}, "--snapshots"},
        {{"--export-gadget4", "g4", "--until", "5", "--snapshots", "1000"}, "--snapshots"},
        {{"--export-gadget4", "g4", "--until", "5", "--dark-matter", "sphere"}, "--dark-matter sphere: not with"},
        {{"--export-gadget4", "g4", "--until", "5", "--csv", "a.csv"}, "--steps, --csv: not with --export-gadget4"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += " [" + a + "]";
        const SimRun run = runSim(dir, with(c.args, {"--stars", "8", "--steps", "0"}));
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << shown << ": " << run.err;
        EXPECT_EQ(run.out, "") << shown;
    }
}

// The numbers of a model that cannot be built are refused as bad arguments
// before anything is built or written: the option table's checks, an option
// the shape has no use for, the model's own checks and its memory.
TEST(ZyrSimModels, RefusedModelArgumentsExitTwoAndWriteNothing) {
    struct Case {
        Args args;
        const char* says;
    };
    const Case cases[] = {
        {{"--shape", "disc-galaxy", "--disc-mass", "-1"}, "--disc-mass '-1': must not be negative"},
        {{"--shape", "disc-galaxy", "--toomre-q", "0"}, "--toomre-q '0': must be greater than 0"},
        {{"--shape", "disc-galaxy", "--halo-mass", "-5"}, "--halo-mass '-5': must not be negative"},
        {{"--shape", "plummer", "--mass-cutoff", "1"}, "--mass-cutoff '1': must be greater than 0 and less than 1"},
        {{"--shape", "disc-galaxy", "--bulge-stars", "-1"}, "--bulge-stars '-1': must not be negative"},
        {{"--shape", "disc-galaxy", "--stars", "2000000000"}, "6500000000 stars does not fit into memory"},
        {{"--shape", "disc-galaxy", "--halo-mass", "0"}, "zyr-sim: Halo mass must be greater than 0"},
        {{"--toomre-q", "2", "--total-mass", "1"},
         "zyr-sim: --total-mass: only with --shape plummer|hernquist|nfw; --toomre-q: only with --shape disc-galaxy"},
        {{"--shape", "plummer", "--halo-radius", "3"},
         "--halo-radius: only with --shape disc-galaxy or --dark-matter nfw|hernquist"},
        {{"--load", "a.zyr", "--constant-q"}, "--constant-q: not with --load"},
        {{"--replay", "s_*.hdf5", "--halo", "none"}, "--halo, --steps: not with --replay"},
        {{"--export-gadget4", "g4", "--until", "5", "--dark-matter", "nfw"}, "--dark-matter nfw: not with"},
    };
    TempDir dir;
    const std::string saved = dir.path("out.zyr");
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += " [" + a + "]";
        const SimRun run = runSim(dir, with(c.args, {"--steps", "0", "--save", saved}));
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << shown << ": " << run.err;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_FALSE(std::filesystem::exists(saved)) << shown;
    }
}

// The report's first lines say what the model chose and the rigid halo and
// bulge it sits in; a time step given wins over the model's, as setting and
// live value, and the sentence says so.
TEST(ZyrSimModels, TheReportHeadsWithTheModelsSentenceAndAGivenTimeStepWins) {
    const Args args = {"--shape", "disc-galaxy", "--stars", "60", "--halo-stars", "0", "--bulge-stars", "0",
                       "--seed", "3", "--dt", "0.125"};
    TempDir dir;
    const SimRun run = runSim(dir, with(args, {"--steps", "0"}));
    ASSERT_EQ(run.status, 0) << run.err;

    std::vector<const char*> argv = {"zyr-sim"};
    for (const auto& a : args) argv.push_back(a.c_str());
    const ParseResult parsed = parseOptions(static_cast<int>(argv.size()), argv.data());
    ASSERT_TRUE(parsed.ok()) << parsed.status.message;
    CGalaxy g;
    ASSERT_TRUE(generateGalaxy(g, *parsed.value).ok());
    EXPECT_EQ(g.timeStep, 0.125);
    EXPECT_EQ(g.timeStepSetting, 0.125);
    EXPECT_NE(g.modelNote.find("; given instead: time step 0.125 Myr"), std::string::npos) << g.modelNote;

    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Stars: 60   "), std::string::npos) << line;
    EXPECT_NE(line.find("   Time Step: 0.125 Myr   "), std::string::npos) << line;
    std::getline(lines, line);
    EXPECT_EQ(line, g.modelNote);
    std::getline(lines, line);
    EXPECT_EQ(line, "Dark Matter: NFW, 5e+11 Solar Masses, scale radius 60 k ly, concentration 10");
    std::getline(lines, line);
    EXPECT_EQ(line, "Rigid Bulge: Hernquist, 1e+10 Solar Masses, scale radius 2 k ly");
}

TEST(ZyrSimFailures, UnreadableInputAndUnwritableOutputExitOne) {
    TempDir dir;
    const std::string missing = dir.path("missing.zyr");
    SimRun run = runSim(dir, {"--load", missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    const std::string malformed = dir.path("malformed.zyr");
    std::ofstream(malformed) << "//Quasarix Version  2.000000 \nScale: Galactic \nmany \n";
    run = runSim(dir, {"--load", malformed});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("line 3"), std::string::npos) << run.err;

    run = runSim(dir, {"--stars", "2000000000"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("memory"), std::string::npos) << run.err;

    // A folder or a FIFO is no galaxy file; the FIFO must not be waited on.
    const std::string fifo = dir.path("fifo.zyr"), folder = dir.path("folder.zyr");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    for (const auto& [path, why] : {std::pair{folder, "is a folder"}, {fifo, "is not a regular file"}}) {
        run = runSim(dir, {"--load", path});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
    }

    // Output paths are tried before the first step, so no report is printed.
    for (const char* option : {"--save", "--csv", "--state"}) {
        for (const std::string& unwritable : {dir.path("no-such-dir/out"), fifo}) {
            run = runSim(dir, {"--stars", "8", "--steps", "1", option, unwritable});
            EXPECT_EQ(run.status, 1) << option;
            EXPECT_NE(run.err.find(unwritable), std::string::npos) << option << ": " << run.err;
            EXPECT_EQ(run.out, "") << option;
        }
    }

    run = runSim(dir, {"--stars", "8", "--steps", "1"}, {.stdoutPath = "/dev/full", .signal = 0, .ready = {}});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write the standard output"), std::string::npos) << run.err;
}

// A run that fails or is stopped leaves its folder as it found it: the old
// outputs untouched and no temporary file.
TEST(ZyrSimFiles, FailedAndInterruptedRunsKeepTheOldOutputs) {
    TempDir dir;
    const std::string series = dir.path("series.csv"), state = dir.path("state.csv"), saved = dir.path("saved.zyr");
    for (const std::string& path : {series, state, saved}) std::ofstream(path) << "old results\n";
    const Args outputs = {"--csv", series, "--state", state, "--save", saved};
    // Two stars almost on top of each other, without a shield, fly apart
    // without bound.
    const std::string close = dir.path("close.zyr");
    std::ofstream(close) << "x\nScale: Galactic\n2\n400 0 0 0 0 0 0 1\n400 1e-155 0 0 0 0 0 2\n";
    for (const IntegratorInfo& integrator : kIntegrators) {
        const SimRun run = runSim(
            dir, with(outputs, {"--load", close, "--shield", "0", "--steps", "10", "--integrator", integrator.name}));
        EXPECT_EQ(run.status, 1) << integrator.name;
        EXPECT_NE(run.err.find("a position or velocity that is infinite or not a number"), std::string::npos)
            << integrator.name << ": " << run.err;
    }

    const auto writing = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path("")))
            if (entry.path().filename().string().ends_with(".tmp")) return true;
        return false;
    };
    for (const int signal : {SIGINT, SIGTERM}) {
        const SimRun run = runSim(dir, with(outputs, {"--stars", "1000", "--steps", "1000000"}),
                                  {.stdoutPath = {}, .signal = signal, .ready = writing});
        EXPECT_EQ(run.signal, signal);
    }

    for (const std::string& path : {series, state, saved}) EXPECT_EQ(readText(path), "old results\n") << path;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"close.zyr", "saved.zyr", "series.csv", "state.csv", "stderr.txt",
                                               "stdout.txt"}));
}

// --export-gadget4 writes the galaxy as set up, loaded, added to and centred,
// and takes no step; a run GADGET-4 cannot make is refused before the folder
// is made.
TEST(ZyrSimGadget4, ExportsTheGalaxyAsSetUpWithoutAStep) {
    TempDir dir;
    const std::string start = dir.path("start.hdf5"), other = dir.path("other.zyr"), folder = dir.path("g4");
    ASSERT_EQ(runSim(dir, {"--stars", "20", "--seed", "4", "--dt", "2", "--steps", "3", "--save", start}).status, 0);
    ASSERT_EQ(runSim(dir, {"--stars", "5", "--seed", "5", "--steps", "0", "--save", other}).status, 0);
    SimRun run = runSim(dir, {"--load", start, "--add", other, "--offset", "3,0,0", "--centre", "--export-gadget4",
                              folder, "--until", "100", "--snapshots", "4"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("ic.hdf5 (25 stars)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("from 6 to 100 Myr with 4 snapshots"), std::string::npos) << run.out;

    // The exported galaxy, at time 6, centred: the same as its reloaded state.
    run = runSim(dir, {"--load", folder + "/ic.hdf5", "--steps", "0", "--csv", "-", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::ofstream(dir.path("ic.csv")) << run.out;
    const CsvTable series = readCsv(dir.path("ic.csv"));
    ASSERT_EQ(series.rows.size(), 1u);
    EXPECT_EQ(series.rows[0][1], "6");
    for (int column = 5; column <= 10; ++column)  // momentum and centre of mass
        EXPECT_NEAR(toNumber(series.rows[0][column]), 0.0, 1e-9) << column;
    for (const char* file : {"/param.txt", "/Config.sh", "/README.txt"})
        EXPECT_FALSE(readText(folder + file).empty()) << file;

    run = runSim(dir, {"--load", start, "--export-gadget4", dir.path("late"), "--until", "6"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("must be later than the galaxy's time, 6 Myr"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path("late")));
}

TEST(ZyrSimFiles, EmptyAndTruncatedGalaxiesRun) {
    TempDir dir;
    const std::string empty = dir.path("empty.zyr"), truncated = dir.path("truncated.zyr");
    std::ofstream(empty) << "x\nScale: Galactic\n0\n";
    std::ofstream(truncated) << "x\nScale: Galactic\n3000000\n400 1 0 0 0 0 0 3\n400 -1 0 0 0 0 0 5\n";
    for (const IntegratorInfo& integrator : kIntegrators) {
        const SimRun run = runSim(dir, {"--load", empty, "--integrator", integrator.name, "--steps", "2"});
        EXPECT_EQ(run.status, 0) << integrator.name << ": " << run.err;
    }
    const SimRun run = runSim(dir, {"--load", truncated, "--steps", "1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Stars: 2 "), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("warning: " + truncated + ": line 3 counts 3000000 stars, but the file ends after 2 star lines"),
              std::string::npos)
        << run.err;
}

TEST(ZyrSimSeed, SameSeedRepeatsARunAndAnotherSeedDiffers) {
    TempDir dir;
    auto stateFor = [&](const char* seed, const char* name) {
        const SimRun run =
            runSim(dir, {"--stars", "48", "--steps", "4", "--seed", seed, "--state", dir.path(name)});
        EXPECT_EQ(run.status, 0) << run.err;
        return readText(dir.path(name));
    };
    const std::string first = stateFor("7", "a.csv");
    EXPECT_EQ(stateFor("7", "b.csv"), first);
    EXPECT_NE(stateFor("8", "c.csv"), first);
}

TEST(ZyrSimSeries, OneRowPerReportAtTheStartEveryKStepsAndTheEnd) {
    TempDir dir;
    struct Case {
        Args args;
        std::vector<std::string> steps, times;
        std::string potentialFrom = "exact";
    };
    const Case cases[] = {
        {{"--steps", "10", "--report-every", "4"}, {"0", "4", "8", "10"}, {"0", "32", "64", "80"}},
        {{"--steps", "8", "--report-every", "4"}, {"0", "4", "8"}, {"0", "32", "64"}},
        {{"--steps", "10"}, {"0", "10"}, {"0", "80"}},
        {{"--steps", "0"}, {"0"}, {"0"}},
        {{"--steps", "3", "--dt", "-8"}, {"0", "3"}, {"0", "-24"}},
        {{"--steps", "1", "--force", "barnes-hut"}, {"0", "1"}, {"0", "8"}, "tree"},
        {{"--steps", "1", "--force", "particle-mesh"}, {"0", "1"}, {"0", "8"}, "mesh"},
        {{"--steps", "1", "--force", "barnes-hut", "--exact-energy"}, {"0", "1"}, {"0", "8"}},
    };
    for (const Case& c : cases) {
        const SimRun run = runSim(dir, with(c.args, {"--stars", "16", "--seed", "1", "--csv", dir.path("s.csv")}));
        ASSERT_EQ(run.status, 0) << run.err;
        const CsvTable series = readCsv(dir.path("s.csv"));
        EXPECT_EQ(series.header, kSeriesHeader);
        ASSERT_EQ(series.rows.size(), c.times.size()) << c.args[1];
        for (std::size_t r = 0; r < series.rows.size(); ++r) {
            const auto& row = series.rows[r];
            ASSERT_EQ(row.size(), 14u);
            EXPECT_EQ(row[0], c.steps[r]);
            EXPECT_EQ(row[13], c.potentialFrom);
            EXPECT_EQ(row[1], c.times[r]);
            // The total is the sum of the two energies as written, digit for digit.
            EXPECT_EQ(toNumber(row[4]), toNumber(row[2]) + toNumber(row[3])) << r;
        }
        EXPECT_EQ(series.rows.front()[11], "0");
    }
}

// zyr-sim in a pipe: the CSV alone on the standard output, the report beside
// it on the standard error or not at all.
TEST(ZyrSimSeries, CsvOnTheStandardOutputForPipes) {
    TempDir dir;
    const Args run = {"--stars", "8", "--seed", "1", "--steps", "2", "--csv", "-"};
    for (const bool quiet : {false, true}) {
        const SimRun piped = runSim(dir, quiet ? with(run, {"--quiet"}) : run);
        EXPECT_EQ(piped.status, 0) << piped.err;
        std::ofstream(dir.path("piped.csv")) << piped.out;
        const CsvTable series = readCsv(dir.path("piped.csv"));
        EXPECT_EQ(series.header, kSeriesHeader);
        ASSERT_EQ(series.rows.size(), 2u);
        EXPECT_EQ(series.rows[1][0], "2");
        EXPECT_EQ(piped.err.find("Stars: 8") != std::string::npos, !quiet) << piped.err;
    }
    const SimRun version = runSim(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zyr-sim ", 0), 0u) << version.out;
}

TEST(ZyrSimSeries, CentreTakesTheDriftOutBeforeTheFirstStep) {
    TempDir dir;
    const SimRun run = runSim(dir, {"--stars", "64", "--seed", "2", "--steps", "0", "--centre", "--csv", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::ofstream(dir.path("c.csv")) << run.out;
    const CsvTable series = readCsv(dir.path("c.csv"));
    ASSERT_EQ(series.rows.size(), 1u);
    for (int column = 5; column <= 10; ++column)  // momentum and centre of mass
        EXPECT_NEAR(toNumber(series.rows[0][column]), 0.0, 1e-9) << series.rows[0][column];
}

TEST(ZyrSimSeries, ReportsUseTheUnitsOfTheScale) {
    TempDir dir;
    const SimRun run = runSim(dir, {"--stars", "8", "--seed", "1", "--steps", "1", "--scale", "earth-sun"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* text : {"Scale: Earth-Sun", "days", "Mearth (AU)^2/ (day)^2", "Mearth AU / day", "[AU]"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

// Every setting the command line offers reaches the simulation: each run's
// final stars equal those of the same galaxy built and stepped here.
TEST(ZyrSimState, MatchesTheSameRunInProcess) {
    struct Case {
        const char* what;
        Args args;
        int steps;
        void (*configure)(CGalaxy&);
    };
    const Case cases[] = {
        {"desktop defaults", {"--stars", "24", "--seed", "3"}, 3,
         [](CGalaxy& g) {
             g.requestedStars = 24;
             g.randomSeed = 3;
         }},
        {"disc, central mass, rk4",
         {"--shape", "disc", "--stars", "40", "--star-mass", "2.5", "--central-mass", "1000", "--rotation", "0.5",
          "--integrator", "rk4", "--dt", "4", "--seed", "11"},
         3,
         [](CGalaxy& g) {
             g.shape = GalaxyShape::Disc;
             g.requestedStars = 40;
             g.starMass = 2.5;
             g.centralMass = 1000.0;
             g.rotationFactor = 0.5;
             g.integrationSetting = IntegrationMethod::RungeKutta4;
             g.timeStepSetting = 4.0;
             g.randomSeed = 11;
         }},
        {"cube in a halo, euler",
         {"--shape", "cube", "--stars", "30", "--dark-matter", "sphere", "--dark-radius", "3", "--dark-fraction",
          "0.5", "--integrator", "euler", "--shield", "2", "--seed", "5"},
         2,
         [](CGalaxy& g) {
             g.shape = GalaxyShape::Cube;
             g.requestedStars = 30;
             g.darkMatterSetting = DarkMatterModel::Sphere;
             g.darkRadiusSetting = 3.0;
             g.darkFractionSetting = 0.5;
             g.integrationSetting = IntegrationMethod::Euler;
             g.shieldSetting = 2.0;
             g.randomSeed = 5;
         }},
        {"rings, earth-sun, adams-moulton past its start-up",
         {"--shape", "rings", "--stars", "64", "--scale", "earth-sun", "--integrator", "adams-moulton"}, 6,
         [](CGalaxy& g) {
             g.shape = GalaxyShape::Rings;
             g.requestedStars = 64;
             g.scaleSetting = UnitScale::EarthSun;
             g.integrationSetting = IntegrationMethod::AdamsMoulton;
         }},
        {"3-D grid backwards with dynamic euler",
         {"--shape", "grid3d", "--stars", "27", "--central-mass", "50", "--integrator", "dynamic-euler", "--dt",
          "-2"},
         3,
         [](CGalaxy& g) {
             g.shape = GalaxyShape::Grid3D;
             g.requestedStars = 27;
             g.centralMass = 50.0;
             g.integrationSetting = IntegrationMethod::DynamicEuler;
             g.timeStepSetting = -2.0;
         }},
        {"barnes-hut, reversed rotation", {"--force", "barnes-hut", "--stars", "50", "--seed", "2", "--rotation", "-1"},
         2,
         [](CGalaxy& g) {
             g.forceSetting = ForceMethod::BarnesHut;
             g.requestedStars = 50;
             g.randomSeed = 2;
             g.rotationFactor = -1.0;
         }},
        {"particle mesh, solar system",
         {"--force", "particle-mesh", "--stars", "50", "--seed", "2", "--scale", "solar-system"}, 2,
         [](CGalaxy& g) {
             g.forceSetting = ForceMethod::ParticleMesh;
             g.requestedStars = 50;
             g.randomSeed = 2;
             g.scaleSetting = UnitScale::SolarSystem;
         }},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const SimRun run =
            runSim(dir, with(c.args, {"--steps", std::to_string(c.steps), "--state", dir.path("state.csv")}));
        ASSERT_EQ(run.status, 0) << c.what << ": " << run.err;
        const CsvTable state = readCsv(dir.path("state.csv"));
        EXPECT_EQ(state.header, kStateHeader);

        CGalaxy g;
        useDesktopDefaults(g);
        c.configure(g);
        ASSERT_TRUE(g.newGalaxy());
        stepHere(g, c.steps);
        EXPECT_EQ(firstDifference(state.rows, stateRowsHere(g)), "") << c.what;
    }
}

TEST(ZyrSimState, GridOfEightRequestedStarsHasFour) {
    TempDir dir;
    SimRun run = runSim(dir, {"--shape", "grid2d", "--stars", "8", "--steps", "0", "--state", dir.path("s.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const CsvTable grid = readCsv(dir.path("s.csv"));
    ASSERT_EQ(grid.rows.size(), 4u);
    // corners of the galactic box of edge 5, x running fastest
    const char* corners[4][2] = {{"-2.5", "-2.5"}, {"2.5", "-2.5"}, {"-2.5", "2.5"}, {"2.5", "2.5"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(grid.rows[i][2], corners[i][0]) << i;
        EXPECT_EQ(grid.rows[i][3], corners[i][1]) << i;
        EXPECT_EQ(grid.rows[i][4], "0") << i;
    }

    run = runSim(dir, {"--shape", "grid2d", "--stars", "8", "--central-mass", "100", "--steps", "0", "--state",
                       dir.path("c.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const CsvTable centred = readCsv(dir.path("c.csv"));
    ASSERT_EQ(centred.rows.size(), 5u);
    EXPECT_EQ(centred.rows[0], (std::vector<std::string>{"0", "100", "0", "0", "0", "0", "0", "0", "0"}));
}

TEST(ZyrSimFiles, SavedGalaxyMatchesTheStateAndLoadsBack) {
    TempDir dir;
    const std::string zyr = dir.path("galaxy.zyr");
    SimRun run = runSim(dir, {"--stars", "20", "--seed", "4", "--steps", "3", "--scale", "earth-sun", "--save", zyr,
                              "--state", dir.path("before.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto stars = starLines(zyr);
    const CsvTable before = readCsv(dir.path("before.csv"));
    ASSERT_EQ(stars.size(), 20u);
    ASSERT_EQ(before.rows.size(), 20u);
    for (std::size_t i = 0; i < stars.size(); ++i) {
        ASSERT_EQ(stars[i].size(), 8u);
        ASSERT_EQ(before.rows[i].size(), 9u);
        for (int f = 0; f < 7; ++f) {
            const double full = toNumber(before.rows[i][f + 1]);
            // the state's 17 digits read back as the very double they came from
            EXPECT_EQ(g17(full), before.rows[i][f + 1]);
            EXPECT_NEAR(toNumber(stars[i][f]), full, 5.0000001e-7) << i << "," << f;
        }
        EXPECT_EQ(stars[i][7], before.rows[i][8]);
    }

    // The file brings its own scale; --steps 0 leaves its stars as read.
    run = runSim(dir, {"--load", zyr, "--steps", "0", "--state", dir.path("after.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Scale: Earth-Sun"), std::string::npos) << run.out;
    const CsvTable after = readCsv(dir.path("after.csv"));
    ASSERT_EQ(after.rows.size(), stars.size());
    for (std::size_t i = 0; i < stars.size(); ++i) {
        for (int f = 0; f < 7; ++f) EXPECT_EQ(after.rows[i][f + 1], g17(toNumber(stars[i][f]))) << i << "," << f;
        EXPECT_EQ(after.rows[i][8], stars[i][7]);
    }
}

TEST(ZyrSimFiles, ModelSettingsApplyToALoadedGalaxy) {
    TempDir dir;
    const std::string zyr = dir.path("galaxy.zyr");
    ASSERT_EQ(runSim(dir, {"--stars", "24", "--seed", "9", "--steps", "0", "--save", zyr}).status, 0);

    const SimRun run = runSim(dir, {"--load", zyr, "--integrator", "euler", "--dt", "2", "--shield", "3",
                                    "--dark-matter", "sphere", "--steps", "2", "--state", dir.path("s.csv")});
    ASSERT_EQ(run.status, 0) << run.err;

    CGalaxy g;
    useDesktopDefaults(g);
    g.integrationSetting = IntegrationMethod::Euler;
    g.timeStepSetting = 2.0;
    g.shieldSetting = 3.0;
    g.darkMatterSetting = DarkMatterModel::Sphere;
    ASSERT_TRUE(loadGalaxyFile(g, zyr).ok());
    stepHere(g, 2);
    EXPECT_EQ(firstDifference(readCsv(dir.path("s.csv")).rows, stateRowsHere(g)), "");
}

// --state-accelerations goes on with each star's pull and potential at the
// positions written, as the core gives them for that galaxy.
TEST(ZyrSimFiles, StateAccelerationsAreThePullAndPotentialOfTheStarsWritten) {
    TempDir dir;
    const std::string snapshot = dir.path("end.hdf5");
    const SimRun run = runSim(dir, {"--stars", "24", "--seed", "9", "--force", "barnes-hut", "--dark-matter", "sphere",
                                    "--softening", "spline", "--epsilon", "0.5", "--steps", "2", "--save", snapshot,
                                    "--state", dir.path("s.csv"), "--state-accelerations", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    CGalaxy g;
    ASSERT_TRUE(loadAnyGalaxyFile(g, snapshot).ok());
    const std::size_t n = static_cast<std::size_t>(g.numStars);
    std::vector<double> ax(n), ay(n), az(n), phi(n);
    starAccelerations(g, ax.data(), ay.data(), az.data());
    starPotentials(g, phi.data());
    auto expected = stateRowsHere(g);
    for (std::size_t i = 0; i < n; ++i)
        for (const double value : {ax[i], ay[i], az[i], phi[i]}) expected[i].push_back(g17(value));
    const CsvTable state = readCsv(dir.path("s.csv"));
    EXPECT_EQ(state.header, "index,mass,x,y,z,vx,vy,vz,color,ax,ay,az,phi");
    EXPECT_EQ(firstDifference(state.rows, expected), "");
}

// A galaxy added to a loaded snapshot resets the stars, not the settings the
// snapshot brought.
TEST(ZyrSimFiles, AnAddKeepsTheSettingsOfTheLoadedSnapshot) {
    TempDir dir;
    const std::string snapshot = dir.path("halo.hdf5");
    ASSERT_EQ(runSim(dir, {"--stars", "24", "--seed", "9", "--integrator", "leapfrog", "--force", "barnes-hut",
                           "--dark-matter", "sphere", "--steps", "0", "--save", snapshot, "--quiet"})
                  .status,
              0);
    const SimRun run = runSim(dir, {"--load", snapshot, "--add", ZYR_DATA_DIR "/two-star-orbit.zyr", "--shield",
                                    "3", "--steps", "0", "--save", dir.path("both.hdf5")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Stars: 26   Integration: Leapfrog   Force Method: Barnes-Hut   Time Step: 8 Myr   Scale: Galactic");
    CGalaxy both;
    ASSERT_TRUE(loadAnyGalaxyFile(both, dir.path("both.hdf5")).ok());
    EXPECT_EQ(both.darkMatter, DarkMatterModel::Sphere);
    EXPECT_EQ(both.shieldModifier, 3.0);
}

// The force law and the tree's target head the report, travel in a snapshot
// and give way to the options of a run that loads it; test stars are counted.
TEST(ZyrSimFiles, TheSofteningAndTheTreeTargetAreReportedAndKept) {
    TempDir dir;
    const std::string snapshot = dir.path("soft.hdf5");
    const SimRun first = runSim(dir, {"--stars", "24", "--seed", "9", "--star-mass", "0", "--central-mass", "1000",
                                      "--force", "barnes-hut", "--softening", "spline", "--epsilon", "0.02",
                                      "--force-error", "1e-3", "--steps", "0", "--save", snapshot});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out.substr(0, first.out.find('\n')),
              "Stars: 24   Integration: Improved Euler   Force Method: Barnes-Hut   Time Step: 8 Myr   Scale: Galactic"
              "   Softening: Spline, 0.02 k ly   Tree Opening: force error 0.001   Test Stars: 23");
    const SimRun again = runSim(dir, {"--load", snapshot, "--softening", "plummer", "--steps", "0"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("   Softening: Plummer, 0.02 k ly   Tree Opening: force error 0.001   Test Stars: 23\n"),
              std::string::npos)
        << again.out;
    // The shield's tree has no use for a force error target, and says so.
    const SimRun shield = runSim(dir, {"--stars", "8", "--force", "barnes-hut", "--force-error", "1e-3", "--steps", "0"});
    ASSERT_EQ(shield.status, 0) << shield.err;
    EXPECT_NE(shield.err.find("warning: a force error target needs a softening"), std::string::npos) << shield.err;
}

// A run saved halfway as a snapshot and continued from it ends on the same
// bits as the run taken in one go, for every integrator and force method, in
// a halo; split where Adams-Moulton is still starting and where it runs. The
// snapshot loaded and saved again without a step is the same file, so nothing
// the integrator carries is left behind.
TEST(ZyrSimFiles, ASnapshotContinuesTheRunExactly) {
    TempDir dir;
    for (const IntegratorInfo& integrator : kIntegrators) {
        for (const ForceMethodInfo& force : kForceMethods) {
            for (const int half : {2, 6}) {
                SCOPED_TRACE(std::string(integrator.name) + " " + force.name + " " + std::to_string(half));
                const std::vector<std::string> run = {"--stars", "40", "--seed", "5", "--dark-matter", "sphere",
                                                      "--integrator", integrator.name, "--force", force.name};
                const auto with = [&](std::vector<std::string> more) {
                    more.insert(more.begin(), run.begin(), run.end());
                    return more;
                };
                const std::string steps = std::to_string(half);
                ASSERT_EQ(runSim(dir, with({"--steps", std::to_string(2 * half), "--state", dir.path("one.csv")}))
                              .status,
                          0);
                ASSERT_EQ(runSim(dir, with({"--steps", steps, "--save", dir.path("half.hdf5")})).status, 0);
                ASSERT_EQ(runSim(dir, {"--load", dir.path("half.hdf5"), "--steps", steps, "--state",
                                       dir.path("two.csv")})
                              .status,
                          0);
                EXPECT_EQ(readText(dir.path("two.csv")), readText(dir.path("one.csv")));
                // The integrator's memory is there, not found again by chance.
                const char* memory = integrator.id == IntegrationMethod::Leapfrog       ? "LeapfrogAccelerations"
                                     : integrator.id == IntegrationMethod::AdamsMoulton ? "AdamsMoultonDerivatives"
                                                                                        : "Colors";
                EXPECT_NE(readText(dir.path("half.hdf5")).find(memory), std::string::npos);
                ASSERT_EQ(runSim(dir, {"--load", dir.path("half.hdf5"), "--steps", "0", "--save",
                                       dir.path("again.hdf5")})
                              .status,
                          0);
                EXPECT_EQ(readText(dir.path("again.hdf5")), readText(dir.path("half.hdf5")));
            }
        }
    }
}

// Stars on circular orbits about a heavy central star, far outside each
// other's shield radii, so that only the integrator changes the energy.
TEST(ZyrSimPhysics, RungeKuttaKeepsTheEnergyOfCircularOrbits) {
    TempDir dir;
    const Args orbits{"--shape", "rings", "--stars", "33", "--central-mass", "1e6", "--star-mass", "1",
                      "--shield", "1"};
    auto drift = [&](const char* integrator, const char* dt, const char* steps) {
        const SimRun run = runSim(dir, with(orbits, {"--integrator", integrator, "--dt", dt, "--steps", steps,
                                                     "--csv", dir.path("e.csv")}));
        EXPECT_EQ(run.status, 0) << run.err;
        return relativeEnergyChange(readCsv(dir.path("e.csv")));
    };
    // 800 Myr: about three turns of the inner ring
    const double coarse = drift("rk4", "8", "100");
    EXPECT_LT(coarse, 1e-3);
    // fourth order: half the step leaves well under a tenth of the error
    EXPECT_LT(drift("rk4", "4", "200"), coarse / 10.0);
    // the bound is one that a second-order method does not meet
    EXPECT_GT(drift("improved-euler", "8", "100"), 1e-3);
}

}  // namespace
