#include "physics/direct_sum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "physics/simd.h"
#include "physics/softening_lanes.h"
#include "physics/workers.h"

namespace {

// Pairs in index order (i ascending, then j > i ascending), one running sum
// per star; factor(r2, i, j, k) tells whether the pair acts and gives the
// factor k of its pull k * m * d.
template <class Factor>
void plainPairSum(int n, const double* x, const double* y, const double* z, const double* mass, Factor factor,
                  double* ax, double* ay, double* az) {
    for (int i = 0; i < n; ++i) {
        const double xi = x[i], yi = y[i], zi = z[i], mi = mass[i];
        double axi = ax[i], ayi = ay[i], azi = az[i];
        for (int j = i + 1; j < n; ++j) {
            const double dx = x[j] - xi, dy = y[j] - yi, dz = z[j] - zi;
            double k;
            if (!factor(dx * dx + dy * dy + dz * dz, i, j, k)) continue;
            axi += k * mass[j] * dx;
            ayi += k * mass[j] * dy;
            azi += k * mass[j] * dz;
            ax[j] -= k * mi * dx;
            ay[j] -= k * mi * dy;
            az[j] -= k * mi * dz;
        }
        ax[i] = axi;
        ay[i] = ayi;
        az[i] = azi;
    }
}

}  // namespace

void directSumReference(int n, const double* x, const double* y, const double* z, const double* mass,
                        const double* shield, double gravity, double* ax, double* ay, double* az) {
    const auto factor = [&](double r2, int i, int j, double& k) {
        const double r = std::sqrt(r2);
        // Coincident stars have r = 0, which never exceeds a shield radius, so
        // the division below cannot be by zero.
        if (!(r > shield[i] && r > shield[j])) return false;
        k = gravity / (r2 * r);
        return true;
    };
    plainPairSum(n, x, y, z, mass, factor, ax, ay, az);
}

void softenedSumReference(int n, const double* x, const double* y, const double* z, const double* mass,
                          const SofteningKernel& kernel, double gravity, double* ax, double* ay, double* az) {
    const auto factor = [&](double r2, int, int, double& k) {
        k = gravity * kernel.pull(r2);
        return true;
    };
    plainPairSum(n, x, y, z, mass, factor, ax, ay, az);
}

namespace {

// A pair pulls only while it is farther apart than both shield radii, so its
// potential is flat inside the larger of the two: the energy of the force
// actually applied.
inline double pairShield(double si, double sj) { return si < sj ? sj : si; }

// Columns are taken in chunks of kLanes, each lane with a running sum of its
// own: one vector of eight doubles with AVX-512, two of four with AVX2, four of
// two with SSE2. The lane count is fixed rather than taken from the
// instruction set, so every machine adds the same numbers in the same order.
constexpr int kLanes = 8;
// Columns per tile: the column data of a tile (eight arrays of kTile doubles)
// stays in the second-level cache while the rows of a part sweep over it.
constexpr int kTile = 1024;
// Rows are cut into parts of about equal numbers of pairs, the threads' unit of
// work. The cut depends on the number of stars only, never on the threads.
constexpr int kMaxParts = 16;
constexpr long long kPairsPerPart = 16384;

constexpr double kInf = std::numeric_limits<double>::infinity();

constexpr int alignDown(int v) { return v / kLanes * kLanes; }
constexpr int alignUp(int v) { return alignDown(v + kLanes - 1); }

// Working copies and partial sums; kept from one call to the next by each
// calling thread, so that a step allocates nothing once its size is known.
class Workspace {
public:
    // count doubles starting on a chunk boundary.
    double* reserve(std::size_t count) {
        constexpr std::size_t kAlign = kLanes * sizeof(double);
        if (storage_.size() < count + kLanes) storage_.resize(count + kLanes);
        const std::size_t misalign = reinterpret_cast<std::uintptr_t>(storage_.data()) % kAlign;
        return storage_.data() + (misalign ? (kAlign - misalign) / sizeof(double) : 0);
    }

private:
    std::vector<double> storage_;
};

thread_local Workspace t_copies, t_partials;

// Only stars with a mass pull: they alone are the columns of the sums once a
// galaxy has massless test stars, which cost one row each and nothing as
// sources. Kept by each calling thread.
struct MassLists {
    std::vector<int> massive, massless;
    std::vector<int> rank;  // stars with a mass before each star, and in all

    // False when every star has a mass: the sums then run over the stars as
    // given.
    bool split(int n, const double* mass) {
        massive.clear();
        massless.clear();
        rank.resize(static_cast<std::size_t>(n) + 1);
        for (int i = 0; i < n; ++i) {
            rank[i] = static_cast<int>(massive.size());
            (mass[i] != 0.0 ? massive : massless).push_back(i);
        }
        rank[n] = static_cast<int>(massive.size());
        return !massless.empty();
    }
};

thread_local MassLists t_lists;

struct RowParts {
    int count = 1;
    std::array<int, kMaxParts + 1> bound{};  // part p holds rows bound[p] .. bound[p+1]-1
};

// Rows first..last-1 cut into parts.
template <class PairsInRow>
RowParts splitRows(int first, int last, PairsInRow pairsInRow) {
    long long total = 0;
    for (int i = first; i < last; ++i) total += pairsInRow(i);
    RowParts parts;
    parts.count = static_cast<int>(std::clamp(total / kPairsPerPart, 1LL, static_cast<long long>(kMaxParts)));
    parts.bound[0] = first;
    const long long share = total / parts.count;
    long long sum = 0;
    int p = 1;
    for (int i = first; i < last && p < parts.count; ++i) {
        sum += pairsInRow(i);
        while (p < parts.count && sum >= share * p) parts.bound[p++] = i + 1;
    }
    while (p <= parts.count) parts.bound[p++] = last;
    return parts;
}

// The potential pass tells its progress between slices of about this many
// pairs, at most a hundred of them.
constexpr long long kPairsPerSlice = 1LL << 24;
constexpr long long kMaxSlices = 100;

// Padded copies of the stars: whole chunks can be read past the last star,
// and a padding star (infinite shield, no mass) never acts.
struct Stars {
    const double *x, *y, *z, *m, *s;
    int n, padded;
};

// Stars index[0..n-1] (0..n-1 without an index); no shields (null) are zeros.
Stars copyStars(double* w, int n, const int* index, const double* x, const double* y, const double* z,
                const double* m, const double* s, double massFactor) {
    const int padded = alignUp(n);
    double* out[5] = {w, w + padded, w + 2 * padded, w + 3 * padded, w + 4 * padded};
    for (int k = 0; k < n; ++k) {
        const int i = index ? index[k] : k;
        out[0][k] = x[i];
        out[1][k] = y[i];
        out[2][k] = z[i];
        out[3][k] = massFactor * m[i];
        out[4][k] = s ? s[i] : 0.0;
    }
    for (int k = n; k < padded; ++k) {
        out[0][k] = out[1][k] = out[2][k] = out[3][k] = 0.0;
        out[4][k] = kInf;
    }
    return {out[0], out[1], out[2], out[3], out[4], n, padded};
}

struct Row {
    double x, y, z, m, s;
};

// The constant of gravity and the softening's lengths (unused by the shield).
struct Law {
    double gravity;
    SofteningLanes softening;
};

// The massless stars star[0..] of the caller's arrays, whose pulls the field
// pass adds to ax, ay, az.
struct FieldRows {
    const int* star;
    const double *x, *y, *z, *shield;
    double *ax, *ay, *az;
};

// The rows of a potential pass, the caller's stars in index order; the columns
// are the stars with a mass. Star i counts the columns below live(i) but
// own(i): those before it, or with full all but itself.
struct PotentialRows {
    const double *x, *y, *z, *shield;
    const int* rank;  // MassLists::rank, or null when every star has a mass
    int sources;
    bool full;

    int before(int i) const { return rank ? rank[i] : i; }
    int live(int i) const { return full ? sources : before(i); }
    int own(int i) const { return full && (!rank || rank[i + 1] > rank[i]) ? before(i) : -1; }
};

// The lanes of one chunk in a fixed order.
template <class V>
[[gnu::always_inline]] inline double chunkSum(const V* sums) {
    double t[kLanes];
    std::memcpy(t, sums, sizeof t);
    return ((t[0] + t[4]) + (t[2] + t[6])) + ((t[1] + t[5]) + (t[3] + t[7]));
}

#define ZYR_KERNELS_FILE "physics/direct_sum_kernels.inc"
#include "physics/simd_builds.inc"
#undef ZYR_KERNELS_FILE

// ---- the whole sums -----------------------------------------------------------

// Every pair of the stars st (index[k] in the caller's arrays, or k without an
// index), added to ax, ay, az.
template <int kKind>
void fastPairSum(const Stars& st, const int* index, const Law& law, double* ax, double* ay, double* az) {
    const int n = st.n;
    if (n < 2) return;
    const RowParts parts = splitRows(0, n, [n](int i) { return n - 1 - i; });
    const int padded = st.padded;
    std::array<int, kMaxParts> base{};
    std::array<std::size_t, kMaxParts> offset{};
    std::size_t total = 0;
    for (int p = 0; p < parts.count; ++p) {
        base[p] = alignDown(parts.bound[p]);
        offset[p] = total;
        total += 3 * static_cast<std::size_t>(padded - base[p]);
    }
    double* w = t_partials.reserve(total);
    const auto partial = [&](int p, int axis) { return w + offset[p] + axis * (padded - base[p]); };

    const auto acceleration = selectedBuild(generic::accelerationPart<kKind>, avx2::accelerationPart<kKind>,
                                            avx512::accelerationPart<kKind>);
    parallelFor(parts.count, [&](int p) {
        acceleration(st, law, parts.bound[p], parts.bound[p + 1], base[p], partial(p, 0), partial(p, 1),
                     partial(p, 2));
    });

    // Partition 0 starts at column 0; the later partitions are added to it in
    // partition order, whichever thread finished first.
    double* out[3] = {ax, ay, az};
    for (int axis = 0; axis < 3; ++axis) {
        double* sum = partial(0, axis);
        for (int p = 1; p < parts.count; ++p) {
            const double* part = partial(p, axis);
            for (int j = base[p]; j < n; ++j) sum[j] += part[j - base[p]];
        }
        for (int j = 0; j < n; ++j) out[axis][index ? index[j] : j] += sum[j];
    }
}

// The pull of the stars st on each of count massless stars. Every star's sum
// is the same however the stars are cut into tasks.
template <int kKind>
void fastFieldPass(const Stars& st, const Law& law, const FieldRows& rows, int count) {
    if (count == 0 || st.n == 0) return;
    const int perTask = static_cast<int>(std::max(1LL, kPairsPerPart / st.padded));
    const auto field = selectedBuild(generic::fieldPart<kKind>, avx2::fieldPart<kKind>, avx512::fieldPart<kKind>);
    parallelFor((count + perTask - 1) / perTask,
                [&](int t) { field(st, law, rows, t * perTask, std::min(count, (t + 1) * perTask)); });
}

template <int kKind>
void fastSum(int n, const double* x, const double* y, const double* z, const double* mass, const double* shield,
             const Law& law, double* ax, double* ay, double* az) {
    MassLists& lists = t_lists;
    const bool someMassless = lists.split(n, mass);
    const int* index = someMassless ? lists.massive.data() : nullptr;
    const int sources = someMassless ? static_cast<int>(lists.massive.size()) : n;
    const Stars st = copyStars(t_copies.reserve(5 * static_cast<std::size_t>(alignUp(sources))), sources, index, x,
                               y, z, mass, shield, 1.0);
    fastPairSum<kKind>(st, index, law, ax, ay, az);
    if (someMassless)
        fastFieldPass<kKind>(st, law, {lists.massless.data(), x, y, z, shield, ax, ay, az},
                             static_cast<int>(lists.massless.size()));
}

// The kernels' law for a softening: its kind as SofteningKernel reads it,
// never the shield.
int softenedKind(const SofteningKernel& kernel) {
    return kernel.kind == Softening::Plummer ? Softening::Plummer : Softening::Spline;
}

// The fast form where a vectorised build is selected and its memory can be
// had; the plain loop, which needs none, otherwise.
template <class Fast, class Plain>
void fastOrPlain(Fast&& fast, Plain&& plain) {
    if (selectedKernelBuild() == KernelBuild::Plain) {
        plain();
        return;
    }
    try {
        fast();
    } catch (const std::bad_alloc&) {
        plain();
    }
}

// Rows first..last-1: star i against the stars with a mass before it, or with
// full all others; term(r2, i, j) is one pair's.
template <class Term>
void plainPotentials(int first, int last, int n, const double* x, const double* y, const double* z,
                     const double* mass, bool full, Term term, double* S) {
    for (int i = first; i < last; ++i) {
        double sum = 0.0;
        for (int j = 0; j < (full ? n : i); ++j) {
            if (j == i || mass[j] == 0.0) continue;
            const double dx = x[j] - x[i], dy = y[j] - y[i], dz = z[j] - z[i];
            sum += term(dx * dx + dy * dy + dz * dz, i, j);
        }
        S[i] = sum;
    }
}

// The potential pass of one law, with plainRows(first, last) as its plain
// loop. Each S[i] is summed by one thread in an order fixed by the masses
// alone, so the cut into slices for the progress changes no bit.
template <int kKind, class PlainRows>
void potentialPass(int n, const double* x, const double* y, const double* z, const double* mass,
                   const double* shield, const Law& law, bool full, double* S, const PassProgress& progress,
                   PlainRows plainRows) {
    if (n <= 0) return;
    const bool plain = selectedKernelBuild() == KernelBuild::Plain;
    MassLists& lists = t_lists;
    const bool someMassless = lists.split(n, mass);
    const PotentialRows rows = {x, y, z, shield, someMassless ? lists.rank.data() : nullptr, lists.rank[n], full};
    Stars st{};
    if (!plain)
        st = copyStars(t_copies.reserve(5 * static_cast<std::size_t>(alignUp(rows.sources))), rows.sources,
                       someMassless ? lists.massive.data() : nullptr, x, y, z, mass, shield, law.gravity);
    const auto potential = selectedBuild(generic::potentialPart<kKind>, avx2::potentialPart<kKind>,
                                         avx512::potentialPart<kKind>);
    long long total = 0;
    for (int i = 0; i < n; ++i) total += rows.live(i);
    const int slices = progress ? static_cast<int>(std::clamp(total / kPairsPerSlice, 1LL, kMaxSlices)) : 1;
    long long pairsBefore = 0;
    int first = 0;
    for (int slice = 1; slice <= slices; ++slice) {
        const long long target = total / slices * slice;
        int last = first;
        while (last < n && (slice == slices || pairsBefore < target)) pairsBefore += rows.live(last++);
        if (plain) {
            plainRows(first, last);
        } else {
            const RowParts parts = splitRows(first, last, [&](int i) { return rows.live(i); });
            parallelFor(parts.count, [&](int p) { potential(st, law, rows, parts.bound[p], parts.bound[p + 1], S); });
        }
        first = last;
        if (progress) progress(static_cast<double>(slice) / slices);
    }
}

void shieldPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                      const double* shield, double gravity, bool full, double* S, const PassProgress& progress) {
    const auto term = [&](double r2, int i, int j) {
        const double r = std::sqrt(r2);
        const double s = pairShield(shield[i], shield[j]);
        return r < s ? gravity * mass[j] / s : gravity * mass[j] / r;
    };
    potentialPass<Softening::Shield>(n, x, y, z, mass, shield, {gravity, {}}, full, S, progress,
                                     [&](int first, int last) {
                                         plainPotentials(first, last, n, x, y, z, mass, full, term, S);
                                     });
}

void softenedPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                        const SofteningKernel& kernel, double gravity, bool full, double* S,
                        const PassProgress& progress) {
    const auto term = [&](double r2, int, int j) { return gravity * mass[j] * kernel.depth(r2); };
    const auto plainRows = [&](int first, int last) { plainPotentials(first, last, n, x, y, z, mass, full, term, S); };
    const Law law = {gravity, SofteningLanes(kernel)};
    withLaw(softenedKind(kernel), [&](auto kind) {
        potentialPass<decltype(kind)::value>(n, x, y, z, mass, nullptr, law, full, S, progress, plainRows);
    });
}

// The shield radius of each star of the galaxy; kept by each calling thread.
const double* shieldRadii(const CGalaxy& g, int n) {
    thread_local std::vector<double> radii;
    radii.resize(static_cast<std::size_t>(n));
    ShieldRule shieldOf(g.timeStep, g.shieldModifier);
    for (int i = 0; i < n; ++i) radii[i] = shieldOf(g.gravity * g.mass[i]);
    return radii.data();
}

}  // namespace

void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az) {
    if (n < 2) return;
    fastOrPlain([&] { fastSum<Softening::Shield>(n, x, y, z, mass, shield, {gravity, {}}, ax, ay, az); },
                [&] { directSumReference(n, x, y, z, mass, shield, gravity, ax, ay, az); });
}

void softenedSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                              const SofteningKernel& kernel, double gravity, double* ax, double* ay, double* az) {
    if (n < 2) return;
    const Law law = {gravity, SofteningLanes(kernel)};
    withLaw(softenedKind(kernel), [&](auto kind) {
        fastOrPlain([&] { fastSum<decltype(kind)::value>(n, x, y, z, mass, nullptr, law, ax, ay, az); },
                    [&] { softenedSumReference(n, x, y, z, mass, kernel, gravity, ax, ay, az); });
    });
}

void pairPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                    const double* shield, double gravity, double* S, const PassProgress& progress) {
    shieldPotentials(n, x, y, z, mass, shield, gravity, false, S, progress);
}

void softenedPairPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                            const SofteningKernel& kernel, double gravity, double* S, const PassProgress& progress) {
    softenedPotentials(n, x, y, z, mass, kernel, gravity, false, S, progress);
}

void directForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                  double* ay, double* az) {
    std::fill(ax, ax + n, 0.0);
    std::fill(ay, ay + n, 0.0);
    std::fill(az, az + n, 0.0);
    if (g.softening == Softening::Shield)
        directSumAccelerations(n, x, y, z, g.mass, shieldRadii(g, n), g.gravity, ax, ay, az);
    else
        softenedSumAccelerations(n, x, y, z, g.mass, SofteningKernel::of(g), g.gravity, ax, ay, az);
}

void directPairPotentials(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* S,
                          const PassProgress& progress) {
    if (g.softening == Softening::Shield)
        shieldPotentials(n, x, y, z, g.mass, shieldRadii(g, n), g.gravity, false, S, progress);
    else
        softenedPotentials(n, x, y, z, g.mass, SofteningKernel::of(g), g.gravity, false, S, progress);
}

void directPotentials(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* phi) {
    if (g.softening == Softening::Shield)
        shieldPotentials(n, x, y, z, g.mass, shieldRadii(g, n), g.gravity, true, phi, {});
    else
        softenedPotentials(n, x, y, z, g.mass, SofteningKernel::of(g), g.gravity, true, phi, {});
}
