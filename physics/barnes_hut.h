#pragma once

#include <vector>

#include "physics/forces.h"

class CGalaxy;

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

    // A star kept in a bucket cell, with its own shield radius.
    struct BucketStar {
        int index;
        double x, y, z, m;
        double shield;
    };

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
    void ComputeMass(double gravity, double timeStep, double shieldModifier);
    Accel3 Acceleration(int starIndex, double x, double y, double z, double m, double gravity, double exponent,
                        double timeStep) const;
    void DeleteChildren();

private:
    Accel3 OpenedAcceleration(int starIndex, double x, double y, double z, double m, double gravity,
                              double exponent, double timeStep) const;
    Accel3 BucketMemberAcceleration(int member, double gravity, double exponent) const;
};

// The tree of the evaluation in progress; null between evaluations.
extern COctreeNode* g_octreeRoot;

// Accelerations of stars 0..n-1 from an octree built over them for this one
// evaluation (the tree lives in g_octreeRoot meanwhile). Assigns ax, ay, az.
void barnesHutForces(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z,
                     double* ax, double* ay, double* az);
