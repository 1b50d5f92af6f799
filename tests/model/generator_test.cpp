#include <gtest/gtest.h>

#include <cmath>

#include "model/galaxy.h"
#include "model/random.h"

namespace {

// A fresh galaxy generated from the given settings with a fixed seed.
struct Generated {
    CGalaxy g;
    Generated(int shape, int stars, double central = 0.0, unsigned seed = 1) {
        g.shape = shape;
        g.requestedStars = stars;
        g.centralMass = central;
        g.randomSeed = seed;
        EXPECT_TRUE(g.newGalaxy());
    }
};

double radius(const CGalaxy& g, int i) { return std::sqrt(g.pos.x[i] * g.pos.x[i] + g.pos.y[i] * g.pos.y[i] + g.pos.z[i] * g.pos.z[i]); }

}  // namespace

TEST(Random, FifteenBitsAndRepeatableBySeed) {
    // The classic C library recurrence: seed 1 starts 16838, 5758, 10113.
    CRandom r(1);
    EXPECT_EQ(r(), 16838);
    EXPECT_EQ(r(), 5758);
    EXPECT_EQ(r(), 10113);
    CRandom a(99), b(99);
    int lo = CRandom::kMax, hi = 0;
    for (int i = 0; i < 100000; ++i) {
        const int v = a();
        ASSERT_EQ(v, b());
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 32767);
}

TEST(Generator, SphereDiscAndCubeStayInsideTheBox) {
    Generated sphere(GalaxyShape::Sphere, 512);
    Generated disc(GalaxyShape::Disc, 512);
    Generated cube(GalaxyShape::Cube, 512);
    const double h = 2.5;
    ASSERT_EQ(sphere.g.numStars, 512);
    for (int i = 0; i < 512; ++i) {
        EXPECT_LT(radius(sphere.g, i), h);
        EXPECT_EQ(disc.g.pos.z[i], 0.0);
        EXPECT_LT(std::hypot(disc.g.pos.x[i], disc.g.pos.y[i]), h);
        for (double c : {cube.g.pos.x[i], cube.g.pos.y[i], cube.g.pos.z[i]}) {
            EXPECT_LE(c, h);
            EXPECT_GE(c, -h);
        }
    }
}

TEST(Generator, TheSameSeedGivesTheSameGalaxy) {
    Generated a(GalaxyShape::Sphere, 64, 0.0, 7), b(GalaxyShape::Sphere, 64, 0.0, 7), c(GalaxyShape::Sphere, 64, 0.0, 8);
    bool differs = false;
    for (int k = 0; k < a.g.stateLen; ++k) {
        ASSERT_EQ(a.g.state[k], b.g.state[k]);
        differs |= a.g.state[k] != c.g.state[k];
    }
    EXPECT_TRUE(differs);
}

TEST(Generator, FirstRandomCoordinatesFollowTheDrawFormula) {
    Generated cube(GalaxyShape::Cube, 2);
    CRandom r(1);
    const double L = 5.0, h = 2.5;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(cube.g.pos.x[i], h - L * r() / 32767);
        EXPECT_EQ(cube.g.pos.y[i], h - L * r() / 32767);
        EXPECT_EQ(cube.g.pos.z[i], h - L * r() / 32767);
    }
}

TEST(Generator, GridCounts) {
    struct Case {
        int shape, requested;
        double central;
        int stars;
    };
    const Case cases[] = {
        {GalaxyShape::Grid2D, 8, 0, 4},      {GalaxyShape::Grid2D, 8, 1000, 5},     {GalaxyShape::Grid2D, 512, 0, 484},
        {GalaxyShape::Grid3D, 512, 0, 512},  {GalaxyShape::Grid3D, 512, 1000, 343}, {GalaxyShape::Grid3D, 27, 1000, 27},
        {GalaxyShape::Grid2D, 10, 1000, 9},  {GalaxyShape::Grid3D, 7, 0, 1},       {GalaxyShape::Grid2D, 0, 0, 0},
        {GalaxyShape::Grid2D, 0, 1000, 0},   {GalaxyShape::Rings, 8, 0, 4},         {GalaxyShape::Rings, 512, 0, 256},
        {GalaxyShape::Rings, 1024, 0, 512},  {GalaxyShape::Rings, 2, 0, 1},         {GalaxyShape::Rings, 1, 1000, 1},
        {GalaxyShape::Rings, 0, 0, 0},       {GalaxyShape::Rings, 9, 1000, 5},
    };
    for (const Case& c : cases) {
        Generated gen(c.shape, c.requested, c.central);
        EXPECT_EQ(gen.g.numStars, c.stars) << "shape " << c.shape << " requested " << c.requested << " central " << c.central;
        // the arrays keep the requested size
        EXPECT_EQ(gen.g.capacity(), c.requested);
    }
}

TEST(Generator, TwoDimensionalGridWithCentralStar) {
    Generated gen(GalaxyShape::Grid2D, 8, 1000);
    const CGalaxy& g = gen.g;
    ASSERT_EQ(g.numStars, 5);
    EXPECT_EQ(g.pos.x[0], 0.0);
    EXPECT_EQ(g.pos.y[0], 0.0);
    EXPECT_EQ(g.mass[0], 1000.0);
    // the grid point that was star 0 moved to the extra slot
    EXPECT_EQ(g.pos.x[4], -2.5);
    EXPECT_EQ(g.pos.y[4], -2.5);
    EXPECT_EQ(g.pos.x[1], 2.5);
    EXPECT_EQ(g.pos.y[3], 2.5);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(g.mass[i], 400.0);
}

TEST(Generator, OddGridsPutTheirMiddlePointFirst) {
    Generated gen(GalaxyShape::Grid3D, 512, 1000);
    const CGalaxy& g = gen.g;
    ASSERT_EQ(g.numStars, 343);
    EXPECT_EQ(radius(g, 0), 0.0);
    EXPECT_EQ(g.mass[0], 1000.0);
    // middle of the grid order (171) now holds the old first point
    EXPECT_EQ(g.pos.x[171], -2.5);
    EXPECT_EQ(g.pos.y[171], -2.5);
    EXPECT_EQ(g.pos.z[171], -2.5);
    // columns on the z axis get no start velocity
    for (int i = 0; i < g.numStars; ++i)
        if (g.pos.x[i] == 0.0 && g.pos.y[i] == 0.0) {
            EXPECT_EQ(g.vel.x[i], 0.0);
            EXPECT_EQ(g.vel.y[i], 0.0);
        }
}

TEST(Generator, GridsOfOnePointSitAtTheCentre) {
    Generated gen(GalaxyShape::Grid3D, 5, 1000);  // side 1, odd: no extra star
    ASSERT_EQ(gen.g.numStars, 1);
    EXPECT_EQ(radius(gen.g, 0), 0.0);
    EXPECT_EQ(gen.g.mass[0], 1000.0);
    EXPECT_FALSE(std::isnan(gen.g.vel.x[0]));
}

TEST(Generator, RingsOfEightStars) {
    Generated gen(GalaxyShape::Rings, 8);
    const CGalaxy& g = gen.g;
    ASSERT_EQ(g.numStars, 4);
    const double h = 2.5;
    EXPECT_DOUBLE_EQ(g.pos.x[0], h / 2);
    EXPECT_EQ(g.pos.y[0], 0.0);
    EXPECT_DOUBLE_EQ(g.pos.x[1], h / 2 * std::cos(3.14159));
    EXPECT_DOUBLE_EQ(g.pos.y[1], h / 2 * std::sin(3.14159));
    EXPECT_DOUBLE_EQ(g.pos.x[2], h);
    EXPECT_DOUBLE_EQ(g.pos.x[3], h * std::cos(3.14159));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(g.pos.z[i], 0.0);
}

TEST(Generator, CentralMassReplacesTheLastRandomStar) {
    Generated with(GalaxyShape::Sphere, 100, 5000.0, 4);
    Generated without(GalaxyShape::Sphere, 100, 0.0, 4);
    ASSERT_EQ(with.g.numStars, 100);
    EXPECT_EQ(radius(with.g, 0), 0.0);
    EXPECT_EQ(with.g.mass[0], 5000.0);
    // the first random star moved to the last slot
    EXPECT_EQ(with.g.pos.x[99], without.g.pos.x[0]);
    EXPECT_EQ(with.g.pos.z[99], without.g.pos.z[0]);
    for (int i = 1; i < 99; ++i) EXPECT_EQ(with.g.pos.y[i], without.g.pos.y[i]);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(without.g.mass[i], 400.0);
}

TEST(Generator, StartVelocitiesAreCircularAboutTheZAxis) {
    CGalaxy g;
    g.shape = GalaxyShape::Disc;
    g.requestedStars = 50;
    g.randomSeed = 11;
    g.rotationFactor = 1.0;
    ASSERT_TRUE(g.newGalaxy());
    // acc still holds the accelerations the velocities were built from
    for (int i = 0; i < g.numStars; ++i) {
        const double r = std::hypot(g.pos.x[i], g.pos.y[i]);
        const double a = std::hypot(g.acc.x[i], g.acc.y[i]);
        EXPECT_NEAR(std::hypot(g.vel.x[i], g.vel.y[i]), std::sqrt(a * r), 1e-12 * std::sqrt(a * r));
        // counter-clockwise: angular momentum along +z
        EXPECT_GT(g.pos.x[i] * g.vel.y[i] - g.pos.y[i] * g.vel.x[i], 0.0);
        EXPECT_EQ(g.vel.z[i], 0.0);
    }
    const double vx = g.vel.x[3];
    g.startVelocities(-0.5);
    EXPECT_DOUBLE_EQ(g.vel.x[3], -0.5 * vx);
    g.startVelocities(0.0);
    for (int i = 0; i < g.numStars; ++i) EXPECT_EQ(std::fabs(g.vel.x[i]) + std::fabs(g.vel.y[i]), 0.0);
}

TEST(Generator, HaloEntersTheStartVelocities) {
    // A lone star feels only the halo: it orbits at r * sqrt(G M_h / R^3).
    CGalaxy g;
    g.shape = GalaxyShape::Disc;
    g.requestedStars = 1;
    g.randomSeed = 5;
    g.darkMatterSetting = DarkMatterModel::Sphere;
    g.darkFractionSetting = 0.75;
    ASSERT_TRUE(g.newGalaxy());
    const double r = std::hypot(g.pos.x[0], g.pos.y[0]);
    ASSERT_GT(r, 0.0);
    const double haloMass = 400.0 * 0.75 / 0.25;
    const double expected = r * std::sqrt(g.gravity * haloMass / 125.0);
    EXPECT_NEAR(std::hypot(g.vel.x[0], g.vel.y[0]), expected, 1e-12 * expected);
    g.darkMatter = DarkMatterModel::None;
    g.startVelocities(1.0);
    EXPECT_EQ(g.vel.x[0], 0.0);
}

TEST(Generator, EveryStarGetsTheChosenColourAndTheHistoryRestarts) {
    CGalaxy g;
    g.starColor = StarColor::Blue;
    g.requestedStars = 20;
    g.randomSeed = 2;
    ASSERT_TRUE(g.allocate());
    g.historyCount = 3;
    g.generate();
    EXPECT_EQ(g.historyCount, 0);
    for (int i = 0; i < g.numStars; ++i) EXPECT_EQ(g.color[i], StarColor::Blue);
}
