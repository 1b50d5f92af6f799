#include "io/galaxy_file.h"
#include "tests/support/galaxy_builder.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Star {
    double mass, x, y, z, vx, vy, vz;
    int color;
};

void install(CGalaxy& galaxy, const std::vector<Star>& stars, int scale = UnitScale::Galactic) {
    std::vector<double> m, x, y, z, vx, vy, vz;
    std::vector<int> c;
    for (const Star& s : stars) {
        m.push_back(s.mass);
        x.push_back(s.x);
        y.push_back(s.y);
        z.push_back(s.z);
        vx.push_back(s.vx);
        vy.push_back(s.vy);
        vz.push_back(s.vz);
        c.push_back(s.color);
    }
    Vec3Arrays p, v;
    p.view(x.data(), y.data(), z.data());
    v.view(vx.data(), vy.data(), vz.data());
    galaxy.scaleSetting = scale;
    ASSERT_TRUE(galaxy.reset(static_cast<int>(stars.size()), p, v, m.data(), c.data()));
}

const std::vector<Star> kTwoStars = {{400.0, 1.25, -0.5, 0.0, 0.01, 0.02, 0.0, 0},
                                     {400.0, -1.25, 0.5, 0.0, -0.01, -0.02, 0.0, 3}};

const char kTwoStarFile[] =
    "//Quasarix Version  2.000000 \r\n"
    "Scale: Galactic \r\n"
    "2 \r\n"
    "400.000000 1.250000 -0.500000 0.000000 0.010000 0.020000 0.000000 0 \r\n"
    "400.000000 -1.250000 0.500000 0.000000 -0.010000 -0.020000 0.000000 3 \r\n";

std::string header(const std::string& count) { return "//Quasarix Version  2.000000\nScale: Galactic\n" + count + "\n"; }

GalaxyFileData parseOk(const std::string& text) {
    CGalaxy names;
    GalaxyFileData data;
    const GalaxyFileStatus status = parseGalaxyText(text, names.scaleName, data);
    EXPECT_TRUE(status.ok()) << status.message;
    return data;
}

std::vector<double> starValues(const GalaxyFileData& d, int i) {
    return {d.mass[i], d.x[i], d.y[i], d.z[i], d.vx[i], d.vy[i], d.vz[i], double(d.color[i])};
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class GalaxyFileTest : public ::testing::Test {
protected:
    std::vector<std::string> entries() const { return scratch_.entries(); }

    ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

}  // namespace

TEST(GalaxyFileFormat, WritesTheTwoStarExampleByteForByte) {
    CGalaxy galaxy;
    install(galaxy, kTwoStars);
    EXPECT_EQ(formatGalaxyFile(galaxy), kTwoStarFile);
}

TEST(GalaxyFileFormat, WritesNumbersLikePercentFAndNamesTheScale) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CGalaxy galaxy;
    install(galaxy,
            {{0.0000004, 123.5, 2.5e9, -1.25, 0.00001, 400.0, -0.0, 7},
             {nan, std::copysign(nan, -1.0), inf, -inf, -0.0000004, 1e20, 0.0000005, 5}},
            UnitScale::EarthSun);
    EXPECT_EQ(formatGalaxyFile(galaxy),
              "//Quasarix Version  2.000000 \r\nScale: Earth-Sun \r\n2 \r\n"
              "0.000000 123.500000 2500000000.000000 -1.250000 0.000010 400.000000 -0.000000 7 \r\n"
              "nan -nan inf -inf -0.000000 100000000000000000000.000000 0.000000 5 \r\n");

    install(galaxy, {}, UnitScale::SolarSystem);
    EXPECT_EQ(formatGalaxyFile(galaxy), "//Quasarix Version  2.000000 \r\nScale: Solar System \r\n0 \r\n");
}

TEST(GalaxyFileParse, AcceptsLineEndsBlanksTabsAndAnyDecimalNotation) {
    const GalaxyFileData crlf = parseOk(kTwoStarFile);
    ASSERT_EQ(crlf.count(), 2);
    EXPECT_EQ(starValues(crlf, 1), (std::vector<double>{400.0, -1.25, 0.5, 0.0, -0.01, -0.02, 0.0, 3}));

    std::string lf = kTwoStarFile;
    std::erase(lf, '\r');
    const GalaxyFileData lfData = parseOk(lf);
    ASSERT_EQ(lfData.count(), 2);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(starValues(lfData, i), starValues(crlf, i));

    const GalaxyFileData spaced = parseOk(header("\t 1") + "\t4e2   +1.25E+0\t\t-5E-1 .0 1e-2 +0.02 0. \t 6\r\r\n");
    ASSERT_EQ(spaced.count(), 1);
    EXPECT_EQ(starValues(spaced, 0), (std::vector<double>{400.0, 1.25, -0.5, 0.0, 0.01, 0.02, 0.0, 6}));
}

TEST(GalaxyFileParse, ScaleIsTheLastTableEntryTheLineContains) {
    const std::pair<const char*, int> cases[] = {
        {"Scale: Galactic ", UnitScale::Galactic},
        {"Scale: Solar System", UnitScale::SolarSystem},
        {"Scale: Earth-Sun", UnitScale::EarthSun},
        {"Scale: Solar System and Earth-Sun", UnitScale::EarthSun},
        {"Scale: Earth-Sun, Solar System, Galactic", UnitScale::EarthSun},
        {"Scale: galactic solar system", UnitScale::Galactic},
        {"Scale: Galactic Solar System", UnitScale::SolarSystem},
        {"", UnitScale::Galactic},
    };
    for (const auto& [line, scale] : cases) {
        EXPECT_EQ(parseOk(std::string("header\n") + line + "\n0\n").scale, scale) << line;
    }
}

TEST(GalaxyFileParse, ShortAndSurplusLinesKeepDefaults) {
    const GalaxyFileData d = parseOk(header("4") +
                                     "5 1 2\n"
                                     "1 2 3 4 5 6 7\n"
                                     "\n"
                                     "1 2 abc 4 5 6 7 3");  // no line end after the last star
    ASSERT_EQ(d.count(), 4);
    EXPECT_EQ(starValues(d, 0), (std::vector<double>{5, 1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(starValues(d, 1), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 0}));
    EXPECT_EQ(starValues(d, 2), (std::vector<double>(8, 0.0)));
    EXPECT_EQ(starValues(d, 3), (std::vector<double>{1, 2, 0, 0, 0, 0, 0, 0}));

    const GalaxyFileData surplus = parseOk(header("1") + "1 2 3 4 5 6 7 2\n9 9 9 9 9 9 9 4\ngarbage\n");
    ASSERT_EQ(surplus.count(), 1);
    EXPECT_EQ(starValues(surplus, 0), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 2}));

    // "%d" reads the leading integer of the count line
    EXPECT_EQ(parseOk(header(" +2.9 stars") + "1\n2\n").count(), 2);
    EXPECT_EQ(parseOk(header("0")).count(), 0);
}

TEST(GalaxyFileParse, ColoursOutsideTheTableBecomeWhite) {
    const std::pair<const char*, int> cases[] = {{"7", 7},  {"3.7", 3}, {"+4", 4}, {"8", 0},
                                                 {"-1", 0}, {"abc", 0}, {"99999999999999999999999", 0}};
    for (const auto& [field, color] : cases) {
        const GalaxyFileData d = parseOk(header("1") + "1 0 0 0 0 0 0 " + field + "\n");
        ASSERT_EQ(d.count(), 1);
        EXPECT_EQ(d.color[0], color) << field;
    }
}

TEST(GalaxyFileParse, NonFiniteFieldsEndTheLine) {
    const GalaxyFileData d = parseOk(header("5") +
                                     "nan 1 2 3 4 5 6 3\n"
                                     "1 inf 2 3 4 5 6 3\n"
                                     "1 2 -infinity 3 4 5 6 3\n"
                                     "1 2 3 1e999 4 5 6 3\n"
                                     "1 2 3 4 5 6 NAN(1) 3\n");
    ASSERT_EQ(d.count(), 5);
    EXPECT_EQ(starValues(d, 0), (std::vector<double>(8, 0.0)));
    EXPECT_EQ(starValues(d, 1), (std::vector<double>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(starValues(d, 2), (std::vector<double>{1, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(starValues(d, 3), (std::vector<double>{1, 2, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(starValues(d, 4), (std::vector<double>{1, 2, 3, 4, 5, 6, 0, 0}));
}

// A count beyond the lines present never makes up stars: a file of a few
// bytes must not claim gigabytes. The stars present load, with a warning.
TEST(GalaxyFileParse, ACountBeyondTheLinesPresentGivesTheStarsPresentAndAWarning) {
    const struct {
        std::string count, lines;
        int stars;
    } rows[] = {
        {"5", "1 0 0 0 0 0 0 2\n\n3 0 0 0 0 0 0 4\n", 3},
        {"3000000", "1 0 0 0 0 0 0 2\n", 1},
        {"99999999999999999999999", "1 0 0 0 0 0 0 2\r\n7 0 0 0 0 0 0 1", 2},
    };
    CGalaxy names;
    for (const auto& row : rows) {
        GalaxyFileData d;
        const GalaxyFileStatus status = parseGalaxyText(header(row.count) + row.lines, names.scaleName, d);
        ASSERT_TRUE(status.ok()) << status.message;
        ASSERT_EQ(d.count(), row.stars) << row.count;
        EXPECT_EQ(d.color[0], 2);
        EXPECT_NE(status.warning.find("ends after " + std::to_string(row.stars) + " star line"), std::string::npos)
            << status.warning;
    }
    GalaxyFileData d;
    EXPECT_TRUE(parseGalaxyText(header("2") + "1 0 0 0 0 0 0 2\n4 0 0 0 0 0 0 1\n", names.scaleName, d)
                    .warning.empty());
}

TEST(GalaxyFileParse, BadCountsFailAndLeaveTheOutputAlone) {
    const std::pair<std::string, GalaxyFileError> cases[] = {
        {"", GalaxyFileError::BadCount},
        {"//Quasarix Version  2.000000\nScale: Galactic\n", GalaxyFileError::BadCount},
        {header(""), GalaxyFileError::BadCount},
        {header("abc"), GalaxyFileError::BadCount},
        {header("- 3"), GalaxyFileError::BadCount},
        {header("-3"), GalaxyFileError::BadCount},
        {header("3000000"), GalaxyFileError::BadCount},  // no star line at all
    };
    CGalaxy names;
    for (const auto& [text, error] : cases) {
        GalaxyFileData out;
        out.mass = {42.0};
        const GalaxyFileStatus status = parseGalaxyText(text, names.scaleName, out);
        EXPECT_EQ(status.error, error) << text;
        EXPECT_FALSE(status.message.empty());
        EXPECT_EQ(out.mass, std::vector<double>{42.0});
    }
}

TEST_F(GalaxyFileTest, RoundTripKeepsStarsToSixDecimalsAndTheScale) {
    CGalaxy saved;
    install(saved,
            {{1.23456789, -2.5e-7, 3.0, -4.9999996, 1e6, -0.001, 0.5, 6}, {7.0, 8.0, 9.0, 10.0, 11.0, 12.0, 13.0, 1},
             {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 7}},
            UnitScale::EarthSun);
    const fs::path file = dir_ / "round.zyr";
    const GalaxyFileStatus saveStatus = saveGalaxyFile(saved, file.string());
    ASSERT_TRUE(saveStatus.ok()) << saveStatus.message;

    CGalaxy loaded;
    install(loaded, kTwoStars, UnitScale::SolarSystem);
    loaded.time = 99.0;
    const GalaxyFileStatus loadStatus = loadGalaxyFile(loaded, file.string());
    ASSERT_TRUE(loadStatus.ok()) << loadStatus.message;

    ASSERT_EQ(loaded.numStars, 3);
    EXPECT_EQ(loaded.scale, UnitScale::EarthSun);
    EXPECT_EQ(loaded.scaleSetting, UnitScale::SolarSystem);
    EXPECT_EQ(loaded.boxSize, 4.0);  // the Earth-Sun units are in force, not just the index
    EXPECT_EQ(loaded.time, 0.0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.color[i], saved.color[i]);
        const double a[] = {loaded.mass[i], loaded.pos.x[i], loaded.pos.y[i], loaded.pos.z[i],
                            loaded.vel.x[i], loaded.vel.y[i], loaded.vel.z[i]};
        const double b[] = {saved.mass[i], saved.pos.x[i], saved.pos.y[i], saved.pos.z[i],
                            saved.vel.x[i], saved.vel.y[i], saved.vel.z[i]};
        for (int k = 0; k < 7; ++k) EXPECT_NEAR(a[k], b[k], 5e-7) << "star " << i << " field " << k;
    }
    EXPECT_EQ(loaded.mass[0], 1.234568);
    EXPECT_EQ(loaded.pos.x[0], 0.0);
    EXPECT_EQ(loaded.pos.z[0], -5.0);

    // and an empty galaxy round-trips to an empty one
    install(saved, {});
    ASSERT_TRUE(saveGalaxyFile(saved, file.string()).ok());
    ASSERT_TRUE(loadGalaxyFile(loaded, file.string()).ok());
    EXPECT_EQ(loaded.numStars, 0);
}

TEST_F(GalaxyFileTest, FailedLoadsLeaveTheGalaxyUnchanged) {
    CGalaxy galaxy;
    install(galaxy, kTwoStars, UnitScale::SolarSystem);

    const std::pair<std::string, GalaxyFileError> cases[] = {
        {(dir_ / "missing.zyr").string(), GalaxyFileError::CannotOpen},
        {dir_.string(), GalaxyFileError::NotAFile},
        {(dir_ / "fifo.zyr").string(), GalaxyFileError::NotAFile},  // would wait for a writer
        {(dir_ / "negative.zyr").string(), GalaxyFileError::BadCount},
        {(dir_ / "huge.zyr").string(), GalaxyFileError::BadCount},  // claims stars it does not hold
    };
    ASSERT_EQ(::mkfifo((dir_ / "fifo.zyr").c_str(), 0600), 0);
    writeText(dir_ / "negative.zyr", header("-1"));
    writeText(dir_ / "huge.zyr", header("1000000000000"));
    for (const auto& [path, error] : cases) {
        const GalaxyFileStatus status = loadGalaxyFile(galaxy, path);
        EXPECT_EQ(status.error, error) << path;
        EXPECT_NE(status.message.find(path), std::string::npos) << status.message;
        ASSERT_EQ(galaxy.numStars, 2);
        EXPECT_EQ(galaxy.pos.x[1], -1.25);
        EXPECT_EQ(galaxy.color[1], 3);
        EXPECT_EQ(galaxy.scale, UnitScale::SolarSystem);
    }
}

TEST_F(GalaxyFileTest, ReadOnlyFileLoadsAndIsNeverOpenedForWriting) {
    const fs::path file = dir_ / "sample.zyr";
    writeText(file, kTwoStarFile);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

    // Root may write a 0444 file anyway, so also watch how the reader opens
    // it: a descriptor opened for writing reports IN_CLOSE_WRITE when closed.
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const bool watching = watcher >= 0 && ::inotify_add_watch(watcher, file.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) >= 0;

    CGalaxy galaxy;
    const GalaxyFileStatus status = loadGalaxyFile(galaxy, file.string());
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(galaxy.numStars, 2);

    if (watching) {
        alignas(inotify_event) char buf[4096];
        std::uint32_t seen = 0;
        for (ssize_t n; (n = ::read(watcher, buf, sizeof buf)) > 0;) {
            for (char* p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len) {
                seen |= reinterpret_cast<inotify_event*>(p)->mask;
            }
        }
        EXPECT_TRUE(seen & IN_CLOSE_NOWRITE);
        EXPECT_FALSE(seen & IN_CLOSE_WRITE);
    }
    if (watcher >= 0) ::close(watcher);
}

TEST_F(GalaxyFileTest, SaveReplacesAnExistingFileKeepingItsMode) {
    CGalaxy galaxy;
    install(galaxy, kTwoStars);

    const fs::path existing = dir_ / "existing.zyr";
    writeText(existing, "old contents that are longer than nothing\n");
    ASSERT_EQ(::chmod(existing.c_str(), 0640), 0);
    ASSERT_TRUE(saveGalaxyFile(galaxy, existing.string()).ok());
    EXPECT_EQ(readText(existing), kTwoStarFile);
    EXPECT_EQ(fs::status(existing).permissions(), fs::perms(0640));

    const mode_t mask = ::umask(022);
    const fs::path fresh = dir_ / "fresh.zyr";
    const bool saved = saveGalaxyFile(galaxy, fresh.string()).ok();
    ::umask(mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(fs::status(fresh).permissions(), fs::perms(0644));

    // through a link the linked file is updated and the link stays a link
    fs::create_symlink("existing.zyr", dir_ / "link.zyr");
    install(galaxy, {});
    ASSERT_TRUE(saveGalaxyFile(galaxy, (dir_ / "link.zyr").string()).ok());
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.zyr"));
    EXPECT_EQ(readText(existing), formatGalaxyFile(galaxy));

    EXPECT_EQ(entries(), (std::vector<std::string>{"existing.zyr", "fresh.zyr", "link.zyr"}));
}

TEST_F(GalaxyFileTest, FailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    CGalaxy galaxy;
    install(galaxy, kTwoStars);
    const fs::path existing = dir_ / "existing.zyr";
    const std::string old = "the previous galaxy, which must survive\n";
    writeText(existing, old);

    // A file size limit makes the writes themselves fail, for root as well.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const GalaxyFileStatus status = saveGalaxyFile(galaxy, existing.string());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(status.error, GalaxyFileError::CannotCreate);
    EXPECT_NE(status.message.find("existing.zyr"), std::string::npos) << status.message;
    EXPECT_EQ(readText(existing), old);

    // a directory in the way makes the final rename fail
    fs::create_directory(dir_ / "taken.zyr");
    EXPECT_EQ(saveGalaxyFile(galaxy, (dir_ / "taken.zyr").string()).error, GalaxyFileError::CannotCreate);
    EXPECT_EQ(saveGalaxyFile(galaxy, (dir_ / "no" / "such.zyr").string()).error, GalaxyFileError::CannotCreate);
    // nothing but a regular file is written over
    ASSERT_EQ(::mkfifo((dir_ / "fifo.zyr").c_str(), 0600), 0);
    EXPECT_EQ(saveGalaxyFile(galaxy, (dir_ / "fifo.zyr").string()).error, GalaxyFileError::CannotCreate);
    // and a galaxy that is no longer finite would load back as another one
    galaxy.vel.y[1] = std::numeric_limits<double>::quiet_NaN();
    const GalaxyFileStatus notFinite = saveGalaxyFile(galaxy, existing.string());
    EXPECT_EQ(notFinite.error, GalaxyFileError::NotFinite);
    EXPECT_NE(notFinite.message.find("star 1 "), std::string::npos) << notFinite.message;
    EXPECT_EQ(readText(existing), old);

    EXPECT_EQ(entries(), (std::vector<std::string>{"existing.zyr", "fifo.zyr", "taken.zyr"}));
}

namespace {

// Switches the whole process to a locale with a decimal comma for one test.
class CommaLocale {
public:
    CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
        if (use("de_DE.UTF-8")) return;
        if (FILE* list = ::popen("locale -a 2>/dev/null", "r")) {
            char name[256];
            while (std::fgets(name, sizeof name, list)) {
                name[std::strcspn(name, "\n")] = '\0';
                if (use(name)) break;
            }
            ::pclose(list);
        }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

    const std::string& name() const { return name_; }

private:
    bool use(const char* name) {
        if (!std::setlocale(LC_ALL, name)) return false;
        if (std::string(std::localeconv()->decimal_point) == ",") {
            name_ = name;
            return true;
        }
        std::setlocale(LC_ALL, previous_.c_str());
        return false;
    }

    std::string previous_;
    std::string name_;
};

}  // namespace

TEST_F(GalaxyFileTest, CommaLocaleChangesNoByte) {
    CGalaxy galaxy;
    install(galaxy, kTwoStars);
    const fs::path file = dir_ / "german.zyr";

    const CommaLocale locale;
    if (locale.name().empty()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << locale.name();

    EXPECT_EQ(formatGalaxyFile(galaxy), kTwoStarFile);
    ASSERT_TRUE(saveGalaxyFile(galaxy, file.string()).ok());
    EXPECT_EQ(readText(file), kTwoStarFile);

    CGalaxy loaded;
    ASSERT_TRUE(loadGalaxyFile(loaded, file.string()).ok());
    ASSERT_EQ(loaded.numStars, 2);
    EXPECT_EQ(loaded.pos.x[0], 1.25);
    EXPECT_EQ(loaded.vel.y[1], -0.02);
    EXPECT_EQ(loaded.color[1], 3);
}

TEST(GalaxyFileMerge, AddsTheFilesStarsShiftedAndKeepsTheGalaxyGoing) {
    const ScratchDir scratch;
    const std::string dir = scratch.path().string();
    CGalaxy other;
    other.scaleSetting = UnitScale::EarthSun;  // the merge keeps the galaxy's own scale
    ASSERT_TRUE(installStars(other, {{7, 1, 2, 3, 0.5, 0, -0.5, 4}, {8, -1, 0, 0, 0, 0.25, 0, 6}}));
    ASSERT_TRUE(saveGalaxyFile(other, dir + "/other.zyr").ok());

    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{400, 0.125, 0, 0, 0, 0.5, 0, 1}}));
    g.time = 96.0;
    g.orientation = Quaternion(0, 0, 1, 0);
    const double offset[3] = {10, -20, 0.5}, velocity[3] = {-0.25, 0, 1};
    ASSERT_TRUE(mergeGalaxyFile(g, dir + "/other.zyr", offset, velocity).ok());
    ASSERT_EQ(g.numStars, 3);
    EXPECT_EQ(g.mass[0], 400.0);
    EXPECT_EQ(g.pos.x[0], 0.125);
    EXPECT_EQ(g.color[0], 1);
    EXPECT_EQ(g.mass[1], 7.0);
    EXPECT_EQ(g.pos.x[1], 11.0);
    EXPECT_EQ(g.pos.y[1], -18.0);
    EXPECT_EQ(g.pos.z[1], 3.5);
    EXPECT_EQ(g.vel.x[1], 0.25);
    EXPECT_EQ(g.vel.z[1], 0.5);
    EXPECT_EQ(g.pos.x[2], 9.0);
    EXPECT_EQ(g.vel.y[2], 0.25);
    EXPECT_EQ(g.color[2], 6);
    EXPECT_EQ(g.scale, UnitScale::Galactic);
    EXPECT_EQ(g.time, 96.0);
    EXPECT_EQ(g.orientation.y, 1.0);

    // a file that cannot be read changes nothing, nor does an offset that
    // takes a star beyond the largest double
    EXPECT_EQ(mergeGalaxyFile(g, dir + "/missing.zyr", offset, velocity).error, GalaxyFileError::CannotOpen);
    std::ofstream(dir + "/far.zyr") << "x\nScale: Galactic\n1\n1 1e308 0 0 0 0 0 1\n";
    const double far[3] = {1e308, 0, 0};
    EXPECT_EQ(mergeGalaxyFile(g, dir + "/far.zyr", far, velocity).error, GalaxyFileError::NotFinite);
    EXPECT_EQ(g.numStars, 3);
}
