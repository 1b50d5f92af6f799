#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/cli/sim_runner.h"

namespace {

const std::string kData = ZYR_DATA_DIR;

struct Sample {
    const char* file;
    int stars;
    std::vector<std::string> extra;  // what the README says to run it with
};

}  // namespace

TEST(SampleGalaxies, EveryOneLoadsAndRuns) {
    const Sample samples[] = {
        {"two-star-orbit.zyr", 2, {}},
        {"sun-and-earth.zyr", 2, {"--dt", "1"}},
        {"colliding-discs.zyr", 600, {"--dt", "2"}},
        {"disc-in-halo.zyr", 400, {"--dark-matter", "sphere"}},
        {"plummer.hdf5", 8192, {}},
        {"milky-way-like.hdf5", 26624, {}},
    };
    for (const Sample& sample : samples) {
        TempDir dir;
        std::vector<std::string> args = {"--load", kData + "/" + sample.file, "--steps", "5", "--state",
                                          dir.path("state.csv")};
        args.insert(args.end(), sample.extra.begin(), sample.extra.end());
        const SimRun run = runSim(dir, args);
        ASSERT_EQ(run.status, 0) << sample.file << ": " << run.err;
        const CsvTable state = readCsv(dir.path("state.csv"));
        EXPECT_EQ(state.rows.size(), static_cast<std::size_t>(sample.stars)) << sample.file;
        for (const auto& row : state.rows)
            for (const auto& field : row) ASSERT_TRUE(std::isfinite(toNumber(field))) << sample.file;
    }
}

TEST(SampleGalaxies, TheTwoStarOrbitClosesAfterOnePeriod) {
    // 4462 days at a step of 8: the pair comes back to where it started.
    TempDir dir;
    const SimRun run = runSim(dir, {"--load", kData + "/two-star-orbit.zyr", "--integrator", "rk4", "--steps", "558",
                                    "--state", dir.path("state.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const CsvTable state = readCsv(dir.path("state.csv"));
    ASSERT_EQ(state.rows.size(), 2u);
    EXPECT_NEAR(toNumber(state.rows[0][2]), 20.0, 0.01);
    EXPECT_NEAR(toNumber(state.rows[0][3]), 0.0, 0.1);
}
