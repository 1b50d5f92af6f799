#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/png_reader.h"
#include "view/png_file.h"
#include "view/raster.h"

namespace {
std::string scratchDir() {
    char pattern[] = "/tmp/zyr-png-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}
}  // namespace

TEST(PngFile, PixelsReadBackExactly) {
    Raster r;
    ASSERT_TRUE(r.resize(7, 3));
    r.fill(rgbPixel(10, 20, 30));
    r.setPixel(0, 0, rgbPixel(255, 0, 128));
    r.setPixel(6, 2, kWhitePixel);
    r.fillRect(2, 1, 3, 1, rgbPixel(1, 254, 77));
    const std::string dir = scratchDir();
    const std::string path = dir + "/p.png";
    std::string error;
    ASSERT_TRUE(writePng(r, path, &error)) << error;
    const PngImage back = readPng(path);
    ASSERT_EQ(back.problem, "");
    ASSERT_EQ(back.width, 7);
    ASSERT_EQ(back.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(back.pixels[y * 7 + x], r.pixel(x, y)) << x << "," << y;
    EXPECT_NE(access((path + ".part").c_str(), F_OK), 0);
    std::filesystem::remove_all(dir);
}

TEST(PngFile, FailuresAreReportedAndLeaveNothingBehind) {
    Raster r;
    std::string error;
    EXPECT_FALSE(writePng(r, "/tmp/empty.png", &error));  // nothing to write
    ASSERT_TRUE(r.resize(2, 2));
    const std::string dir = scratchDir();
    EXPECT_FALSE(writePng(r, dir + "/missing/p.png", &error));
    EXPECT_NE(error.find("missing/p.png"), std::string::npos);
    // a directory in the way of the rename
    const std::string blocked = dir + "/blocked.png";
    ASSERT_EQ(mkdir(blocked.c_str(), 0777), 0);
    EXPECT_FALSE(writePng(r, blocked, &error));
    EXPECT_NE(access((blocked + ".part").c_str(), F_OK), 0);
    std::filesystem::remove_all(dir);
}
