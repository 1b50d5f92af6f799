#include <gtest/gtest.h>

#include <climits>

#include "model/galaxy.h"
#include "tests/support/galaxy_builder.h"

TEST(GalaxyLifecycle, FreshObjectHasDefaultsAndNoArrays) {
    CGalaxy g;
    EXPECT_EQ(g.numStars, 0);
    EXPECT_EQ(g.state, nullptr);
    EXPECT_EQ(g.requestedStars, 512);
    EXPECT_EQ(g.shape, GalaxyShape::Sphere);
    EXPECT_EQ(g.starMass, 400.0);
    EXPECT_EQ(g.timeStepSetting, 8.0);
    EXPECT_EQ(g.shieldSetting, 10.0);
    EXPECT_EQ(g.integrationSetting, IntegrationMethod::ImprovedEuler);
    EXPECT_EQ(g.darkRadiusSetting, 5.0);
    EXPECT_EQ(g.darkFractionSetting, 0.9);
    EXPECT_EQ(g.listFontSize, 12);
    EXPECT_EQ(g.energyUnitName[2], "Mearth (AU)^2/ (day)^2");
    EXPECT_EQ(g.momentumUnitName[0], "Msol k ly / Myr");
    // released before it was ever allocated: harmless
    g.releaseArrays();
    g.releaseArrays();
    EXPECT_EQ(g.stateLen, 0);
}

TEST(GalaxyLifecycle, ViewsAliasTheStateVectorBlocks) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1, 2, 3, 4, 5, 6, 2}, {2, -1, -2, -3, -4, -5, -6, 7}, {3, 7, 8, 9, 1, 1, 1, 0}}));
    const int n = 3;
    EXPECT_EQ(g.stateLen, 18);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(&g.pos.x[i], &g.state[i]);
        EXPECT_EQ(&g.pos.z[i], &g.state[2 * n + i]);
        EXPECT_EQ(&g.vel.z[i], &g.state[5 * n + i]);
        EXPECT_EQ(&g.dpos.y[i], &g.deriv[n + i]);
        EXPECT_EQ(&g.acc.x[i], &g.deriv[3 * n + i]);
    }
    EXPECT_EQ(g.state[1], -1.0);
    EXPECT_EQ(g.vel.z[1], -6.0);
    EXPECT_EQ(g.mass[2], 3.0);
    EXPECT_EQ(g.color[1], 7);
    EXPECT_EQ(g.pos.owned, 0);
    for (double* s : g.scratch) {
        ASSERT_NE(s, nullptr);
        for (int k = 0; k < g.stateLen; ++k) EXPECT_EQ(s[k], 0.0);
    }
}

TEST(GalaxyLifecycle, ResetRestoresViewFlagsAndTakesLiveCopies) {
    CGalaxy g;
    ASSERT_TRUE(g.allocate());
    g.depthCue = 0;
    g.blackBackground = 0;
    g.redshift = 1;
    g.chromaDepth = 1;
    g.hideColor[3] = 1;
    g.hue[2] = 99;
    g.panX = 3;
    g.orientation = Quaternion(0, 1, 0, 0);
    g.time = 123;
    g.historyCount = 7;
    g.timeStepSetting = 2.0;
    g.forceSetting = ForceMethod::BarnesHut;
    g.integrationSetting = IntegrationMethod::RungeKutta4;
    g.shieldSetting = 3.0;
    g.darkMatterSetting = DarkMatterModel::Sphere;
    g.darkRadiusSetting = 7.0;
    g.darkFractionSetting = 0.5;
    g.rotationFactor = -2.0;
    g.scaleSetting = UnitScale::EarthSun;
    ASSERT_TRUE(g.allocate());
    EXPECT_EQ(g.numStars, 512);
    EXPECT_EQ(g.depthCue, 1);
    EXPECT_EQ(g.blackBackground, 1);
    EXPECT_EQ(g.redshift, 0);
    EXPECT_EQ(g.chromaDepth, 0);
    EXPECT_EQ(g.hideColor[3], 0);
    EXPECT_EQ(g.hue[0], -1.0);
    EXPECT_EQ(g.hue[2], 30.0);
    EXPECT_EQ(g.hue[7], 170.0);
    EXPECT_EQ(g.panX, 0.0);
    EXPECT_EQ(g.orientation.w, 1.0);
    EXPECT_EQ(g.orientation.x, 0.0);
    EXPECT_EQ(g.time, 0.0);
    EXPECT_EQ(g.historyCount, 0);
    EXPECT_EQ(g.timeStep, 2.0);
    EXPECT_EQ(g.forceMethod, ForceMethod::BarnesHut);
    EXPECT_EQ(g.integrationMethod, IntegrationMethod::RungeKutta4);
    EXPECT_EQ(g.shieldModifier, 3.0);
    EXPECT_EQ(g.darkMatter, DarkMatterModel::Sphere);
    EXPECT_EQ(g.darkRadius, 7.0);
    EXPECT_EQ(g.darkFraction, 0.5);
    EXPECT_EQ(g.rotationInUse, -2.0);
    EXPECT_EQ(g.scale, UnitScale::EarthSun);
    EXPECT_EQ(g.boxSize, 4.0);
}

TEST(GalaxyLifecycle, SettingsWaitForTheNextReset) {
    CGalaxy g;
    ASSERT_TRUE(g.allocate());
    g.requestedStars = 64;
    g.rotationFactor = 0.5;
    g.darkMatterSetting = DarkMatterModel::Sphere;
    g.scaleSetting = UnitScale::SolarSystem;
    EXPECT_EQ(g.numStars, 512);
    EXPECT_EQ(g.rotationInUse, 1.0);
    EXPECT_EQ(g.darkMatter, DarkMatterModel::None);
    EXPECT_EQ(g.scale, UnitScale::Galactic);
}

TEST(GalaxyLifecycle, ResetRestartsTheRateWindow) {
    static std::uint32_t now = 0;
    CGalaxy g;
    g.tickCount = [] { return now; };
    now = 4242;
    g.iteration = 17;
    g.itersPerSecond = 9;
    ASSERT_TRUE(g.allocate());
    EXPECT_EQ(g.startTicks, 4242u);
    EXPECT_EQ(g.iteration, 0);
    EXPECT_EQ(g.itersPerSecond, 0.0);
}

TEST(GalaxyLifecycle, CountsMemoryCannotHoldLeaveTheGalaxyAsItWas) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{5, 1, 2, 3}, {6, 4, 5, 6}}));
    g.time = 3.5;
    double* before = g.state;
    for (long long count : {-1LL, static_cast<long long>(INT_MAX / 6) + 1, 1LL << 40}) EXPECT_FALSE(CGalaxy::canHold(count));
    // A count that fits the index range but not this machine's memory.
    EXPECT_FALSE(g.reset(INT_MAX / 6, Vec3Arrays(), Vec3Arrays(), nullptr, nullptr));
    g.requestedStars = INT_MAX / 6;
    EXPECT_FALSE(g.allocate());
    EXPECT_FALSE(g.newGalaxy());
    EXPECT_EQ(g.numStars, 2);
    EXPECT_EQ(g.state, before);
    EXPECT_EQ(g.time, 3.5);
    EXPECT_EQ(g.pos.y[1], 5.0);
    EXPECT_EQ(g.mass[0], 5.0);
}

TEST(GalaxyLifecycle, ReplacingTheGalaxyFreesTheOldArrays) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1, 1, 1}}));
    ASSERT_TRUE(installStars(g, {{2, 2, 2, 2}, {3, 3, 3, 3}}));
    EXPECT_EQ(g.numStars, 2);
    EXPECT_EQ(g.capacity(), 2);
    EXPECT_EQ(g.pos.x[1], 3.0);
    ASSERT_TRUE(installStars(g, {}));
    EXPECT_EQ(g.numStars, 0);
    EXPECT_EQ(g.stateLen, 0);
}
