#pragma once

#include <functional>

// Pairwise Newtonian accelerations with hard shield radii. Both forms
// accumulate into ax, ay, az (the caller clears them): each unordered pair is
// visited once and acts on both partners only when their distance exceeds both
// shield radii.

// The plain loop: pairs in index order (i ascending, then j > i ascending),
// one running sum per star. Kept beside the fast form so that the benchmark
// can show both in one run.
void directSumReference(int n, const double* x, const double* y, const double* z, const double* mass,
                        const double* shield, double gravity, double* ax, double* ay, double* az);

// The same pairs with the selected build of the kernels (below): vectorised
// and spread over the worker threads, they are summed in another order than in
// directSumReference, which they match to rounding (about 1e-14 relative per
// star), and give the same bits for every thread count.
void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az);

// The pair sums of the potential energy: overwrites S[i] with the sum over
// j < i of gravity*m_j/r_ij, where a distance below the larger of the two
// shield radii counts as that radius (each pair once; inside that radius the
// pair exerts no force, so its potential stays flat). With a vectorised build
// each S[i] is summed by one thread in an order fixed by i and n alone.
// progress, when given, is told the share of the pairs done from time to time
// on the calling thread.
using PassProgress = std::function<void(double share)>;
void pairPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                    const double* shield, double gravity, double* S, const PassProgress& progress = {});

// The builds of the pair sums above. Plain runs the plain loops in pair order
// on the calling thread (directSumReference and its like for the potentials).
// The others are the vectorised, threaded kernels, narrowest vectors first:
// Generic uses the vectors every processor of the architecture has (SSE2 on
// x86-64). The vectorised builds add the same numbers in the same order, so
// they give the same bits.
enum class PairKernels { Plain = 0, Generic = 1, Avx2 = 2, Avx512 = 3 };

// The widest build this processor runs; it is used unless another is selected.
PairKernels bestPairKernels();
// For tests and the benchmark; a build the processor cannot run is replaced
// by the best one it can.
void selectPairKernels(PairKernels kernels);
PairKernels selectedPairKernels();

// Of the three builds of a kernel, the one the selected build of the pair sums
// names (the generic one for Plain).
template <class Kernel>
Kernel selectedBuild(Kernel generic, Kernel avx2, Kernel avx512) {
    switch (selectedPairKernels()) {
    case PairKernels::Avx512:
        return avx512;
    case PairKernels::Avx2:
        return avx2;
    default:
        return generic;
    }
}
