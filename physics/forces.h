#pragma once

#include <array>
#include <cmath>
#include <cstdint>

class CGalaxy;

using Accel3 = std::array<double, 3>;

// Factor k of the pull k*d of a point mass gm = gravity*mass at distance r
// (r2 = r*r as summed from the components). exponent -2 is Newton; any other
// value makes the force fall off as r^exponent.
inline double PointMassFactor(double gm, double r2, double r, double exponent) {
    return exponent == -2.0 ? gm / (r2 * r) : gm * std::pow(r, exponent - 1.0);
}

// Radius inside which a mass (or a group of masses) exerts no force:
// gm^0.333 * |dt|^0.667 * modifier, with the decimal exponents on purpose.
// The step enters by its magnitude, so integrating backwards in time keeps
// gravity switched on.
double ShieldRadius(double gm, double dt, double modifier);

// ShieldRadius of many masses for one step and modifier, with the same bits:
// the step's factor is computed once, and a mass met a moment ago (the
// masses of a generated galaxy are all equal) is not computed again.
class ShieldRule {
public:
    ShieldRule(double dt, double modifier);
    double operator()(double gm);

private:
    static constexpr int kRemembered = 64;
    double stepFactor_, modifier_;
    std::uint64_t masses_[kRemembered];
    double radii_[kRemembered];
    bool known_[kRemembered] = {};
};

// The potential of the halo's pull (per unit mass, sign reversed) at the
// distance rho from the origin, for a halo of gravity * mass gm and radius R:
// a uniform sphere inside, a point mass outside, continuous at R.
inline double haloDepth(double gm, double R, double rho) {
    return rho <= R ? gm * (3.0 * R * R - rho * rho) / (2.0 * R * R * R) : gm / rho;
}

// The right-hand side of the equations of motion of a galaxy, as
// DerivativeFunc(galaxy) calls it: fills the first numStars entries of every
// block of deriv from state, reading the galaxy's masses and force settings;
// time is accepted and ignored. With treeShares and the Barnes-Hut method,
// the tree walk also gives each star's share of the potential energy (see
// barnesHutPotentials) into treeShares.
void ComputeDerivatives(const CGalaxy& galaxy, int stateLen, double time, double* state, double* deriv,
                        double* treeShares = nullptr);

// The pull on each of the galaxy's stars as they are now, from its force
// method (with its shield or softening) and its halo: what the next step
// starts from. Assigns numStars values to each of ax, ay, az.
void starAccelerations(const CGalaxy& galaxy, double* ax, double* ay, double* az);
// The potential at each star as it is now (energy per unit mass): that of the
// pull its force method applies (flat inside a shield radius, softened, or
// from the tree's or grid's cells; a star the tree or grid leaves out feels
// them without pulling back) and the halo's. Assigns numStars values.
void starPotentials(const CGalaxy& galaxy, double* phi);
