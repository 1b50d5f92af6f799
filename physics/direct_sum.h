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

// The same pairs with the selected build of the kernels (KernelBuild in
// physics/kernel_builds.h): vectorised and spread over the worker threads,
// they are summed in another order than in directSumReference, which they
// match to rounding (about 1e-14 relative per star), and give the same bits
// for every thread count.
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
