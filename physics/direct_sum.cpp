#include "physics/direct_sum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "physics/kernel_builds.h"
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

#define ZYR_KERNELS_FILE "physics/direct_sum_kernels.inc"
#include "physics/simd_builds.inc"
#undef ZYR_KERNELS_FILE

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

    const auto acceleration =
        selectedBuild(generic::accelerationPart, avx2::accelerationPart, avx512::accelerationPart);
    parallelFor(parts.count, [&](int p) {
        acceleration(st, gravity, parts.bound[p], parts.bound[p + 1], base[p], partial(p, 0), partial(p, 1),
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

void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az) {
    if (n < 2) return;
    if (selectedKernelBuild() == KernelBuild::Plain) {
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
    const bool plain = selectedKernelBuild() == KernelBuild::Plain;
    Stars st{};
    if (!plain)
        st = copyStars(t_workspace.reserve(5 * static_cast<std::size_t>(alignUp(n))), n, x, y, z, mass, shield,
                       gravity);
    const auto potential = selectedBuild(generic::potentialPart, avx2::potentialPart, avx512::potentialPart);
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
            parallelFor(parts.count, [&](int p) { potential(st, parts.bound[p], parts.bound[p + 1], S); });
        }
        first = last;
        if (progress) progress(static_cast<double>(slice) / slices);
    }
}
