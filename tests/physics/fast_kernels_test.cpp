// The vectorised, threaded pair sums against the plain loops, and the threaded
// tree and grid walks against the serial walks.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/galaxy.h"
#include "model/random.h"
#include "physics/barnes_hut.h"
#include "physics/direct_sum.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "physics/particle_mesh.h"
#include "physics/workers.h"
#include "tests/support/force_checks.h"
#include "tests/support/kernel_defaults.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kSizes[] = {0, 1, 2, 3, 7, 33, 300, 2500};
constexpr int kThreadCounts[] = {1, 2, 3};

struct Cloud {
    std::vector<double> x, y, z, m, s;
    int size() const { return static_cast<int>(x.size()); }
};

// A clumpy cloud with unequal masses and shields: every eleventh star sits on
// top of an earlier one, some shields are wide enough to cut pairs off, one
// star has no mass and no shield.
Cloud makeCloud(int n, unsigned seed) {
    CRandom rnd(seed);
    const auto uniform = [&] { return 2.0 * rnd() / CRandom::kMax - 1.0; };
    Cloud c;
    for (int i = 0; i < n; ++i) {
        const bool onTop = i > 0 && i % 11 == 0;
        c.x.push_back(onTop ? c.x[i / 2] : 3.0 * uniform() + (i % 3));
        c.y.push_back(onTop ? c.y[i / 2] : 2.0 * uniform());
        c.z.push_back(onTop ? c.z[i / 2] : uniform());
        c.m.push_back(i == 5 ? 0.0 : 1.0 + 9.0 * (rnd() % 100) / 100.0);
        c.s.push_back(i == 5 ? 0.0 : 0.3 * (rnd() % 4) / 3.0);
    }
    return c;
}

struct Field {
    std::vector<double> x, y, z;
};

// The pair rule written out plainly: pairs in index order, both partners.
Field plainAccelerations(const Cloud& c, double G) {
    const int n = c.size();
    Field a{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n)};
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const double dx = c.x[j] - c.x[i], dy = c.y[j] - c.y[i], dz = c.z[j] - c.z[i];
            const double r2 = dx * dx + dy * dy + dz * dz;
            const double r = std::sqrt(r2);
            if (!(r > c.s[i] && r > c.s[j])) continue;
            const double k = G / (r2 * r);
            a.x[i] += k * c.m[j] * dx;
            a.y[i] += k * c.m[j] * dy;
            a.z[i] += k * c.m[j] * dz;
            a.x[j] -= k * c.m[i] * dx;
            a.y[j] -= k * c.m[i] * dy;
            a.z[j] -= k * c.m[i] * dz;
        }
    return a;
}

Field fastAccelerations(const Cloud& c, double G) {
    const int n = c.size();
    Field a{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n)};
    directSumAccelerations(n, c.x.data(), c.y.data(), c.z.data(), c.m.data(), c.s.data(), G, a.x.data(), a.y.data(),
                           a.z.data());
    return a;
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameBits(a[i], b[i])) return false;
    return true;
}

// Largest error per star relative to the plain result; a star the plain loop
// gives no pull at all must get exactly none.
double worstRelativeError(const Field& got, const Field& want) {
    double worst = 0.0;
    for (std::size_t i = 0; i < want.x.size(); ++i) {
        const double size = std::hypot(want.x[i], want.y[i], want.z[i]);
        const double error = std::hypot(got.x[i] - want.x[i], got.y[i] - want.y[i], got.z[i] - want.z[i]);
        worst = std::max(worst, size == 0.0 ? (error == 0.0 ? 0.0 : 1.0) : error / size);
    }
    return worst;
}

}  // namespace

TEST(FastDirectSum, MatchesThePlainLoopAndGivesTheSameBitsForEveryThreadCountAndBuild) {
    const KeepDefaults keep;
    for (const int n : kSizes) {
        SCOPED_TRACE("n = " + std::to_string(n));
        const Cloud c = makeCloud(n, 17u + n);
        const Field plain = plainAccelerations(c, 0.7);
        Field first;
        bool haveFirst = false;
        for (const KernelBuild build : vectorBuilds()) {
            selectKernelBuild(build);
            for (const int threads : kThreadCounts) {
                SCOPED_TRACE("build " + std::to_string(static_cast<int>(build)) + ", threads " +
                             std::to_string(threads));
                setWorkerThreads(threads);
                const Field fast = fastAccelerations(c, 0.7);
                EXPECT_LE(worstRelativeError(fast, plain), 1e-13);
                if (!haveFirst) {
                    first = fast;
                    haveFirst = true;
                    continue;
                }
                EXPECT_TRUE(sameBits(fast.x, first.x) && sameBits(fast.y, first.y) && sameBits(fast.z, first.z));
            }
        }
    }
}

TEST(FastDirectSum, AddsToWhatTheCallerLeftInTheOutput) {
    const KeepDefaults keep;
    const Cloud c = makeCloud(40, 3);
    Field fast = fastAccelerations(c, 1.0);
    std::vector<double> ax(40, 2.5), ay(40, -1.0), az(40, 0.0);
    directSumAccelerations(40, c.x.data(), c.y.data(), c.z.data(), c.m.data(), c.s.data(), 1.0, ax.data(), ay.data(),
                           az.data());
    for (int i = 0; i < 40; ++i) {
        EXPECT_DOUBLE_EQ(ax[i], 2.5 + fast.x[i]);
        EXPECT_DOUBLE_EQ(ay[i], -1.0 + fast.y[i]);
        EXPECT_EQ(az[i], fast.z[i]);
    }
}

TEST(FastDirectSum, CoincidentStarsAndNaNCoordinatesStayOutOfThePairs) {
    const KeepDefaults keep;
    // Stars 0 and 1 coincide; with no shields at all they still must not
    // divide by zero. Star 3 has a NaN coordinate: the plain loop leaves all its
    // pairs out, so it must not spoil anyone's sum here either.
    Cloud c;
    c.x = {0.0, 0.0, 3.0, kNaN};
    c.y = {0.0, 0.0, 4.0, 1.0};
    c.z = {0.0, 0.0, 0.0, 1.0};
    c.m = {1.0, 2.0, 3.0, 1.0};
    c.s = {0.0, 0.0, 0.0, 0.0};
    for (const KernelBuild build : vectorBuilds()) {
        selectKernelBuild(build);
        const Field a = fastAccelerations(c, 1.0);
        EXPECT_DOUBLE_EQ(a.x[0], 3.0 * 3.0 / 125.0);
        EXPECT_DOUBLE_EQ(a.y[1], 3.0 * 4.0 / 125.0);
        EXPECT_DOUBLE_EQ(a.x[2], -3.0 * 3.0 / 125.0);
        EXPECT_DOUBLE_EQ(a.y[2], -3.0 * 4.0 / 125.0);
        EXPECT_EQ(a.z[2], 0.0);
        EXPECT_EQ(a.x[3], 0.0);
    }
}

namespace {

// The bookkeeping's pair sums written out plainly.
std::vector<double> plainPotentials(const Cloud& c, double G) {
    std::vector<double> S(c.size());
    for (int i = 0; i < c.size(); ++i)
        for (int j = 0; j < i; ++j) {
            const double dx = c.x[j] - c.x[i], dy = c.y[j] - c.y[i], dz = c.z[j] - c.z[i];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            const double s = std::max(c.s[i], c.s[j]);
            S[i] += r < s ? G * c.m[j] / s : G * c.m[j] / r;
        }
    return S;
}

}  // namespace

TEST(FastPotentials, MatchThePlainSumsPerStarAndGiveTheSameBitsForEveryThreadCountAndBuild) {
    const KeepDefaults keep;
    for (const int n : kSizes) {
        SCOPED_TRACE("n = " + std::to_string(n));
        Cloud c = makeCloud(n, 5u + n);
        // Star 5 has no shield, so the lanes beyond its row see the star
        // itself at distance 0 with shield 0: 0/0 that must stay out.
        for (double& s : c.s) s += 0.05;
        if (n > 5) c.s[5] = 0.0;
        const std::vector<double> plain = plainPotentials(c, 0.3);
        std::vector<double> first;
        for (const KernelBuild build : vectorBuilds()) {
            selectKernelBuild(build);
            for (const int threads : kThreadCounts) {
                setWorkerThreads(threads);
                std::vector<double> S(n, kNaN);
                pairPotentials(n, c.x.data(), c.y.data(), c.z.data(), c.m.data(), c.s.data(), 0.3, S.data());
                for (int i = 0; i < n; ++i) EXPECT_NEAR(S[i], plain[i], 1e-13 * std::fabs(plain[i])) << "star " << i;
                if (first.empty())
                    first = S;
                else
                    EXPECT_TRUE(sameBits(S, first)) << "build " << static_cast<int>(build) << ", threads " << threads;
            }
        }
    }
}

// A pass long enough to tell its progress is cut into slices of rows; the
// sums stay the same bits.
TEST(FastPotentials, ProgressRisesToOneAndChangesNoBit) {
    const Cloud c = makeCloud(12000, 9);
    std::vector<double> quiet(c.size()), told(c.size());
    pairPotentials(c.size(), c.x.data(), c.y.data(), c.z.data(), c.m.data(), c.s.data(), 0.3, quiet.data());
    std::vector<double> shares;
    pairPotentials(c.size(), c.x.data(), c.y.data(), c.z.data(), c.m.data(), c.s.data(), 0.3, told.data(),
                   [&](double share) { shares.push_back(share); });
    EXPECT_TRUE(sameBits(told, quiet));
    ASSERT_GE(shares.size(), 2u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 1.0);
}

TEST(FastPotentials, BookkeepingGivesThePlainEnergyForEveryThreadCount) {
    const KeepDefaults keep;
    CGalaxy g;
    const Cloud c = makeCloud(600, 11);
    std::vector<TestStar> stars;
    for (int i = 0; i < c.size(); ++i) stars.push_back({c.m[i], c.x[i], c.y[i], c.z[i], 0.1 * i, 0.0, -0.2});
    ASSERT_TRUE(installStars(g, stars));
    // The bookkeeping computes its shields itself.
    Cloud shielded = c;
    for (int i = 0; i < c.size(); ++i) shielded.s[i] = ShieldRadius(g.gravity * c.m[i], g.timeStep, g.shieldModifier);
    double pe = 0.0;
    const std::vector<double> S = plainPotentials(shielded, g.gravity);
    for (int i = 0; i < c.size(); ++i) pe = pe - c.m[i] * S[i];

    double first = 0.0;
    for (const int threads : kThreadCounts) {
        setWorkerThreads(threads);
        g.bookkeeping();
        EXPECT_NEAR(g.potentialEnergy, pe, 1e-13 * std::fabs(pe));
        if (threads == 1) first = g.potentialEnergy;
        EXPECT_TRUE(sameBits(g.potentialEnergy, first));
    }
}

namespace {

// Stars for the tree and the grid: a clump, a coincident pair (a bucket at
// the tree's depth limit), stars outside the tree's root cube and outside
// the grid, which still feel the pull of those inside.
std::vector<TestStar> walkStars(int n) {
    CRandom rnd(static_cast<unsigned>(n) + 1u);
    const auto uniform = [&] { return 2.0 * rnd() / CRandom::kMax - 1.0; };
    std::vector<TestStar> stars;
    for (int i = 0; i < n; ++i) {
        if (i == 4 && n > 4) {
            stars.push_back(stars[1]);
        } else if (i % 9 == 8) {
            stars.push_back({2.0, 60.0 * (i % 2 ? 1 : -1), uniform(), 300.0 * (i % 3 == 0)});
        } else {
            stars.push_back({1.0 + (rnd() % 5), 4.0 * uniform(), 4.0 * uniform(), 2.0 * uniform()});
        }
    }
    return stars;
}

// The rarer paths of the tree on top of a clump (root half-size 250): a pair
// the first 21 levels of octants cannot separate, a bucket of three stars and
// one 1e-17 beside them, two massless stars (their cell's centre of mass is
// 0/0, which opens it and every cell above it), a negative mass (a NaN
// shield radius), and stars with non-finite coordinates.
std::vector<TestStar> awkwardStars() {
    std::vector<TestStar> stars = walkStars(300);
    stars.push_back({1.0, 1.25, 1.5, 0.75});
    stars.push_back({2.0, 1.25 + 1e-9, 1.5, 0.75});
    for (int i = 0; i < 3; ++i) stars.push_back({3.0, -1.5, 0.5, 0.25});
    stars.push_back({1.0, -1.5 + 1e-17, 0.5, 0.25});
    stars.push_back({0.0, -2.0, -2.0, -1.0});
    stars.push_back({0.0, -2.0 + 1e-3, -2.0, -1.0});
    stars.push_back({-1.0, 3.0, -3.0, 0.5});
    stars.push_back({1.0, kNaN, 0.0, 0.0});
    stars.push_back({1.0, 0.0, std::numeric_limits<double>::infinity(), 0.0});
    return stars;
}

// The same bits, or NaN on both sides (the bits of a NaN depend on the
// order of the operands of the instruction that made it).
bool samePull(const Accel3& a, const Accel3& b) {
    for (int c = 0; c < 3; ++c)
        if (!sameBits(a[c], b[c]) && !(std::isnan(a[c]) && std::isnan(b[c]))) return false;
    return true;
}

// Adapters giving the tree and the grid one shape for the check below.
struct TreeField {
    COctreeNode root;
    void Insert(int i, double x, double y, double z, double m) { root.Insert(i, x, y, z, m); }
    void Weigh(const CGalaxy& g) { root.ComputeMass(g.gravity, g.timeStep, g.shieldModifier, g.openingAngle); }
    const COctreeNode& get() const { return root; }
    bool Holds(double x, double y, double z) const { return root.Octant(x, y, z) >= 0; }
};
struct GridField {
    CParticleMesh mesh;
    void Insert(int i, double x, double y, double z, double m) { mesh.AssignStar(i, x, y, z, m); }
    void Weigh(const CGalaxy& g) {
        mesh.ComputeCells(g.gravity, g.timeStep, g.shieldModifier);
        mesh.softening = SofteningKernel::of(g);
    }
    const CParticleMesh& get() const { return mesh; }
    bool Holds(double x, double y, double z) const { return mesh.CellOf(x, y, z) >= 0; }
};

TreeField treeOf(const CGalaxy& g) { return TreeField{COctreeNode(0.0, 0.0, 0.0, 50.0 * g.boxSize)}; }
GridField gridOf(const CGalaxy&) { return GridField{CParticleMesh(10, 0.0, 0.0, 0.0, 50.0)}; }

// The evaluation of the given method on the stars of g equals, bit for bit,
// for every build of the kernels and every thread count, a serial walk star
// by star in index order over a field built here.
template <class Field, class Build>
void expectSerialWalkBits(CGalaxy& g, int method, Build makeField) {
    const int n = g.numStars;
    std::vector<Accel3> serial(n);
    {
        Field field = makeField(g);
        for (int i = 0; i < n; ++i) field.Insert(i, g.pos.x[i], g.pos.y[i], g.pos.z[i], g.mass[i]);
        field.Weigh(g);
        for (int i = 0; i < n; ++i)
            serial[i] = field.get().Acceleration(i, g.pos.x[i], g.pos.y[i], g.pos.z[i], g.mass[i], g.gravity, -2.0,
                                                 g.timeStep);
    }
    g.forceMethod = method;
    std::vector<KernelBuild> builds = vectorBuilds();
    builds.push_back(KernelBuild::Plain);
    for (const KernelBuild build : builds) {
        selectKernelBuild(build);
        for (const int threads : kThreadCounts) {
            setWorkerThreads(threads);
            evaluate(g);
            int wrong = 0;
            for (int i = 0; i < n; ++i)
                if (!samePull(accOf(g, i), serial[i]) && ++wrong <= 3)
                    ADD_FAILURE() << "star " << i << ", build " << static_cast<int>(build) << ", threads "
                                  << threads;
        }
    }
}

using Potentials = void (*)(const CGalaxy&, int, const double*, const double*, const double*, double*);

// The same for the report's shares of the potential energy: the serial walk's
// potential, halved for a star that the field holds.
template <class Field, class Build>
void expectSerialPotentialBits(const CGalaxy& g, Potentials potentials, Build makeField) {
    const int n = g.numStars;
    const double *x = g.pos.x, *y = g.pos.y, *z = g.pos.z;
    std::vector<double> serial(n);
    {
        Field field = makeField(g);
        for (int i = 0; i < n; ++i) field.Insert(i, x[i], y[i], z[i], g.mass[i]);
        field.Weigh(g);
        for (int i = 0; i < n; ++i)
            serial[i] = (field.Holds(x[i], y[i], z[i]) ? 0.5 : 1.0) * field.get().Potential(i, x[i], y[i], z[i], g.gravity);
    }
    std::vector<KernelBuild> builds = vectorBuilds();
    builds.push_back(KernelBuild::Plain);
    for (const KernelBuild build : builds) {
        selectKernelBuild(build);
        for (const int threads : kThreadCounts) {
            setWorkerThreads(threads);
            std::vector<double> S(n, -1.0);
            potentials(g, n, x, y, z, S.data());
            int wrong = 0;
            for (int i = 0; i < n; ++i)
                if (!sameBits(S[i], serial[i]) && !(std::isnan(S[i]) && std::isnan(serial[i])) && ++wrong <= 3)
                    ADD_FAILURE() << "star " << i << ", build " << static_cast<int>(build) << ", threads " << threads;
        }
    }
}

// The walk that gives pulls and potentials together, as the start velocities
// take it: its potentials, once its pulls are found to be those of the walk
// for pulls alone.
void treePotentialsBesidePulls(const CGalaxy& g, int n, const double* x, const double* y, const double* z,
                               double* S) {
    std::vector<double> alone(3 * n + 1), beside(3 * n + 1);
    barnesHutForces(g, n, x, y, z, alone.data(), alone.data() + n, alone.data() + 2 * n);
    barnesHutForces(g, n, x, y, z, beside.data(), beside.data() + n, beside.data() + 2 * n, S);
    int wrong = 0;
    for (int i = 0; i < 3 * n; ++i)
        if (!sameBits(alone[i], beside[i]) && !(std::isnan(alone[i]) && std::isnan(beside[i])) && ++wrong <= 3)
            ADD_FAILURE() << "pull on star " << i % n << " differs beside the potentials";
}

}  // namespace

TEST(FastWalks, TreeAndGridPotentialsGiveTheSerialWalksBitsForEveryBuildAndThreadCount) {
    const KeepDefaults keep;
    CGalaxy g;
    for (const double modifier : {0.0, 0.2, 3.0}) {
        SCOPED_TRACE("shield modifier " + std::to_string(modifier));
        for (const int n : kSizes) {
            useStars(g, walkStars(n), 0.5, 1.0, modifier, ForceMethod::BarnesHut);
            for (const Potentials tree : {barnesHutPotentials, treePotentialsBesidePulls})
                expectSerialPotentialBits<TreeField>(g, tree, treeOf);
            expectSerialPotentialBits<GridField>(g, particleMeshPotentials, gridOf);
        }
        useStars(g, awkwardStars(), 0.5, 1.0, modifier, ForceMethod::BarnesHut);
        for (const Potentials tree : {barnesHutPotentials, treePotentialsBesidePulls})
            expectSerialPotentialBits<TreeField>(g, tree, treeOf);
        expectSerialPotentialBits<GridField>(g, particleMeshPotentials, gridOf);
    }
}

TEST(FastWalks, TreeGivesTheSerialWalksBitsForEveryBuildAndThreadCount) {
    const KeepDefaults keep;
    CGalaxy g;
    for (const int n : kSizes) {
        SCOPED_TRACE("n = " + std::to_string(n));
        useStars(g, walkStars(n), 0.5, 1.0, 0.2, ForceMethod::BarnesHut);
        expectSerialWalkBits<TreeField>(g, ForceMethod::BarnesHut, treeOf);
    }
    // Shields from none to wide enough to swallow whole cells.
    for (const double modifier : {0.0, 0.2, 3.0}) {
        SCOPED_TRACE("awkward stars, shield modifier " + std::to_string(modifier));
        useStars(g, awkwardStars(), 0.5, 1.0, modifier, ForceMethod::BarnesHut);
        expectSerialWalkBits<TreeField>(g, ForceMethod::BarnesHut, treeOf);
    }
}

TEST(FastWalks, TreeGivesTheSerialWalksBitsForOtherOpeningAngles) {
    const KeepDefaults keep;
    CGalaxy g;
    useStars(g, awkwardStars(), 0.5, 1.0, 0.2, ForceMethod::BarnesHut);
    evaluate(g);
    const std::vector<double> original(g.acc.x, g.acc.x + g.numStars);
    for (const double angle : {0.25, 0.9}) {
        SCOPED_TRACE("opening angle " + std::to_string(angle));
        g.openingAngle = angle;
        expectSerialWalkBits<TreeField>(g, ForceMethod::BarnesHut, treeOf);
        expectSerialPotentialBits<TreeField>(g, barnesHutPotentials, treeOf);
        // The angle must reach the walk at all.
        EXPECT_FALSE(sameBits(std::vector<double>(g.acc.x, g.acc.x + g.numStars), original));
    }
}

TEST(FastWalks, TreeGivesTheSerialWalksBitsForAGeneratedGalaxy) {
    const KeepDefaults keep;
    CGalaxy g;
    g.requestedStars = 6000;
    g.shape = GalaxyShape::Disc;
    g.randomSeed = 3;
    ASSERT_TRUE(g.newGalaxy());
    expectSerialWalkBits<TreeField>(g, ForceMethod::BarnesHut, treeOf);
}

TEST(FastWalks, GridGivesTheSerialWalksBitsForEveryBuildAndThreadCount) {
    const KeepDefaults keep;
    CGalaxy g;
    for (const int n : kSizes) {
        SCOPED_TRACE("n = " + std::to_string(n));
        useStars(g, walkStars(n), 0.5, 1.0, 0.2, ForceMethod::ParticleMesh);
        expectSerialWalkBits<GridField>(g, ForceMethod::ParticleMesh, gridOf);
    }
    SCOPED_TRACE("awkward stars");
    useStars(g, awkwardStars(), 0.5, 1.0, 0.2, ForceMethod::ParticleMesh);
    expectSerialWalkBits<GridField>(g, ForceMethod::ParticleMesh, gridOf);
    // Softened, a cell's stars lie within a few softening lengths of each
    // other: every part of the spline is met.
    for (const int softening : {Softening::Plummer, Softening::Spline}) {
        SCOPED_TRACE("awkward stars, softening " + std::to_string(softening));
        g.softening = softening;
        g.epsilon = 0.3;
        expectSerialWalkBits<GridField>(g, ForceMethod::ParticleMesh, gridOf);
        expectSerialPotentialBits<GridField>(g, particleMeshPotentials, gridOf);
    }
}

TEST(WorkerPool, RunsEveryTaskOnceWhateverTheThreadCount) {
    const KeepDefaults keep;
    for (const int threads : {1, 2, 3, 8}) {
        setWorkerThreads(threads);
        EXPECT_EQ(workerThreads(), threads);
        for (const int count : {0, 1, 2, 5, 1000}) {
            std::vector<int> runs(count, 0);
            parallelFor(count, [&](int k) { ++runs[k]; });
            EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), count) << threads << " threads, " << count << " tasks";
        }
    }
    setWorkerThreads(0);
    EXPECT_EQ(workerThreads(), 1);
    setWorkerThreads(1 << 20);
    EXPECT_EQ(workerThreads(), kMaxWorkerThreads);
}
