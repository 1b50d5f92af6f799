#include <gtest/gtest.h>

#include <cmath>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "tests/support/galaxy_builder.h"

namespace {
std::uint32_t fakeNow = 0;
std::uint32_t fakeTicks() { return fakeNow; }
}  // namespace

TEST(Bookkeeping, AGalaxyAtRestHasOnlyPotentialEnergy) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1, 0, 0}, {1, 3, 0, 0}}));
    g.bookkeeping();
    EXPECT_EQ(g.kineticEnergy, 0.0);
    EXPECT_EQ(g.momentumX, 0.0);
    EXPECT_EQ(g.momentumZ, 0.0);
    EXPECT_LT(g.potentialEnergy, 0.0);
    EXPECT_EQ(g.totalEnergy, g.potentialEnergy);
    EXPECT_DOUBLE_EQ(g.potentialEnergy, -g.gravity * 1 * 1 / 2.0);
    EXPECT_EQ(g.totalMass, 2.0);
    EXPECT_EQ(g.centerX, 2.0);
    EXPECT_EQ(g.centerY, 0.0);
}

TEST(Bookkeeping, EnergiesAndMomentaOfMovingStars) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{2, 0, 0, 0, 1, 2, 3}, {3, 0, 4, 0, -1, 0, 0.5}, {5, 3, 4, 0, 0, -2, 0}}));
    g.shieldModifier = 0.0;
    g.bookkeeping();
    const double G = g.gravity;
    EXPECT_DOUBLE_EQ(g.kineticEnergy, 0.5 * 2 * 14 + 0.5 * 3 * 1.25 + 0.5 * 5 * 4);
    EXPECT_DOUBLE_EQ(g.potentialEnergy, -G * (2 * 3 / 4.0 + 2 * 5 / 5.0 + 3 * 5 / 3.0));
    EXPECT_DOUBLE_EQ(g.totalEnergy, g.kineticEnergy + g.potentialEnergy);
    EXPECT_DOUBLE_EQ(g.momentumX, 2 - 3);
    EXPECT_DOUBLE_EQ(g.momentumY, 4 - 10);
    EXPECT_DOUBLE_EQ(g.momentumZ, 6 + 1.5);
    EXPECT_DOUBLE_EQ(g.centerX, 15.0 / 10);
    EXPECT_DOUBLE_EQ(g.centerY, 32.0 / 10);
}

TEST(Bookkeeping, CloseStarsAreSoftenedWithTheLaterStarsShield) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{400, 0, 0, 0}, {100, 0, 0, 0}}));
    const double s1 = ShieldRadius(g.gravity * 100, g.timeStep, g.shieldModifier);
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.potentialEnergy, -100 * g.gravity * 400 / s1);
    EXPECT_TRUE(std::isfinite(g.potentialEnergy));
}

TEST(Bookkeeping, HaloTermUsesTheTotalMassOfTheStars) {
    CGalaxy g;
    g.darkMatterSetting = DarkMatterModel::Sphere;
    g.darkRadiusSetting = 2.0;
    ASSERT_TRUE(installStars(g, {{1, 0, 0, 0}}));
    g.bookkeeping();
    EXPECT_EQ(g.potentialEnergy, 0.0);  // at the origin: no halo term
    ASSERT_TRUE(installStars(g, {{1, 2, 0, 0}}));
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.potentialEnergy, -g.gravity * 1.0 / 2.0);
    ASSERT_TRUE(installStars(g, {{3, 0, 1, 0}}));
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.potentialEnergy, -3 * g.gravity * 3 * 1.0 / 8.0);
}

TEST(Bookkeeping, EmptyAndMasslessGalaxiesShowTheOrigin) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {}));
    g.bookkeeping();
    EXPECT_EQ(g.totalEnergy, 0.0);
    EXPECT_EQ(g.totalMass, 0.0);
    EXPECT_EQ(g.centerX, 0.0);
    ASSERT_TRUE(installStars(g, {{0, 5, 5, 5, 1, 1, 1}}));
    g.bookkeeping();
    EXPECT_EQ(g.centerY, 0.0);
    EXPECT_FALSE(std::isnan(g.centerZ));
}

TEST(Bookkeeping, StepRateOverItsMeasuringWindow) {
    CGalaxy g;
    g.tickCount = fakeTicks;
    fakeNow = 1000;
    ASSERT_TRUE(installStars(g, {{1, 0, 0, 0}}));
    EXPECT_EQ(g.startTicks, 1000u);

    g.iteration = 5;
    fakeNow = 1100;
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.itersPerSecond, 50.0);
    EXPECT_EQ(g.iteration, 5);  // ten steps or fewer: the window goes on
    EXPECT_EQ(g.lastIteration, 5);

    g.iteration = 25;
    fakeNow = 1200;
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.itersPerSecond, 125.0);
    // more than ten steps: a new window starts now, the rate just measured stays
    EXPECT_EQ(g.iteration, 0);
    EXPECT_EQ(g.startTicks, 1200u);

    // no step since the last call
    fakeNow = 1300;
    g.bookkeeping();
    EXPECT_EQ(g.itersPerSecond, 0.0);

    g.iteration = 5;
    fakeNow = 1450;
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.itersPerSecond, 5 / 250.0 * 1000.0);
}

TEST(Bookkeeping, StepRateWithinOneMillisecondAndAcrossTheTickWrap) {
    CGalaxy g;
    g.tickCount = fakeTicks;
    fakeNow = 0xFFFFFFF0u;
    ASSERT_TRUE(installStars(g, {{1, 0, 0, 0}}));
    g.iteration = 30;
    g.bookkeeping();  // no millisecond has passed
    EXPECT_TRUE(std::isfinite(g.itersPerSecond));
    EXPECT_EQ(g.iteration, 30);  // the steps stay in the window
    g.iteration = 40;
    fakeNow = 0x00000010u;  // 32 ms later, past the wrap
    g.bookkeeping();
    EXPECT_DOUBLE_EQ(g.itersPerSecond, 40 / 32.0 * 1000.0);
}
