#pragma once

// Pairwise Newtonian accelerations with hard shield radii. Accumulates into
// ax, ay, az (the caller clears them): each unordered pair is visited once and
// acts on both partners only when their distance exceeds both shield radii.
void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az);
