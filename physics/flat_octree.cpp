#include "physics/flat_octree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "physics/simd.h"
#include "physics/workers.h"

namespace {

constexpr int kMaxDepth = COctreeNode::kMaxDepth;
// Octants per key: three bits each in 64.
constexpr int kKeyLevels = 21;
// The stars of one task of the walk and of the key computation; fixed, so the
// work is cut by the number of stars alone.
constexpr int kBlock = 64;
// The cells of one task of the shield radii.
constexpr int kShieldChunk = 4096;

int keyLevels(int depth) { return std::min(kKeyLevels, kMaxDepth - depth); }

}  // namespace

// A cube of the tree with its low faces and centre computed exactly as
// COctreeNode::Split computes them, so that every star takes the same octant
// at every level.
struct CFlatOctree::Cell {
    double low[3], centre[3];
    double halfSize;
    int depth;

    static Cell root(double halfSize) {
        Cell c;
        for (int a = 0; a < 3; ++a) {
            c.low[a] = 0.0 - halfSize;
            c.centre[a] = 0.0;
        }
        c.halfSize = halfSize;
        c.depth = 0;
        return c;
    }

    Cell child(int octant) const {
        Cell c;
        const double h = halfSize;
        for (int a = 0; a < 3; ++a) {
            const bool upper = (octant >> (2 - a)) & 1;
            c.centre[a] = low[a] + h / 2 + (upper ? h : 0.0);
            c.low[a] = upper ? centre[a] : low[a];
        }
        c.halfSize = h / 2;
        c.depth = depth + 1;
        return c;
    }
};

namespace {

// ---- the kernels, once per instruction set ------------------------------------------

struct KeyJob {
    const CFlatOctree::Cell* cell;
    int levels;
    CFlatOctree::Entry* entries;
    int count;
    const double *x, *y, *z;
};

struct Walk {
    const CFlatOctree::Node* nodes;
    int count;
    const CFlatOctree::Bucket* buckets;
    const OctreeStar* stars;
    const int* order;
    int n;
    const double *x, *y, *z;
    double gravity;
    double *ax, *ay, *az;
    double* potential;
};

#define ZYR_KERNELS_FILE "physics/flat_octree_kernels.inc"
#include "physics/simd_builds.inc"
#undef ZYR_KERNELS_FILE

void computeKeys(const KeyJob& job) {
    const auto keys = selectedBuild(generic::keys, avx2::keys, avx512::keys);
    parallelFor((job.count + kBlock - 1) / kBlock, [&](int block) { keys(job, block); });
}


}  // namespace

void CFlatOctree::build(const CGalaxy& g, int n, const double* x, const double* y, const double* z) {
    nodes_.clear();
    buckets_.clear();
    entries_.clear();
    order_.clear();
    const Cell root = Cell::root(50.0 * g.boxSize);
    // The root's octant test: NaN fails every comparison, and a coordinate
    // of exactly +50 x boxSize lies in no octant.
    const double high = 0.0 + root.halfSize;
    const auto inRoot = [&root, high](double p) { return root.low[0] <= p && p < high; };
    std::vector<int> outside;
    for (int i = 0; i < n; ++i) {
        if (inRoot(x[i]) && inRoot(y[i]) && inRoot(z[i]))
            entries_.push_back({0, i});
        else
            outside.push_back(i);
    }
    const int inTree = static_cast<int>(entries_.size());
    computeKeys({&root, keyLevels(0), entries_.data(), inTree, x, y, z});
    sortByKey(entries_, sortSpace_, 3 * kKeyLevels);
    const Source source = {x, y, z, g.mass, g.gravity, g.openingAngle};
    stars_.resize(entries_.size());
    gather(0, inTree, source);

    nodes_.reserve(2 * entries_.size() + 1);
    if (inTree > 0) buildCell(root, 0, inTree, 0, source);

    // The shield radius of every cell and bucket star, ShieldRadius of its
    // gravity * mass as ComputeMass computes it.
    const int count = static_cast<int>(nodes_.size());
    parallelFor((count + kShieldChunk - 1) / kShieldChunk, [&](int chunk) {
        ShieldRule shieldOf(g.timeStep, g.shieldModifier);
        const int end = std::min(count, (chunk + 1) * kShieldChunk);
        for (int k = chunk * kShieldChunk; k < end; ++k) nodes_[k].shield = shieldOf(nodes_[k].gm);
    });
    ShieldRule shieldOf(g.timeStep, g.shieldModifier);
    for (const Bucket& b : buckets_)
        for (int k = b.first; k < b.first + b.count; ++k) stars_[k].shield = shieldOf(g.gravity * stars_[k].m);

    order_.reserve(static_cast<std::size_t>(n));
    for (const Entry& e : entries_) order_.push_back(e.star);
    order_.insert(order_.end(), outside.begin(), outside.end());
}

// The stars of entries begin..end-1, in their order.
void CFlatOctree::gather(int begin, int end, const Source& source) {
    parallelForEach(end - begin, [&](int k) {
        const int s = entries_[begin + k].star;
        stars_[begin + k] = {s, source.x[s], source.y[s], source.z[s], source.mass[s], 0.0};
    });
}

// Appends the cell holding entries begin..end-1 and its subtree in depth-first
// order; returns the cell's mass. The entries' keys start at depth keyDepth.
double CFlatOctree::buildCell(const Cell& cell, int begin, int end, int keyDepth, const Source& source) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
    Node node{};
    node.star = -1;
    node.bucket = -1;
    node.depth = static_cast<std::int16_t>(cell.depth);
    node.openLimit = openingLimit(cell.halfSize, cell.depth, source.openingAngle);
    double mass = 0.0;
    double* centre = node.massCentre;
    if (end - begin == 1) {
        const OctreeStar& s = stars_[begin];
        node.kind = kLeaf;
        node.star = s.index;
        mass = s.m;
        centre[0] = s.x;
        centre[1] = s.y;
        centre[2] = s.z;
    } else if (cell.depth == kMaxDepth) {
        // Stars too close to be told apart: as in COctreeNode, they share
        // the cell in index order.
        node.kind = kBucket;
        node.bucket = static_cast<int>(buckets_.size());
        buckets_.push_back({begin, end - begin});
        for (int k = begin; k < end; ++k) {
            const OctreeStar& s = stars_[k];
            mass += s.m;
            centre[0] += s.m * s.x;
            centre[1] += s.m * s.y;
            centre[2] += s.m * s.z;
        }
        for (int a = 0; a < 3; ++a) centre[a] /= mass;
    } else {
        node.kind = kSubdivided;
        if (cell.depth - keyDepth == keyLevels(keyDepth)) {
            // Every star here shares the whole path of the key so far: the
            // next levels of their paths, from this cell on.
            keyDepth = cell.depth;
            computeKeys({&cell, keyLevels(keyDepth), entries_.data() + begin, end - begin, source.x, source.y,
                         source.z});
            std::stable_sort(entries_.begin() + begin, entries_.begin() + end,
                             [](const Entry& a, const Entry& b) { return a.key < b.key; });
            gather(begin, end, source);
        }
        const int shift = 3 * (keyLevels(keyDepth) - 1 - (cell.depth - keyDepth));
        // The children in octant order; empty ones are left out, which adds
        // nothing but exact zeros to the sums below.
        int k = begin;
        for (int octant = 0; octant < 8 && k < end; ++octant) {
            const int first = k;
            while (k < end && static_cast<int>((entries_[k].key >> shift) & 7) == octant) ++k;
            if (k == first) continue;
            const int child = static_cast<int>(nodes_.size());
            const double m = buildCell(cell.child(octant), first, k, keyDepth, source);
            mass += m;
            for (int a = 0; a < 3; ++a) centre[a] += m * nodes_[child].massCentre[a];
        }
        for (int a = 0; a < 3; ++a) centre[a] /= mass;
    }
    node.gm = source.gravity * mass;
    node.next = static_cast<int>(nodes_.size());
    nodes_[index] = node;
    return mass;
}

void CFlatOctree::walk(const double* x, const double* y, const double* z, double gravity, double* ax, double* ay,
                       double* az, double* potential) const {
    const int walkers = static_cast<int>(order_.size());
    const Walk w = {nodes_.data(), static_cast<int>(nodes_.size()), buckets_.data(), stars_.data(), order_.data(),
                    walkers,       x,  y,  z,  gravity,  ax,  ay,  az,  potential};
    const auto kernel = !potential ? selectedBuild(generic::walk, avx2::walk, avx512::walk)
                        : !ax      ? selectedBuild(generic::walkPotential, avx2::walkPotential, avx512::walkPotential)
                                   : selectedBuild(generic::walkBoth, avx2::walkBoth, avx512::walkBoth);
    parallelFor((walkers + kBlock - 1) / kBlock, [&](int block) { kernel(w, block); });
}

namespace {

// Kept from one evaluation to the next by each calling thread, so that a step
// allocates nothing once the tree's size is known; the report's walk shares it.
CFlatOctree& threadTree() {
    thread_local CFlatOctree tree;
    return tree;
}

}  // namespace

bool flatOctreeWalk(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax, double* ay,
                    double* az, double* S) {
    if (selectedKernelBuild() == KernelBuild::Plain) return false;
    CFlatOctree& tree = threadTree();
    tree.build(g, n, x, y, z);
    const int inTree = tree.starsInTree();
    if (inTree < 2) return false;
    tree.walk(x, y, z, g.gravity, ax, ay, az, S);
    if (S) {
        // The walking order holds the stars of the tree first, which share
        // their potential with the stars that pull them back.
        const int* order = tree.walkingOrder();
        parallelForEach(inTree, [&](int k) { S[order[k]] *= 0.5; });
    }
    return true;
}

