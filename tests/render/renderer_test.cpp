#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "model/galaxy.h"
#include "render/galaxy_renderer.h"
#include "render/raster.h"
#include "tests/support/galaxy_builder.h"

namespace {

struct Rgb {
    int r, g, b;
};

Rgb slotColour(const CGalaxy& g, int k) {
    return {static_cast<int>(g.slotRed[k]), static_cast<int>(g.slotGreen[k]), static_cast<int>(g.slotBlue[k])};
}

void expectSlot(const CGalaxy& g, int k, Rgb want) {
    const Rgb got = slotColour(g, k);
    EXPECT_EQ(got.r, want.r) << "slot " << k;
    EXPECT_EQ(got.g, want.g) << "slot " << k;
    EXPECT_EQ(got.b, want.b) << "slot " << k;
}

int countPixels(const Raster& r, std::uint32_t colour) {
    int n = 0;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x) n += r.pixel(x, y) == colour;
    return n;
}

// A fresh galaxy at the Galactic scale: box 5, eye at 50, depth span 10, pan scale 0.95.
struct Scene {
    CGalaxy g;
    Raster raster;

    explicit Scene(const std::vector<TestStar>& stars, int size = 1000) {
        EXPECT_TRUE(installStars(g, stars));
        EXPECT_TRUE(raster.resize(size, size));
    }
    void render(bool showBox = false) { renderGalaxy(g, raster, showBox); }
};

TEST(DepthBrightness, LaplaceCurveAroundTheOrigin) {
    CGalaxy g;
    EXPECT_EQ(g.depthBrightness(0.0), 0.5);
    const double s = 0.35 * g.viewDistance;
    EXPECT_DOUBLE_EQ(g.depthBrightness(s), 1.0 - 0.5 / std::exp(1.0));
    EXPECT_DOUBLE_EQ(g.depthBrightness(-s), 0.5 / std::exp(1.0));
    EXPECT_DOUBLE_EQ(g.depthBrightness(3.0) + g.depthBrightness(-3.0), 1.0);
}

TEST(ProjectStars, OwnColoursWithAndWithoutDepthCueing) {
    std::vector<TestStar> stars;
    for (int c = 0; c < kStarColorCount; ++c) stars.push_back({1.0, 0.1 * c, 0.0, 0.0, 0.0, 0.0, 0.0, c});
    Scene s(stars);
    s.g.depthCue = 0;
    s.g.projectStars();
    ASSERT_EQ(s.g.drawCount, kStarColorCount);
    const Rgb full[kStarColorCount] = {{255, 255, 255}, {255, 0, 0},   {255, 127, 0}, {255, 255, 0},
                                       {42, 255, 0},    {0, 42, 255}, {212, 0, 255}, {0, 255, 212}};
    for (int c = 0; c < kStarColorCount; ++c) expectSlot(s.g, c, full[c]);

    s.g.depthCue = 1;
    s.g.projectStars();
    expectSlot(s.g, StarColor::Red, {180, 0, 0});
    expectSlot(s.g, StarColor::White, {180, 180, 180});
}

TEST(ProjectStars, WhiteStarsFadeInGreyLevels) {
    Scene s({{1.0, 0.0, 0.0, -4.0}});
    s.g.projectStars();
    ASSERT_EQ(s.g.drawCount, 1);
    const int grey = static_cast<int>(std::sqrt(0.5 * std::exp(-4.0 / 17.5)) * 255.0);
    expectSlot(s.g, 0, {grey, grey, grey});
}

TEST(ProjectStars, HiddenColoursOnlyInOwnColourMode) {
    Scene s({{1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, StarColor::Red},
             {1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, StarColor::Green},
             {1.0, 2.0, 0.0, 0.0, 0.0, 0.0, -1.0, StarColor::Red}});
    s.g.depthCue = 0;
    s.g.hideColor[StarColor::Red] = 1;
    s.g.projectStars();
    ASSERT_EQ(s.g.drawCount, 1);
    expectSlot(s.g, 0, {42, 255, 0});
    EXPECT_DOUBLE_EQ(s.g.screenX[0], 0.2 * 0.95);

    // Redshift ignores the hide flags: at rest and receding red, approaching blue.
    s.g.redshift = 1;
    s.g.projectStars();
    ASSERT_EQ(s.g.drawCount, 3);
    expectSlot(s.g, 0, {255, 0, 0});
    expectSlot(s.g, 1, {0, 42, 255});
    expectSlot(s.g, 2, {255, 0, 0});
}

TEST(ProjectStars, RedshiftUsesTheRotatedVelocity) {
    Scene s({{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0}, {1.0, 1.0, 0.0, 0.0, -1.0, 0.0, 0.0}});
    s.g.depthCue = 0;
    s.g.redshift = 1;
    // A quarter turn about the vertical axis carries +x to -z, away from the eye.
    const double a = std::acos(-1.0) / 4;
    s.g.orientation = Quaternion(std::cos(a), 0.0, std::sin(a), 0.0);
    s.g.projectStars();
    ASSERT_EQ(s.g.drawCount, 2);
    const int receding = s.g.depth[0] < s.g.depth[1] ? 0 : 1;  // star 0 sits at x = 0, star 1 at x = 1 -> z = -1
    expectSlot(s.g, 1 - receding, {255, 0, 0});
    expectSlot(s.g, receding, {0, 42, 255});
}

TEST(ProjectStars, ChromaDepthIgnoresDepthCueingAndHiding) {
    Scene s({{1.0, 0.0, 0.0, -2.5, 0.0, 0.0, 0.0, StarColor::Red},
             {1.0, 0.0, 0.0, 2.5, 0.0, 0.0, 0.0, StarColor::Blue}});
    s.g.chromaDepth = 1;
    for (int& h : s.g.hideColor) h = 1;
    for (int cue : {0, 1}) {
        s.g.depthCue = cue;
        s.g.projectStars();
        ASSERT_EQ(s.g.drawCount, 2);
        expectSlot(s.g, 0, {0, 64, 207});
        expectSlot(s.g, 1, {251, 70, 0});
    }
}

TEST(ProjectStars, StarsAtOrBehindTheEyeAreLeftOut) {
    Scene s({{1.0, 0.0, 0.0, 50.0}, {1.0, 0.0, 0.0, 49.0}, {1.0, 0.0, 0.0, 80.0}, {1.0, NAN, 0.0, NAN}});
    s.g.projectStars();
    ASSERT_EQ(s.g.drawCount, 1);
    EXPECT_EQ(s.g.depth[0], 49.0);
}

TEST(ProjectStars, DrawOrderRunsBackToFront) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-30.0, 30.0);
    std::vector<TestStar> stars(2000);
    for (TestStar& t : stars) t = {1.0, coord(rng), coord(rng), coord(rng)};
    stars[5].z = stars[6].z = stars[7].z = 1.25;  // ties
    Scene s(stars);
    s.g.orientation = Quaternion(std::cos(0.3), std::sin(0.3) * 0.6, std::sin(0.3) * 0.8, 0.0);
    s.g.projectStars();
    const int n = s.g.drawCount;
    ASSERT_GT(n, 1900);
    std::vector<int> seen(n, 0);
    for (int i = 0; i < n; ++i) {
        ASSERT_GE(s.g.drawOrder[i], 0);
        ASSERT_LT(s.g.drawOrder[i], n);
        ++seen[s.g.drawOrder[i]];
        if (i > 0) {
            EXPECT_LE(s.g.depth[s.g.drawOrder[i - 1]], s.g.depth[s.g.drawOrder[i]]);
        }
    }
    for (int k = 0; k < n; ++k) EXPECT_EQ(seen[k], 1);
}

// Two stars on the line of sight through c, weighted so that their centre of
// mass is c but their plain average is not: followed, both project to where
// the pan alone puts the middle of the view, whatever the orientation.
TEST(ProjectStars, FollowedCentreOfMassProjectsToThePan) {
    const double a = 0.4;
    for (const Quaternion& turn : {Quaternion(), Quaternion(std::cos(a), 0.6 * std::sin(a), 0.0, 0.8 * std::sin(a))}) {
        // The model direction that the orientation turns towards the eye.
        double wx = 0.0, wy = 0.0, wz = 1.0;
        turn.conjugate().rotate(wx, wy, wz);
        const double c[3] = {1.2, -0.8, 0.6};
        Scene s({{1.0, c[0] + 3 * wx, c[1] + 3 * wy, c[2] + 3 * wz}, {3.0, c[0] - wx, c[1] - wy, c[2] - wz}});
        s.g.orientation = turn;
        s.g.panX = 0.1;
        s.g.panY = -0.2;
        s.g.followCentre = 1;
        s.g.projectStars();
        ASSERT_EQ(s.g.drawCount, 2);
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(s.g.screenX[k], 0.1 * 0.95, 1e-12) << turn.w;
            EXPECT_NEAR(s.g.screenY[k], -0.2 * 0.95, 1e-12) << turn.w;
        }
    }
}

// A massless galaxy has no centre, and one with a star that blew up has none
// worth following: the view stays on the origin instead of losing every star.
TEST(ProjectStars, FollowingWithoutACentreKeepsTheOrigin) {
    Scene massless({{0.0, 1.0, 0.0, 0.0}, {0.0, 3.0, 0.0, 0.0}});
    Scene blownUp({{1.0, 1.0, 0.0, 0.0}, {1.0, NAN, 3.0, 0.0}});
    for (Scene* s : {&massless, &blownUp}) {
        s->g.followCentre = 1;
        s->g.projectStars();
        ASSERT_GE(s->g.drawCount, 1);
        // At depth 0 the perspective factor is depthSpan / viewDistance, 10 / 50.
        EXPECT_DOUBLE_EQ(s->g.screenX[0], 1.0 * 0.2 * 0.95);
    }
}

TEST(RenderGalaxy, DefaultStarsAreSinglePixelsWherePerspectivePutsThem) {
    // At depth 0 half a box edge projects to 0.475, which is 356.25 pixels at
    // 0.75 * 1000; the pan adds before the pan scale.
    Scene s({{1.0, 2.5, 0.0, 0.0, 0.0, 0.0, 0.0, StarColor::Red}, {1.0, -2.5, 2.5, 0.0}, {1.0, 0.0, 0.0, 0.0}});
    s.render();
    EXPECT_EQ(countPixels(s.raster, kBlackPixel), 1000 * 1000 - 3);
    EXPECT_EQ(s.raster.pixel(856, 500), rgbPixel(180, 0, 0));
    EXPECT_EQ(s.raster.pixel(500 - 356, 856), rgbPixel(180, 180, 180));
    EXPECT_EQ(s.raster.pixel(500, 500), rgbPixel(180, 180, 180));

    s.g.panX = 0.1;
    s.g.blackBackground = 0;
    s.render();
    EXPECT_EQ(countPixels(s.raster, kWhitePixel), 1000 * 1000 - 3);
    EXPECT_EQ(s.raster.pixel(500 + 427, 500), rgbPixel(180, 0, 0));  // (0.1 + 0.5) * 0.95 * 750 = 427.5
}

TEST(RenderGalaxy, StarSizesAreSquaresAroundThePixel) {
    Scene s({{1.0, 0.0, 0.0, 0.0}}, 40);
    s.g.depthCue = 0;
    for (int a = 0; a <= 5; ++a) {
        SCOPED_TRACE(a);
        s.g.starSize = a;
        s.render();
        const int left = 20 - a / 2;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= left && x <= left + a && y >= left && y <= left + a;
                ASSERT_EQ(s.raster.pixel(x, y), inside ? kWhitePixel : kBlackPixel) << x << "," << y;
            }
    }
}

// The ball drawn independently, by regions: highlight over colour over rim.
std::uint32_t ballPixel(int x, int y, int cx, int cy, std::uint32_t full, std::uint32_t dark, std::uint32_t back) {
    const int dx = x - cx, dy = y - cy;
    if (dx >= -2 && dx < 0 && dy >= -2 && dy < 0) return kWhitePixel;
    if (dx >= -3 && dx < 3 && dy >= -3 && dy < 3) return full;
    if ((dx >= -4 && dx < 4 && dy >= -2 && dy < 2) || (dx >= -2 && dx < 2 && dy >= -4 && dy < 4)) return dark;
    return back;
}

TEST(RenderGalaxy, BallsPixelByPixel) {
    Raster r;
    ASSERT_TRUE(r.resize(20, 20));
    r.fill(kBlackPixel);
    drawBall(r, 10, 9, 200.7, 100.2, 50.9);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(r.pixel(x, y), ballPixel(x, y, 10, 9, rgbPixel(200, 100, 50), rgbPixel(160, 80, 40), kBlackPixel))
                << x << "," << y;

    // Through the renderer, clipped at the window's corner.
    Scene s({{1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, StarColor::Blue}}, 6);
    s.g.depthCue = 0;
    s.g.ballMode = 1;
    s.g.starSize = 5;  // ignored by balls
    s.render();
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(s.raster.pixel(x, y),
                      ballPixel(x, y, 3, 3, rgbPixel(0, 42, 255), rgbPixel(0, 33, 204), kBlackPixel));
}

TEST(RenderGalaxy, NearStarsPaintOverFarOnes) {
    for (bool nearFirst : {true, false}) {
        const TestStar nearStar{1.0, 0.0, 0.0, 10.0, 0.0, 0.0, 0.0, StarColor::Red};
        const TestStar farStar{1.0, 0.0, 0.0, -10.0, 0.0, 0.0, 0.0, StarColor::Green};
        Scene s(nearFirst ? std::vector<TestStar>{nearStar, farStar} : std::vector<TestStar>{farStar, nearStar}, 10);
        s.g.depthCue = 0;
        s.render();
        EXPECT_EQ(s.raster.pixel(5, 5), rgbPixel(255, 0, 0));
    }
}

TEST(RenderGalaxy, TraceKeepsEarlierFrames) {
    Scene s({{1.0, 0.0, 0.0, 0.0}}, 100);
    s.g.depthCue = 0;
    s.g.trace = 1;
    s.render();
    s.g.pos.x[0] = 1.0;
    s.render();
    EXPECT_EQ(s.raster.pixel(50, 50), kWhitePixel);
    EXPECT_EQ(countPixels(s.raster, kWhitePixel), 2);

    ASSERT_TRUE(s.raster.resize(100, 100));  // same size: the trail stays
    EXPECT_EQ(countPixels(s.raster, kWhitePixel), 2);

    s.g.trace = 0;
    s.render();
    EXPECT_EQ(s.raster.pixel(50, 50), kBlackPixel);
    EXPECT_EQ(countPixels(s.raster, kWhitePixel), 1);
}

TEST(RenderGalaxy, CubeEdgesInTheBackgroundsOppositeColour) {
    Scene s({}, 1000);
    s.render(false);
    EXPECT_EQ(countPixels(s.raster, kBlackPixel), 1000 * 1000);
    s.render(true);
    // The far bottom-face corner 0 lies at -2.5 * 10 / 52.5 * 0.95 * 750 = -339.3 pixels.
    EXPECT_EQ(s.raster.pixel(500, 161), kWhitePixel);
    EXPECT_EQ(s.raster.pixel(161, 500), kWhitePixel);
    EXPECT_EQ(s.raster.pixel(500, 500), kBlackPixel);
    s.g.blackBackground = 0;
    s.render(true);
    EXPECT_EQ(s.raster.pixel(500, 161), kBlackPixel);
    EXPECT_EQ(s.raster.pixel(500, 500), kWhitePixel);
}

TEST(RenderGalaxy, EyeInsideTheCubeDrawsOnlyEdgesInFront) {
    Scene s({}, 1000);
    s.g.panScale = 0.1;
    s.g.viewDistance = 2.0;  // the top face, at depth 2.5, is behind the eye
    s.render(true);
    for (int c = 0; c < 8; ++c) EXPECT_EQ(s.g.boxVisible[c], c < 4 ? 1 : 0);
    // Bottom corners at +-2.5 * 10 / 4.5 * 0.1 * 750 = +-416.7 pixels: a closed
    // square from 84 to 916 whose edges leave out their end points.
    EXPECT_EQ(countPixels(s.raster, kWhitePixel), 4 * 832);
    EXPECT_EQ(s.raster.pixel(84, 84), kWhitePixel);
    EXPECT_EQ(s.raster.pixel(916, 500), kWhitePixel);
    EXPECT_EQ(s.raster.pixel(500, 916), kWhitePixel);

    // The top corners exactly at the eye project to infinity; those edges
    // are left out. Bottom corners now at +-375 pixels.
    s.g.viewDistance = 2.5;
    s.render(true);
    EXPECT_EQ(countPixels(s.raster, kWhitePixel), 4 * 750);

    // Just in front of the eye the uprights run off towards corners some
    // 10^12 pixels away; corner 0 is now at 374.99... pixels, truncated to 374.
    s.g.viewDistance = 2.5 + 1e-9;
    s.render(true);
    for (int i = 0; i <= 126; ++i) ASSERT_EQ(s.raster.pixel(126 - i, 126 - i), kWhitePixel) << i;
    EXPECT_EQ(s.raster.pixel(874, 126), kWhitePixel);
    EXPECT_EQ(s.raster.pixel(875, 125), kWhitePixel);
}

TEST(RenderGalaxy, StarsJustInFrontOfTheEyeAreSkipped) {
    Scene s({{1.0, 1.0, 1.0, 50.0 - 1e-12}, {1.0, -1.0, 0.0, 50.0 - 1e-12}, {1.0, 0.0, 0.0, 0.0}}, 100);
    s.g.ballMode = 1;
    s.render();
    EXPECT_EQ(s.g.drawCount, 3);
    EXPECT_EQ(countPixels(s.raster, kBlackPixel), 100 * 100 - 52);  // one ball of 52 pixels

    Raster empty;  // a window not laid out yet
    renderGalaxy(s.g, empty, true);
    EXPECT_EQ(empty.width(), 0);
}

TEST(Raster, ResizeKeepsOrClearsAndRefusesBadSizes) {
    Raster r;
    ASSERT_TRUE(r.resize(3, 2));
    EXPECT_EQ(countPixels(r, kBlackPixel), 6);
    r.fill(kWhitePixel);
    EXPECT_FALSE(r.resize(-1, 5));
    EXPECT_FALSE(r.resize(5, Raster::kMaxExtent + 1));
    EXPECT_EQ(r.width(), 3);
    EXPECT_EQ(countPixels(r, kWhitePixel), 6);
    ASSERT_TRUE(r.resize(2, 3));
    EXPECT_EQ(countPixels(r, kBlackPixel), 6);
    EXPECT_EQ(r.bytesPerLine(), 8u);
    EXPECT_EQ(r.pixel(2, 0), 0u);
}

TEST(Raster, FillRectClips) {
    Raster r;
    ASSERT_TRUE(r.resize(4, 4));
    r.fillRect(-2, 3, 4, 10, kWhitePixel);
    r.fillRect(INT_MAX - 1, INT_MIN, INT_MAX, INT_MAX, kWhitePixel);
    r.fillRect(1, 1, 0, 3, kWhitePixel);
    EXPECT_EQ(countPixels(r, kWhitePixel), 2);
    EXPECT_EQ(r.pixel(0, 3), kWhitePixel);
    EXPECT_EQ(r.pixel(1, 3), kWhitePixel);
}

TEST(Raster, LinesLeaveOutTheirEndPoint) {
    Raster r;
    ASSERT_TRUE(r.resize(8, 4));
    r.drawLine(0, 0, 6, 2, kWhitePixel);
    const int forward[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}};
    for (const auto& p : forward) EXPECT_EQ(r.pixel(p[0], p[1]), kWhitePixel) << p[0] << "," << p[1];
    EXPECT_EQ(countPixels(r, kWhitePixel), 6);

    r.fill(kBlackPixel);
    r.drawLine(2, 3, 2, 0, kWhitePixel);  // steep, upwards
    EXPECT_EQ(countPixels(r, kWhitePixel), 3);
    EXPECT_EQ(r.pixel(2, 0), kBlackPixel);
    r.drawLine(5, 1, 5, 1, kWhitePixel);  // no length, nothing drawn
    EXPECT_EQ(r.pixel(5, 1), kBlackPixel);
}

TEST(Raster, ClippedLinesMatchTheWholeLine) {
    // The same lines drawn into a large picture and, shifted, into a window of it.
    const int lines[][4] = {{-600, -190, 613, 207}, {611, 205, -598, -195}, {3, -400, 9, 402}, {-1, 9, 14, 2}};
    Raster whole, part;
    ASSERT_TRUE(whole.resize(1400, 1000));
    ASSERT_TRUE(part.resize(12, 10));
    const int ox = 700, oy = 500;
    for (const auto& l : lines) {
        whole.drawLine(l[0] + ox, l[1] + oy, l[2] + ox, l[3] + oy, kWhitePixel);
        part.drawLine(l[0], l[1], l[2], l[3], kWhitePixel);
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(part.pixel(x, y), whole.pixel(x + ox, y + oy)) << x << "," << y;
    EXPECT_GT(countPixels(part, kWhitePixel), 20);

    part.fill(kBlackPixel);
    part.drawLine(INT_MIN, 4, INT_MAX, 4, kWhitePixel);
    part.drawLine(-1000000000, -1000000000, 1000000000, 1000000000, kWhitePixel);
    EXPECT_EQ(countPixels(part, kWhitePixel), 12 + 10 - 1);
}

}  // namespace
