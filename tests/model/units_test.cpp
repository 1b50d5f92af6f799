#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/galaxy.h"
#include "tests/support/galaxy_builder.h"

TEST(Units, GravityFollowsFromTheConstantsOfEachScale) {
    CGalaxy g;
    g.setScale(UnitScale::Galactic);
    EXPECT_NEAR(g.gravity, 1.5585e-10, 0.0001e-10);
    EXPECT_EQ(g.gravity, 6.673e-11 * 1.99e30 * 3.15576e13 * 3.15576e13 / (9.46728e18 * 9.46728e18 * 9.46728e18));
    EXPECT_EQ(g.boxSize, 5.0);
    EXPECT_EQ(g.viewDistance, 50.0);
    EXPECT_EQ(g.depthSpan, 10.0);
    EXPECT_EQ(g.panScale, 0.95);

    g.setScale(UnitScale::SolarSystem);
    EXPECT_NEAR(g.gravity, 8.8115e-10, 0.0001e-10);
    const double solar = g.gravity;
    EXPECT_EQ(g.massUnit, 5.97e24);
    EXPECT_EQ(g.boxSize, 100.0);
    EXPECT_EQ(g.viewDistance, 1000.0);
    EXPECT_EQ(g.depthSpan, 200.0);
    EXPECT_EQ(g.panScale, 0.0475);

    g.setScale(UnitScale::EarthSun);
    EXPECT_EQ(g.gravity, solar);
    EXPECT_EQ(g.boxSize, 4.0);
    EXPECT_EQ(g.viewDistance, 40.0);
    EXPECT_EQ(g.depthSpan, 8.0);
    EXPECT_EQ(g.panScale, 1.1875);

    // anything else is Galactic
    g.setScale(7);
    EXPECT_EQ(g.boxSize, 5.0);
    g.setScale(-1);
    EXPECT_EQ(g.massUnit, 1.99e30);
}

TEST(Units, ScaleChangesNeverConvertTheStars) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{400, 1.5, -2, 0.25, 0.1, 0.2, 0.3, 4}}));
    const double gravity = g.gravity;
    g.viewDistance = 3.0;  // zoomed
    g.panX = 2.0;
    g.setScale(UnitScale::SolarSystem);
    EXPECT_EQ(g.scale, UnitScale::Galactic);  // callers set scale themselves
    EXPECT_EQ(g.viewDistance, 1000.0);
    g.setScale(UnitScale::Galactic);
    EXPECT_EQ(g.gravity, gravity);
    EXPECT_EQ(g.viewDistance, 50.0);
    EXPECT_EQ(g.panX, 2.0);
    EXPECT_EQ(g.pos.x[0], 1.5);
    EXPECT_EQ(g.vel.z[0], 0.3);
    EXPECT_EQ(g.mass[0], 400.0);
}

// A zoom kept over a galaxy in another box would leave it far too near or far.
TEST(Units, AKeptViewKeepsItsZoomOnlyInTheSameBox) {
    CGalaxy g;
    g.setBox(73.8);
    g.viewDistance = 100.0;
    const GalaxyView zoomed(g);
    g.setScale(UnitScale::Galactic);
    zoomed.restore(g);
    EXPECT_EQ(g.viewDistance, 50.0);
    g.setBox(73.8);
    zoomed.restore(g);
    EXPECT_EQ(g.viewDistance, 100.0);
}

TEST(Units, NameTablesPerScale) {
    CGalaxy g;
    const std::string length[] = {"k ly", "AU", "AU"};
    const std::string timeName[] = {"Myr", "days", "days"};
    // Solar System counts in Earth masses, as Earth-Sun does.
    const std::string massName[] = {"Solar Masses", "Earth Masses", "Earth Masses"};
    const std::string energy[] = {"Msol (k ly)^2/ (Myr)^2", "Mearth (AU)^2/ (day)^2", "Mearth (AU)^2/ (day)^2"};
    const std::string momentum[] = {"Msol k ly / Myr", "Mearth AU / day", "Mearth AU / day"};
    const std::string scale[] = {"Galactic", "Solar System", "Earth-Sun"};
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(g.lengthUnitName[s], length[s]);
        EXPECT_EQ(g.timeUnitName[s], timeName[s]);
        EXPECT_EQ(g.massUnitName[s], massName[s]);
        EXPECT_EQ(g.energyUnitName[s], energy[s]);
        EXPECT_EQ(g.momentumUnitName[s], momentum[s]);
        EXPECT_EQ(g.scaleName[s], scale[s]);
    }
    EXPECT_EQ(g.scaleName[3], "");
    EXPECT_EQ(g.lengthUnitName[4], "");
}

TEST(Units, EarthSunGalaxiesAreBornInABoxOfEdgeFour) {
    CGalaxy g;
    g.scaleSetting = UnitScale::EarthSun;
    g.shape = GalaxyShape::Cube;
    g.requestedStars = 200;
    g.randomSeed = 3;
    ASSERT_TRUE(g.newGalaxy());
    EXPECT_EQ(g.massUnitName[g.scale], "Earth Masses");
    double largest = 0;
    for (int i = 0; i < g.numStars; ++i)
        for (double c : {g.pos.x[i], g.pos.y[i], g.pos.z[i]}) largest = std::max(largest, std::fabs(c));
    EXPECT_LE(largest, 2.0);
    EXPECT_GT(largest, 1.9);
}
