#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "tests/support/galaxy_builder.h"

// Installs the stars into the galaxy with the given constants and force
// method (no halo, Galactic box of 5, so the octree root has half-size 250).
inline void useStars(CGalaxy& g, const std::vector<TestStar>& stars, double gravity, double timeStep,
                     double modifier, int forceMethod) {
    g.scaleSetting = UnitScale::Galactic;
    g.darkMatterSetting = DarkMatterModel::None;
    ASSERT_TRUE(installStars(g, stars));
    g.gravity = gravity;
    g.timeStep = timeStep;
    g.shieldModifier = modifier;
    g.forceMethod = forceMethod;
}

inline void evaluate(CGalaxy& g) { ComputeDerivatives(g, g.stateLen, 0.0, g.state, g.deriv); }

inline Accel3 accOf(const CGalaxy& g, int i) { return {g.acc.x[i], g.acc.y[i], g.acc.z[i]}; }

// Newtonian pull of star `from` on star `on`, with gravity G.
inline Accel3 pull(const TestStar& on, const TestStar& from, double G) {
    const double dx = from.x - on.x, dy = from.y - on.y, dz = from.z - on.z;
    const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double k = G * from.m / (r * r * r);
    return {k * dx, k * dy, k * dz};
}

inline Accel3 sum(std::initializer_list<Accel3> parts) {
    Accel3 s = {0.0, 0.0, 0.0};
    for (const Accel3& p : parts)
        for (int a = 0; a < 3; ++a) s[a] += p[a];
    return s;
}

inline double relativeError(const Accel3& got, const Accel3& want) {
    const double e = std::hypot(got[0] - want[0], got[1] - want[1], got[2] - want[2]);
    return e / std::hypot(want[0], want[1], want[2]);
}
