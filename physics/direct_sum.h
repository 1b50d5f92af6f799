#pragma once

#include <functional>

#include "physics/softening.h"

class CGalaxy;

// Pairwise Newtonian accelerations with hard shield radii, or with a softening
// kernel. The forms below accumulate into ax, ay, az (the caller clears them):
// each unordered pair is visited once and acts on both partners; under the
// shield only when their distance exceeds both shield radii.

// The plain loops: pairs in index order (i ascending, then j > i ascending),
// one running sum per star. Kept beside the fast forms so that the tests and
// the benchmark can hold them side by side.
void directSumReference(int n, const double* x, const double* y, const double* z, const double* mass,
                        const double* shield, double gravity, double* ax, double* ay, double* az);
void softenedSumReference(int n, const double* x, const double* y, const double* z, const double* mass,
                          const SofteningKernel& kernel, double gravity, double* ax, double* ay, double* az);

// The same pairs with the selected build of the kernels (KernelBuild in
// physics/kernel_builds.h): vectorised and spread over the worker threads,
// they are summed in another order than in the plain loops, which they match
// to rounding (about 1e-14 relative per star), and give the same bits for
// every thread count. Massless stars only feel: once there are any, the stars
// with a mass are summed among themselves and each massless star takes their
// pull in a row of its own, so it costs no more than one row.
void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az);
void softenedSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                              const SofteningKernel& kernel, double gravity, double* ax, double* ay, double* az);

// The pair sums of the potential energy: overwrites S[i] with the sum over
// j < i of gravity*m_j/r_ij, where a distance below the larger of the two
// shield radii counts as that radius (each pair once; inside that radius the
// pair exerts no force, so its potential stays flat), or with a softening of
// gravity*m_j*depth(r_ij^2). Massless stars add nothing and are skipped as
// sources. With a vectorised build each S[i] is summed by one thread in an
// order fixed by the masses alone. progress, when given, is told the share of
// the pairs done from time to time on the calling thread.
using PassProgress = std::function<void(double share)>;
void pairPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                    const double* shield, double gravity, double* S, const PassProgress& progress = {});
void softenedPairPotentials(int n, const double* x, const double* y, const double* z, const double* mass,
                            const SofteningKernel& kernel, double gravity, double* S,
                            const PassProgress& progress = {});

// The galaxy's own law for stars 0..n-1 at x, y, z: the shield radii of its
// step and modifier, or its softening. directForces assigns the accelerations;
// directPairPotentials gives the report's pair sums S as above.
void directForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                  double* ay, double* az);
void directPairPotentials(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* S,
                          const PassProgress& progress = {});
// Each star's whole potential (per unit mass, sign reversed): phi_i, the sum
// over every other star j with a mass of gravity*m_j*depth(r_ij^2), or under
// the shield gravity*m_j/max(r_ij, larger shield radius of the pair).
// Assigns phi.
void directPotentials(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* phi);
