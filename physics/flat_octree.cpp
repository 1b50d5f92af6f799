#include "physics/flat_octree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "model/galaxy.h"
#include "physics/direct_sum.h"
#include "physics/forces.h"
#include "physics/simd.h"
#include "physics/workers.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
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

// ---- keys -----------------------------------------------------------------------

struct KeyJob {
    const CFlatOctree::Cell* cell;
    int levels;
    CFlatOctree::Entry* entries;
    int count;
    const double *x, *y, *z;
};

// One level down along one axis: the point's half (set lanes: the upper
// half, the one from the centre on) is appended to the key, and the faces
// become those of that half.
template <class V, class M>
[[gnu::always_inline]] inline void halve(const V& p, V& low, V& centre, double halfSize, M& key) {
    const V zero = {};
    const M upper = ~(p < centre);
    key = key << 1 | (upper & 1);
    const V next = low + halfSize / 2 + (upper ? halfSize - zero : zero);
    low = upper ? centre : low;
    centre = next;
}

// The keys of entries of a block: the octants of each star's path from the
// cell down, W stars at once.
template <int W>
[[gnu::always_inline]] inline void keysBlock(const KeyJob& job, int block) {
    using V = typename Simd<W>::V;
    using M = typename Simd<W>::Mask;
    const CFlatOctree::Cell& cell = *job.cell;
    const int end = std::min(job.count, (block + 1) * kBlock);
    for (int k = block * kBlock; k < end; k += W) {
        const int lanes = std::min(W, end - k);
        double position[3][W] = {};
        for (int l = 0; l < lanes; ++l) {
            const int s = job.entries[k + l].star;
            position[0][l] = job.x[s];
            position[1][l] = job.y[s];
            position[2][l] = job.z[s];
        }
        V px, py, pz;
        load(px, position[0]);
        load(py, position[1]);
        load(pz, position[2]);
        // value - 0.0 is the value in every lane, -0.0 included.
        V lowX = cell.low[0] - V{}, lowY = cell.low[1] - V{}, lowZ = cell.low[2] - V{};
        V centreX = cell.centre[0] - V{}, centreY = cell.centre[1] - V{}, centreZ = cell.centre[2] - V{};
        double h = cell.halfSize;
        M key = {};
        for (int level = 0; level < job.levels; ++level) {
            halve(px, lowX, centreX, h, key);
            halve(py, lowY, centreY, h, key);
            halve(pz, lowZ, centreZ, h, key);
            h = h / 2;
        }
        long keys[W];
        std::memcpy(keys, &key, sizeof keys);
        for (int l = 0; l < lanes; ++l) job.entries[k + l].key = static_cast<std::uint64_t>(keys[l]);
    }
}

// ---- the walk -------------------------------------------------------------------

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
};

template <class M>
[[gnu::always_inline]] inline bool anyLane(const M& m) {
    long any = 0;
    for (int l = 0; l < static_cast<int>(sizeof m / sizeof any); ++l) any |= m[l];
    return any != 0;
}

// A bucket cell: the lanes of its members take the pull of the others, the
// lanes that open it the pull of each member, as COctreeNode does; the
// members' lanes are taken out of those that take the cell whole. Rare, so
// done lane by lane, on copies: indexing the vectors by a variable lane would
// keep them in memory on every path of the walk.
template <int W, class V, class M>
[[gnu::always_inline]] inline void bucketLanes(const Walk& w, const CFlatOctree::Node& node, const M& liveLanes,
                                               M& acceptLanes, const int* stars, const V& px, const V& py,
                                               const V& pz, V& sx, V& sy, V& sz) {
    const CFlatOctree::Bucket& b = w.buckets[node.bucket];
    const OctreeStar* members = w.stars + b.first;
    long live[W], accept[W];
    double x[W], y[W], z[W], pull[3][W];
    std::memcpy(live, &liveLanes, sizeof live);
    std::memcpy(accept, &acceptLanes, sizeof accept);
    std::memcpy(x, &px, sizeof x);
    std::memcpy(y, &py, sizeof y);
    std::memcpy(z, &pz, sizeof z);
    for (int l = 0; l < W; ++l) {
        pull[0][l] = pull[1][l] = pull[2][l] = -0.0;
        if (!live[l]) continue;
        int member = 0;
        while (member < b.count && members[member].index != stars[l]) ++member;
        Accel3 a;
        if (member < b.count) {
            a = bucketMemberPull(members, b.count, member, w.gravity, -2.0);
            accept[l] = 0;
        } else if (!accept[l]) {
            a = bucketPull(members, b.count, x[l], y[l], z[l], w.gravity, -2.0);
        } else {
            continue;
        }
        for (int c = 0; c < 3; ++c) pull[c][l] = a[c];
    }
    std::memcpy(&acceptLanes, accept, sizeof accept);
    V add[3];
    std::memcpy(add, pull, sizeof add);
    sx += add[0];
    sy += add[1];
    sz += add[2];
}

// The walk of COctreeNode::Acceleration for W stars at once, one lane each.
// A lane takes part in a cell when its own walk reaches it, and does there
// what that walk does; cells no lane reaches are skipped. Each opened cell
// sums its children's pulls in a running sum of its own, per lane and in
// child order, and hands it to its parent's when its subtree is done, so every
// lane adds the same numbers in the same order as the recursion. A lane that
// does not take part adds -0.0, which leaves every sum as it is.
template <int W>
[[gnu::always_inline]] inline void walkGroup(const Walk& w, const int* stars, int lanes) {
    using V = typename Simd<W>::V;
    using M = typename Simd<W>::Mask;
    const V negZero = -0.0 - V{};
    double p[3][W] = {};
    long ids[W], lives[W] = {};
    for (int l = 0; l < W; ++l) {
        ids[l] = -2;  // matches no cell
        if (l >= lanes) continue;
        const int s = stars[l];
        p[0][l] = w.x[s];
        p[1][l] = w.y[s];
        p[2][l] = w.z[s];
        ids[l] = s;
        lives[l] = -1;
    }
    V px, py, pz;
    load(px, p[0]);
    load(py, p[1]);
    load(pz, p[2]);
    M id, live0;
    std::memcpy(&id, ids, sizeof id);
    std::memcpy(&live0, lives, sizeof live0);
    // The running sum of the cell whose children are being visited (depth
    // d - 1 for a child at depth d), and saved[e] that of the cell at depth
    // e - 1 while one of its children at depth e is open; open[e]: the lanes
    // that opened the cell whose children are at depth e.
    V sx = {}, sy = {}, sz = {};
    V savedX[kMaxDepth + 1], savedY[kMaxDepth + 1], savedZ[kMaxDepth + 1];
    M open[kMaxDepth + 2];
    // The root is always opened (depth 0, and more than one star).
    open[1] = live0;
    int i = 1;
    while (i < w.count) {
        const CFlatOctree::Node& node = w.nodes[i];
        const int d = node.depth;
        const V dx = node.massCentre[0] - px, dy = node.massCentre[1] - py, dz = node.massCentre[2] - pz;
        const V r2 = dx * dx + dy * dy + dz * dz;
        V r = r2;
        squareRoot<W>(r);
        const M live = open[d] & (id != node.star);
        // A leaf is taken whole by every star outside its shield radius (even
        // at a NaN distance), another cell only beyond its opening limit.
        // (Combined with the leaf's mask, g++ keeps the comparisons in vector
        // registers inside a function built for a wider instruction set.)
        const M leaf = M{} - static_cast<long>(node.kind == CFlatOctree::kLeaf);
        M accept = live & ~(r < node.shield) & (leaf | (node.openLimit < r));
        if (node.kind == CFlatOctree::kBucket) bucketLanes<W>(w, node, live, accept, stars, px, py, pz, sx, sy, sz);
        const V k = node.gm / (r2 * r);
        sx += accept ? k * dx : negZero;
        sy += accept ? k * dy : negZero;
        sz += accept ? k * dz : negZero;
        int next = node.next;
        if (node.kind == CFlatOctree::kSubdivided) {
            const M opened = live & ~accept;
            if (anyLane(opened)) {
                savedX[d] = sx;
                savedY[d] = sy;
                savedZ[d] = sz;
                sx = sy = sz = V{};
                open[d + 1] = opened;
                next = i + 1;
            }
        }
        // Leaving subtrees: each finished cell hands its sum to its parent.
        const int nextDepth = next < w.count ? w.nodes[next].depth : 1;
        for (int e = d - 1; e >= nextDepth; --e) {
            sx = savedX[e] + (open[e + 1] ? sx : negZero);
            sy = savedY[e] + (open[e + 1] ? sy : negZero);
            sz = savedZ[e] + (open[e + 1] ? sz : negZero);
        }
        i = next;
    }
    double result[3][W];
    store(result[0], sx);
    store(result[1], sy);
    store(result[2], sz);
    for (int l = 0; l < lanes; ++l) {
        const int s = stars[l];
        w.ax[s] = result[0][l];
        w.ay[s] = result[1][l];
        w.az[s] = result[2][l];
    }
}

template <int W>
[[gnu::always_inline]] inline void walkBlock(const Walk& w, int block) {
    const int end = std::min(w.n, (block + 1) * kBlock);
    for (int k = block * kBlock; k < end; k += W) walkGroup<W>(w, w.order + k, std::min(W, end - k));
}

// ---- one build per instruction set ------------------------------------------------

struct Kernels {
    void (*keys)(const KeyJob&, int block);
    void (*walk)(const Walk&, int block);
};

void keysGeneric(const KeyJob& job, int block) { keysBlock<2>(job, block); }
void walkGeneric(const Walk& w, int block) { walkBlock<2>(w, block); }
#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx2")]] void keysAvx2(const KeyJob& job, int block) { keysBlock<4>(job, block); }
[[gnu::target("avx2")]] void walkAvx2(const Walk& w, int block) { walkBlock<4>(w, block); }
[[gnu::target("avx512f")]] void keysAvx512(const KeyJob& job, int block) { keysBlock<8>(job, block); }
[[gnu::target("avx512f")]] void walkAvx512(const Walk& w, int block) { walkBlock<8>(w, block); }
#endif

Kernels kernels() {
    switch (selectedPairKernels()) {
#if defined(__x86_64__) || defined(__i386__)
    case PairKernels::Avx512:
        return {keysAvx512, walkAvx512};
    case PairKernels::Avx2:
        return {keysAvx2, walkAvx2};
#endif
    default:
        return {keysGeneric, walkGeneric};
    }
}

void computeKeys(const KeyJob& job) {
    const auto keys = kernels().keys;
    parallelFor((job.count + kBlock - 1) / kBlock, [&](int block) { keys(job, block); });
}

}  // namespace

namespace {

// Least significant digit first, eleven bits per pass: stable, so that stars
// with the same key stay in index order.
void sortByKey(std::vector<CFlatOctree::Entry>& entries, std::vector<CFlatOctree::Entry>& space) {
    constexpr int kBits = 11;
    constexpr std::size_t kBins = std::size_t{1} << kBits;
    space.resize(entries.size());
    std::vector<CFlatOctree::Entry>* from = &entries;
    std::vector<CFlatOctree::Entry>* to = &space;
    std::array<std::size_t, kBins> start;
    for (int shift = 0; shift < 3 * kKeyLevels; shift += kBits) {
        start.fill(0);
        for (const auto& e : *from) ++start[(e.key >> shift) & (kBins - 1)];
        // A pass in which every key has the same digit changes nothing.
        if (std::find(start.begin(), start.end(), from->size()) != start.end()) continue;
        std::size_t sum = 0;
        for (std::size_t& s : start) sum += std::exchange(s, sum);
        for (const auto& e : *from) (*to)[start[(e.key >> shift) & (kBins - 1)]++] = e;
        std::swap(from, to);
    }
    if (from != &entries) entries.swap(space);
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
    sortByKey(entries_, sortSpace_);
    const Source source = {x, y, z, g.mass, g.gravity};
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
    // Beyond 5 x halfSize a cell is taken whole, but never at depth 0 or 1.
    node.openLimit = cell.depth >= 2 ? 5.0 * cell.halfSize : kInf;
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

void CFlatOctree::accelerations(const double* x, const double* y, const double* z, double gravity,
                                double* ax, double* ay, double* az) const {
    const int walkers = static_cast<int>(order_.size());
    const Walk w = {nodes_.data(), static_cast<int>(nodes_.size()), buckets_.data(), stars_.data(), order_.data(), walkers,
                    x,             y,
                    z,             gravity,
                    ax,            ay,
                    az};
    const auto walk = kernels().walk;
    parallelFor((walkers + kBlock - 1) / kBlock, [&](int block) { walk(w, block); });
}

void barnesHutForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                     double* ay, double* az) {
    // Kept from one evaluation to the next by each calling thread, so that a
    // step allocates nothing once the tree's size is known.
    thread_local CFlatOctree tree;
    if (selectedPairKernels() != PairKernels::Plain) {
        tree.build(g, n, x, y, z);
        if (tree.starsInTree() >= 2) {
            tree.accelerations(x, y, z, g.gravity, ax, ay, az);
            return;
        }
    }
    // A tree of one star or none is walked as fast either way.
    barnesHutReference(g, n, x, y, z, ax, ay, az);
}
