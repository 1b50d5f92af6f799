#include "physics/softened_tree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "model/galaxy.h"
#include "physics/kernel_builds.h"
#include "physics/key_sort.h"
#include "physics/simd.h"
#include "physics/softening.h"
#include "physics/workers.h"

namespace {

// Octants per key: three bits each in 63.
constexpr int kLevels = 21;
constexpr double kCellsPerAxis = 1 << kLevels;
// Sources per leaf at most, but at the last level, which keeps whatever it
// gets (stars too close to be told apart).
constexpr int kLeafSize = 8;
// Stars walked together at most, and the lanes their arrays are padded to: a
// whole number of blocks of every build's kernel. The walk of the lists costs
// more than their evaluation, so a group is larger than a leaf.
constexpr int kGroupSize = 64;
constexpr int kPadLanes = 32;
// The groups of one task of the walk, and the cells of one task of the
// moments: fixed, so the work is cut by the stars alone.
constexpr int kGroupsPerTask = 4;
constexpr int kCellsPerTask = 256;
// A cell of this few sources costs less pair by pair than taken whole.
constexpr int kPairsUpTo = 2;
// No cell is taken whole by a group that comes within this many edges of the
// cell's centre (GADGET-4's box criterion): a cell's centre of mass may lie
// anywhere in it, and the expansion about it fails for a star beside it.
constexpr double kSafetyBox = 0.6;
// The octupole term bounds the error of one cell; the errors of the many
// cells of a list partly cancel, so the 99th percentile of the relative error
// of a Plummer sphere's pulls stays well below the tolerance. Widened by this
// factor, it comes to about 0.9 of the target at 1e-3, 0.6 at 3e-3 and 1.3 at
// 3e-4 (bench/force_bench.cpp).
constexpr double kToleranceFactor = 4.5;
// The fast kernels take lengths scaled by a power of two that brings the
// sources' cube to an edge of 1 to 2, and gravity times masses by one that
// brings the largest to 1 to 2. The range of r2 + e2 (powers of two) in those
// units they are used for: the float kernel of the cells raises the least to
// the power -3/2, and the estimates of inverse roots take any within the
// range of floats.
constexpr int kLeastScaledSquare = -80;
constexpr int kLargestScaledSquare = 120;

struct Source {
    double x, y, z, gm, id;
};
// A far source in floats for the fast kernels, in their scaled units and
// about the centre of the group's box; lane: the star's lane in the group, or
// -1 for a star outside it.
struct FloatSource {
    float x, y, z, gm, lane;
};
// A cell taken whole: centre of mass, gravity * mass, the gravity-weighted
// second moments about the centre of mass and their trace.
struct Cell {
    double x, y, z, gm, qxx, qyy, qzz, qxy, qxz, qyz, trace;
};
// The same in floats for the fast kernels, in the scaled units and about the
// centre of the group's box.
struct FloatCell {
    float x, y, z, gm, qxx, qyy, qzz, qxy, qxz, qyz, trace, unused;
};

// What the kernel of one group needs: its stars (positions and indices, in
// arrays padded to kPadLanes), their outputs, and its lists.
struct Interactions {
    int stars;
    const double *x, *y, *z, *id;
    double *ax, *ay, *az, *potential;
    // The near pairs' share of the pulls and depths, apart from the rest.
    double *nearAx, *nearAy, *nearAz, *nearPotential;
    const Source* far;
    int farCount;
    const FloatSource* floatFar;
    int floatFarCount;
    const Source* near;
    int nearCount;
    const Cell* cells;
    int cellCount;
    const FloatCell* floatCells;
    int floatCellCount;
    // The centre of the group's box, which the float cells are about.
    const double* centre;
    // e2: added to r2 for far pairs and cells (epsilon^2 for Plummer, 0 for
    // the spline); the spline's reach h, 1/h and 1/h^3.
    double e2, h, hinv, h3inv;
    // The fast kernels' units (kLeastScaledSquare): the scale of lengths, and
    // what brings their pulls and depths back.
    double lengthScale, pullScale, depthScale;
    float floatE2;  // e2 in the scaled units
    bool fast;
};

#define ZYR_KERNELS_FILE "physics/softened_tree_kernels.inc"
#include "physics/simd_builds.inc"
#undef ZYR_KERNELS_FILE

using Entry = KeyedStar;

// The 21 low bits of v, moved to every third bit.
std::uint64_t spread(std::uint64_t v) {
    v &= 0x1fffff;
    v = (v | v << 32) & 0x1f00000000ffffULL;
    v = (v | v << 16) & 0x1f0000ff0000ffULL;
    v = (v | v << 8) & 0x100f00f00f00f00fULL;
    v = (v | v << 4) & 0x10c30c30c30c30c3ULL;
    v = (v | v << 2) & 0x1249249249249249ULL;
    return v;
}

struct Box {
    double lo[3], hi[3];
};

struct Cube {
    double low[3], edge;
};

// The bounding cube of the entries' stars, and their Morton keys in it.
Cube sortInCube(std::vector<Entry>& entries, std::vector<Entry>& space, const double* const p[3]) {
    Cube cube = {{0.0, 0.0, 0.0}, 1.0};
    if (entries.empty()) return cube;
    Box box;
    for (int a = 0; a < 3; ++a) {
        box.lo[a] = std::numeric_limits<double>::infinity();
        box.hi[a] = -box.lo[a];
    }
    for (const Entry& e : entries)
        for (int a = 0; a < 3; ++a) {
            box.lo[a] = std::min(box.lo[a], p[a][e.star]);
            box.hi[a] = std::max(box.hi[a], p[a][e.star]);
        }
    double edge = 0.0;
    for (int a = 0; a < 3; ++a) {
        cube.low[a] = box.lo[a];
        edge = std::max(edge, box.hi[a] - box.lo[a]);
    }
    // Coincident stars share one cell at the last level, whatever its size.
    cube.edge = edge > 0.0 ? edge : 1.0;
    // An edge that overflows puts every star into the first cell: the walk
    // then opens everything and sums the pairs.
    const double scale = kCellsPerAxis / cube.edge;
    parallelForEach(static_cast<int>(entries.size()), [&](int k) {
        std::uint64_t key = 0;
        for (int a = 0; a < 3; ++a) {
            const double t = (p[a][entries[k].star] - cube.low[a]) * scale;
            // Written so that NaN gives the first cell; the last takes the
            // stars on the upper faces.
            const double cell = t >= 1.0 ? std::min(t, kCellsPerAxis - 1.0) : 0.0;
            key |= spread(static_cast<std::uint64_t>(cell)) << (2 - a);
        }
        entries[k].key = key;
    });
    sortByKey(entries, space, 3 * kLevels);
    return cube;
}

// What the walk reads of a cell, apart from its moments: 128 bytes.
struct Node {
    double com[3], absGm;
    Box box;  // of the cell's sources
    double centre[3], edge;
    int next, first, count;
    bool leaf;
    bool takeable;  // whether the centre of mass and the moments are finite
};
static_assert(sizeof(Node) == 128);

// What a list takes of a cell taken whole.
struct Moments {
    double gm;
    double q[6];      // xx, yy, zz, xy, xz, yz
    float scaled[8];  // gm, q and their trace in the fast kernels' units
};

struct Group {
    int first, count;  // in the walking order
    int kind;          // the constants of the kernel (SoftenedTree::constants_)
    Box box;
    double centre[3];  // of the box
};

// How cells are taken whole: by the opening angle, or by the error estimate
// against tolerance = forceError times the smallest pull of the group's stars.
struct Opening {
    bool relative;
    double theta2, forceError;
    const double* pullSize;  // per star, for the relative opening
};

// The near pairs are the same in both passes of the error-driven opening (no
// cell within the spline's reach of a group is taken whole): the first keeps
// their sums, the second takes them.
enum class NearSums { Sum, Keep, Reuse };

// A group's lists and the padded arrays of its stars; one per thread, kept
// from one evaluation to the next.
struct Lists {
    std::vector<Source> far, near;
    std::vector<Cell> cells;
    std::vector<FloatSource> floatFar;
    std::vector<FloatCell> floatCells;
    double x[kGroupSize], y[kGroupSize], z[kGroupSize], id[kGroupSize];
    double ax[kGroupSize], ay[kGroupSize], az[kGroupSize], potential[kGroupSize];
    double nearAx[kGroupSize], nearAy[kGroupSize], nearAz[kGroupSize], nearPotential[kGroupSize];
};

Lists& threadLists() {
    thread_local Lists lists;
    return lists;
}

double gap(double lo, double hi, double otherLo, double otherHi) {
    return std::max({otherLo - hi, lo - otherHi, 0.0});
}

class SoftenedTree {
public:
    void build(const CGalaxy& g, int n, const double* x, const double* y, const double* z);
    void evaluate(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                  double* ay, double* az, double* potential);

private:
    void buildCell(int begin, int end, int level, const std::uint64_t corner[3]);
    void weigh(int cell, double gravity);
    void split(const std::vector<Entry>& walkers, int begin, int end, int level, int kind, const double* const p[3]);
    void addGroups(const std::vector<Entry>& walkers, int begin, int end, int kind, const double* const p[3]);
    bool takenWhole(const Node& node, const Group& group, const Opening& opening, double tolerance) const;
    void gather(const Group& group, const Opening& opening, bool near, Lists& lists) const;
    void walk(const Opening& opening, NearSums near, const double* const p[3], double* ax, double* ay, double* az,
              double* potential);

    // The massive stars, and the massless ones with finite coordinates.
    std::vector<Entry> sources_, targets_, space_;
    // Stars in walking order: the sources, then the massless ones.
    std::vector<int> order_;
    std::vector<double> mass_;
    std::vector<Source> stars_;
    std::vector<Node> nodes_;
    std::vector<Moments> moments_;
    std::vector<Group> groups_;
    std::vector<double> estimate_, pullSize_;
    // The near pairs' pulls and depths, four per star in walking order.
    std::vector<double> nearSums_;
    Cube cube_ = {};
    // The fast kernels' units (kLeastScaledSquare).
    double lengthScale_ = 1.0, massScale_ = 1.0;
    // The softening: spline reach squared (0 for Plummer, which has none),
    // and the kernel's constants.
    double reach2_ = 0.0;
    // The kernel's constants for the groups of massive and of massless stars.
    Interactions constants_[2] = {};
};

void SoftenedTree::build(const CGalaxy& g, int n, const double* x, const double* y, const double* z) {
    const double* const p[3] = {x, y, z};
    sources_.clear();
    targets_.clear();
    for (int i = 0; i < n; ++i) {
        if (!(std::isfinite(x[i]) && std::isfinite(y[i]) && std::isfinite(z[i]))) continue;
        if (g.mass[i] != 0.0 && std::isfinite(g.mass[i]))
            sources_.push_back({0, i});
        else
            targets_.push_back({0, i});
    }
    cube_ = sortInCube(sources_, space_, p);
    const int count = static_cast<int>(sources_.size());
    mass_.resize(sources_.size());
    stars_.resize(sources_.size());
    parallelForEach(count, [&](int k) {
        const int s = sources_[k].star;
        mass_[k] = g.mass[s];
        stars_[k] = {x[s], y[s], z[s], g.gravity * g.mass[s], static_cast<double>(s)};
    });
    nodes_.clear();
    if (count > 0) {
        const std::uint64_t corner[3] = {0, 0, 0};
        buildCell(0, count, 0, corner);
    }
    double heaviest = 0.0;
    for (const Source& s : stars_) heaviest = std::max(heaviest, std::fabs(s.gm));
    lengthScale_ = std::ldexp(1.0, -std::ilogb(cube_.edge));
    massScale_ = std::isfinite(heaviest) && heaviest > 0.0 ? std::ldexp(1.0, -std::ilogb(heaviest)) : 1.0;
    const int cells = static_cast<int>(nodes_.size());
    moments_.resize(nodes_.size());
    parallelFor((cells + kCellsPerTask - 1) / kCellsPerTask, [&](int task) {
        const int end = std::min(cells, (task + 1) * kCellsPerTask);
        for (int k = task * kCellsPerTask; k < end; ++k) weigh(k, g.gravity);
    });

    // Every star with finite coordinates is walked, in groups of neighbours:
    // the sources in their order, then the massless stars in theirs, so that
    // a massless star changes nothing of the sources' walks.
    order_.clear();
    groups_.clear();
    for (const Entry& e : sources_) order_.push_back(e.star);
    split(sources_, 0, count, 0, 0, p);
    const Cube others = sortInCube(targets_, space_, p);
    for (const Entry& e : targets_) order_.push_back(e.star);
    split(targets_, 0, static_cast<int>(targets_.size()), 0, 1, p);

    const double eps = g.epsilon;
    const bool spline = g.softening == Softening::Spline;
    const double h = kSplineReach * eps;
    reach2_ = spline ? h * h : 0.0;
    // The values of r2 + e2 the inverse roots are taken of: from the smallest
    // a far pair or a cell may have to the diagonal of the stars walked and
    // the sources, the massive stars' and the massless ones' apart.
    double span[2] = {cube_.edge, cube_.edge};
    if (!targets_.empty())
        for (int a = 0; a < 3; ++a)
            span[1] = std::max(span[1], std::max(cube_.low[a] + cube_.edge, others.low[a] + others.edge) -
                                            std::min(cube_.low[a], others.low[a]));
    for (int kind = 0; kind < 2; ++kind) {
        Interactions& c = constants_[kind];
        c.e2 = spline ? 0.0 : eps * eps;
        c.h = h;
        c.hinv = 1.0 / h;
        c.h3inv = c.hinv * c.hinv * c.hinv;
        const double squareScale = lengthScale_ * lengthScale_;
        c.lengthScale = lengthScale_;
        c.pullScale = squareScale / massScale_;
        c.depthScale = lengthScale_ / massScale_;
        c.floatE2 = static_cast<float>(c.e2 * squareScale);
        const double smallest = (spline ? reach2_ : c.e2) * squareScale;
        const double largest = (3.0 * span[kind] * span[kind] + c.e2) * squareScale;
        c.fast = smallest > 0.0 && std::isfinite(largest) && std::ilogb(smallest) >= kLeastScaledSquare &&
                 std::ilogb(largest) <= kLargestScaledSquare && selectedKernelBuild() != KernelBuild::Plain;
    }
}

// Appends the cell of sources begin..end-1, whose keys agree on their first
// `level` octants, and its subtree in depth-first order. corner: the cell's
// position in cells of its size along each axis.
void SoftenedTree::buildCell(int begin, int end, int level, const std::uint64_t corner[3]) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
    Node node{};
    node.first = begin;
    node.count = end - begin;
    node.edge = std::ldexp(cube_.edge, -level);
    for (int a = 0; a < 3; ++a) node.centre[a] = cube_.low[a] + (static_cast<double>(corner[a]) + 0.5) * node.edge;
    node.leaf = node.count <= kLeafSize || level == kLevels;
    if (!node.leaf) {
        const int shift = 3 * (kLevels - 1 - level);
        int k = begin;
        for (int octant = 0; octant < 8 && k < end; ++octant) {
            const int first = k;
            while (k < end && static_cast<int>((sources_[k].key >> shift) & 7) == octant) ++k;
            if (k == first) continue;
            std::uint64_t child[3];
            for (int a = 0; a < 3; ++a) child[a] = 2 * corner[a] + ((octant >> (2 - a)) & 1);
            buildCell(first, k, level + 1, child);
        }
    }
    node.next = static_cast<int>(nodes_.size());
    nodes_[index] = node;
}

// The cell's mass, centre of mass, moments and box, from its own sources
// (no cell's rounding or NaN reaches another).
void SoftenedTree::weigh(int cell, double gravity) {
    Node& node = nodes_[cell];
    Moments& moments = moments_[cell];
    double m = 0.0, mx = 0.0, my = 0.0, mz = 0.0;
    for (int a = 0; a < 3; ++a) {
        node.box.lo[a] = std::numeric_limits<double>::infinity();
        node.box.hi[a] = -node.box.lo[a];
    }
    const int end = node.first + node.count;
    for (int k = node.first; k < end; ++k) {
        const Source& s = stars_[k];
        m += mass_[k];
        mx += mass_[k] * s.x;
        my += mass_[k] * s.y;
        mz += mass_[k] * s.z;
        const double at[3] = {s.x, s.y, s.z};
        for (int a = 0; a < 3; ++a) {
            node.box.lo[a] = std::min(node.box.lo[a], at[a]);
            node.box.hi[a] = std::max(node.box.hi[a], at[a]);
        }
    }
    node.com[0] = mx / m;
    node.com[1] = my / m;
    node.com[2] = mz / m;
    double q[6] = {};
    for (int k = node.first; k < end; ++k) {
        const Source& s = stars_[k];
        const double dx = s.x - node.com[0], dy = s.y - node.com[1], dz = s.z - node.com[2];
        const double mk = mass_[k];
        q[0] += mk * dx * dx;
        q[1] += mk * dy * dy;
        q[2] += mk * dz * dz;
        q[3] += mk * dx * dy;
        q[4] += mk * dx * dz;
        q[5] += mk * dy * dz;
    }
    moments.gm = gravity * m;
    node.absGm = std::fabs(moments.gm);
    node.takeable = std::isfinite(moments.gm);
    for (int a = 0; a < 3; ++a) node.takeable = node.takeable && std::isfinite(node.com[a]);
    for (int c = 0; c < 6; ++c) {
        moments.q[c] = gravity * q[c];
        node.takeable = node.takeable && std::isfinite(moments.q[c]);
    }
    const double* const mq = moments.q;
    const double all[8] = {moments.gm, mq[0], mq[1], mq[2], mq[3], mq[4], mq[5], mq[0] + mq[1] + mq[2]};
    for (int c = 0; c < 8; ++c)
        moments.scaled[c] = static_cast<float>(all[c] * massScale_ * (c == 0 ? 1.0 : lengthScale_ * lengthScale_));
}

// Groups of at most kGroupSize walkers of one kind (0: the sources, 1: the
// massless stars, which follow them in the walking order), each from one
// cell of the walkers' own octree, so that its stars are neighbours. Sibling
// cells too small to fill a group share one.
void SoftenedTree::split(const std::vector<Entry>& walkers, int begin, int end, int level, int kind,
                         const double* const p[3]) {
    if (end - begin <= kGroupSize || level == kLevels) {
        addGroups(walkers, begin, end, kind, p);
        return;
    }
    const int shift = 3 * (kLevels - 1 - level);
    int k = begin, run = begin;  // run..first-1: the siblings not yet grouped
    for (int octant = 0; octant < 8 && k < end; ++octant) {
        const int first = k;
        while (k < end && static_cast<int>((walkers[k].key >> shift) & 7) == octant) ++k;
        if (k - first > kGroupSize) {
            addGroups(walkers, run, first, kind, p);
            split(walkers, first, k, level + 1, kind, p);
            run = k;
        } else if (k - run > kGroupSize) {
            addGroups(walkers, run, first, kind, p);
            run = first;
        }
    }
    addGroups(walkers, run, end, kind, p);
}

// The walkers begin..end-1 in groups of kGroupSize, the last of the rest.
void SoftenedTree::addGroups(const std::vector<Entry>& walkers, int begin, int end, int kind,
                             const double* const p[3]) {
    for (int first = begin; first < end; first += kGroupSize) {
        Group g;
        g.first = first + (kind ? static_cast<int>(sources_.size()) : 0);
        g.kind = kind;
        g.count = std::min(kGroupSize, end - first);
        for (int a = 0; a < 3; ++a) {
            g.box.lo[a] = std::numeric_limits<double>::infinity();
            g.box.hi[a] = -g.box.lo[a];
        }
        for (int k = first; k < first + g.count; ++k)
            for (int a = 0; a < 3; ++a) {
                g.box.lo[a] = std::min(g.box.lo[a], p[a][walkers[k].star]);
                g.box.hi[a] = std::max(g.box.hi[a], p[a][walkers[k].star]);
            }
        for (int a = 0; a < 3; ++a) g.centre[a] = 0.5 * (g.box.lo[a] + g.box.hi[a]);
        groups_.push_back(g);
    }
}

// Whether every star of the group may take the cell whole: the group keeps
// clear of the cell's safety box and of the spline's reach around its
// sources, and the cell looks small enough from the point of the group's
// box nearest to its centre of mass (r): edge / r below the opening angle,
// or the size of the quadrupole expansion's first neglected term, the
// octupole's |G M| edge^3 / r^5, within the tolerance.
bool SoftenedTree::takenWhole(const Node& node, const Group& group, const Opening& opening, double tolerance) const {
    if (!node.takeable) return false;
    const double reach = kSafetyBox * node.edge;
    bool inside = true;
    double r2 = 0.0, gap2 = 0.0;
    for (int a = 0; a < 3; ++a) {
        const double lo = group.box.lo[a], hi = group.box.hi[a];
        inside = inside && hi >= node.centre[a] - reach && lo <= node.centre[a] + reach;
        const double d = gap(lo, hi, node.com[a], node.com[a]);
        r2 += d * d;
        const double s = gap(lo, hi, node.box.lo[a], node.box.hi[a]);
        gap2 += s * s;
    }
    if (inside || gap2 < reach2_) return false;
    const double edge2 = node.edge * node.edge;
    if (!opening.relative) return edge2 < opening.theta2 * r2;
    return node.absGm * edge2 * node.edge <= tolerance * r2 * r2 * std::sqrt(r2);
}

// The lists of the group: cells taken whole, and the sources of the leaves
// opened, near (within the spline's reach of the group; left out unless
// `near`) or far. The fast kernels take the cells and the far sources in
// floats (FloatCell, FloatSource).
void SoftenedTree::gather(const Group& group, const Opening& opening, bool near, Lists& lists) const {
    lists.far.clear();
    lists.near.clear();
    lists.cells.clear();
    lists.floatFar.clear();
    lists.floatCells.clear();
    const bool fast = constants_[group.kind].fast;
    const double scale = lengthScale_;
    const double* centre = group.centre;
    double tolerance = 0.0;
    if (opening.relative) {
        double least = std::numeric_limits<double>::infinity();
        for (int k = group.first; k < group.first + group.count; ++k)
            least = std::min(least, opening.pullSize[order_[k]]);
        tolerance = kToleranceFactor * opening.forceError * least;
    }
    const auto addSources = [&](std::vector<Source>& list, const Node& node) {
        list.insert(list.end(), stars_.begin() + node.first, stars_.begin() + node.first + node.count);
    };
    // A group of sources holds its own stars at the same places in the
    // walking order and among the sources.
    const int own = group.kind == 0 ? group.first : -kGroupSize;
    const auto addFar = [&](const Node& node) {
        if (!fast) return addSources(lists.far, node);
        for (int k = node.first; k < node.first + node.count; ++k) {
            const Source& s = stars_[k];
            const int lane = k - own;
            lists.floatFar.push_back({static_cast<float>((s.x - centre[0]) * scale),
                                      static_cast<float>((s.y - centre[1]) * scale),
                                      static_cast<float>((s.z - centre[2]) * scale),
                                      static_cast<float>(s.gm * massScale_),
                                      lane >= 0 && lane < group.count ? static_cast<float>(lane) : -1.0f});
        }
    };
    const int count = static_cast<int>(nodes_.size());
    int i = 0;
    while (i < count) {
        const Node& node = nodes_[i];
        if (takenWhole(node, group, opening, tolerance)) {
            if (node.count > kPairsUpTo && fast) {
                const float* m = moments_[i].scaled;
                lists.floatCells.push_back({static_cast<float>((node.com[0] - centre[0]) * scale),
                                            static_cast<float>((node.com[1] - centre[1]) * scale),
                                            static_cast<float>((node.com[2] - centre[2]) * scale), m[0], m[1], m[2],
                                            m[3], m[4], m[5], m[6], m[7], 0.0f});
            } else if (node.count > kPairsUpTo) {
                const double* q = moments_[i].q;
                lists.cells.push_back({node.com[0], node.com[1], node.com[2], moments_[i].gm, q[0], q[1], q[2], q[3],
                                       q[4], q[5], q[0] + q[1] + q[2]});
            } else {
                addFar(node);
            }
            i = node.next;
        } else if (node.leaf) {
            double gap2 = 0.0;
            for (int a = 0; a < 3; ++a) {
                const double s = gap(group.box.lo[a], group.box.hi[a], node.box.lo[a], node.box.hi[a]);
                gap2 += s * s;
            }
            // The sources of leaves that touch the group's box come nearest to
            // its stars, nearer than the floats' rounding allows for: they
            // are summed in doubles (for Plummer's softening, which has no
            // reach).
            if (gap2 < reach2_) {
                if (near) addSources(lists.near, node);
            } else if (gap2 == 0.0) {
                addSources(lists.far, node);
            } else {
                addFar(node);
            }
            i = node.next;
        } else {
            ++i;
        }
    }
}

// One pass over every group: the pulls into ax, ay, az and the depths into
// potential (null: not computed). A pass that keeps the near pairs' sums
// computes their depths only if it computes the depths.
void SoftenedTree::walk(const Opening& opening, NearSums near, const double* const p[3], double* ax, double* ay,
                        double* az, double* potential) {
    if (near == NearSums::Keep) nearSums_.resize(4 * order_.size());
    const auto kernel = selectedBuild(generic::interact, avx2::interact, avx512::interact);
    const int groups = static_cast<int>(groups_.size());
    const auto task = [&](int t) {
        Lists& lists = threadLists();
        const int end = std::min(groups, (t + 1) * kGroupsPerTask);
        for (int k = t * kGroupsPerTask; k < end; ++k) {
            const Group& group = groups_[k];
            gather(group, opening, near != NearSums::Reuse, lists);
            const int padded = (group.count + kPadLanes - 1) / kPadLanes * kPadLanes;
            for (int l = 0; l < padded; ++l) {
                // Lanes past the group's stars repeat its first star under
                // an index no source has.
                const int star = order_[group.first + (l < group.count ? l : 0)];
                lists.x[l] = p[0][star];
                lists.y[l] = p[1][star];
                lists.z[l] = p[2][star];
                lists.id[l] = l < group.count ? star : -1.0;
            }
            Interactions job = constants_[group.kind];
            job.stars = group.count;
            job.x = lists.x;
            job.y = lists.y;
            job.z = lists.z;
            job.id = lists.id;
            job.ax = lists.ax;
            job.ay = lists.ay;
            job.az = lists.az;
            job.potential = potential ? lists.potential : nullptr;
            job.nearAx = lists.nearAx;
            job.nearAy = lists.nearAy;
            job.nearAz = lists.nearAz;
            job.nearPotential = lists.nearPotential;
            job.far = lists.far.data();
            job.farCount = static_cast<int>(lists.far.size());
            job.floatFar = lists.floatFar.data();
            job.floatFarCount = static_cast<int>(lists.floatFar.size());
            job.near = lists.near.data();
            job.nearCount = static_cast<int>(lists.near.size());
            job.cells = lists.cells.data();
            job.cellCount = static_cast<int>(lists.cells.size());
            job.floatCells = lists.floatCells.data();
            job.floatCellCount = static_cast<int>(lists.floatCells.size());
            job.centre = group.centre;
            kernel(job);
            for (int l = 0; l < group.count; ++l) {
                double* kept = nearSums_.data() + 4 * static_cast<std::size_t>(group.first + l);
                if (near == NearSums::Keep) {
                    kept[0] = lists.nearAx[l];
                    kept[1] = lists.nearAy[l];
                    kept[2] = lists.nearAz[l];
                    if (potential) kept[3] = lists.nearPotential[l];
                } else if (near == NearSums::Sum) {
                    kept = nullptr;
                }
                const int star = order_[group.first + l];
                if (ax) {
                    ax[star] = lists.ax[l] + (kept ? kept[0] : lists.nearAx[l]);
                    ay[star] = lists.ay[l] + (kept ? kept[1] : lists.nearAy[l]);
                    az[star] = lists.az[l] + (kept ? kept[2] : lists.nearAz[l]);
                }
                if (potential) potential[star] = lists.potential[l] + (kept ? kept[3] : lists.nearPotential[l]);
            }
        }
    };
    const int tasks = (groups + kGroupsPerTask - 1) / kGroupsPerTask;
    if (selectedKernelBuild() == KernelBuild::Plain) {
        for (int t = 0; t < tasks; ++t) task(t);
    } else {
        parallelFor(tasks, task);
    }
}

void SoftenedTree::evaluate(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                            double* ay, double* az, double* potential) {
    build(g, n, x, y, z);
    const double* const p[3] = {x, y, z};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Stars left out of the walk (non-finite coordinates) keep these.
    for (int i = 0; i < n; ++i) {
        if (ax) ax[i] = ay[i] = az[i] = nan;
        if (potential) potential[i] = nan;
    }
    Opening opening = {false, g.openingAngle * g.openingAngle, 0.0, nullptr};
    if (g.forceError > 0.0) {
        // The sizes of the pulls the error is measured against, from a cheap
        // pass of the same walk that takes every cell the safety box and the
        // spline's reach allow (good to some ten per cent, which only shifts
        // the tolerance as much): the first pass's bits depend on the
        // positions alone, so the second pass's do too.
        estimate_.resize(4 * static_cast<std::size_t>(n));
        pullSize_.resize(static_cast<std::size_t>(n));
        double* e = estimate_.data();
        const double anyAngle = std::numeric_limits<double>::infinity();
        walk({false, anyAngle, 0.0, nullptr}, NearSums::Keep, p, e, e + n, e + 2 * n, potential ? e + 3 * n : nullptr);
        parallelForEach(static_cast<int>(order_.size()), [&](int k) {
            const int s = order_[k];
            pullSize_[s] = std::hypot(e[s], e[n + s], e[2 * n + s]);
        });
        opening = {true, 0.0, g.forceError, pullSize_.data()};
    }
    walk(opening, opening.relative ? NearSums::Reuse : NearSums::Sum, p, ax, ay, az, potential);
}

// Kept from one evaluation to the next by each calling thread, so that a step
// allocates nothing once the sizes are known.
SoftenedTree& threadTree() {
    thread_local SoftenedTree tree;
    return tree;
}

}  // namespace

void softenedTreeForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                        double* ay, double* az, double* potential) {
    threadTree().evaluate(g, n, x, y, z, ax, ay, az, potential);
}
