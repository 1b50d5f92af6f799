#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/galaxy.h"
#include "physics/methods.h"
#include "render/galaxy_renderer.h"
#include "render/raster.h"
#include "run/pictures.h"
#include "tests/cli/sim_runner.h"
#include "tests/support/png_reader.h"

namespace {

// The same galaxy, steps and view options in this process, drawn by the
// renderer the galaxy window uses.
Raster drawInProcess(const PictureOptions& view, int steps) {
    CGalaxy g;
    g.requestedStars = 60;
    g.shape = GalaxyShape::Disc;
    g.randomSeed = 4;
    EXPECT_TRUE(g.newGalaxy());
    applyPictureOptions(view, g);
    for (int k = 0; k < steps; ++k) integrationStep(g);
    Raster raster;
    EXPECT_TRUE(raster.resize(view.width, view.height));
    renderGalaxy(g, raster, view.box);
    return raster;
}

}  // namespace

TEST(ZyrSimPictures, PngHoldsTheWindowRenderersPixels) {
    TempDir dir;
    const std::string png = dir.path("end.png");
    const SimRun run = runSim(dir, {"--shape", "disc", "--stars", "60", "--seed", "4", "--steps", "3", "--png", png,
                                    "--size", "160x120", "--tilt", "35", "--turn", "-20", "--zoom", "1.5",
                                    "--colouring", "redshift", "--star-size", "2", "--white-background"});
    ASSERT_EQ(run.status, 0) << run.err;
    PictureOptions view;
    view.width = 160;
    view.height = 120;
    view.tilt = 35;
    view.turn = -20;
    view.zoom = 1.5;
    view.colouring = 1;
    view.starSize = 2;
    view.whiteBackground = true;
    const Raster expected = drawInProcess(view, 3);
    const PngImage image = readPng(png);
    ASSERT_EQ(image.problem, "");
    ASSERT_EQ(image.width, 160);
    ASSERT_EQ(image.height, 120);
    int differing = 0, stars = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            differing += image.pixels[y * 160 + x] != expected.pixel(x, y);
            stars += expected.pixel(x, y) != kWhitePixel && expected.pixel(x, y) != kBlackPixel;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(stars, 20);  // the picture shows coloured stars, not just a background
}

TEST(ZyrSimPictures, FramesAtTheStartAndEveryKSteps) {
    TempDir dir;
    const std::string frames = dir.path("frames");
    const SimRun run = runSim(dir, {"--stars", "20", "--seed", "1", "--steps", "5", "--frames", frames, "--every",
                                    "2", "--size", "40x30", "--trace"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(frames)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame-000000.png", "frame-000001.png", "frame-000002.png"}));
    // With a trace every lit pixel of a frame stays lit in the next one.
    const PngImage first = readPng(frames + "/frame-000000.png"), last = readPng(frames + "/frame-000002.png");
    ASSERT_EQ(first.problem, "");
    ASSERT_EQ(last.problem, "");
    for (std::size_t i = 0; i < first.pixels.size(); ++i) {
        if (first.pixels[i] != kBlackPixel) {
            EXPECT_NE(last.pixels[i], kBlackPixel) << i;
        }
    }
}

TEST(ZyrSimPictures, BadPictureArgumentsExitTwoAndUnwritableFramesOne) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--size", "0x10"}, {"--size", "640"}, {"--zoom", "0"}, {"--every", "0"},
          {"--colouring", "sepia"}, {"--star-size", "6"}, {"--tilt", "nan"}}) {
        const SimRun run = runSim(dir, args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_NE(run.err.find(args[0]), std::string::npos) << run.err;
    }
    const SimRun run = runSim(dir, {"--stars", "8", "--frames", "/proc/no-such-dir/frames"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("frames"), std::string::npos);
}
