// zyr-sim --replay: a series of snapshots, read one at a time, as the run.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_runner.h"

namespace {

using Args = std::vector<std::string>;

Args with(Args args, const Args& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

TEST(ZyrSimReplay, AReportRowAndFramePerSnapshotInNameOrder) {
    TempDir dir;
    // Each snapshot saved by a run of its own whose last CSV row describes
    // it; numbered so that only an order by value puts them right.
    std::vector<CsvTable> runs;
    std::string previous;
    for (const std::string number : {"8", "9", "10"}) {
        const std::string snapshot = dir.path("snap_" + number + ".hdf5"), csv = dir.path("run" + number + ".csv");
        const Args start = previous.empty() ? Args{"--stars", "16", "--seed", "5", "--steps", "0"}
                                            : Args{"--load", previous, "--steps", "4"};
        ASSERT_EQ(runSim(dir, with(start, {"--save", snapshot, "--csv", csv, "--quiet"})).status, 0);
        runs.push_back(readCsv(csv));
        previous = snapshot;
    }

    const std::string csv = dir.path("replay.csv"), frames = dir.path("frames");
    const SimRun run =
        runSim(dir, {"--replay", dir.path("snap_*.hdf5"), "--csv", csv, "--frames", frames, "--size", "32x24"});
    ASSERT_EQ(run.status, 0) << run.err;
    const CsvTable replay = readCsv(csv);
    EXPECT_EQ(replay.header, runs[0].header);
    ASSERT_EQ(replay.rows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        // The step is the place in the series; the rate is this program's.
        std::vector<std::string> expected = runs[i].rows.back();
        expected.at(0) = std::to_string(i);
        expected.at(11) = replay.rows[i].at(11);
        EXPECT_EQ(replay.rows[i], expected) << "snapshot " << i;
    }
    EXPECT_EQ(replay.rows[2].at(1), "64");
    EXPECT_NE(run.out.find("snapshot 2/2 " + dir.path("snap_10.hdf5") + "   time 64 Myr"), std::string::npos)
        << run.out;
    int pictures = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(frames)) ++pictures;
    EXPECT_EQ(pictures, 3);
}

TEST(ZyrSimReplay, NoMatchOrAnUnreadableSnapshotExitsOneNamingIt) {
    TempDir dir;
    SimRun run = runSim(dir, {"--replay", dir.path("none_*.hdf5")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no file matches '" + dir.path("none_*.hdf5") + "'"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    // A good snapshot, a damaged one and one whose file is gone.
    ASSERT_EQ(runSim(dir, {"--stars", "8", "--steps", "0", "--save", dir.path("s_1.hdf5")}).status, 0);
    std::ofstream(dir.path("s_2.hdf5")) << "not HDF5";
    std::filesystem::create_symlink(dir.path("gone.hdf5"), dir.path("s_3.hdf5"));
    const std::string csv = dir.path("series.csv");
    auto failsAt = [&](const std::string& bad) {
        const SimRun failed = runSim(dir, {"--replay", dir.path("s_*.hdf5"), "--csv", csv});
        EXPECT_EQ(failed.status, 1) << bad;
        EXPECT_NE(failed.err.find(dir.path(bad)), std::string::npos) << failed.err;
        // The snapshots before it were reported; a failed run leaves no CSV.
        EXPECT_NE(failed.out.find("snapshot 0/2"), std::string::npos) << failed.out;
        EXPECT_FALSE(std::filesystem::exists(csv));
    };
    failsAt("s_2.hdf5");
    std::filesystem::remove(dir.path("s_2.hdf5"));
    std::filesystem::copy_file(dir.path("s_1.hdf5"), dir.path("s_0.hdf5"));
    failsAt("s_3.hdf5");
}
