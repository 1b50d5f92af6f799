// The softened laws of the direct sum, the grid and dynamic Euler against the
// two-body formulas, the fast softened sums against the plain loops, and
// massless test stars.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/galaxy.h"
#include "model/random.h"
#include "physics/direct_sum.h"
#include "physics/kernel_builds.h"
#include "physics/softening.h"
#include "physics/workers.h"
#include "tests/support/force_checks.h"
#include "tests/support/kernel_defaults.h"

namespace {

// GADGET-4's cubic spline softening of reach h = 2.8 epsilon, with its
// coefficients (SOFTFAC1 .. SOFTFAC17 of src/gravtree/gravtree.h): the pull
// per unit mass over r, and the potential per unit mass (negative).
double gadgetPull(double r, double epsilon) {
    const double h = 2.8 * epsilon;
    if (r >= h) return 1.0 / (r * r * r);
    const double hInv = 1.0 / h, h3Inv = hInv * hInv * hInv, u = r * hInv, u2 = u * u;
    if (u < 0.5) return h3Inv * (32.0 / 3 + u2 * (32.0 * u + -38.4));
    const double u3 = u2 * u;
    return h3Inv * (64.0 / 3 + -48.0 * u + 38.4 * u2 + -32.0 / 3 * u3 + -1.0 / 15 / u3);
}
double gadgetPotential(double r, double epsilon) {
    const double h = 2.8 * epsilon;
    if (r >= h) return -1.0 / r;
    const double hInv = 1.0 / h, u = r * hInv, u2 = u * u;
    if (u < 0.5) return hInv * (-2.8 + u2 * (16.0 / 3 + u2 * (6.4 * u + -9.6)));
    return hInv * (-3.2 + 1.0 / 15 / u + u2 * (32.0 / 3 + u * (-16.0 + u * (9.6 + -32.0 / 15 * u))));
}

double plummerPull(double r, double epsilon) { return std::pow(r * r + epsilon * epsilon, -1.5); }
double plummerPotential(double r, double epsilon) { return -1.0 / std::sqrt(r * r + epsilon * epsilon); }

// Two stars r apart along (2, -1, 2) / 3; across a face of the grid's cells
// (x = 0) or both inside one cell.
struct PairCase {
    const char* name;
    int softening;
    double r;
    bool acrossCells;
};
constexpr double kEpsilon = 0.1;
constexpr PairCase kPairCases[] = {
    {"Plummer", Softening::Plummer, 0.3, false},
    {"Plummer, coincident", Softening::Plummer, 0.0, false},
    {"Plummer, across cells", Softening::Plummer, 0.3, true},
    {"spline, u < 0.5", Softening::Spline, 0.1, false},
    {"spline, 0.5 <= u < 1", Softening::Spline, 0.2, false},
    {"spline, 0.5 <= u < 1, across cells", Softening::Spline, 0.2, true},
    {"spline, u >= 1", Softening::Spline, 0.5, false},
    {"spline, coincident", Softening::Spline, 0.0, false},
};

// Dynamic Euler sums its own pairs.
struct PairMethod {
    const char* name;
    int force, integrator;
};
constexpr PairMethod kPairMethods[] = {
    {"direct sum", ForceMethod::Direct, IntegrationMethod::Euler},
    {"particle mesh", ForceMethod::ParticleMesh, IntegrationMethod::Euler},
    {"dynamic Euler", ForceMethod::Direct, IntegrationMethod::DynamicEuler},
};

constexpr double kNear = 1e-12;

}  // namespace

TEST(SoftenedForces, TwoStarsPullAndHoldEnergyByTheKernelUnderEveryMethod) {
    const double m0 = 3.0, m1 = 5.0;
    for (const PairCase& c : kPairCases) {
        const double f = c.softening == Softening::Plummer ? plummerPull(c.r, kEpsilon) : gadgetPull(c.r, kEpsilon);
        const double p = c.softening == Softening::Plummer ? plummerPotential(c.r, kEpsilon)
                                                           : gadgetPotential(c.r, kEpsilon);
        const double d[3] = {2.0 * c.r / 3.0, -c.r / 3.0, 2.0 * c.r / 3.0};
        const double x0 = c.acrossCells ? -0.5 * d[0] : 3.0;
        const TestStar s0 = {m0, x0, 3.0, 3.0}, s1 = {m1, x0 + d[0], 3.0 + d[1], 3.0 + d[2]};
        for (const PairMethod& method : kPairMethods) {
            SCOPED_TRACE(std::string(c.name) + ", " + method.name);
            CGalaxy g;
            useStars(g, {s0, s1}, 0.7, 1.0, 10.0, method.force);
            g.softening = c.softening;
            g.epsilon = kEpsilon;
            g.integrationMethod = method.integrator;
            const double G = g.gravity;
            const double scale = G * m1 / (kEpsilon * kEpsilon);

            g.bookkeeping();
            EXPECT_NEAR(g.potentialEnergy, G * m0 * m1 * p, kNear * G * m0 * m1 / kEpsilon);
            if (method.force == ForceMethod::Direct) {
                double phi[2];
                directPotentials(g, 2, g.pos.x, g.pos.y, g.pos.z, phi);
                EXPECT_NEAR(phi[0], -G * m1 * p, kNear * G * m1 / kEpsilon);
                EXPECT_NEAR(phi[1], -G * m0 * p, kNear * G * m0 / kEpsilon);
            }
            if (method.integrator == IntegrationMethod::DynamicEuler)
                g.DynamicEulerStep(1e-3);  // at rest: the pulls at the start
            else
                evaluate(g);
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(accOf(g, 0)[a], G * m1 * f * d[a], kNear * scale) << "axis " << a;
                EXPECT_NEAR(accOf(g, 1)[a], -G * m0 * f * d[a], kNear * scale) << "axis " << a;
            }
        }
    }
}

namespace {

// A clump of unequal masses as wide as a few softening lengths, so that pairs
// fall in every part of the spline; every eleventh star sits on an earlier one
// and every seventh has no mass.
std::vector<TestStar> clump(int n, unsigned seed) {
    CRandom rnd(seed);
    const auto uniform = [&] { return 2.0 * rnd() / CRandom::kMax - 1.0; };
    std::vector<TestStar> stars;
    for (int i = 0; i < n; ++i) {
        const double m = i % 7 == 3 ? 0.0 : 1.0 + (rnd() % 9);
        if (i > 0 && i % 11 == 0)
            stars.push_back({m, stars[i / 2].x, stars[i / 2].y, stars[i / 2].z});
        else
            stars.push_back({m, 0.6 * uniform(), 0.4 * uniform(), 0.3 * uniform()});
    }
    return stars;
}

struct Field {
    std::vector<double> x, y, z;
    explicit Field(int n) : x(n), y(n), z(n) {}
};

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](double u, double v) {
               return std::bit_cast<std::uint64_t>(u) == std::bit_cast<std::uint64_t>(v);
           });
}

double relativeError(const Field& got, const Field& want, int i) {
    const double size = std::hypot(want.x[i], want.y[i], want.z[i]);
    const double error = std::hypot(got.x[i] - want.x[i], got.y[i] - want.y[i], got.z[i] - want.z[i]);
    return size == 0.0 ? error : error / size;
}

}  // namespace

TEST(SoftenedForces, FastSumsMatchThePlainLoopsAndGiveTheSameBitsForEveryThreadCountAndBuild) {
    const KeepDefaults keep;
    for (const int kind : {Softening::Plummer, Softening::Spline}) {
        for (const int n : {2, 9, 300, 2500}) {
            SCOPED_TRACE("softening " + std::to_string(kind) + ", n = " + std::to_string(n));
            CGalaxy g;
            useStars(g, clump(n, 7u + n), 0.7, 1.0, 10.0, ForceMethod::Direct);
            const SofteningKernel kernel = {kind, 0.05};
            g.softening = kind;
            g.epsilon = kernel.epsilon;
            const double *x = g.pos.x, *y = g.pos.y, *z = g.pos.z;
            Field plain(n);
            softenedSumReference(n, x, y, z, g.mass, kernel, g.gravity, plain.x.data(), plain.y.data(),
                                 plain.z.data());
            // The whole potential written out plainly.
            std::vector<double> plainPhi(n, 0.0);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j)
                    if (j != i) {
                        const double dx = x[j] - x[i], dy = y[j] - y[i], dz = z[j] - z[i];
                        plainPhi[i] += g.gravity * g.mass[j] * kernel.depth(dx * dx + dy * dy + dz * dz);
                    }
            selectKernelBuild(KernelBuild::Plain);
            std::vector<double> plainS(n);
            softenedPairPotentials(n, x, y, z, g.mass, kernel, g.gravity, plainS.data());

            Field first(0);
            std::vector<double> firstS, firstPhi;
            for (const KernelBuild build : vectorBuilds()) {
                selectKernelBuild(build);
                for (const int threads : {1, 2, 3}) {
                    SCOPED_TRACE("build " + std::to_string(static_cast<int>(build)) + ", threads " +
                                 std::to_string(threads));
                    setWorkerThreads(threads);
                    Field fast(n);
                    directForces(g, n, x, y, z, fast.x.data(), fast.y.data(), fast.z.data());
                    std::vector<double> S(n), phi(n);
                    softenedPairPotentials(n, x, y, z, g.mass, kernel, g.gravity, S.data());
                    directPotentials(g, n, x, y, z, phi.data());
                    for (int i = 0; i < n; ++i) {
                        EXPECT_LE(relativeError(fast, plain, i), 1e-13) << "star " << i;
                        EXPECT_NEAR(S[i], plainS[i], 1e-13 * plainS[i]) << "star " << i;
                        EXPECT_NEAR(phi[i], plainPhi[i], 1e-13 * plainPhi[i]) << "star " << i;
                    }
                    if (firstS.empty()) {
                        first = fast;
                        firstS = S;
                        firstPhi = phi;
                        continue;
                    }
                    EXPECT_TRUE(sameBits(fast.x, first.x) && sameBits(fast.y, first.y) &&
                                sameBits(fast.z, first.z));
                    EXPECT_TRUE(sameBits(S, firstS) && sameBits(phi, firstPhi));
                }
            }
        }
    }
}

TEST(MasslessStars, FeelTheSamePullAsBeforeAndExertNone) {
    const KeepDefaults keep;
    // A massive clump, then test stars among and around it, one of them on top
    // of a massive star.
    std::vector<TestStar> massive = clump(300, 5);
    massive.erase(std::remove_if(massive.begin(), massive.end(), [](const TestStar& s) { return s.m == 0.0; }),
                  massive.end());
    std::vector<TestStar> all = massive;
    CRandom rnd(9);
    for (int i = 0; i < 700; ++i) all.push_back({0.0, 0.001 * (rnd() % 1000), 0.5, -0.002 * (rnd() % 500)});
    all.push_back({0.0, massive[4].x, massive[4].y, massive[4].z});
    const int n = static_cast<int>(all.size()), heavy = static_cast<int>(massive.size());

    for (const int kind : {Softening::Shield, Softening::Plummer, Softening::Spline}) {
        SCOPED_TRACE("softening " + std::to_string(kind));
        CGalaxy g, alone;
        useStars(g, all, 0.7, 1.0, 0.05, ForceMethod::Direct);
        useStars(alone, massive, 0.7, 1.0, 0.05, ForceMethod::Direct);
        g.softening = alone.softening = kind;
        g.epsilon = alone.epsilon = 0.05;
        const double *x = g.pos.x, *y = g.pos.y, *z = g.pos.z;

        // Before: every star a source, in the plain loop.
        selectKernelBuild(KernelBuild::Plain);
        Field before(n);
        directForces(g, n, x, y, z, before.x.data(), before.y.data(), before.z.data());
        selectKernelBuild(bestKernelBuild());
        Field now(n), withoutTestStars(heavy);
        directForces(g, n, x, y, z, now.x.data(), now.y.data(), now.z.data());
        directForces(alone, heavy, alone.pos.x, alone.pos.y, alone.pos.z, withoutTestStars.x.data(),
                     withoutTestStars.y.data(), withoutTestStars.z.data());
        for (int i = 0; i < heavy; ++i) EXPECT_LE(relativeError(now, withoutTestStars, i), 1e-13) << "star " << i;
        for (int i = heavy; i < n; ++i) EXPECT_LE(relativeError(now, before, i), 1e-13) << "star " << i;

        std::vector<double> phi(n), phiAlone(heavy);
        directPotentials(g, n, x, y, z, phi.data());
        directPotentials(alone, heavy, alone.pos.x, alone.pos.y, alone.pos.z, phiAlone.data());
        for (int i = 0; i < heavy; ++i) EXPECT_NEAR(phi[i], phiAlone[i], 1e-13 * phiAlone[i]) << "star " << i;
        g.bookkeeping();
        alone.bookkeeping();
        EXPECT_NEAR(g.potentialEnergy, alone.potentialEnergy, 1e-13 * std::fabs(alone.potentialEnergy));
    }
}
