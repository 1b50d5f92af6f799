#include "io/gadget4_export.h"
#include "io/any_galaxy_file.h"
#include "io/snapshot_file.h"
#include "physics/barnes_hut.h"
#include "physics/forces.h"
#include "tests/support/galaxy_builder.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <hdf5.h>

namespace fs = std::filesystem;

namespace {

// What GADGET-4 requires of param.txt when built with SELFGRAVITY, NTYPES=6
// and DOUBLEPRECISION=1: every parameter registered unconditionally in
// global_data_all_processes::register_parameters (src/data/allvars.cc), each
// exactly once and no other (src/io/parameters.cc). NSOFTCLASSES defaults to
// NTYPES (src/data/constants.h), so there are six softening classes. The
// integer ones are read with atoi, which stops at a point or an exponent.
const std::set<std::string> kIntegerParameters = {
    "OutputListOn", "MaxMemSize", "DesNumNgb", "ComovingIntegrationOn", "ICFormat", "SnapFormat",
    "NumFilesPerSnapshot", "MaxFilesWithConcurrentIO", "TypeOfOpeningCriterion",
};

std::set<std::string> requiredParameters() {
    std::set<std::string> names = {
        "InitCondFile", "OutputDir", "SnapshotFileBase", "OutputListFilename", "OutputListOn", "Omega0", "OmegaBaryon",
        "OmegaLambda", "Hubble", "HubbleParam", "BoxSize", "MaxMemSize", "TimeOfFirstSnapshot",
        "CpuTimeBetRestartFile", "TimeBetStatistics", "TimeBegin", "TimeMax", "TimeBetSnapshot",
        "UnitVelocity_in_cm_per_s", "UnitLength_in_cm", "UnitMass_in_g", "GravityConstantInternal",
        "ErrTolIntAccuracy", "ErrTolTheta", "ErrTolThetaMax", "ErrTolForceAcc", "MaxSizeTimestep", "MinSizeTimestep",
        "ArtBulkViscConst", "CourantFac", "DesNumNgb", "TopNodeFactor", "ActivePartFracForNewDomainDecomp",
        "MaxNumNgbDeviation", "ComovingIntegrationOn", "ICFormat", "SnapFormat", "NumFilesPerSnapshot",
        "MaxFilesWithConcurrentIO", "TypeOfOpeningCriterion", "TimeLimitCPU", "InitGasTemp", "MinEgySpec",
    };
    for (int i = 0; i < 6; ++i) {
        names.insert("SofteningComovingClass" + std::to_string(i));
        names.insert("SofteningMaxPhysClass" + std::to_string(i));
        names.insert("SofteningClassOfPartType" + std::to_string(i));
    }
    return names;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// param.txt as GADGET-4 reads it: the first two words of a line are a tag
// and its value; lines with fewer words, or whose first starts with % or #,
// are skipped. Every tag, with each of its values.
std::map<std::string, std::vector<std::string>> readParameters(const fs::path& path) {
    std::map<std::string, std::vector<std::string>> params;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) {
        // GADGET-4 reads a line in one piece of at most 450 characters.
        EXPECT_LT(line.size(), 400u) << line;
        std::istringstream words(line);
        std::string tag, value;
        if (!(words >> tag >> value) || tag[0] == '%' || tag[0] == '#') continue;
        params[tag].push_back(value);
    }
    return params;
}

}  // namespace

// The folder as GADGET-4 meets it: param.txt holds every parameter its build
// requires, once, with the galaxy's units, gravity, softening, time step and
// run; Config.sh holds exactly that build; ic.hdf5 holds what GADGET-4 reads
// and reads back in Zyr as the galaxy.
TEST(Gadget4Export, WritesAFolderGadget4RunsAsItStands) {
    ScratchDir scratch;
    CGalaxy g;
    g.scaleSetting = UnitScale::SolarSystem;
    // A heavy central star and stars of several masses: the median, the
    // lower of the middle two, is 3.
    ASSERT_TRUE(installStars(g, {{1e6, 0, 0, 0, 0, 0, 0, 3},
                                 {1, 1, 0, 0, 0, 0.5, 0, 1},
                                 {2, -2, 0, 0, 0, -0.4, 0, 2},
                                 {3, 0, 3, 0, -0.3, 0, 0, 4},
                                 {4, 0, -4, 0, 0.2, 0, 0, 5},
                                 {5, 0, 0, 5, 0, 0.1, 0, 6}}));
    g.time = 12.5;
    g.timeStep = -2.0;  // backwards: the step enters by its size
    g.shieldModifier = 3.5;
    const Gadget4Run run{112.5, 4};
    const fs::path dir = scratch.path() / "run";  // made by the export

    const Gadget4ExportStatus status = exportForGadget4(g, dir, run);
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"run"});
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Config.sh", "README.txt", "ic.hdf5", "param.txt"}));

    const auto params = readParameters(dir / "param.txt");
    std::set<std::string> tags;
    for (const auto& [tag, values] : params) {
        tags.insert(tag);
        EXPECT_EQ(values.size(), 1u) << tag << " given " << values.size() << " times";
        if (kIntegerParameters.contains(tag) || tag.starts_with("SofteningClassOfPartType")) {
            const std::string& v = values[0];
            EXPECT_TRUE(!v.empty() && std::all_of(v.begin() + (v[0] == '-'), v.end(), ::isdigit)) << tag << " " << v;
        }
    }
    EXPECT_EQ(tags, requiredParameters());
    const auto text = [&](const char* tag) -> const std::string& { return params.at(tag).at(0); };
    const auto value = [&](const char* tag) {
        char* end = nullptr;
        const double v = std::strtod(text(tag).c_str(), &end);
        EXPECT_EQ(*end, '\0') << tag;
        return v;
    };

    // The units of the Solar System scale in cgs, and Zyr's G in them.
    EXPECT_EQ(value("UnitLength_in_cm"), g.lengthUnit * 100.0);
    EXPECT_EQ(value("UnitMass_in_g"), g.massUnit * 1000.0);
    EXPECT_DOUBLE_EQ(value("UnitLength_in_cm") / value("UnitVelocity_in_cm_per_s"), g.timeUnit);
    EXPECT_EQ(value("GravityConstantInternal"), g.gravity);
    EXPECT_EQ(value("HubbleParam"), 1.0);
    EXPECT_EQ(text("ComovingIntegrationOn"), "0");

    // The run: from the galaxy's time to T, K snapshots after the one at the
    // start, steps of at most Zyr's.
    EXPECT_EQ(value("TimeBegin"), 12.5);
    EXPECT_EQ(value("TimeMax"), 112.5);
    EXPECT_EQ(text("OutputListOn"), "0");
    EXPECT_EQ(value("TimeOfFirstSnapshot"), 12.5);
    EXPECT_EQ(value("TimeBetSnapshot"), 25.0);
    EXPECT_EQ(value("MaxSizeTimestep"), 2.0);

    // The softening: the shield radius of the median star is where GADGET-4's
    // spline force becomes Newtonian, 2.8 epsilon.
    const double shield = std::pow(g.gravity * 3.0, 0.333) * std::pow(2.0, 0.667) * 3.5;
    EXPECT_DOUBLE_EQ(shield, ShieldRadius(g.gravity * 3.0, -2.0, 3.5));
    for (int c = 0; c < 6; ++c) {
        const std::string n = std::to_string(c);
        EXPECT_DOUBLE_EQ(value(("SofteningComovingClass" + n).c_str()) * 2.8, shield) << c;
        EXPECT_EQ(value(("SofteningMaxPhysClass" + n).c_str()), value(("SofteningComovingClass" + n).c_str()));
        const int cls = std::atoi(text(("SofteningClassOfPartType" + n).c_str()).c_str());
        EXPECT_TRUE(cls >= 0 && cls < 6) << c;
    }
    EXPECT_NE(readText(dir / "param.txt").find("r = (G m)^0.333 * |dt|^0.667 * modifier"), std::string::npos);

    // The tree: geometric opening with Zyr's angle; HDF5 in and out.
    EXPECT_EQ(text("TypeOfOpeningCriterion"), "0");
    EXPECT_EQ(value("ErrTolTheta"), 0.4);
    // It is the tree's own rule: a cell of side 1 below the root's children
    // is taken whole from 1 / ErrTolTheta on.
    for (const double beyond : {1.0 - 1e-9, 1.0 + 1e-9})
        EXPECT_EQ(openingLimit(0.5, kFirstDepthTakenWhole) < beyond / value("ErrTolTheta"), beyond > 1.0) << beyond;
    EXPECT_EQ(text("ICFormat"), "3");
    EXPECT_EQ(text("SnapFormat"), "3");
    EXPECT_EQ(text("InitCondFile"), "./ic");
    EXPECT_EQ(text("SnapshotFileBase"), "snapshot");
    EXPECT_EQ(text("NumFilesPerSnapshot"), "1");

    // Config.sh: the options, one a line; # starts a comment.
    std::set<std::string> options;
    std::istringstream config(readText(dir / "Config.sh"));
    for (std::string line; std::getline(config, line);) {
        std::istringstream words(line);
        std::string option;
        if (words >> option && option[0] != '#') options.insert(option);
    }
    EXPECT_EQ(options, (std::set<std::string>{"SELFGRAVITY", "NTYPES=6", "DOUBLEPRECISION=1"}));
    // Only IDs beyond 32 bits need a build of their own.
    EXPECT_EQ(gadget4ConfigText(kStarsWith32BitIds).find("IDS_64BIT"), std::string::npos);
    EXPECT_NE(gadget4ConfigText(kStarsWith32BitIds + 1).find("\nIDS_64BIT "), std::string::npos);

    // ic.hdf5 holds the header attributes and datasets GADGET-4's HDF5 reader
    // asks for (src/io/snap_io.cc, read_header_fields and init_basic).
    {
        const hid_t file = H5Fopen((dir / "ic.hdf5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        ASSERT_GE(file, 0);
        for (const char* name : {"NumPart_ThisFile", "NumPart_Total", "MassTable", "Time", "Redshift", "BoxSize",
                                 "NumFilesPerSnapshot"})
            EXPECT_GT(H5Aexists_by_name(file, "/Header", name, H5P_DEFAULT), 0) << name;
        const hid_t counts = H5Aopen_by_name(file, "/Header", "NumPart_ThisFile", H5P_DEFAULT, H5P_DEFAULT);
        const hid_t space = H5Aget_space(counts);
        EXPECT_EQ(H5Sget_simple_extent_npoints(space), 6);  // NTYPES
        H5Sclose(space);
        H5Aclose(counts);
        for (const char* name : {"Coordinates", "Velocities", "Masses", "ParticleIDs"})
            EXPECT_GT(H5Lexists(file, (std::string("/PartType1/") + name).c_str(), H5P_DEFAULT), 0) << name;
        H5Fclose(file);
    }
    CGalaxy loaded;
    ASSERT_TRUE(loadAnyGalaxyFile(loaded, dir / "ic.hdf5").ok());
    ASSERT_EQ(loaded.numStars, g.numStars);
    for (int i = 0; i < g.numStars; ++i) {
        EXPECT_EQ(loaded.mass[i], g.mass[i]);
        EXPECT_EQ(loaded.pos.y[i], g.pos.y[i]);
        EXPECT_EQ(loaded.vel.x[i], g.vel.x[i]);
    }
    EXPECT_EQ(loaded.time, 12.5);

    const std::string readme = readText(dir / "README.txt");
    std::string folder = "'";  // quoted for the shell
    folder += dir.string();
    for (const std::string& line :
         {std::string("mpirun -np 2 ./Gadget4 param.txt"), "make -j 4 DIR=" + folder + "'",
          "zyr-sim --load " + folder + "/output/snapshot_004.hdf5'",
          "zyr-sim --replay " + folder + "/output/snapshot_*.hdf5'"})
        EXPECT_NE(readme.find(line), std::string::npos) << line;
}

// A galaxy or run GADGET-4 cannot take, or a folder that takes no files, is
// refused with a reason before anything is written.
TEST(Gadget4Export, RefusesWhatGadget4CannotRunAndWritesNothing) {
    ScratchDir scratch;
    const fs::path dir = scratch.path() / "run";
    struct Case {
        const char* why;
        void (*change)(CGalaxy&, Gadget4Run&);
        fs::path folder;
    };
    const Case cases[] = {
        {"must be later than the galaxy's time", [](CGalaxy&, Gadget4Run& r) { r.until = 8.0; }, dir},
        {"must be later than the galaxy's time", [](CGalaxy&, Gadget4Run& r) { r.until = NAN; }, dir},
        {"from 1 to 999", [](CGalaxy&, Gadget4Run& r) { r.snapshots = 0; }, dir},
        {"from 1 to 999", [](CGalaxy&, Gadget4Run& r) { r.snapshots = 1000; }, dir},
        {"closer together than the time step", [](CGalaxy&, Gadget4Run& r) { r.snapshots = 101; }, dir},
        {"than GADGET-4's timeline holds", [](CGalaxy& g, Gadget4Run&) { g.timeStep = 1e-7; }, dir},
        {"dark-matter halo", [](CGalaxy& g, Gadget4Run&) { g.darkMatter = DarkMatterModel::Sphere; }, dir},
        {"rigid NFW dark-matter halo", [](CGalaxy& g, Gadget4Run&) { g.darkMatter = DarkMatterModel::NFW; }, dir},
        {"rigid bulge", [](CGalaxy& g, Gadget4Run&) { g.bulgeMass = 1e10; }, dir},
        {"softening length greater than 0", [](CGalaxy& g, Gadget4Run&) { g.shieldModifier = 0.0; }, dir},
        {"no stars", [](CGalaxy& g, Gadget4Run&) { ASSERT_TRUE(installStars(g, {})); }, dir},
        {"no star has a mass", [](CGalaxy& g, Gadget4Run&) { g.mass[0] = g.mass[1] = 0.0; }, dir},
        {"no folder given", [](CGalaxy&, Gadget4Run&) {}, ""},
        {"No such file or directory", [](CGalaxy&, Gadget4Run&) {}, scratch.path() / "missing" / "run"},
        {"it is not a folder", [](CGalaxy&, Gadget4Run&) {}, scratch.path() / "file"},
    };
    std::ofstream(scratch.path() / "file") << "a file\n";
    for (const Case& c : cases) {
        CGalaxy g;
        ASSERT_TRUE(installStars(g, {{400, 1, 0, 0}, {400, -1, 0, 0}}));
        g.time = 8.0;
        Gadget4Run run{808.0, 10};  // 100 steps of 8
        c.change(g, run);
        const Gadget4ExportStatus status = exportForGadget4(g, c.folder, run);
        EXPECT_NE(status.message.find(c.why), std::string::npos) << c.why << ": " << status.message;
        EXPECT_EQ(scratch.entries(), std::vector<std::string>{"file"}) << c.why;
        EXPECT_EQ(readText(scratch.path() / "file"), "a file\n");
    }
}

// A softened galaxy hands GADGET-4 its own epsilon, whatever the shield says,
// and its force error target as the relative criterion.
TEST(Gadget4Export, ASoftenedGalaxyKeepsItsEpsilonAndItsTreeTarget) {
    struct Case {
        int softening;
        double forceError;
        const char* criterion;
        const char* says;
    };
    for (const Case& c : {Case{Softening::Spline, 1e-3, "1", "the same force law"},
                          Case{Softening::Plummer, 0.0, "0", "in place of Plummer's law"}}) {
        ScratchDir scratch;
        CGalaxy g;
        ASSERT_TRUE(installStars(g, {{400, 1, 0, 0}, {400, -1, 0, 0}}));
        g.softening = c.softening;
        g.epsilon = 0.125;
        g.forceError = c.forceError;
        g.openingAngle = 0.6;
        g.shieldModifier = 0.0;  // no shield radius, which a softening does not need
        const fs::path dir = scratch.path() / "run";
        const Gadget4ExportStatus status = exportForGadget4(g, dir, {g.time + 100.0, 2});
        ASSERT_TRUE(status.ok()) << status.message;
        const auto params = readParameters(dir / "param.txt");
        for (int k = 0; k < 6; ++k) EXPECT_EQ(params.at("SofteningComovingClass" + std::to_string(k)).at(0), "0.125");
        EXPECT_EQ(params.at("TypeOfOpeningCriterion").at(0), c.criterion);
        EXPECT_EQ(params.at(c.forceError > 0.0 ? "ErrTolForceAcc" : "ErrTolTheta").at(0),
                  c.forceError > 0.0 ? "0.001" : "0.6");
        EXPECT_NE(readText(dir / "README.txt").find(c.says), std::string::npos) << readText(dir / "README.txt");
    }
}
