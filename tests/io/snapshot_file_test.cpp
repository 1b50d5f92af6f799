#include "io/any_galaxy_file.h"
#include "tests/support/galaxy_builder.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>

#include <hdf5.h>

namespace fs = std::filesystem;

namespace {

// Numbers a six-decimal text file would lose, and every colour.
const std::vector<TestStar> kStars = {
    {1.0 / 3.0, 1e-300, -0.0, 2.5e9, 0.000016, -1.0 / 7.0, 1e-17, 0}, {2.0, 1.0, 2.0, 3.0, 0.1, 0.2, 0.3, 1},
    {3.0, -4.0, 5.0, -6.0, 0.0, 0.0, 0.0, 2},  {4.0, 7.0, 8.0, 9.0, -0.5, 0.5, 0.25, 3},
    {5.0, 0.1, 0.2, 0.3, 1.0, 1.0, 1.0, 4},      {6.0, -0.1, -0.2, -0.3, 2.0, 2.0, 2.0, 5},
    {7.0, 11.0, 12.0, 13.0, 3.0, 3.0, 3.0, 6},   {8.0, -11.0, -12.0, -13.0, 4.0, 4.0, 4.0, 7}};

void expectSameStars(const CGalaxy& a, const CGalaxy& b) {
    ASSERT_EQ(a.numStars, b.numStars);
    for (int i = 0; i < a.numStars; ++i) {
        const double ours[] = {a.mass[i], a.pos.x[i], a.pos.y[i], a.pos.z[i], a.vel.x[i], a.vel.y[i], a.vel.z[i]};
        const double theirs[] = {b.mass[i], b.pos.x[i], b.pos.y[i], b.pos.z[i], b.vel.x[i], b.vel.y[i], b.vel.z[i]};
        // Bit for bit: -0.0 stays -0.0.
        EXPECT_EQ(std::memcmp(ours, theirs, sizeof ours), 0) << "star " << i;
        EXPECT_EQ(a.color[i], b.color[i]) << "star " << i;
    }
}

// Changes a written snapshot in place, as other writers or damage would.
class Editor {
public:
    explicit Editor(const fs::path& path) : file_(H5Fopen(path.c_str(), H5F_ACC_RDWR, H5P_DEFAULT)) {}
    ~Editor() { H5Fclose(file_); }

    void attribute(const char* object, const char* name, hid_t type, const void* data, hsize_t count) {
        if (H5Aexists_by_name(file_, object, name, H5P_DEFAULT) > 0)
            H5Adelete_by_name(file_, object, name, H5P_DEFAULT);
        const hid_t space = H5Screate_simple(1, &count, nullptr);
        const hid_t attr = H5Acreate_by_name(file_, object, name, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        H5Awrite(attr, type, data);
        H5Aclose(attr);
        H5Sclose(space);
    }
    void dataset(const char* path, hid_t type, const void* data, std::vector<hsize_t> dims) {
        remove(path);
        const hid_t space = H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr);
        const hid_t set = H5Dcreate2(file_, path, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        // Without data the dataset has a shape but no values.
        if (data) H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data);
        H5Dclose(set);
        H5Sclose(space);
    }
    void remove(const char* path) {
        if (H5Lexists(file_, path, H5P_DEFAULT) > 0) H5Ldelete(file_, path, H5P_DEFAULT);
    }
    void removeAttributes(const char* object, std::initializer_list<const char*> names) {
        for (const char* name : names) H5Adelete_by_name(file_, object, name, H5P_DEFAULT);
    }

private:
    hid_t file_;
};

void counts(Editor& e, unsigned type1) {
    const unsigned n[6] = {0, type1, 0, 0, 0, 0};
    e.attribute("Header", "NumPart_ThisFile", H5T_NATIVE_UINT, n, 6);
    e.attribute("Header", "NumPart_Total", H5T_NATIVE_UINT, n, 6);
}

class SnapshotFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        galaxy_.scaleSetting = UnitScale::EarthSun;
        ASSERT_TRUE(installStars(galaxy_, kStars));
        galaxy_.time = 1234.5678901234567;
        galaxy_.timeStep = 0.0625;
        galaxy_.integrationMethod = IntegrationMethod::Leapfrog;
        galaxy_.forceMethod = ForceMethod::BarnesHut;
        galaxy_.shieldModifier = 3.5;
        galaxy_.softening = Softening::Spline;
        galaxy_.epsilon = 0.02;
        galaxy_.openingAngle = 0.6;
        galaxy_.forceError = 3e-4;
    }
    std::vector<std::string> entries() const { return scratch_.entries(); }
    fs::path saved(const char* name) {
        const fs::path path = dir_ / name;
        EXPECT_TRUE(saveAnyGalaxyFile(galaxy_, path).ok());
        return path;
    }

    ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
    CGalaxy galaxy_;
};

}  // namespace

TEST_F(SnapshotFileTest, RoundTripKeepsEveryBitTheTimeTheScaleAndTheSettings) {
    galaxy_.darkMatter = DarkMatterModel::NFW;
    galaxy_.haloMass = 7e11;
    galaxy_.haloRadius = 30.0;
    galaxy_.haloConcentration = 12.5;
    galaxy_.bulgeMass = 2e10;
    galaxy_.bulgeRadius = 1.5;
    galaxy_.setBox(73.8);
    galaxy_.hideColor[StarColor::Purple] = 1;
    const fs::path path = saved("galaxy.hdf5");
    EXPECT_EQ(entries(), std::vector<std::string>{"galaxy.hdf5"});
    CGalaxy loaded;
    ASSERT_TRUE(loadAnyGalaxyFile(loaded, path).ok());
    expectSameStars(galaxy_, loaded);
    EXPECT_EQ(loaded.time, galaxy_.time);
    EXPECT_EQ(loaded.scale, UnitScale::EarthSun);
    EXPECT_EQ(loaded.gravity, galaxy_.gravity);
    EXPECT_EQ(loaded.timeStep, 0.0625);
    EXPECT_EQ(loaded.integrationMethod, IntegrationMethod::Leapfrog);
    EXPECT_EQ(loaded.forceMethod, ForceMethod::BarnesHut);
    EXPECT_EQ(loaded.shieldModifier, 3.5);
    EXPECT_EQ(loaded.softening, Softening::Spline);
    EXPECT_EQ(loaded.epsilon, 0.02);
    EXPECT_EQ(loaded.openingAngle, 0.6);
    EXPECT_EQ(loaded.forceError, 3e-4);
    EXPECT_EQ(loaded.darkMatter, DarkMatterModel::NFW);
    EXPECT_EQ(loaded.haloMass, 7e11);
    EXPECT_EQ(loaded.haloRadius, 30.0);
    EXPECT_EQ(loaded.haloConcentration, 12.5);
    EXPECT_EQ(loaded.bulgeMass, 2e10);
    EXPECT_EQ(loaded.bulgeRadius, 1.5);
    // The box, and the camera that frames it, are the file's and not the scale's.
    EXPECT_EQ(loaded.boxSize, 73.8);
    EXPECT_EQ(loaded.viewDistance, 738.0);
    for (int c = 0; c < kStarColorCount; ++c) EXPECT_EQ(loaded.hideColor[c], c == StarColor::Purple) << c;
    // The settings for the next New Galaxy stay as they were.
    EXPECT_EQ(loaded.scaleSetting, UnitScale::Galactic);
    EXPECT_EQ(loaded.integrationSetting, CGalaxy().integrationSetting);

    // Saved again, it gives the same bytes: no time stamps, nothing lost.
    const fs::path again = dir_ / "again.hdf5";
    ASSERT_TRUE(saveAnyGalaxyFile(loaded, again).ok());
    const auto bytes = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(bytes(again), bytes(path));
}

TEST_F(SnapshotFileTest, StarsComeInParticleIdOrderWithMassesFromTheTableAndColoursByType) {
    const fs::path path = saved("galaxy.hdf5");
    {
        Editor e(path);
        std::vector<std::uint64_t> reversed(kStars.size());
        for (std::size_t i = 0; i < reversed.size(); ++i) reversed[i] = 100 - i;
        e.dataset("PartType1/ParticleIDs", H5T_NATIVE_UINT64, reversed.data(), {reversed.size()});
        e.remove("PartType1/Masses");
        const double table[6] = {0.0, 2.5, 0.0, 0.0, 0.0, 0.0};
        e.attribute("Header", "MassTable", H5T_NATIVE_DOUBLE, table, 6);
        // Without Zyr's data the file is another code's, in the units of /Units.
        e.remove("Zyr");
    }
    CGalaxy loaded;
    loaded.scale = UnitScale::EarthSun;
    loaded.setScale(UnitScale::EarthSun);
    ASSERT_TRUE(loadAnyGalaxyFile(loaded, path).ok());
    ASSERT_EQ(loaded.numStars, static_cast<int>(kStars.size()));
    for (int i = 0; i < loaded.numStars; ++i) {
        const int from = loaded.numStars - 1 - i;
        EXPECT_EQ(loaded.pos.x[i], galaxy_.pos.x[from]);
        EXPECT_EQ(loaded.vel.z[i], galaxy_.vel.z[from]);
        EXPECT_EQ(loaded.mass[i], 2.5);
        EXPECT_EQ(loaded.color[i], StarColor::White);
    }
}

TEST_F(SnapshotFileTest, StatedUnitsAreConvertedIntoTheCurrentScale) {
    galaxy_.scale = UnitScale::Galactic;
    galaxy_.setScale(UnitScale::Galactic);
    const fs::path path = saved("galaxy.hdf5");
    Editor(path).remove("Zyr");
    CGalaxy loaded;
    loaded.scale = UnitScale::SolarSystem;
    loaded.setScale(UnitScale::SolarSystem);
    ASSERT_TRUE(loadAnyGalaxyFile(loaded, path).ok());
    const double length = 9.46728e18 / 1.5e11, mass = 1.99e30 / 5.97e24, time = 3.15576e13 / 86400.0;
    const auto near = [](double a, double b) { return std::abs(a - b) <= 1e-14 * std::abs(b); };
    EXPECT_TRUE(near(loaded.pos.z[0], 2.5e9 * length));
    EXPECT_TRUE(near(loaded.vel.x[0], 0.000016 * length / time));
    EXPECT_TRUE(near(loaded.mass[1], 2.0 * mass));
    EXPECT_TRUE(near(loaded.time, galaxy_.time * time));
    EXPECT_EQ(loaded.scale, UnitScale::SolarSystem);
}

TEST_F(SnapshotFileTest, BadInputFailsWithAReasonAndLeavesTheGalaxyAlone) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        std::function<void(Editor&)> edit;
        const char* says;
    } rows[] = {
        {"no header", [](Editor& e) { e.remove("Header"); }, "no group /Header"},
        {"no coordinates", [](Editor& e) { e.remove("PartType1/Coordinates"); }, "no dataset /PartType1/Coordinates"},
        {"no masses and none in the table", [](Editor& e) { e.remove("PartType1/Masses"); }, "/PartType1/Masses"},
        {"counts disagree", [](Editor& e) { counts(e, 9); }, "not of shape 9 x 3"},
        {"total disagrees",
         [](Editor& e) {
             const unsigned n[6] = {0, 9, 0, 0, 0, 0};
             e.attribute("Header", "NumPart_Total", H5T_NATIVE_UINT, n, 6);
         },
         "/Header counts 9"},
        {"IDs are not integers",
         [](Editor& e) {
             const double ids[8] = {};
             e.dataset("PartType1/ParticleIDs", H5T_NATIVE_DOUBLE, ids, {8});
         },
         "ParticleIDs does not hold integers"},
        {"coordinates of two columns",
         [](Editor& e) {
             const double xy[16] = {};
             e.dataset("PartType1/Coordinates", H5T_NATIVE_DOUBLE, xy, {8, 2});
         },
         "Coordinates is not of shape 8 x 3"},
        {"a mass that is not a number",
         [nan](Editor& e) {
             const double m[8] = {1, 1, 1, nan, 1, 1, 1, 1};
             e.dataset("PartType1/Masses", H5T_NATIVE_DOUBLE, m, {8});
         },
         "infinite or not a number"},
        {"masses never written",
         [](Editor& e) { e.dataset("PartType1/Masses", H5T_NATIVE_DOUBLE, nullptr, {8}); },
         "fewer values than its shape says"},
        {"a cosmological run",
         [](Editor& e) {
             const double z = 2.0;
             e.attribute("Header", "Redshift", H5T_NATIVE_DOUBLE, &z, 1);
         },
         "cosmological"},
        {"a colour out of range",
         [](Editor& e) {
             const std::uint8_t c[8] = {0, 1, 2, 3, 4, 5, 6, 9};
             e.dataset("Zyr/Colors", H5T_NATIVE_UINT8, c, {8});
         },
         "colour outside"},
        {"an unknown scale",
         [](Editor& e) {
             const int scale = 7;
             e.attribute("Zyr", "Scale", H5T_NATIVE_INT, &scale, 1);
         },
         "no known scale"},
        {"an NFW halo without its numbers",
         [](Editor& e) {
             const int nfw = DarkMatterModel::NFW;
             e.attribute("Zyr", "DarkMatter", H5T_NATIVE_INT, &nfw, 1);
             e.removeAttributes("Zyr", {"HaloMass", "HaloRadius", "HaloConcentration"});
         },
         "has no attribute HaloMass"},
        {"a halo radius of 0",
         [](Editor& e) {
             const double zero = 0.0;
             e.attribute("Zyr", "HaloRadius", H5T_NATIVE_DOUBLE, &zero, 1);
         },
         "no possible NFW or Hernquist halo"},
        {"a negative bulge",
         [](Editor& e) {
             const double mass = -1.0;
             e.attribute("Zyr", "BulgeMass", H5T_NATIVE_DOUBLE, &mass, 1);
         },
         "no possible bulge"},
        {"a box of no size",
         [](Editor& e) {
             const double zero = 0.0;
             e.attribute("Zyr", "BoxSize", H5T_NATIVE_DOUBLE, &zero, 1);
         },
         "box size"},
        {"a colour hidden twice",
         [](Editor& e) {
             const int hidden[kStarColorCount] = {0, 0, 2, 0, 0, 0, 0, 0};
             e.attribute("Zyr", "HiddenColors", H5T_NATIVE_INT, hidden, kStarColorCount);
         },
         "HiddenColors holds"},
        {"parts under a name without a number",
         [](Editor& e) {
             const int files = 2;
             e.attribute("Header", "NumFilesPerSnapshot", H5T_NATIVE_INT, &files, 1);
         },
         "does not end in .<part>.hdf5"},
    };
    CGalaxy target;
    ASSERT_TRUE(installStars(target, {{9.0, 1.0, 2.0, 3.0}}));
    target.time = 42.0;
    for (const auto& row : rows) {
        const fs::path path = dir_ / (std::string(row.name) + ".hdf5");
        ASSERT_TRUE(saveAnyGalaxyFile(galaxy_, path).ok());
        {
            Editor e(path);
            row.edit(e);
        }
        const GalaxyFileStatus status = loadAnyGalaxyFile(target, path);
        EXPECT_EQ(status.error, GalaxyFileError::BadSnapshot) << row.name;
        EXPECT_NE(status.message.find(path.string()), std::string::npos) << row.name << ": " << status.message;
        EXPECT_NE(status.message.find(row.says), std::string::npos) << row.name << ": " << status.message;
        EXPECT_EQ(target.numStars, 1) << row.name;
        EXPECT_EQ(target.mass[0], 9.0) << row.name;
        EXPECT_EQ(target.time, 42.0) << row.name;
    }
}

// Files written before the NFW and Hernquist halos, the rigid bulge and the
// box load as before: the halo's numbers stay the galaxy's, there is no
// bulge, and the scale's box shows every colour.
TEST_F(SnapshotFileTest, AnOlderFileWithoutTheRigidHaloBulgeAndBoxLoads) {
    galaxy_.setBox(73.8);
    galaxy_.hideColor[StarColor::Purple] = 1;
    const fs::path path = saved("older.hdf5");
    {
        Editor e(path);
        e.removeAttributes("Zyr", {"HaloMass", "HaloRadius", "HaloConcentration", "BulgeMass", "BulgeRadius",
                                   "BoxSize", "HiddenColors"});
    }
    CGalaxy loaded;
    loaded.haloMassSetting = 3e11;
    loaded.bulgeMassSetting = 1e10;
    ASSERT_TRUE(loadAnyGalaxyFile(loaded, path).ok());
    expectSameStars(galaxy_, loaded);
    EXPECT_EQ(loaded.darkMatter, DarkMatterModel::None);
    EXPECT_EQ(loaded.haloMass, 3e11);
    EXPECT_EQ(loaded.bulgeMass, 0.0);
    EXPECT_EQ(loaded.boxSize, 4.0);
    EXPECT_EQ(loaded.viewDistance, 40.0);
    EXPECT_EQ(loaded.hideColor[StarColor::Purple], 0);
}

TEST_F(SnapshotFileTest, FilesThatAreNoSnapshotsFailWithAReason) {
    const fs::path good = saved("good.hdf5");
    const std::uintmax_t size = fs::file_size(good);
    const fs::path text = dir_ / "text.hdf5", truncated = dir_ / "truncated.hdf5";
    std::ofstream(text) << "//Quasarix Version  2.000000 \r\n";
    fs::copy_file(good, truncated);
    fs::resize_file(truncated, size / 2);
    const struct {
        fs::path path;
        GalaxyFileError error;
        const char* says;
    } rows[] = {
        {text, GalaxyFileError::BadSnapshot, "not an HDF5 file"},
        {truncated, GalaxyFileError::BadSnapshot, "truncated"},
        {dir_ / "missing.hdf5", GalaxyFileError::BadSnapshot, "missing"},
        {dir_ / "galaxy.txt", GalaxyFileError::UnknownFormat, "must end in .zyr"},
    };
    for (const auto& row : rows) {
        CGalaxy target;
        const GalaxyFileStatus status = loadAnyGalaxyFile(target, row.path);
        EXPECT_EQ(status.error, row.error) << row.path;
        EXPECT_NE(status.message.find(row.says), std::string::npos) << status.message;
        EXPECT_EQ(target.numStars, CGalaxy().numStars);
    }
}

TEST_F(SnapshotFileTest, MultiFileSnapshotsJoinTheirPartsAndNeedEveryOne) {
    // Part 0 holds the stars of odd IDs, part 1 those of even IDs.
    CGalaxy halves[2];
    std::vector<TestStar> stars[2];
    for (std::size_t i = 0; i < kStars.size(); ++i) stars[i % 2].push_back(kStars[i]);
    for (int part = 0; part < 2; ++part) {
        ASSERT_TRUE(installStars(halves[part], stars[part]));
        const fs::path path = dir_ / ("snap." + std::to_string(part) + ".hdf5");
        ASSERT_TRUE(saveAnyGalaxyFile(halves[part], path).ok());
        Editor e(path);
        e.remove("Zyr");
        const int files = 2;
        e.attribute("Header", "NumFilesPerSnapshot", H5T_NATIVE_INT, &files, 1);
        const unsigned thisFile[6] = {0, 4, 0, 0, 0, 0}, total[6] = {0, 8, 0, 0, 0, 0};
        e.attribute("Header", "NumPart_ThisFile", H5T_NATIVE_UINT, thisFile, 6);
        e.attribute("Header", "NumPart_Total", H5T_NATIVE_UINT, total, 6);
        const std::uint64_t ids[4] = {1u + part, 3u + part, 5u + part, 7u + part};
        e.dataset("PartType1/ParticleIDs", H5T_NATIVE_UINT64, ids, {4});
    }
    CGalaxy loaded;
    ASSERT_TRUE(loadAnyGalaxyFile(loaded, dir_ / "snap.1.hdf5").ok());
    ASSERT_EQ(loaded.numStars, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(loaded.mass[i], kStars[i].m);
        EXPECT_EQ(loaded.pos.y[i], kStars[i].y);
    }

    fs::remove(dir_ / "snap.1.hdf5");
    const GalaxyFileStatus status = loadAnyGalaxyFile(loaded, dir_ / "snap.0.hdf5");
    EXPECT_EQ(status.error, GalaxyFileError::BadSnapshot);
    EXPECT_NE(status.message.find("part 1 of 2, " + (dir_ / "snap.1.hdf5").string() + ", is missing"),
              std::string::npos)
        << status.message;
    EXPECT_EQ(loaded.numStars, 8);
}

TEST_F(SnapshotFileTest, AFailedSaveKeepsTheOldFileAndLeavesNothingBehind) {
    const fs::path path = dir_ / "old.hdf5";
    std::ofstream(path) << "old";
    galaxy_.pos.y[3] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(saveAnyGalaxyFile(galaxy_, path).error, GalaxyFileError::NotFinite);
    EXPECT_EQ(saveAnyGalaxyFile(galaxy_, dir_ / "galaxy.dat").error, GalaxyFileError::UnknownFormat);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.hdf5"});
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
}
