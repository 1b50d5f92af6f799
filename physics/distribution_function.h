#pragma once

#include <cmath>
#include <functional>
#include <vector>

// The isotropic distribution function f(E) of a spherical population of
// stars, E the binding energy per unit mass (psi - v^2 / 2, psi = -Phi > 0),
// and the drawing of speeds from it. Only the shape of f matters here, not
// its normalisation.
class ErgodicDistribution {
public:
    using Function = std::function<double(double)>;

    // Eddington's formula for stars of density rho(r) in the potential of
    // the enclosed mass M(r) (all components) with depth psi(r) = -Phi(r),
    // gravity G:
    //   f(E) = 1 / (sqrt 8 pi^2) [ int_0^E d2rho/dpsi2 dpsi / sqrt(E - psi)
    //                              + (drho/dpsi)_(psi=0) / sqrt E ],
    // tabulated on radii spaced evenly in ln r from rMin to rMax (rho, M and
    // psi are smooth there, rMax far out where rho is negligible).
    static ErgodicDistribution eddington(const Function& density, const Function& mass, const Function& depth,
                                         double gravity, double rMin, double rMax);
    // A known f (Plummer, Hernquist) in the potential of depth psi(r).
    static ErgodicDistribution analytic(Function f, const Function& depth, double gravity, double rMin, double rMax);

    double operator()(double E) const;

    // A speed at radius r, where the depth is psi, drawn from the density
    // v^2 f(psi - v^2 / 2) on 0 <= v < sqrt(2 psi), by rejection under a
    // bound tabulated by radius; uniform() gives numbers in (0, 1).
    template <class Uniform>
    double sampleSpeed(double r, double psi, Uniform&& uniform) const {
        const double bound = speedBound(r, psi);
        for (;;) {
            const double q = uniform();
            if (uniform() * bound <= q * q * (*this)(psi * (1.0 - q * q))) return q * std::sqrt(2.0 * psi);
        }
    }

private:
    ErgodicDistribution() = default;
    // Bounds at radii evenly spaced in ln r: near a cusp f changes by
    // orders of magnitude between depths that differ by a percent.
    void tabulateBounds(const Function& depth, double gravity, double rMin, double rMax);
    // An upper bound of q^2 f(psi (1 - q^2)) over 0 <= q <= 1.
    double speedBound(double r, double psi) const;
    static double largestDensity(const ErgodicDistribution& f, double psi);

    Function analytic_;
    // the table: f at energies evenly spaced in ln E
    double lnEFirst_ = 0.0, lnEStep_ = 0.0;
    std::vector<double> lnF_;
    // the bounds of the speed density at radii evenly spaced in ln r
    double lnRFirst_ = 0.0, lnRStep_ = 0.0;
    std::vector<double> bounds_;
};
