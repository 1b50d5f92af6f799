#include "physics/barnes_hut.h"

#include <vector>

#include "model/galaxy.h"
#include "physics/flat_octree.h"
#include "physics/forces.h"
#include "physics/softened_tree.h"
#include "physics/workers.h"

namespace {
// The tree of the reference walk in progress on this thread.
thread_local COctreeNode* g_octreeRoot = nullptr;
}  // namespace

const COctreeNode* threadOctreeRoot() { return g_octreeRoot; }

COctreeNode::COctreeNode(double cx, double cy, double cz, double half) : halfSize(half) {
    const double c[3] = {cx, cy, cz};
    for (int a = 0; a < 3; ++a) {
        centre[a] = c[a];
        massCentre[a] = c[a];
        bounds[a][0] = c[a] - half;
        bounds[a][1] = c[a];
        bounds[a][2] = c[a] + half;
    }
}

COctreeNode::~COctreeNode() { DeleteChildren(); }

int COctreeNode::Octant(double x, double y, double z) const {
    const double p[3] = {x, y, z};
    int octant = 0;
    for (int a = 0; a < 3; ++a) {
        // Written so that NaN fails both halves.
        if (bounds[a][0] <= p[a] && p[a] < bounds[a][1])
            octant = 2 * octant;
        else if (bounds[a][1] <= p[a] && p[a] < bounds[a][2])
            octant = 2 * octant + 1;
        else
            return -1;
    }
    return octant;
}

void COctreeNode::Split() {
    children = new COctreeNode*[8]{};
    hasChildren = 1;
    const double h = halfSize;
    for (int c = 0; c < 8; ++c) {
        const int half[3] = {c >> 2, (c >> 1) & 1, c & 1};
        double cc[3];
        for (int a = 0; a < 3; ++a) cc[a] = bounds[a][0] + h / 2 + half[a] * h;
        COctreeNode* child = new COctreeNode(cc[0], cc[1], cc[2], h / 2);
        child->depth = depth + 1;
        // The outer faces are taken from this cell rather than recomputed from
        // the rounded child centre, so that the eight children tile this cube
        // exactly and every point routed into a child lies in one of its
        // octants.
        for (int a = 0; a < 3; ++a) {
            child->bounds[a][0] = bounds[a][half[a]];
            child->bounds[a][2] = bounds[a][half[a] + 1];
        }
        children[c] = child;
    }
}

void COctreeNode::Insert(int s, double x, double y, double z, double m) {
    // The octant test also catches NaN and infinite coordinates and points on
    // the upper faces, which a plain |coordinate| <= halfSize test would let
    // in. Below this node the children tile their parents exactly, so no
    // further point can fall outside.
    if (Octant(x, y, z) < 0) return;
    COctreeNode* node = this;
    for (;;) {
        switch (node->state) {
        case kEmpty:
            node->state = kOneStar;
            node->mass = m;
            node->massCentre[0] = x;
            node->massCentre[1] = y;
            node->massCentre[2] = z;
            node->starIndex = s;
            return;
        case kOneStar:
            if (node->depth >= kMaxDepth) {
                node->bucket.push_back(
                    {node->starIndex, node->massCentre[0], node->massCentre[1], node->massCentre[2], node->mass, 0.0});
                node->bucket.push_back({s, x, y, z, m, 0.0});
                node->state = kBucket;
                node->starIndex = -1;
                return;
            }
            node->state = kSubdivided;
            node->Split();
            {
                const double* r = node->massCentre;
                node->children[node->Octant(r[0], r[1], r[2])]->Insert(node->starIndex, r[0], r[1], r[2],
                                                                        node->mass);
            }
            node->mass = 0.0;
            node->massCentre[0] = node->massCentre[1] = node->massCentre[2] = 0.0;
            node->starIndex = -1;
            node = node->children[node->Octant(x, y, z)];
            break;
        case kSubdivided:
            node = node->children[node->Octant(x, y, z)];
            break;
        default:  // kBucket
            node->bucket.push_back({s, x, y, z, m, 0.0});
            return;
        }
    }
}

void COctreeNode::ComputeMass(double gravity, double timeStep, double shieldModifier, double openingAngle) {
    openLimit = openingLimit(halfSize, depth, openingAngle);
    switch (state) {
    case kEmpty:
        mass = 0.0;
        for (int a = 0; a < 3; ++a) massCentre[a] = centre[a];
        return;
    case kOneStar:
        shieldRadius = ShieldRadius(gravity * mass, timeStep, shieldModifier);
        return;
    case kSubdivided:
        mass = 0.0;
        massCentre[0] = massCentre[1] = massCentre[2] = 0.0;
        childCount = 0;
        for (int c = 0; c < 8; ++c) {
            COctreeNode* child = children[c];
            if (child->state != kEmpty) childList[childCount++] = c;
            child->ComputeMass(gravity, timeStep, shieldModifier, openingAngle);
            mass += child->mass;
            for (int a = 0; a < 3; ++a) massCentre[a] += child->mass * child->massCentre[a];
        }
        break;
    default:  // kBucket
        mass = 0.0;
        massCentre[0] = massCentre[1] = massCentre[2] = 0.0;
        for (BucketStar& b : bucket) {
            b.shield = ShieldRadius(gravity * b.m, timeStep, shieldModifier);
            mass += b.m;
            massCentre[0] += b.m * b.x;
            massCentre[1] += b.m * b.y;
            massCentre[2] += b.m * b.z;
        }
        break;
    }
    for (int a = 0; a < 3; ++a) massCentre[a] /= mass;
    shieldRadius = ShieldRadius(gravity * mass, timeStep, shieldModifier);
}

Accel3 COctreeNode::Acceleration(int s, double x, double y, double z, double m, double gravity, double exponent,
                                 double timeStep) const {
    if (starIndex == s) return {0.0, 0.0, 0.0};
    if (state == kBucket) {
        for (int j = 0; j < static_cast<int>(bucket.size()); ++j)
            if (bucket[j].index == s)
                return bucketMemberPull(bucket.data(), static_cast<int>(bucket.size()), j, gravity, exponent);
    }
    const double dx = massCentre[0] - x, dy = massCentre[1] - y, dz = massCentre[2] - z;
    const double r2 = dx * dx + dy * dy + dz * dz;
    const double r = std::sqrt(r2);
    if (r < shieldRadius) return OpenedAcceleration(s, x, y, z, m, gravity, exponent, timeStep);
    const double k = PointMassFactor(gravity * mass, r2, r, exponent);
    if (state == kOneStar || openLimit < r) return {k * dx, k * dy, k * dz};
    return OpenedAcceleration(s, x, y, z, m, gravity, exponent, timeStep);
}

Accel3 COctreeNode::OpenedAcceleration(int s, double x, double y, double z, double m, double gravity,
                                       double exponent, double timeStep) const {
    if (state == kBucket) return bucketPull(bucket.data(), static_cast<int>(bucket.size()), x, y, z, gravity, exponent);
    Accel3 sum = {0.0, 0.0, 0.0};
    for (int i = 0; i < childCount; ++i) {
        const Accel3 a = children[childList[i]]->Acceleration(s, x, y, z, m, gravity, exponent, timeStep);
        sum[0] += a[0];
        sum[1] += a[1];
        sum[2] += a[2];
    }
    return sum;
}

double COctreeNode::Potential(int s, double x, double y, double z, double gravity) const {
    if (starIndex == s) return 0.0;
    if (state == kBucket) {
        for (int j = 0; j < static_cast<int>(bucket.size()); ++j)
            if (bucket[j].index == s) return bucketMemberPotential(bucket.data(), static_cast<int>(bucket.size()), j, gravity);
    }
    const double dx = massCentre[0] - x, dy = massCentre[1] - y, dz = massCentre[2] - z;
    const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (state == kOneStar) return flatInside(gravity * mass, r, shieldRadius);
    if (r < shieldRadius || !(openLimit < r)) return OpenedPotential(s, x, y, z, gravity);
    return gravity * mass / r;
}

double COctreeNode::OpenedPotential(int s, double x, double y, double z, double gravity) const {
    if (state == kBucket) return bucketPotential(bucket.data(), static_cast<int>(bucket.size()), x, y, z, gravity);
    double sum = 0.0;
    for (int i = 0; i < childCount; ++i) sum += children[childList[i]]->Potential(s, x, y, z, gravity);
    return sum;
}

void COctreeNode::DeleteChildren() {
    if (!hasChildren) return;
    for (int c = 0; c < 8; ++c) {
        if (!children[c]) continue;  // a split cut short by a failed allocation
        children[c]->DeleteChildren();
        delete children[c];
    }
    delete[] children;
    children = nullptr;
    hasChildren = 0;
}

namespace {

// Builds the octree of stars 0..n-1 for one evaluation, hands its root to
// walk and deletes it again.
template <class Walk>
void withReferenceTree(const CGalaxy& g, int n, const double* x, const double* y, const double* z, Walk&& walk) {
    COctreeNode root(0.0, 0.0, 0.0, 50.0 * g.boxSize);
    // Clears the global however the evaluation ends; the root's destructor
    // then deletes the tree.
    struct Publish {
        explicit Publish(COctreeNode* r) { g_octreeRoot = r; }
        ~Publish() { g_octreeRoot = nullptr; }
    } publish(&root);

    for (int i = 0; i < n; ++i) root.Insert(i, x[i], y[i], z[i], g.mass[i]);
    root.ComputeMass(g.gravity, g.timeStep, g.shieldModifier, g.openingAngle);
    walk(root);
}

}  // namespace

void barnesHutReference(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                        double* ay, double* az) {
    withReferenceTree(g, n, x, y, z, [&](const COctreeNode& root) {
        for (int i = 0; i < n; ++i) {
            const Accel3 a = root.Acceleration(i, x[i], y[i], z[i], g.mass[i], g.gravity, -2.0, g.timeStep);
            ax[i] = a[0];
            ay[i] = a[1];
            az[i] = a[2];
        }
    });
}

void barnesHutPotentialReference(const CGalaxy& g, int n, const double* x, const double* y, const double* z,
                                 double* S) {
    withReferenceTree(g, n, x, y, z, [&](const COctreeNode& root) {
        for (int i = 0; i < n; ++i) {
            const double phi = root.Potential(i, x[i], y[i], z[i], g.gravity);
            S[i] = root.Octant(x[i], y[i], z[i]) < 0 ? phi : 0.5 * phi;
        }
    });
}

namespace {

// The softened tree gives each star's whole potential; the report's share is
// half of it, as for a star of the shield tree.
void halveShares(int n, double* S) {
    parallelForEach(n, [S](int i) { S[i] *= 0.5; });
}

}  // namespace

void barnesHutPotentials(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* S) {
    if (g.softening != Softening::Shield) {
        softenedTreeForces(g, n, x, y, z, nullptr, nullptr, nullptr, S);
        halveShares(n, S);
        return;
    }
    if (!flatOctreeWalk(g, n, x, y, z, nullptr, nullptr, nullptr, S)) barnesHutPotentialReference(g, n, x, y, z, S);
}

void barnesHutForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                     double* ay, double* az, double* S) {
    if (g.softening != Softening::Shield) {
        softenedTreeForces(g, n, x, y, z, ax, ay, az, S);
        if (S) halveShares(n, S);
        return;
    }
    if (flatOctreeWalk(g, n, x, y, z, ax, ay, az, S)) return;
    barnesHutReference(g, n, x, y, z, ax, ay, az);
    if (S) barnesHutPotentialReference(g, n, x, y, z, S);
}
