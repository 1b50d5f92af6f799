#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/snapshot_series.h"
#include "tests/support/scratch_dir.h"

TEST(SnapshotSeries, NamesSortWithTheirNumbersByValue) {
    std::vector<std::string> names = {"out/snapshot_1000.hdf5", "out/snapshot_999.hdf5", "run_10.hdf5",
                                      "run_9.hdf5",             "run_09.hdf5",           "run_9a.hdf5",
                                      "out/snapshot_010.hdf5"};
    std::sort(names.begin(), names.end(), snapshotNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"out/snapshot_010.hdf5", "out/snapshot_999.hdf5",
                                               "out/snapshot_1000.hdf5", "run_09.hdf5", "run_9.hdf5", "run_9a.hdf5",
                                               "run_10.hdf5"}));
}

TEST(SnapshotSeries, PatternsExpandAndNamesStandAsTheyAre) {
    const ScratchDir scratch;
    const std::filesystem::path& dir = scratch.path();
    // A file whose name holds a wildcard is taken as it stands.
    for (const char* name : {"s_2.hdf5", "s_10.hdf5", "s_1.hdf5", "odd[1].hdf5", "other.zyr"})
        std::ofstream(dir / name) << "";
    const std::string d = dir.string() + "/";
    const auto files = expandSnapshotNames({d + "s_*.hdf5", d + "s_1.hdf5", d + "odd[1].hdf5"});
    ASSERT_TRUE(files.ok()) << files.status.message;
    EXPECT_EQ(*files.value,
              (std::vector<std::string>{d + "odd[1].hdf5", d + "s_1.hdf5", d + "s_2.hdf5", d + "s_10.hdf5"}));
    const auto none = expandSnapshotNames({d + "s_*.zyr"});
    EXPECT_EQ(none.status.error, SeriesError::NoSnapshot);
    EXPECT_EQ(none.status.message, "no file matches '" + d + "s_*.zyr'");
    EXPECT_FALSE(expandSnapshotNames({}).ok());
}
