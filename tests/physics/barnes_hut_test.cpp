#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <vector>

#include "model/galaxy.h"
#include "physics/barnes_hut.h"
#include "physics/forces.h"
#include "tests/support/force_checks.h"

namespace {

int maxDepth(const COctreeNode& node) {
    int d = node.depth;
    if (node.hasChildren)
        for (int c = 0; c < 8; ++c) d = std::max(d, maxDepth(*node.children[c]));
    return d;
}

const COctreeNode* findBucket(const COctreeNode& node) {
    if (node.state == COctreeNode::kBucket) return &node;
    if (node.hasChildren)
        for (int c = 0; c < 8; ++c)
            if (const COctreeNode* b = findBucket(*node.children[c])) return b;
    return nullptr;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(OctreeBuild, OctantsAreHalfOpenAndUpperHalvesTakeTheCentrePlanes) {
    COctreeNode cell(10.0, -10.0, 0.0, 4.0);
    EXPECT_EQ(cell.Octant(10.0, -10.0, 0.0), 7);
    EXPECT_EQ(cell.Octant(6.0, -14.0, -4.0), 0);  // low faces belong to the cube
    EXPECT_EQ(cell.Octant(13.0, -11.0, 3.9), 5);
    EXPECT_EQ(cell.Octant(14.0, -10.0, 0.0), -1);  // high faces do not
    EXPECT_EQ(cell.Octant(10.0, -6.0, 0.0), -1);
    EXPECT_EQ(cell.Octant(5.9, -10.0, 0.0), -1);
    EXPECT_EQ(cell.Octant(kNaN, -10.0, 0.0), -1);
    EXPECT_EQ(cell.Octant(10.0, -kInf, 0.0), -1);

    cell.Split();
    const COctreeNode& c6 = *cell.children[6];  // upper x, upper y, lower z
    EXPECT_EQ(c6.depth, 1);
    EXPECT_EQ(c6.halfSize, 2.0);
    EXPECT_EQ(c6.centre[0], 12.0);
    EXPECT_EQ(c6.centre[1], -8.0);
    EXPECT_EQ(c6.centre[2], -2.0);
    EXPECT_EQ(c6.bounds[2][0], -4.0);
    EXPECT_EQ(c6.bounds[2][2], 0.0);
    EXPECT_EQ(c6.state, COctreeNode::kEmpty);
    EXPECT_EQ(c6.massCentre[0], 12.0);
}

TEST(OctreeBuild, InsertSplitsUntilTheStarsPartAndWeighsBottomUp) {
    COctreeNode root(0.0, 0.0, 0.0, 256.0);
    root.Insert(0, 0.0, -1.0, -1.0, 2.0);  // on the x = 0 plane: upper half in x
    EXPECT_EQ(root.state, COctreeNode::kOneStar);
    EXPECT_EQ(root.starIndex, 0);
    root.Insert(1, -1.0, -1.0, -1.0, 6.0);
    root.Insert(2, -1.0, -2.0, -1.0, 4.0);  // shares the cells [-2^k, 0)^3 with star 1 down to k = 1
    ASSERT_EQ(root.state, COctreeNode::kSubdivided);
    EXPECT_EQ(root.starIndex, -1);
    EXPECT_EQ(root.children[4]->starIndex, 0);
    const COctreeNode* node = root.children[0];
    int levels = 1;
    while (node->state == COctreeNode::kSubdivided) {
        node = node->children[node->Octant(-1.0, -1.0, -1.0)];
        ++levels;
        ASSERT_LT(levels, 20);
    }
    // [-2, 0)^3 at depth 8 parts them at y = -1, which goes up
    EXPECT_EQ(node->starIndex, 1);
    EXPECT_EQ(node->halfSize, 0.5);
    EXPECT_EQ(node->depth, 9);
    EXPECT_EQ(levels, 9);

    root.ComputeMass(1.0, 1.0, 2.0);
    EXPECT_EQ(root.mass, 12.0);
    EXPECT_DOUBLE_EQ(root.massCentre[0], -10.0 / 12.0);
    EXPECT_DOUBLE_EQ(root.massCentre[1], -16.0 / 12.0);
    EXPECT_DOUBLE_EQ(root.massCentre[2], -1.0);
    ASSERT_EQ(root.childCount, 2);
    EXPECT_EQ(root.childList[0], 0);
    EXPECT_EQ(root.childList[1], 4);
    EXPECT_EQ(root.shieldRadius, ShieldRadius(12.0, 1.0, 2.0));
    EXPECT_EQ(root.children[0]->mass, 10.0);
    EXPECT_EQ(root.children[4]->shieldRadius, ShieldRadius(2.0, 1.0, 2.0));
    EXPECT_EQ(root.children[1]->mass, 0.0);

    root.DeleteChildren();
    EXPECT_EQ(root.hasChildren, 0);
    EXPECT_EQ(root.children, nullptr);
}

TEST(BarnesHutForces, SingleStarAndTwoStarsFollowNewton) {
    CGalaxy g;
    useStars(g, {{400, 1, 2, 3}}, 1.5e-10, 8.0, 10.0, ForceMethod::BarnesHut);
    g.acc.x[0] = 99.0;  // left over from an earlier evaluation
    evaluate(g);
    EXPECT_EQ(accOf(g, 0), (Accel3{0.0, 0.0, 0.0}));
    EXPECT_EQ(threadOctreeRoot(), nullptr);

    const std::vector<TestStar> two = {{3.0, -3, 1, 2}, {7.0, 4, -2, 5}};
    useStars(g, two, 2.0, 8.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    for (int a = 0; a < 3; ++a) {
        EXPECT_DOUBLE_EQ(accOf(g, 0)[a], pull(two[0], two[1], 2.0)[a]);
        EXPECT_DOUBLE_EQ(accOf(g, 1)[a], pull(two[1], two[0], 2.0)[a]);
    }
    // inside the heavier star's shield only the heavier star is pulled
    useStars(g, two, 2.0, 1.0, 3.6, ForceMethod::BarnesHut);  // shields 6.54 (gm 6) and 8.67 (gm 14), distance 8.19
    evaluate(g);
    EXPECT_EQ(accOf(g, 0), (Accel3{0.0, 0.0, 0.0}));
    EXPECT_DOUBLE_EQ(accOf(g, 1)[0], pull(two[1], two[0], 2.0)[0]);
}

TEST(BarnesHutForces, ShieldModifierZeroLetsEvenClosePairsPull) {
    CGalaxy g;
    const std::vector<TestStar> pair = {{400, 1.0, 1.0, 1.0}, {400, 1.0, 1.001, 1.0}};
    const double G = 1.5585e-10;
    useStars(g, pair, G, 8.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    EXPECT_DOUBLE_EQ(accOf(g, 0)[1], pull(pair[0], pair[1], G)[1]);
    EXPECT_DOUBLE_EQ(accOf(g, 1)[1], -accOf(g, 0)[1]);
    useStars(g, pair, G, 8.0, 10.0, ForceMethod::BarnesHut);  // shields of about 0.16
    evaluate(g);
    EXPECT_EQ(accOf(g, 0), (Accel3{0.0, 0.0, 0.0}));
}

TEST(BarnesHutForces, DistantClusterActsAsOneMassFromDepthTwoOn) {
    CGalaxy g;
    // Three stars inside the depth-2 cell [0, 125)^3 and a probe about 590
    // units away, beyond 2.5 cell edges.
    const std::vector<TestStar> stars = {
        {1, -240, -240, -240}, {2, 95, 100, 105}, {3, 110, 98, 90}, {1.5, 100, 112, 100}};
    useStars(g, stars, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    const double M = 6.5;
    const TestStar centre = {M, (2 * 95 + 3 * 110 + 1.5 * 100) / M, (2 * 100 + 3 * 98 + 1.5 * 112) / M,
                             (2 * 105 + 3 * 90 + 1.5 * 100) / M};
    const Accel3 monopole = pull(stars[0], centre, 1.0);
    const Accel3 exact =
        sum({pull(stars[0], stars[1], 1.0), pull(stars[0], stars[2], 1.0), pull(stars[0], stars[3], 1.0)});
    ASSERT_GT(relativeError(monopole, exact), 1e-6);  // the two answers are distinguishable
    EXPECT_LT(relativeError(accOf(g, 0), monopole), 1e-13);

    // A cluster of the same spread at depth 1 is always resolved, although
    // 5 * 125 is less than its distance of 670.
    const std::vector<TestStar> wide = {{1, -249, -249, -249}, {2, 60, 60, 60}, {3, 190, 190, 190}};
    useStars(g, wide, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    EXPECT_LT(relativeError(accOf(g, 0), sum({pull(wide[0], wide[1], 1.0), pull(wide[0], wide[2], 1.0)})), 1e-14);

    // The root is resolved too: a star outside the cube still receives the
    // pull of each star.
    const std::vector<TestStar> outside = {{1, 100, 100, 100}, {1, -100, -100, -100}, {1, 1e4, 0, 0}};
    useStars(g, outside, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    EXPECT_LT(relativeError(accOf(g, 2), sum({pull(outside[2], outside[0], 1.0), pull(outside[2], outside[1], 1.0)})),
              1e-14);
    // ...while it pulls no one
    EXPECT_LT(relativeError(accOf(g, 0), pull(outside[0], outside[1], 1.0)), 1e-14);
}

TEST(BarnesHutForces, StarInsideACellShieldFeelsTheChildrenEachWithItsOwnShield) {
    CGalaxy g;
    // G = dt = 1, so a shield is 450 * m^0.333: star 1 (m 1) 450 at distance
    // 519.6, star 2 (m 2) 566.6 at distance 536.9, their cell (m 3) 648.6 at
    // distance 530.8. The probe (m 1e-9) has a shield of about 0.45.
    const std::vector<TestStar> stars = {{1e-9, -240, -240, -240}, {1, 60, 60, 60}, {2, 70, 70, 70}};
    useStars(g, stars, 1.0, 1.0, 450.0, ForceMethod::BarnesHut);
    evaluate(g);
    EXPECT_LT(relativeError(accOf(g, 0), pull(stars[0], stars[1], 1.0)), 1e-14);
}

TEST(BarnesHutForces, AgreesWithDirectSummationOnARandomGalaxy) {
    CGalaxy g;
    g.scaleSetting = UnitScale::Galactic;
    g.darkMatterSetting = DarkMatterModel::None;
    g.shape = GalaxyShape::Sphere;
    g.forceSetting = ForceMethod::Direct;
    g.starMass = 400.0;
    g.centralMass = 0.0;
    g.timeStepSetting = 8.0;
    g.shieldSetting = 10.0;
    g.requestedStars = 2000;
    g.randomSeed = 7;
    ASSERT_TRUE(g.newGalaxy());
    const int n = g.numStars;
    evaluate(g);
    std::vector<Accel3> direct(n);
    for (int i = 0; i < n; ++i) direct[i] = accOf(g, i);
    g.forceMethod = ForceMethod::BarnesHut;
    evaluate(g);
    std::vector<double> err(n);
    for (int i = 0; i < n; ++i) err[i] = relativeError(accOf(g, i), direct[i]);
    std::sort(err.begin(), err.end());
    const double median = err[n / 2], p99 = err[n * 99 / 100], worst = err[n - 1];
    std::printf("Barnes-Hut vs direct, %d stars: median %.3g, 99th %.3g, max %.3g\n", n, median, p99, worst);
    // Cells taken as point masses from 2.5 edges away give about 0.3 %
    // typically and 5 % at worst, where pulls from opposite sides nearly
    // cancel.
    EXPECT_LT(median, 5e-3);
    EXPECT_LT(p99, 3e-2);
    EXPECT_LT(worst, 0.1);
}

TEST(BarnesHutRobustness, CoincidentStarsShareABucketAndPullLikeDirectSummation) {
    // Four stars at one point and a fifth beside them: the tree stops at its
    // depth bound instead of splitting for ever.
    std::vector<TestStar> stars(4, TestStar{2.0, 3.0, 4.0, 5.0});
    stars.push_back({5.0, -3.0, 4.0, 5.0});
    COctreeNode root(0.0, 0.0, 0.0, 250.0);
    for (int i = 0; i < 5; ++i) root.Insert(i, stars[i].x, stars[i].y, stars[i].z, stars[i].m);
    EXPECT_EQ(maxDepth(root), COctreeNode::kMaxDepth);
    const COctreeNode* bucket = findBucket(root);
    ASSERT_NE(bucket, nullptr);
    EXPECT_EQ(bucket->bucket.size(), 4u);

    CGalaxy g;
    useStars(g, stars, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    for (int i = 0; i < 4; ++i) EXPECT_LT(relativeError(accOf(g, i), pull(stars[i], stars[4], 1.0)), 1e-14);
    const Accel3 onFifth = pull(stars[4], stars[0], 1.0);
    EXPECT_LT(relativeError(accOf(g, 4), {4 * onFifth[0], 4 * onFifth[1], 4 * onFifth[2]}), 1e-14);
}

TEST(BarnesHutRobustness, StarsTooCloseToSeparateObeyBothShieldsInTheirBucket) {
    CGalaxy g;
    // 1.5e-18 apart: one bucket below the depth bound. With G = dt = 1 and a
    // modifier of 1e-18 the shields are 1e-18 (m 1) and 2e-18 (m 8): the pair
    // lies inside the heavier shield, so neither star pulls the other,
    // although the lighter one's shield alone would let the heavy star feel it.
    const std::vector<TestStar> pair = {{1, 1e-18, 0, 0}, {8, 2.5e-18, 0, 0}, {1, 0, 0, 100}};
    useStars(g, pair, 1.0, 1.0, 1e-18, ForceMethod::BarnesHut);
    evaluate(g);
    EXPECT_LT(relativeError(accOf(g, 0), pull(pair[0], pair[2], 1.0)), 1e-14);
    EXPECT_LT(relativeError(accOf(g, 1), pull(pair[1], pair[2], 1.0)), 1e-14);
    // without shields they attract by Newton's law (about 1e36 here)
    useStars(g, pair, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    EXPECT_LT(relativeError(accOf(g, 0), sum({pull(pair[0], pair[1], 1.0), pull(pair[0], pair[2], 1.0)})), 1e-14);
    // the distant star sees the bucket as a whole
    const TestStar centre = {9, (1e-18 + 8 * 2.5e-18) / 9, 0, 0};
    EXPECT_LT(relativeError(accOf(g, 2), pull(pair[2], centre, 1.0)), 1e-14);
}

TEST(BarnesHutRobustness, StarsOnTheUpperFaceOrWithNonFiniteCoordinatesAreLeftOut) {
    CGalaxy g;
    const std::vector<TestStar> good = {{1, -250, 10, 10}, {2, 30, -40, 50}, {3, 5, 6, -7}};
    useStars(g, good, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    std::vector<Accel3> alone = {accOf(g, 0), accOf(g, 1), accOf(g, 2)};

    std::vector<TestStar> all = good;
    all.push_back({4, 250, 0, 0});  // the root's upper face
    all.push_back({4, kNaN, 0, 0});
    all.push_back({4, 0, kInf, 0});
    all.push_back({4, 0, 0, -kInf});
    all.push_back({4, 1e300, 0, 0});
    useStars(g, all, 1.0, 1.0, 0.0, ForceMethod::BarnesHut);
    evaluate(g);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(accOf(g, i), alone[i]) << "star " << i;
    EXPECT_LT(relativeError(accOf(g, 3), sum({pull(all[3], all[0], 1.0), pull(all[3], all[1], 1.0),
                                           pull(all[3], all[2], 1.0)})),
              1e-14);
    EXPECT_TRUE(std::isnan(accOf(g, 4)[0]));
    EXPECT_EQ(threadOctreeRoot(), nullptr);
}

namespace {

// Each star's potential from every other star, flat inside the attractor's
// shield radius, with the shield radii computed here.
std::vector<double> exactPotentials(const CGalaxy& g) {
    const int n = g.numStars;
    std::vector<double> phi(n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double gm = g.gravity * g.mass[j];
            const double s = std::pow(gm, 0.333) * std::pow(std::fabs(g.timeStep), 0.667) * g.shieldModifier;
            const double r = std::hypot(g.pos.x[j] - g.pos.x[i], g.pos.y[j] - g.pos.y[i], g.pos.z[j] - g.pos.z[i]);
            phi[i] += gm / std::max(r, s);
        }
    return phi;
}

}  // namespace

TEST(BarnesHutPotential, AgreesWithTheExactPassOnARandomGalaxy) {
    CGalaxy g;
    g.requestedStars = 2000;
    g.randomSeed = 7;
    ASSERT_TRUE(g.newGalaxy());
    const int n = g.numStars;
    const std::vector<double> exact = exactPotentials(g);
    std::vector<double> share(n);
    barnesHutPotentials(g, n, g.pos.x, g.pos.y, g.pos.z, share.data());
    std::vector<double> err(n);
    double treeEnergy = 0.0, exactEnergy = 0.0;
    for (int i = 0; i < n; ++i) {
        // Every star is in the tree: its share is half its potential.
        err[i] = std::fabs(2.0 * share[i] - exact[i]) / exact[i];
        treeEnergy -= g.mass[i] * share[i];
        exactEnergy -= 0.5 * g.mass[i] * exact[i];
    }
    std::sort(err.begin(), err.end());
    const double median = err[n / 2], p99 = err[n * 99 / 100], worst = err[n - 1];
    std::printf("Barnes-Hut potential vs exact, %d stars: median %.3g, 99th %.3g, max %.3g\n", n, median, p99, worst);
    // Point masses from 2.5 cell edges away miss the cells' quadrupoles, a
    // few parts in ten thousand of a potential that, unlike a pull, never
    // nearly cancels.
    EXPECT_LT(median, 1e-3);
    EXPECT_LT(worst, 5e-3);
    EXPECT_NEAR(treeEnergy, exactEnergy, 1e-3 * std::fabs(exactEnergy));
}
