#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/galaxy.h"
#include "model/random.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "tests/support/galaxy_builder.h"

namespace {

void evaluate(CGalaxy& g, double time = 0.0) { ComputeDerivatives(g, g.stateLen, time, g.state, g.deriv); }

// The direct rule written out plainly, pair by pair in index order.
void referenceDirect(const CGalaxy& g, std::vector<double>& ax, std::vector<double>& ay, std::vector<double>& az) {
    const int n = g.numStars;
    ax.assign(n, 0.0);
    ay.assign(n, 0.0);
    az.assign(n, 0.0);
    std::vector<double> s(n);
    for (int i = 0; i < n; ++i) s[i] = ShieldRadius(g.gravity * g.mass[i], g.timeStep, g.shieldModifier);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const double dx = g.pos.x[j] - g.pos.x[i], dy = g.pos.y[j] - g.pos.y[i], dz = g.pos.z[j] - g.pos.z[i];
            const double r2 = dx * dx + dy * dy + dz * dz;
            const double r = std::sqrt(r2);
            if (!(r > s[i] && r > s[j])) continue;
            const double k = g.gravity / (r2 * r);
            ax[i] += k * g.mass[j] * dx;
            ay[i] += k * g.mass[j] * dy;
            az[i] += k * g.mass[j] * dz;
            ax[j] -= k * g.mass[i] * dx;
            ay[j] -= k * g.mass[i] * dy;
            az[j] -= k * g.mass[i] * dz;
        }
}

}  // namespace

TEST(ShieldRadius, UsesTheDecimalExponents) {
    EXPECT_NEAR(ShieldRadius(1, 8, 10), 40.0277, 0.0001);
    EXPECT_EQ(ShieldRadius(1, 8, 10), std::pow(1.0, 0.333) * std::pow(8.0, 0.667) * 10);
    EXPECT_NEAR(ShieldRadius(3, 4, 2) / ShieldRadius(3, 8, 2), 0.62981, 0.00001);
    EXPECT_EQ(ShieldRadius(0, 8, 10), 0.0);
    EXPECT_EQ(ShieldRadius(5, 8, 0), 0.0);
    // integrating backwards keeps the same shield, instead of NaN
    EXPECT_EQ(ShieldRadius(2, -8, 10), ShieldRadius(2, 8, 10));
}

TEST(ShieldRadius, ARuleForOneStepGivesEveryMassItsOwnRadius) {
    // Many masses, most met again and many sharing a remembered slot.
    std::vector<double> masses = {0.0, -0.0, -2.0, 1e300, std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 2000; ++i) masses.push_back(1.0 + (i * 37) % 301);
    ShieldRule rule(-3.5, 0.7);
    for (int pass = 0; pass < 2; ++pass)
        for (const double m : masses) {
            const double want = std::pow(m, 0.333) * std::pow(3.5, 0.667) * 0.7;
            const double got = rule(m);
            if (std::isnan(want))
                EXPECT_TRUE(std::isnan(got)) << m;
            else
                EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want)) << m;
        }
}

TEST(DirectForces, NoPairsMeansOnlyVelocities) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{400, 1, 2, 3, 0.5, -0.5, 0.25}}));
    evaluate(g);
    EXPECT_EQ(g.acc.x[0], 0.0);
    EXPECT_EQ(g.acc.z[0], 0.0);
    EXPECT_EQ(g.dpos.x[0], 0.5);
    EXPECT_EQ(g.dpos.y[0], -0.5);
    EXPECT_EQ(g.dpos.z[0], 0.25);
    ASSERT_TRUE(installStars(g, {}));
    evaluate(g);  // nothing to do, nothing to crash on
}

TEST(DirectForces, TwoStarsAttractWithNewtonsLaw) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{3.0, 0, 0, 0}, {5.0, 0, 2, 0}}));
    g.shieldModifier = 0.0;
    evaluate(g);
    const double G = g.gravity;
    EXPECT_DOUBLE_EQ(g.acc.y[0], G * 5.0 / 4.0);
    EXPECT_DOUBLE_EQ(g.acc.y[1], -G * 3.0 / 4.0);
    EXPECT_EQ(g.acc.x[0], 0.0);
    // momentum balance
    EXPECT_NEAR(3.0 * g.acc.y[0] + 5.0 * g.acc.y[1], 0.0, 1e-25);
}

TEST(DirectForces, ShieldsCutPairsOffByTheLargerRadius) {
    CGalaxy g;
    // With the default step and modifier a 400-mass star has a shield of about
    // 0.16 length units; a light star of 1e-6 has a much smaller one.
    ASSERT_TRUE(installStars(g, {{400, 0, 0, 0}, {1e-6, 0.01, 0, 0}, {400, 2, 0, 0}}));
    const double heavy = ShieldRadius(g.gravity * 400, g.timeStep, g.shieldModifier);
    ASSERT_GT(heavy, 0.01);
    ASSERT_LT(ShieldRadius(g.gravity * 1e-6, g.timeStep, g.shieldModifier), 0.01);
    evaluate(g);
    // star 1 lies inside star 0's shield: neither pulls the other, both feel star 2
    const double G = g.gravity;
    EXPECT_DOUBLE_EQ(g.acc.x[0], G * 400 / 4.0);
    EXPECT_DOUBLE_EQ(g.acc.x[1], G * 400 / (1.99 * 1.99));
    EXPECT_DOUBLE_EQ(g.acc.x[2], -G * 400 / 4.0 - G * 1e-6 / (1.99 * 1.99));
    // coincident stars never divide by zero, even without shields
    g.shieldModifier = 0.0;
    ASSERT_TRUE(installStars(g, {{1, 1, 1, 1}, {1, 1, 1, 1}}));
    g.shieldModifier = 0.0;
    evaluate(g);
    EXPECT_EQ(g.acc.x[0], 0.0);
    EXPECT_FALSE(std::isnan(g.acc.x[1]));
}

TEST(DirectForces, KernelAgreesWithThePlainPairLoopAndIgnoresTime) {
    CGalaxy g;
    g.requestedStars = 300;
    g.randomSeed = 21;
    ASSERT_TRUE(g.newGalaxy());
    std::vector<double> ax, ay, az;
    referenceDirect(g, ax, ay, az);
    evaluate(g, 0.0);
    std::vector<double> first(g.deriv, g.deriv + g.stateLen);
    // The fast kernels may sum in another order, within 1e-13 of the plain loop.
    for (int i = 0; i < g.numStars; ++i) {
        const double error = std::hypot(g.acc.x[i] - ax[i], g.acc.y[i] - ay[i], g.acc.z[i] - az[i]);
        ASSERT_LE(error, 1e-13 * std::hypot(ax[i], ay[i], az[i])) << "star " << i;
        ASSERT_EQ(g.dpos.x[i], g.vel.x[i]);
    }
    evaluate(g, 1e6);
    for (int k = 0; k < g.stateLen; ++k) ASSERT_EQ(g.deriv[k], first[k]);

    // The library's own plain loop is the pair rule exactly as written.
    const KernelBuild chosen = selectedKernelBuild();
    selectKernelBuild(KernelBuild::Plain);
    evaluate(g);
    selectKernelBuild(chosen);
    for (int i = 0; i < g.numStars; ++i) {
        ASSERT_EQ(g.acc.x[i], ax[i]);
        ASSERT_EQ(g.acc.y[i], ay[i]);
        ASSERT_EQ(g.acc.z[i], az[i]);
    }
}

TEST(DirectForces, GravityStaysOnWhenIntegratingBackwards) {
    CGalaxy g;
    g.requestedStars = 40;
    g.randomSeed = 3;
    ASSERT_TRUE(g.newGalaxy());
    evaluate(g);
    const std::vector<double> forward(g.deriv, g.deriv + g.stateLen);
    g.timeStep = -g.timeStep;
    evaluate(g);
    double largestPull = 0;
    for (int k = 0; k < g.stateLen; ++k) {
        ASSERT_EQ(g.deriv[k], forward[k]);
        if (k >= g.stateLen / 2) largestPull = std::max(largestPull, std::fabs(g.deriv[k]));
    }
    EXPECT_GT(largestPull, 0.0);
}

TEST(DirectForces, EntriesBeyondTheStarsInUseAreLeftAlone) {
    CGalaxy g;
    g.shape = GalaxyShape::Grid2D;
    g.requestedStars = 8;  // a 2 x 2 grid uses 4 of 8 slots
    g.randomSeed = 1;
    ASSERT_TRUE(g.newGalaxy());
    ASSERT_EQ(g.numStars, 4);
    for (int b = 0; b < 6; ++b)
        for (int i = 4; i < 8; ++i) g.deriv[b * 8 + i] = 77.0;
    evaluate(g);
    for (int b = 0; b < 6; ++b)
        for (int i = 4; i < 8; ++i) EXPECT_EQ(g.deriv[b * 8 + i], 77.0);
}

TEST(HaloForces, UniformSphereInsidePointMassOutside) {
    CGalaxy g;
    g.darkRadiusSetting = 2.0;
    g.darkFractionSetting = 0.8;
    ASSERT_TRUE(installStars(g, {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 2, 0}, {1, 0, 0, -4}}));
    g.shieldModifier = 0.0;
    // the star-star pulls alone, to take out of the totals below
    evaluate(g);
    const std::vector<double> stars(g.deriv, g.deriv + g.stateLen);
    const auto starsAx = [&](int i) { return stars[3 * 4 + i]; };
    const auto starsAy = [&](int i) { return stars[4 * 4 + i]; };
    const auto starsAz = [&](int i) { return stars[5 * 4 + i]; };

    g.darkMatter = DarkMatterModel::Sphere;
    evaluate(g);
    const double G = g.gravity;
    const double haloMass = 4.0 * 0.8 / (1.0 - 0.8);
    EXPECT_EQ(g.acc.x[0], starsAx(0));  // at the origin: no halo pull
    EXPECT_EQ(g.acc.y[0], starsAy(0));
    EXPECT_DOUBLE_EQ(g.acc.x[1] - starsAx(1), -G * haloMass * 1.0 / 8.0);
    // exactly on the halo radius: the interior formula, which agrees with the exterior
    EXPECT_DOUBLE_EQ(g.acc.y[2] - starsAy(2), -G * haloMass * 2.0 / 8.0);
    EXPECT_DOUBLE_EQ(g.acc.z[3] - starsAz(3), G * haloMass / 16.0);

    g.darkFraction = 0.0;
    evaluate(g);
    EXPECT_EQ(g.acc.x[1], starsAx(1));
    EXPECT_EQ(g.acc.z[3], starsAz(3));
}
