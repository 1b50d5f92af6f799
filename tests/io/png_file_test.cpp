#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/png_file.h"
#include "render/raster.h"
#include "tests/support/png_reader.h"
#include "tests/support/scratch_dir.h"

namespace {

// Bytes of address space this process uses now.
rlim_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}
}  // namespace

TEST(PngFile, PixelsReadBackExactly) {
    Raster r;
    ASSERT_TRUE(r.resize(7, 3));
    r.fill(rgbPixel(10, 20, 30));
    r.setPixel(0, 0, rgbPixel(255, 0, 128));
    r.setPixel(6, 2, kWhitePixel);
    r.fillRect(2, 1, 3, 1, rgbPixel(1, 254, 77));
    const ScratchDir dir;
    const std::string path = (dir.path() / "p.png").string();
    const FileStatus written = writePng(r, path);
    ASSERT_TRUE(written.ok()) << written.message;
    const PngImage back = readPng(path);
    ASSERT_EQ(back.problem, "");
    ASSERT_EQ(back.width, 7);
    ASSERT_EQ(back.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(back.pixels[y * 7 + x], r.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"p.png"});
}

TEST(PngFile, FailuresAreReportedAndLeaveNothingBehind) {
    Raster r;
    EXPECT_FALSE(writePng(r, "/tmp/empty.png").ok());  // nothing to write
    ASSERT_TRUE(r.resize(2, 2));
    const ScratchDir dir;
    const FileStatus missing = writePng(r, (dir.path() / "missing/p.png").string());
    EXPECT_EQ(missing.error, FileError::CannotCreate);
    EXPECT_NE(missing.message.find("missing/p.png"), std::string::npos);
    // a directory in the way of the rename
    const std::string blocked = (dir.path() / "blocked.png").string();
    ASSERT_EQ(mkdir(blocked.c_str(), 0777), 0);
    EXPECT_EQ(writePng(r, blocked).error, FileError::CannotCreate);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"blocked.png"});
}

TEST(PngFile, APictureBeyondTheMemoryLeftIsReported) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator aborts under an address-space limit instead of failing";
#endif
    Raster r;
    ASSERT_TRUE(r.resize(8192, 8192));  // 256 MB; encoding it needs about twice that again
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = addressSpaceInUse() + (64 << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const FileStatus written = writePng(r, "/tmp/zyr-png-never-written.png");
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_FALSE(written.ok());
    EXPECT_NE(written.message.find("not enough memory for a picture of 8192 x 8192 pixels"), std::string::npos)
        << written.message;
}
