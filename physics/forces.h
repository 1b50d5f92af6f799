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

// The right-hand side of the equations of motion of a galaxy, as
// DerivativeFunc(galaxy) calls it: fills the first numStars entries of every
// block of deriv from state, reading the galaxy's masses and force settings;
// time is accepted and ignored. With treeShares and the Barnes-Hut method,
// the tree walk also gives each star's share of the potential energy (see
// barnesHutPotentials) into treeShares.
void ComputeDerivatives(const CGalaxy& galaxy, int stateLen, double time, double* state, double* deriv,
                        double* treeShares = nullptr);
