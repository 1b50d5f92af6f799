#pragma once

class CGalaxy;

// The Barnes-Hut pull of softened gravity (galaxy.softening Plummer or Spline,
// SofteningKernel): assigns the accelerations of stars 0..n-1 into ax, ay, az
// and, when potential is not null, phi_i = sum over j != i of
// gravity * m_j * depth(r_ij) (positive) into potential, from the same walk.
// Either output set may be null. The tree holds the stars with a mass (not 0)
// and finite coordinates, in the bounding cube of those; every star with
// finite coordinates feels it, a massless one for the cost of its walk alone.
// A star with a coordinate that is NaN or infinite gets NaN.
//
// Cells are taken whole with their quadrupoles, by the galaxy's opening angle
// or, with forceError above 0, by an estimate of their error against that
// share of the star's pull (README.md, "Tree accuracy"). The result depends on
// the positions and settings alone, and has the same bits for every number of
// worker threads; KernelBuild::Plain runs the same walk on the calling thread
// with exact square roots, which the vector builds match to rounding.
void softenedTreeForces(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z, double* ax,
                        double* ay, double* az, double* potential);
