#pragma once

#include <cmath>

#include "model/galaxy.h"

// GADGET-4's cubic spline reaches this many softening lengths; beyond it the
// pull is exactly Newtonian.
inline constexpr double kSplineReach = 2.8;

// The pull and the potential of a softened point mass, per unit gravity *
// mass: a star at distance vector d (r2 = |d|^2) from the mass is pulled by
// gm * pull(r2) * d and has the potential -gm * depth(r2).
//   Plummer: pull = 1 / (r2 + eps^2)^1.5, depth = 1 / sqrt(r2 + eps^2).
//   Spline:  GADGET-4's cubic spline kernel of reach h = 2.8 eps; its depth at
//            r = 0 is 1 / eps, as Plummer's is.
// Both are finite at r = 0, where the pull's d is zero; whoever sums over
// stars leaves a star's own mass out.
struct SofteningKernel {
    int kind = Softening::Plummer;
    double epsilon = 0.0;

    static SofteningKernel of(const CGalaxy& g) { return {g.softening, g.epsilon}; }

    double pull(double r2) const {
        if (kind == Softening::Plummer) {
            const double s2 = r2 + epsilon * epsilon;
            return 1.0 / (s2 * std::sqrt(s2));
        }
        const double h = kSplineReach * epsilon;
        const double r = std::sqrt(r2);
        if (r >= h) return 1.0 / (r2 * r);
        const double u = r / h;
        const double h3 = h * h * h;
        if (u < 0.5) return (32.0 / 3.0 + u * u * (32.0 * u - 38.4)) / h3;
        return (64.0 / 3.0 - 48.0 * u + 38.4 * u * u - 32.0 / 3.0 * u * u * u - 1.0 / 15.0 / (u * u * u)) / h3;
    }

    double depth(double r2) const {
        if (kind == Softening::Plummer) return 1.0 / std::sqrt(r2 + epsilon * epsilon);
        const double h = kSplineReach * epsilon;
        const double r = std::sqrt(r2);
        if (r >= h) return 1.0 / r;
        const double u = r / h;
        if (u < 0.5) return (2.8 - u * u * (16.0 / 3.0 + u * u * (6.4 * u - 9.6))) / h;
        return (3.2 - 1.0 / 15.0 / u - u * u * (32.0 / 3.0 + u * (-16.0 + u * (9.6 - 32.0 / 15.0 * u)))) / h;
    }
};
