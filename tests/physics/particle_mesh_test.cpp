#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "model/galaxy.h"
#include "model/random.h"
#include "physics/forces.h"
#include "physics/particle_mesh.h"
#include "tests/support/force_checks.h"

namespace {


// Stars of mass m spread uniformly through a ball.
void addBall(std::vector<TestStar>& stars, CRandom& rnd, int count, double m, double cx, double cy, double cz,
             double radius) {
    const auto uniform = [&] { return 2.0 * rnd() / CRandom::kMax - 1.0; };
    while (count > 0) {
        const double x = uniform(), y = uniform(), z = uniform();
        if (x * x + y * y + z * z > 1.0) continue;
        stars.push_back({m, cx + radius * x, cy + radius * y, cz + radius * z});
        --count;
    }
}

// Relative errors of the mesh against direct summation, sorted.
std::vector<double> meshErrors(const std::vector<TestStar>& stars) {
    CGalaxy g;
    useStars(g, stars, 1.0, 1.0, 0.01, ForceMethod::ParticleMesh);
    g.forceMethod = ForceMethod::Direct;
    evaluate(g);
    const int n = g.numStars;
    std::vector<Accel3> direct(n);
    for (int i = 0; i < n; ++i) direct[i] = accOf(g, i);
    g.forceMethod = ForceMethod::ParticleMesh;
    evaluate(g);
    std::vector<double> err(n);
    for (int i = 0; i < n; ++i) err[i] = relativeError(accOf(g, i), direct[i]);
    std::sort(err.begin(), err.end());
    return err;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(MeshGrid, CellIndicesTruncateTowardZero) {
    CParticleMesh mesh(10, 0.0, 0.0, 0.0, 50.0);
    EXPECT_EQ(mesh.CellOf(-50.0, 0.0, 0.0), mesh.Cell(0, 5, 5));
    EXPECT_EQ(mesh.CellOf(-55.0, 0.0, 0.0), mesh.Cell(0, 5, 5));  // truncated up to 0
    EXPECT_EQ(mesh.CellOf(49.99, -0.01, 0.0), mesh.Cell(9, 4, 5));
    EXPECT_EQ(mesh.CellOf(50.0, 0.0, 0.0), -1);
    EXPECT_EQ(mesh.CellOf(-60.0, 0.0, 0.0), -1);
    EXPECT_EQ(mesh.CellOf(-61.0, 0.0, 0.0), -1);
    EXPECT_EQ(mesh.CellOf(0.0, 0.0, kNaN), -1);
    EXPECT_EQ(mesh.CellOf(kInf, 0.0, 0.0), -1);
    EXPECT_EQ(mesh.CellOf(0.0, -1e300, 0.0), -1);

    const double xs[] = {-50.0, 50.0, -55.0, -61.0, kNaN};
    for (int i = 0; i < 5; ++i) mesh.AssignStar(i, xs[i], 0.0, 0.0, 1.0);
    EXPECT_EQ(mesh.cellCount[mesh.Cell(0, 5, 5)], 2);
    int total = 0;
    for (int c : mesh.cellCount) total += c;
    EXPECT_EQ(total, 2);
    EXPECT_EQ(mesh.cellStars[mesh.Cell(0, 5, 5)].entries[1].starIndex, 2);
}

TEST(MeshGrid, CellListsGrowInBlocksOfTenAndKeepTheirStorage) {
    CParticleMesh mesh(10, 0.0, 0.0, 0.0, 50.0);
    const int c = mesh.Cell(5, 5, 5);
    for (int i = 0; i < 10; ++i) mesh.AssignStar(i, 1.0 + 0.1 * i, 2.0, 3.0, 1.0);
    EXPECT_EQ(mesh.cellStars[c].entries.size(), 10u);
    mesh.AssignStar(10, 4.0, 5.0, 6.0, 2.0);
    EXPECT_EQ(mesh.cellStars[c].entries.size(), 20u);
    EXPECT_EQ(mesh.cellStars[c].entries[0].x, 1.0);
    EXPECT_EQ(mesh.cellStars[c].entries[10].m, 2.0);
    EXPECT_EQ(mesh.cellCount[c], 11);
    mesh.ComputeCells(1.0, 1.0, 1.0);
    EXPECT_EQ(mesh.cellMass[c], 12.0);
    EXPECT_DOUBLE_EQ(mesh.cellMassCentreZ[c], (10 * 3.0 + 2 * 6.0) / 12.0);
    EXPECT_EQ(mesh.cellShield[c], ShieldRadius(12.0, 1.0, 1.0));
    EXPECT_EQ(mesh.cellStars[c].entries[10].shield, ShieldRadius(2.0, 1.0, 1.0));
}

TEST(MeshForces, StarsOfOneCellPullOnlyFromOutsideTheAttractorsShield) {
    CGalaxy g;
    // G = dt = modifier = 1: shields 1 (m 1) and 8^0.333 = 1.997 (m 8), 1.5 apart
    const std::vector<TestStar> stars = {{1, 1.0, 1.0, 1.0}, {8, 2.5, 1.0, 1.0}};
    useStars(g, stars, 1.0, 1.0, 1.0, ForceMethod::ParticleMesh);
    evaluate(g);
    EXPECT_EQ(accOf(g, 0), (Accel3{0.0, 0.0, 0.0}));
    EXPECT_DOUBLE_EQ(accOf(g, 1)[0], -1.0 / 2.25);
    EXPECT_EQ(accOf(g, 1)[1], 0.0);
}

TEST(MeshForces, OneStarCellsFollowNewtonAndFullerCellsActAsPointMasses) {
    CGalaxy g;
    const std::vector<TestStar> two = {{5, -20, 3, 4}, {9, 17, -8, 30}};
    useStars(g, two, 2.0, 1.0, 0.5, ForceMethod::ParticleMesh);
    evaluate(g);
    for (int a = 0; a < 3; ++a) {
        EXPECT_DOUBLE_EQ(accOf(g, 0)[a], pull(two[0], two[1], 2.0)[a]);
        EXPECT_DOUBLE_EQ(accOf(g, 1)[a], pull(two[1], two[0], 2.0)[a]);
    }

    // stars 1 and 2 share the cell [20, 30) x [0, 10) x [0, 10)
    const std::vector<TestStar> three = {{1, -35, 5, 5}, {2, 21, 1, 9}, {3, 29, 9, 2}};
    useStars(g, three, 1.0, 1.0, 0.0, ForceMethod::ParticleMesh);
    evaluate(g);
    const TestStar centre = {5, (2 * 21 + 3 * 29) / 5.0, (2 * 1 + 3 * 9) / 5.0, (2 * 9 + 3 * 2) / 5.0};
    const Accel3 monopole = pull(three[0], centre, 1.0);
    EXPECT_LT(relativeError(accOf(g, 0), monopole), 1e-14);
    const Accel3 p1 = pull(three[0], three[1], 1.0), p2 = pull(three[0], three[2], 1.0);
    EXPECT_GT(relativeError(accOf(g, 0), {p1[0] + p2[0], p1[1] + p2[1], p1[2] + p2[2]}), 1e-4);

    // a shield of 5^0.333 * 36 = 61.5 around the cell at distance 60.8 hides
    // it, although the single stars' shields (45.3 and 51.9 at 56.3 and 64.2)
    // would not
    useStars(g, three, 1.0, 1.0, 36.0, ForceMethod::ParticleMesh);
    evaluate(g);
    EXPECT_EQ(accOf(g, 0), (Accel3{0.0, 0.0, 0.0}));
}

TEST(MeshForces, GridIsEmptyAfterEveryEvaluation) {
    CGalaxy g;
    useStars(g, {{1, 1, 2, 3}, {2, -10, 20, -30}, {3, -49, 49, 0}}, 1.0, 1.0, 0.0, ForceMethod::ParticleMesh);
    evaluate(g);
    ASSERT_NE(threadParticleMesh(), nullptr);
    const CParticleMesh& mesh = *threadParticleMesh();
    EXPECT_EQ(mesh.cellsPerSide, 10);
    EXPECT_EQ(mesh.halfSize, 50.0);
    EXPECT_EQ(mesh.low[2], -50.0);
    for (std::size_t c = 0; c < mesh.cellStars.size(); ++c) {
        ASSERT_EQ(mesh.cellCount[c], 0);
        ASSERT_EQ(mesh.cellStars[c].count, 0);
        ASSERT_EQ(mesh.cellMass[c], 0.0);
        ASSERT_EQ(mesh.cellShield[c], 0.0);
        ASSERT_EQ(mesh.cellMassCentreX[c], 0.0);
        for (const CMeshCell::Entry& e : mesh.cellStars[c].entries) ASSERT_EQ(e.m, 0.0);
    }
    // one star left: nothing of the three remains to pull it
    useStars(g, {{1, 1, 2, 3}}, 1.0, 1.0, 0.0, ForceMethod::ParticleMesh);
    g.acc.y[0] = 99.0;
    evaluate(g);
    EXPECT_EQ(threadParticleMesh(), &mesh);
    EXPECT_EQ(accOf(g, 0), (Accel3{0.0, 0.0, 0.0}));
}

TEST(MeshForces, StarsOutsideTheGridOrNotFiniteExertNoForce) {
    CGalaxy g;
    const std::vector<TestStar> inside = {{1, -55, 0, 0}, {2, 30, 10, 0}};
    useStars(g, inside, 1.0, 1.0, 0.0, ForceMethod::ParticleMesh);
    evaluate(g);
    const Accel3 alone0 = accOf(g, 0), alone1 = accOf(g, 1);
    EXPECT_LT(relativeError(alone0, pull(inside[0], inside[1], 1.0)), 1e-14);  // -55 is in cell 0

    std::vector<TestStar> all = inside;
    all.push_back({4, 50, 0, 0});
    all.push_back({4, -61, 0, 0});
    all.push_back({4, kNaN, 0, 0});
    all.push_back({4, 0, -kInf, 0});
    useStars(g, all, 1.0, 1.0, 0.0, ForceMethod::ParticleMesh);
    evaluate(g);
    EXPECT_EQ(accOf(g, 0), alone0);
    EXPECT_EQ(accOf(g, 1), alone1);
    // the star on the upper face still feels both cells
    const Accel3 p0 = pull(all[2], all[0], 1.0), p1 = pull(all[2], all[1], 1.0);
    EXPECT_LT(relativeError(accOf(g, 2), {p0[0] + p1[0], p0[1] + p1[1], p0[2] + p1[2]}), 1e-14);
    // a NaN distance never passes the strict shield test
    EXPECT_EQ(accOf(g, 4), (Accel3{0.0, 0.0, 0.0}));
}

TEST(MeshForces, AgreesWithDirectSummationOnCompactGalaxies) {
    CRandom rnd(11);
    // inside one cell the mesh is direct summation in another order
    std::vector<TestStar> one;
    addBall(one, rnd, 300, 1.0, 5.0, 5.0, 5.0, 4.0);
    const std::vector<double> same = meshErrors(one);
    EXPECT_LT(same.back(), 1e-12);

    // two clusters 30 apart, off their cells' centres, see each other as
    // point masses at their centres of mass
    std::vector<TestStar> two;
    addBall(two, rnd, 200, 1.0, 3.5, 6.0, 4.5, 3.0);
    addBall(two, rnd, 200, 1.0, -26.5, 4.0, 6.5, 3.0);
    const std::vector<double> err = meshErrors(two);
    const int n = static_cast<int>(err.size());
    const double median = err[n / 2], p99 = err[n * 99 / 100], worst = err[n - 1];
    std::printf("Particle-mesh vs direct, two clusters of 200: median %.3g, 99th %.3g, max %.3g\n", median, p99,
                worst);
    // the monopole misses terms of order (3 / 30)^2 of the weaker cross pull
    EXPECT_GT(median, 0.0);
    EXPECT_LT(median, 1e-4);
    EXPECT_LT(worst, 5e-4);
}

// The grid's potential against one computed here from its cells: the other
// stars of a star's own cell one by one, every other occupied cell as a point
// mass at its centre of mass, each flat inside its shield radius. A star
// outside the grid keeps its whole potential as its share, the others half.
TEST(MeshPotential, IsTheExactPotentialOfTheCellsAsPointMasses) {
    CGalaxy g;
    CRandom rnd(5);
    std::vector<TestStar> stars;
    addBall(stars, rnd, 150, 1.0, 3.5, 6.0, 4.5, 3.0);
    addBall(stars, rnd, 150, 2.0, -26.5, 4.0, 6.5, 3.0);
    stars.push_back({3.0, 70.0, 0.0, 0.0});
    stars.push_back({1.0, stars[0].x, stars[0].y, stars[0].z});  // inside its neighbour's shield
    const double G = 1.0, modifier = 0.5;
    useStars(g, stars, G, 1.0, modifier, ForceMethod::ParticleMesh);
    const CParticleMesh grid(10, 0.0, 0.0, 0.0, 50.0);
    const int n = static_cast<int>(stars.size());
    std::vector<int> cell(n);
    std::vector<double> mass(1000), cx(1000), cy(1000), cz(1000);
    for (int i = 0; i < n; ++i) {
        cell[i] = grid.CellOf(stars[i].x, stars[i].y, stars[i].z);
        if (cell[i] < 0) continue;
        mass[cell[i]] += stars[i].m;
        cx[cell[i]] += stars[i].m * stars[i].x;
        cy[cell[i]] += stars[i].m * stars[i].y;
        cz[cell[i]] += stars[i].m * stars[i].z;
    }
    const auto flat = [&](double m, double dx, double dy, double dz) {
        const double s = std::pow(G * m, 0.333) * modifier;
        return G * m / std::max(std::hypot(dx, dy, dz), s);
    };
    std::vector<double> share(n);
    particleMeshPotentials(g, n, g.pos.x, g.pos.y, g.pos.z, share.data());
    for (int i = 0; i < n; ++i) {
        const TestStar& p = stars[i];
        double phi = 0.0;
        for (int c = 0; c < 1000; ++c)
            if (mass[c] > 0.0 && c != cell[i])
                phi += flat(mass[c], cx[c] / mass[c] - p.x, cy[c] / mass[c] - p.y, cz[c] / mass[c] - p.z);
        for (int j = 0; j < n; ++j)
            if (j != i && cell[j] >= 0 && cell[j] == cell[i])
                phi += flat(stars[j].m, stars[j].x - p.x, stars[j].y - p.y, stars[j].z - p.z);
        EXPECT_NEAR(share[i], (cell[i] < 0 ? 1.0 : 0.5) * phi, 1e-12 * phi) << "star " << i;
    }
}
