#include "physics/direct_sum.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "physics/simd.h"
#include "physics/workers.h"

void directSumReference(int n, const double* x, const double* y, const double* z, const double* mass,
                        const double* shield, double gravity, double* ax, double* ay, double* az) {
    for (int i = 0; i < n; ++i) {
        const double xi = x[i], yi = y[i], zi = z[i], mi = mass[i], si = shield[i];
        double axi = ax[i], ayi = ay[i], azi = az[i];
        for (int j = i + 1; j < n; ++j) {
            const double dx = x[j] - xi, dy = y[j] - yi, dz = z[j] - zi;
            const double r2 = dx * dx + dy * dy + dz * dz;
            const double r = std::sqrt(r2);
            // Coincident stars have r = 0, which never exceeds a shield
            // radius, so the division below cannot be by zero.
            if (r > si && r > shield[j]) {
                const double k = gravity / (r2 * r);
                axi += k * mass[j] * dx;
                ayi += k * mass[j] * dy;
                azi += k * mass[j] * dz;
                ax[j] -= k * mi * dx;
                ay[j] -= k * mi * dy;
                az[j] -= k * mi * dz;
            }
        }
        ax[i] = axi;
        ay[i] = ayi;
        az[i] = azi;
    }
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

thread_local Workspace t_workspace;

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

Stars copyStars(double* w, int n, const double* x, const double* y, const double* z, const double* m,
                const double* s, double massFactor) {
    const int padded = alignUp(n);
    double* out[5] = {w, w + padded, w + 2 * padded, w + 3 * padded, w + 4 * padded};
    for (int i = 0; i < n; ++i) {
        out[0][i] = x[i];
        out[1][i] = y[i];
        out[2][i] = z[i];
        out[3][i] = massFactor * m[i];
        out[4][i] = s[i];
    }
    for (int i = n; i < padded; ++i) {
        out[0][i] = out[1][i] = out[2][i] = out[3][i] = 0.0;
        out[4][i] = kInf;
    }
    return {out[0], out[1], out[2], out[3], out[4], n, padded};
}

struct Row {
    double x, y, z, m, s;
};

// The lanes of one chunk in a fixed order.
template <class V>
[[gnu::always_inline]] inline double chunkSum(const V* sums) {
    double t[kLanes];
    std::memcpy(t, sums, sizeof t);
    return ((t[0] + t[4]) + (t[2] + t[6])) + ((t[1] + t[5]) + (t[3] + t[7]));
}

// ---- accelerations -------------------------------------------------------------

// Star i (row) against the columns c0 .. c0+len-1, whole chunks, where the
// first `skip` lanes of the first chunk are columns j <= i and stay out. The
// pulls on the columns go into p (indexed from c0); the pull on star i is
// returned in a.
template <int W>
[[gnu::always_inline]] inline void accelerationRow(const double* __restrict x, const double* __restrict y,
                                                   const double* __restrict z, const double* __restrict m,
                                                   const double* __restrict s, double* __restrict px,
                                                   double* __restrict py, double* __restrict pz, int len, int skip,
                                                   const Row& row, double gravity, double a[3]) {
    using V = typename Simd<W>::V;
    constexpr int kVectors = kLanes / W;
    const V zero = {};
    const V xi = zero + row.x, yi = zero + row.y, zi = zero + row.z, mi = zero + row.m, si = zero + row.s;
    const V g = zero + gravity, inf = zero + kInf;
    V sx[kVectors] = {}, sy[kVectors] = {}, sz[kVectors] = {};
    double firstShields[kLanes];
    for (int l = 0; l < kLanes; ++l) firstShields[l] = l < skip ? kInf : s[l];
    for (int q = 0; q < len; q += kLanes) {
        const double* shields = q == 0 ? firstShields : s + q;
        for (int v = 0; v < kVectors; ++v) {
            const int j = q + v * W;
            V xj, yj, zj, mj, sj, pxj, pyj, pzj;
            load(xj, x + j);
            load(yj, y + j);
            load(zj, z + j);
            load(sj, shields + v * W);
            const V dx = xj - xi, dy = yj - yi, dz = zj - zi;
            const V r2 = dx * dx + dy * dy + dz * dz;
            V r = r2;
            squareRoot<W>(r);
            // r > limit exactly when r exceeds both shield radii. The terms
            // are those of the plain loop; a pair that does not act adds an
            // exact zero, its distance cleared too, so that a star with a NaN
            // coordinate stays out as it does there.
            const V limit = r > si ? sj : inf;
            const V k = r > limit ? g / (r2 * r) : zero;
            const V ex = r > limit ? dx : zero, ey = r > limit ? dy : zero, ez = r > limit ? dz : zero;
            load(mj, m + j);
            const V kj = k * mj, ki = k * mi;
            sx[v] += kj * ex;
            sy[v] += kj * ey;
            sz[v] += kj * ez;
            load(pxj, px + j);
            load(pyj, py + j);
            load(pzj, pz + j);
            store(px + j, pxj - ki * ex);
            store(py + j, pyj - ki * ey);
            store(pz + j, pzj - ki * ez);
        }
    }
    a[0] = chunkSum(sx);
    a[1] = chunkSum(sy);
    a[2] = chunkSum(sz);
}

// Rows r0 .. r1-1 against every later column, tile by tile. Overwrites the
// part's partial sums p, which cover columns base .. padded-1.
template <int W>
[[gnu::always_inline]] inline void accelerationPart(const Stars& st, double gravity, int r0, int r1, int base,
                                                    double* px, double* py, double* pz) {
    std::fill(px, px + (st.padded - base), 0.0);
    std::fill(py, py + (st.padded - base), 0.0);
    std::fill(pz, pz + (st.padded - base), 0.0);
    if (r0 >= r1) return;
    for (int t0 = alignDown(r0 + 1) / kTile * kTile; t0 < st.padded; t0 += kTile) {
        const int t1 = std::min(t0 + kTile, st.padded);
        for (int i = r0; i < r1; ++i) {
            const int first = alignDown(i + 1);
            const int c0 = std::max(first, t0);
            if (c0 >= t1) break;
            const Row row = {st.x[i], st.y[i], st.z[i], st.m[i], st.s[i]};
            double a[3];
            accelerationRow<W>(st.x + c0, st.y + c0, st.z + c0, st.m + c0, st.s + c0, px + (c0 - base),
                               py + (c0 - base), pz + (c0 - base), t1 - c0, c0 == first ? i + 1 - first : 0, row,
                               gravity, a);
            px[i - base] += a[0];
            py[i - base] += a[1];
            pz[i - base] += a[2];
        }
    }
}

// ---- potentials ----------------------------------------------------------------

// Star i (row) against the columns 0 .. len-1 of a tile, of which the first
// `live` count; the others are star i itself and later stars. gm holds the
// masses times the constant of gravity, s the shield radii.
template <int W>
[[gnu::always_inline]] inline double potentialRow(const double* __restrict x, const double* __restrict y,
                                                  const double* __restrict z, const double* __restrict gm,
                                                  const double* __restrict s, int len, int live, const Row& row) {
    using V = typename Simd<W>::V;
    constexpr int kVectors = kLanes / W;
    const V zero = {};
    const V xi = zero + row.x, yi = zero + row.y, zi = zero + row.z, si = zero + row.s;
    V lane[kVectors];
    for (int v = 0; v < kVectors; ++v)
        for (int e = 0; e < W; ++e) lane[v][e] = v * W + e;
    V sums[kVectors] = {};
    for (int q = 0; q < len; q += kLanes) {
        const V remaining = zero + (live - q);
        for (int v = 0; v < kVectors; ++v) {
            const int j = q + v * W;
            V xj, yj, zj, gmj, sj;
            load(xj, x + j);
            load(yj, y + j);
            load(zj, z + j);
            load(gmj, gm + j);
            load(sj, s + j);
            const V dx = xj - xi, dy = yj - yi, dz = zj - zi;
            V r = dx * dx + dy * dy + dz * dz;
            squareRoot<W>(r);
            const V sij = si < sj ? sj : si;  // as pairShield
            const V term = gmj / (r < sij ? sij : r);
            sums[v] += lane[v] < remaining ? term : zero;
        }
    }
    return chunkSum(sums);
}

template <int W>
[[gnu::always_inline]] inline void potentialPart(const Stars& st, int r0, int r1, double* S) {
    for (int i = r0; i < r1; ++i) S[i] = 0.0;
    for (int t0 = 0; t0 < r1 - 1; t0 += kTile) {
        for (int i = r0; i < r1; ++i) {
            const int c1 = std::min(t0 + kTile, alignUp(i));
            if (c1 <= t0) continue;
            const Row row = {st.x[i], st.y[i], st.z[i], 0.0, st.s[i]};
            S[i] += potentialRow<W>(st.x + t0, st.y + t0, st.z + t0, st.m + t0, st.s + t0, c1 - t0, i - t0, row);
        }
    }
}

// ---- one build per instruction set ---------------------------------------------

struct Kernels {
    void (*acceleration)(const Stars&, double, int, int, int, double*, double*, double*);
    void (*potential)(const Stars&, int, int, double*);
};

void accelerationGeneric(const Stars& st, double g, int r0, int r1, int base, double* px, double* py, double* pz) {
    accelerationPart<2>(st, g, r0, r1, base, px, py, pz);
}
void potentialGeneric(const Stars& st, int r0, int r1, double* S) { potentialPart<2>(st, r0, r1, S); }

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx2")]] void accelerationAvx2(const Stars& st, double g, int r0, int r1, int base, double* px,
                                              double* py, double* pz) {
    accelerationPart<4>(st, g, r0, r1, base, px, py, pz);
}
[[gnu::target("avx2")]] void potentialAvx2(const Stars& st, int r0, int r1, double* S) {
    potentialPart<4>(st, r0, r1, S);
}
[[gnu::target("avx512f")]] void accelerationAvx512(const Stars& st, double g, int r0, int r1, int base,
                                                   double* px, double* py, double* pz) {
    accelerationPart<8>(st, g, r0, r1, base, px, py, pz);
}
[[gnu::target("avx512f")]] void potentialAvx512(const Stars& st, int r0, int r1, double* S) {
    potentialPart<8>(st, r0, r1, S);
}
#endif

// By PairKernels, from Generic on.
constexpr Kernels kKernels[] = {
    {accelerationGeneric, potentialGeneric},
#if defined(__x86_64__) || defined(__i386__)
    {accelerationAvx2, potentialAvx2},
    {accelerationAvx512, potentialAvx512},
#endif
};

PairKernels detectBest() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return PairKernels::Avx512;
    if (__builtin_cpu_supports("avx2")) return PairKernels::Avx2;
#endif
    return PairKernels::Generic;
}

constexpr int kBest = -1;
std::atomic<int> s_selected{kBest};

const Kernels& kernels() {
    return kKernels[static_cast<int>(selectedPairKernels()) - static_cast<int>(PairKernels::Generic)];
}

// ---- the whole sums -----------------------------------------------------------

// Rows first..last-1.
void plainPotentials(int first, int last, const double* x, const double* y, const double* z, const double* mass,
                     const double* shield, double gravity, double* S) {
    for (int i = first; i < last; ++i) {
        const double si = shield[i];
        double sum = 0.0;
        for (int j = 0; j < i; ++j) {
            const double dx = x[j] - x[i], dy = y[j] - y[i], dz = z[j] - z[i];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            const double s = pairShield(si, shield[j]);
            sum += r < s ? gravity * mass[j] / s : gravity * mass[j] / r;
        }
        S[i] = sum;
    }
}

void fastDirectSum(int n, const double* x, const double* y, const double* z, const double* mass,
                   const double* shield, double gravity, double* ax, double* ay, double* az) {
    const RowParts parts = splitRows(0, n, [n](int i) { return n - 1 - i; });
    const int padded = alignUp(n);
    std::array<int, kMaxParts> base{};
    std::array<std::size_t, kMaxParts> offset{};
    std::size_t total = 5 * static_cast<std::size_t>(padded);
    for (int p = 0; p < parts.count; ++p) {
        base[p] = alignDown(parts.bound[p]);
        offset[p] = total;
        total += 3 * static_cast<std::size_t>(padded - base[p]);
    }
    double* w = t_workspace.reserve(total);
    const Stars st = copyStars(w, n, x, y, z, mass, shield, 1.0);
    const auto partial = [&](int p, int axis) { return w + offset[p] + axis * (padded - base[p]); };

    const Kernels& k = kernels();
    parallelFor(parts.count, [&](int p) {
        k.acceleration(st, gravity, parts.bound[p], parts.bound[p + 1], base[p], partial(p, 0), partial(p, 1),
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
        for (int j = 0; j < n; ++j) out[axis][j] += sum[j];
    }
}

}  // namespace

PairKernels bestPairKernels() {
    static const PairKernels best = detectBest();
    return best;
}

void selectPairKernels(PairKernels kernels) {
    s_selected.store(static_cast<int>(std::min(kernels, bestPairKernels())), std::memory_order_relaxed);
}

PairKernels selectedPairKernels() {
    const int selected = s_selected.load(std::memory_order_relaxed);
    return selected == kBest ? bestPairKernels() : static_cast<PairKernels>(selected);
}

void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az) {
    if (n < 2) return;
    if (selectedPairKernels() == PairKernels::Plain) {
        directSumReference(n, x, y, z, mass, shield, gravity, ax, ay, az);
        return;
    }
    try {
        fastDirectSum(n, x, y, z, mass, shield, gravity, ax, ay, az);
    } catch (const std::bad_alloc&) {
        // The partial sums do not fit: the plain loop needs no memory.
        directSumReference(n, x, y, z, mass, shield, gravity, ax, ay, az);
    }
}

void pairPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                    const double* shield, double gravity, double* S, const PassProgress& progress) {
    if (n <= 0) return;
    const bool plain = selectedPairKernels() == PairKernels::Plain;
    Stars st{};
    if (!plain)
        st = copyStars(t_workspace.reserve(5 * static_cast<std::size_t>(alignUp(n))), n, x, y, z, mass, shield,
                       gravity);
    const Kernels& k = kernels();
    // Each row's sum comes out the same however the rows are cut, so the cut
    // into slices for the progress changes no bit.
    const long long total = static_cast<long long>(n) * (n - 1) / 2;
    const int slices = progress ? static_cast<int>(std::clamp(total / kPairsPerSlice, 1LL, kMaxSlices)) : 1;
    long long pairsBefore = 0;
    int first = 0;
    for (int slice = 1; slice <= slices; ++slice) {
        const long long target = total / slices * slice;
        int last = first;
        while (last < n && (slice == slices || pairsBefore < target)) pairsBefore += last++;
        if (plain) {
            plainPotentials(first, last, x, y, z, mass, shield, gravity, S);
        } else {
            const RowParts parts = splitRows(first, last, [](int i) { return i; });
            parallelFor(parts.count, [&](int p) { k.potential(st, parts.bound[p], parts.bound[p + 1], S); });
        }
        first = last;
        if (progress) progress(static_cast<double>(slice) / slices);
    }
}
