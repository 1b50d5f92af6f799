#pragma once

#include <cmath>
#include <limits>
#include <vector>

#include "physics/forces.h"

class CGalaxy;

// A star held by a cell, with its own shield radius.
struct OctreeStar {
    int index;
    double x, y, z, m;
    double shield;
};

// The pull of the stars of a bucket cell on a star at (x, y, z) that is not
// one of them: each acts like a one-star cell of its own. (Inline, so that the
// vectorised walk needs no call.)
inline Accel3 bucketPull(const OctreeStar* stars, int count, double x, double y, double z, double gravity,
                         double exponent) {
    Accel3 sum = {0.0, 0.0, 0.0};
    for (int j = 0; j < count; ++j) {
        const OctreeStar& b = stars[j];
        const double dx = b.x - x, dy = b.y - y, dz = b.z - z;
        const double r2 = dx * dx + dy * dy + dz * dz;
        const double r = std::sqrt(r2);
        if (r < b.shield) continue;
        const double k = PointMassFactor(gravity * b.m, r2, r, exponent);
        sum[0] += k * dx;
        sum[1] += k * dy;
        sum[2] += k * dz;
    }
    return sum;
}

// The pull of the others on member `member` of a bucket cell. Inside a bucket
// the stars pull each other as in direct summation: a pair acts only when its
// distance exceeds both shield radii, so coincident stars (r = 0) never divide
// by zero.
inline Accel3 bucketMemberPull(const OctreeStar* stars, int count, int member, double gravity, double exponent) {
    const OctreeStar& self = stars[member];
    Accel3 sum = {0.0, 0.0, 0.0};
    for (int j = 0; j < count; ++j) {
        if (j == member) continue;
        const OctreeStar& b = stars[j];
        const double dx = b.x - self.x, dy = b.y - self.y, dz = b.z - self.z;
        const double r2 = dx * dx + dy * dy + dz * dz;
        const double r = std::sqrt(r2);
        if (!(r > self.shield && r > b.shield)) continue;
        const double k = PointMassFactor(gravity * b.m, r2, r, exponent);
        sum[0] += k * dx;
        sum[1] += k * dy;
        sum[2] += k * dz;
    }
    return sum;
}

// The potentials (per unit mass, sign reversed: gravity * m / r summed) that
// belong to the two pulls above. A pull switched off inside a shield radius
// is a potential that stays flat there, at its value on the shield's surface.
inline double flatInside(double gm, double r, double shield) { return gm / (r < shield ? shield : r); }

inline double bucketPotential(const OctreeStar* stars, int count, double x, double y, double z, double gravity) {
    double sum = 0.0;
    for (int j = 0; j < count; ++j) {
        const OctreeStar& b = stars[j];
        const double dx = b.x - x, dy = b.y - y, dz = b.z - z;
        sum += flatInside(gravity * b.m, std::sqrt(dx * dx + dy * dy + dz * dz), b.shield);
    }
    return sum;
}

inline double bucketMemberPotential(const OctreeStar* stars, int count, int member, double gravity) {
    const OctreeStar& self = stars[member];
    double sum = 0.0;
    for (int j = 0; j < count; ++j) {
        if (j == member) continue;
        const OctreeStar& b = stars[j];
        const double dx = b.x - self.x, dy = b.y - self.y, dz = b.z - self.z;
        sum += flatInside(gravity * b.m, std::sqrt(dx * dx + dy * dy + dz * dz),
                          self.shield < b.shield ? b.shield : self.shield);
    }
    return sum;
}

// The opening rule of both tree walks, COctreeNode's and CFlatOctree's: a
// cell is taken whole by a star farther from its centre of mass than its edge
// over the opening angle, and opened nearer. The root and its children are
// always opened: their centres of mass say little about the mass
// distribution. The original rule, five half edges, is the angle 0.4, and
// 2 / 0.4 rounds to exactly 5, so that angle keeps the original walk's bits.
inline constexpr double kOriginalOpeningAngle = 0.4;
inline constexpr double kOpeningDistance = 2.0 / kOriginalOpeningAngle;
static_assert(kOpeningDistance == 5.0);
inline constexpr int kFirstDepthTakenWhole = 2;
// The distance beyond which a cell is taken whole; infinite for a cell that
// is always opened, and for every cell when the angle is not above 0.
inline double openingLimit(double halfSize, int depth, double openingAngle = kOriginalOpeningAngle) {
    if (depth < kFirstDepthTakenWhole || !(openingAngle > 0.0)) return std::numeric_limits<double>::infinity();
    return 2.0 / openingAngle * halfSize;
}

// One cube of the Barnes-Hut octree.
class COctreeNode {
public:
    enum : int {
        kEmpty = -1,
        kOneStar = 0,
        kSubdivided = 1,
        // Only at kMaxDepth: several stars too close to separate share the cell.
        kBucket = 2
    };
    // Coincident stars would otherwise split cells without end. At this depth
    // a cell is below 1e-19 of the root's edge, far under the precision of
    // any coordinate of the size of the root.
    static constexpr int kMaxDepth = 64;

    using BucketStar = OctreeStar;

    int state = kEmpty;
    double centre[3] = {};
    double halfSize = 0.0;
    double mass = 0.0;
    double massCentre[3] = {};
    int depth = 0;
    int starIndex = -1;
    int childList[8] = {};
    int childCount = 0;
    double shieldRadius = 0.0;
    double openLimit = 0.0;  // openingLimit of the cell, set by ComputeMass
    double bounds[3][3] = {};  // per axis: low face, centre, high face
    COctreeNode** children = nullptr;
    int hasChildren = 0;
    std::vector<BucketStar> bucket;

    COctreeNode(double cx, double cy, double cz, double half);
    COctreeNode(const COctreeNode&) = delete;
    COctreeNode& operator=(const COctreeNode&) = delete;
    ~COctreeNode();

    // Stars outside this root's cube (or with coordinates that are NaN or
    // infinite) are left out of the tree.
    void Insert(int starIndex, double x, double y, double z, double m);
    // Child index 4*ix + 2*iy + iz of the point, -1 outside the cube.
    int Octant(double x, double y, double z) const;
    void Split();
    void ComputeMass(double gravity, double timeStep, double shieldModifier,
                     double openingAngle = kOriginalOpeningAngle);
    Accel3 Acceleration(int starIndex, double x, double y, double z, double m, double gravity, double exponent,
                        double timeStep) const;
    // The potential at the star (gravity * m / r summed, Newtonian) from the
    // cells that Acceleration with exponent -2 takes, each taken whole or
    // opened just as there; a star or cell inside whose shield radius the
    // star lies adds its potential at the shield's surface.
    double Potential(int starIndex, double x, double y, double z, double gravity) const;
    void DeleteChildren();

private:
    Accel3 OpenedAcceleration(int starIndex, double x, double y, double z, double m, double gravity,
                              double exponent, double timeStep) const;
    double OpenedPotential(int starIndex, double x, double y, double z, double gravity) const;
};

// The tree of the reference walk in progress on the calling thread; null
// between evaluations.
const COctreeNode* threadOctreeRoot();

// Accelerations of stars 0..n-1 from an octree of COctreeNode built over them
// for this one evaluation (threadOctreeRoot gives it meanwhile), walked
// star by star in index order on the calling thread. Assigns ax, ay, az.
void barnesHutReference(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z,
                        double* ax, double* ay, double* az);

// Each star's share of the potential energy of the tree's pull, positive
// (the energy is minus the sum of mass times share): half its Potential for a
// star in the tree, whose pull on the others counts it the other way round;
// the whole of it for a star outside the root cube, which pulls on nobody.
// From an octree of COctreeNode walked star by star on the calling thread.
// Assigns S.
void barnesHutPotentialReference(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z,
                                 double* S);
// The same shares, bit for bit, from the selected build of the kernels, as
// barnesHutForces computes the accelerations. With a softening (galaxy.softening
// not Shield) both give the softened tree's instead (softenedTreeForces):
// half of each star's potential.
void barnesHutPotentials(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z, double* S);

// The same accelerations, bit for bit, from the selected build of the kernels
// (KernelBuild): the tree is built from sorted keys into one array and
// walked by groups of nearby stars at once, one vector lane per star, on the
// worker threads. KernelBuild::Plain runs barnesHutReference. With S, the same
// walk also gives the shares of barnesHutPotentials, for little more than the
// pulls alone cost.
void barnesHutForces(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z,
                     double* ax, double* ay, double* az, double* S = nullptr);
