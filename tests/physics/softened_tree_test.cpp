// The softened tree against a plain softened direct sum.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "physics/methods.h"
#include "physics/softened_tree.h"
#include "physics/softening.h"
#include "physics/workers.h"
#include "tests/support/force_checks.h"
#include "tests/support/kernel_defaults.h"

namespace {

// A Plummer sphere of scale radius 1 and total mass 1.
std::vector<TestStar> plummerStars(int n, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<TestStar> stars;
    for (int i = 0; i < n; ++i) {
        const double r = 1.0 / std::sqrt(std::pow(1.0 - uniform(random), -2.0 / 3.0) - 1.0);
        const double c = 2.0 * uniform(random) - 1.0, phi = 2.0 * M_PI * uniform(random);
        const double s = std::sqrt(1.0 - c * c);
        stars.push_back({1.0 / n, r * s * std::cos(phi), r * s * std::sin(phi), r * c});
    }
    return stars;
}

void useSoftened(CGalaxy& g, const std::vector<TestStar>& stars, int softening, double angle, double forceError) {
    useStars(g, stars, 1.0, 1.0, 1.0, ForceMethod::BarnesHut);
    g.softening = softening;
    g.epsilon = 0.01;
    g.openingAngle = angle;
    g.forceError = forceError;
}

struct Pulls {
    std::vector<double> x, y, z, phi;
};

Pulls treePulls(const CGalaxy& g) {
    const int n = g.numStars;
    Pulls p{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n), std::vector<double>(n)};
    softenedTreeForces(g, n, g.pos.x, g.pos.y, g.pos.z, p.x.data(), p.y.data(), p.z.data(), p.phi.data());
    return p;
}

// Every pair of stars 0..n-1, with SofteningKernel.
Pulls directPulls(const CGalaxy& g, int n) {
    const SofteningKernel kernel = SofteningKernel::of(g);
    Pulls p{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n), std::vector<double>(n)};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double dx = g.pos.x[j] - g.pos.x[i], dy = g.pos.y[j] - g.pos.y[i], dz = g.pos.z[j] - g.pos.z[i];
            const double r2 = dx * dx + dy * dy + dz * dz;
            const double gm = g.gravity * g.mass[j];
            const double k = gm * kernel.pull(r2);
            p.x[i] += k * dx;
            p.y[i] += k * dy;
            p.z[i] += k * dz;
            p.phi[i] += gm * kernel.depth(r2);
        }
    return p;
}

// Relative errors of the pulls and of the potentials of stars first..end-1,
// each sorted.
struct Errors {
    std::vector<double> pull, potential;
    double percentile(const std::vector<double>& e, double q) const { return e[static_cast<std::size_t>(q * (e.size() - 1))]; }
};

Errors errorsOf(const Pulls& got, const Pulls& want, int first, int end) {
    Errors e;
    for (int i = first; i < end; ++i) {
        e.pull.push_back(std::hypot(got.x[i] - want.x[i], got.y[i] - want.y[i], got.z[i] - want.z[i]) /
                         std::hypot(want.x[i], want.y[i], want.z[i]));
        e.potential.push_back(std::fabs(got.phi[i] - want.phi[i]) / want.phi[i]);
    }
    std::sort(e.pull.begin(), e.pull.end());
    std::sort(e.potential.begin(), e.potential.end());
    return e;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](double u, double v) {
               return std::bit_cast<std::uint64_t>(u) == std::bit_cast<std::uint64_t>(v);
           });
}

}  // namespace

TEST(SoftenedTree, ErrorDrivenOpeningKeepsThe99thPercentileNearTheTarget) {
    struct Row {
        int softening;
        double forceError;
    };
    const std::vector<TestStar> stars = plummerStars(3000, 5);
    CGalaxy g;
    for (const Row row : {Row{Softening::Spline, 3e-3}, Row{Softening::Spline, 1e-3}, Row{Softening::Plummer, 1e-3}}) {
        SCOPED_TRACE("softening " + std::to_string(row.softening) + ", force error " + std::to_string(row.forceError));
        useSoftened(g, stars, row.softening, 0.4, row.forceError);
        const Errors e = errorsOf(treePulls(g), directPulls(g, g.numStars), 0, g.numStars);
        // The target is a percentile of a few thousand stars: 20% above it
        // allows for the sample; the potentials are smoother than the pulls.
        EXPECT_LE(e.percentile(e.pull, 0.99), 1.2 * row.forceError);
        EXPECT_LE(e.percentile(e.potential, 0.99), row.forceError);
    }
}

TEST(SoftenedTree, TinyOpeningAngleGivesTheDirectSumForEveryBuild) {
    const KeepDefaults keep;
    std::vector<TestStar> stars = plummerStars(1500, 7);
    stars.push_back(stars[3]);  // a coincident pair
    CGalaxy g;
    std::vector<KernelBuild> builds = {KernelBuild::Plain, KernelBuild::Generic, KernelBuild::Avx2, KernelBuild::Avx512};
    for (const int softening : {Softening::Spline, Softening::Plummer}) {
        useSoftened(g, stars, softening, 1e-3, 0.0);
        const Pulls direct = directPulls(g, g.numStars);
        for (const KernelBuild build : builds) {
            SCOPED_TRACE("softening " + std::to_string(softening) + ", build " + std::to_string(static_cast<int>(build)));
            selectKernelBuild(build);
            const Errors e = errorsOf(treePulls(g), direct, 0, g.numStars);
            // The vector builds sum the sources beyond the group's own
            // leaves in floats.
            const double rounding = build == KernelBuild::Plain ? 1e-10 : 1e-5;
            EXPECT_LE(e.pull.back(), rounding);
            EXPECT_LE(e.potential.back(), rounding);
        }
    }
}

TEST(SoftenedTree, GivesTheSameBitsForOneTwoAndThreeThreads) {
    const KeepDefaults keep;
    CGalaxy g;
    useSoftened(g, plummerStars(5000, 9), Softening::Spline, 0.4, 1e-3);
    setWorkerThreads(1);
    const Pulls first = treePulls(g);
    for (const int threads : {2, 3}) {
        setWorkerThreads(threads);
        const Pulls p = treePulls(g);
        EXPECT_TRUE(sameBits(p.x, first.x) && sameBits(p.y, first.y) && sameBits(p.z, first.z)) << threads;
        EXPECT_TRUE(sameBits(p.phi, first.phi)) << threads;
    }
}

TEST(SoftenedTree, MasslessStarsFeelTheTreeAndChangeNoBitOfTheOthers) {
    const std::vector<TestStar> massive = plummerStars(600, 11);
    std::vector<TestStar> stars = massive;
    for (const TestStar& s : plummerStars(2000, 12)) stars.push_back({0.0, 3.0 * s.x, 3.0 * s.y, 3.0 * s.z});
    stars.push_back({0.0, 1e4, -2e4, 0.5});
    stars.push_back({1.0, std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0});
    stars.push_back({0.0, 0.0, std::numeric_limits<double>::infinity(), 0.0});
    CGalaxy alone, all;
    useSoftened(alone, massive, Softening::Spline, 0.4, 1e-3);
    useSoftened(all, stars, Softening::Spline, 0.4, 1e-3);
    const Pulls without = treePulls(alone);
    Pulls with = treePulls(all);
    const int m = static_cast<int>(massive.size()), n = static_cast<int>(stars.size());
    for (auto* v : {&with.x, &with.y, &with.z, &with.phi}) {
        EXPECT_TRUE(std::isnan((*v)[n - 1]) && std::isnan((*v)[n - 2]));
        v->resize(n - 2);
    }
    for (const auto& [got, want] : {std::pair{&with.x, &without.x}, {&with.y, &without.y}, {&with.z, &without.z}})
        EXPECT_TRUE(sameBits(std::vector<double>(got->begin(), got->begin() + m), *want));
    // Against the direct sum of the stars with finite coordinates.
    const Errors e = errorsOf(with, directPulls(all, n - 2), m, n - 2);
    EXPECT_LE(e.percentile(e.pull, 0.99), 1.2e-3);
}

TEST(SoftenedTree, IsTheBarnesHutPullOfTheStepAndThePotentialOfTheReport) {
    CGalaxy g;
    useSoftened(g, plummerStars(2000, 13), Softening::Plummer, 0.4, 1e-3);
    evaluate(g);
    const Pulls tree = treePulls(g);
    EXPECT_TRUE(sameBits(std::vector<double>(g.acc.x, g.acc.x + g.numStars), tree.x));
    g.bookkeeping();
    const Pulls direct = directPulls(g, g.numStars);
    double pe = 0.0;
    for (int i = 0; i < g.numStars; ++i) pe -= 0.5 * g.mass[i] * direct.phi[i];
    EXPECT_NEAR(g.potentialEnergy, pe, 1e-3 * std::fabs(pe));
}

TEST(SoftenedTree, CoincidentLoneAndFarFlungStarsGiveSaneResults) {
    CGalaxy g;
    // Forty stars on one point share the last level's cell: no pull, and the
    // spline's depth at 0, 1 / epsilon, from each of the others.
    useSoftened(g, std::vector<TestStar>(40, TestStar{0.5, 1.0, 2.0, 3.0}), Softening::Spline, 0.4, 1e-3);
    Pulls p = treePulls(g);
    for (int i = 0; i < g.numStars; ++i) {
        EXPECT_EQ(std::hypot(p.x[i], p.y[i], p.z[i]), 0.0);
        EXPECT_NEAR(p.phi[i], 39 * 0.5 / 0.01, 1e-9);
    }
    useSoftened(g, {TestStar{1.0, 0.0, 0.0, 0.0}}, Softening::Plummer, 0.4, 0.0);
    p = treePulls(g);
    EXPECT_EQ(std::hypot(p.x[0], p.y[0], p.z[0]) + p.phi[0], 0.0);
    // A star so far out that the squares of distances overflow.
    std::vector<TestStar> stars = plummerStars(200, 15);
    stars.push_back({1.0, 1e300, -1e300, 0.0});
    useSoftened(g, stars, Softening::Spline, 0.4, 1e-3);
    p = treePulls(g);
    for (int i = 0; i < 200; ++i) EXPECT_TRUE(std::isfinite(p.x[i] + p.y[i] + p.z[i] + p.phi[i])) << i;
}

// A softened Plummer sphere near equilibrium (Gaussian velocities of the
// isotropic dispersion sigma^2 = G M / (6 sqrt(1 + r^2)) that Jeans' equation
// gives) under Leapfrog, by direct sum and by the tree: the total energy
// swings with the step but does not drift. Over 5 dynamical times at a
// hundredth of one per step it stays within 2e-5, and its largest swing in the
// second half is no more than twice that in the first (measured: 3e-6).
TEST(SoftenedTree, LeapfrogKeepsTheEnergyOfASoftenedPlummerSphereBounded) {
    for (const int force : {ForceMethod::Direct, ForceMethod::BarnesHut}) {
        SCOPED_TRACE(force);
        CGalaxy g;
        useSoftened(g, plummerStars(1000, 21), Softening::Plummer, 0.4, 1e-3);
        g.forceMethod = force;
        g.epsilon = 0.05;
        g.integrationMethod = IntegrationMethod::Leapfrog;
        g.timeStep = 0.01;
        g.exactEnergy = 1;
        std::mt19937_64 random(22);
        std::normal_distribution<double> normal(0.0, 1.0);
        for (int i = 0; i < g.numStars; ++i) {
            const double r2 = g.pos.x[i] * g.pos.x[i] + g.pos.y[i] * g.pos.y[i] + g.pos.z[i] * g.pos.z[i];
            const double sigma = std::sqrt(1.0 / (6.0 * std::sqrt(1.0 + r2)));
            g.vel.x[i] = sigma * normal(random);
            g.vel.y[i] = sigma * normal(random);
            g.vel.z[i] = sigma * normal(random);
        }
        g.bookkeeping();
        const double start = g.totalEnergy;
        double firstHalf = 0.0, secondHalf = 0.0;
        for (int block = 1; block <= 20; ++block) {
            for (int k = 0; k < 25; ++k) integrationStep(g);
            g.bookkeeping();
            const double error = std::fabs(g.totalEnergy / start - 1.0);
            (block <= 10 ? firstHalf : secondHalf) = std::max(block <= 10 ? firstHalf : secondHalf, error);
        }
        EXPECT_LT(std::max(firstHalf, secondHalf), 2e-5);
        EXPECT_LE(secondHalf, 2.0 * firstHalf);
    }
}
