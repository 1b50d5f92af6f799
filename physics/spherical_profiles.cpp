#include "physics/spherical_profiles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
// The taper of NFW is tabulated out to r_v + kTaperLengths r_d, where the
// density has fallen below 1e-9 of its value at r_v for any concentration.
constexpr int kTaperPoints = 4096;
constexpr double kTaperLengths = 40.0;

// ln(1 + x) - x / (1 + x), the NFW mass within x scale radii over 4 pi rho0 r_s^3,
// by its series where the difference would cancel.
double nfwMassShape(double x) {
    if (x < 1e-3) return x * x * (0.5 - x * (2.0 / 3.0 - 0.75 * x));
    return std::log1p(x) - x / (1.0 + x);
}

// Linear interpolation in a table of increasing xs.
double interpolate(const std::vector<double>& xs, const std::vector<double>& ys, double x) {
    if (x <= xs.front()) return ys.front();
    if (x >= xs.back()) return ys.back();
    const auto k = static_cast<std::size_t>(std::upper_bound(xs.begin(), xs.end(), x) - xs.begin());
    const double t = (x - xs[k - 1]) / (xs[k] - xs[k - 1]);
    return ys[k - 1] + t * (ys[k] - ys[k - 1]);
}

}  // namespace

SphericalProfile::SphericalProfile(Kind kind, double mass, double a, double c)
    : kind_(kind), mass_(mass), a_(a), c_(c) {}

SphericalProfile SphericalProfile::plummer(double mass, double a) { return {Kind::Plummer, mass, a, 0.0}; }

SphericalProfile SphericalProfile::hernquist(double mass, double a) { return {Kind::Hernquist, mass, a, 0.0}; }

SphericalProfile SphericalProfile::nfw(double massWithinVirial, double rs, double c) {
    SphericalProfile p(Kind::NFW, massWithinVirial, rs, c);
    p.rho0_ = massWithinVirial / (4.0 * kPi * rs * rs * rs * nfwMassShape(c));
    p.rv_ = c * rs;
    p.rd_ = 0.1 * p.rv_;
    p.taperExponent_ = -(1.0 + 3.0 * c) / (1.0 + c) + p.rv_ / p.rd_;

    const double h = kTaperLengths * p.rd_ / (kTaperPoints - 1);
    p.taperRadius_.resize(kTaperPoints);
    p.taperMass_.resize(kTaperPoints);
    p.taperDepth_.resize(kTaperPoints);
    std::vector<double> rho(kTaperPoints);
    for (int k = 0; k < kTaperPoints; ++k) {
        p.taperRadius_[k] = p.rv_ + k * h;
        rho[k] = p.density(p.taperRadius_[k]);
    }
    // Trapezoids of 1/100 r_d: the taper's mass to about 1e-5 of itself.
    p.taperMass_[0] = massWithinVirial;
    for (int k = 1; k < kTaperPoints; ++k) {
        const double r0 = p.taperRadius_[k - 1], r1 = p.taperRadius_[k];
        p.taperMass_[k] = p.taperMass_[k - 1] + 2.0 * kPi * h * (r0 * r0 * rho[k - 1] + r1 * r1 * rho[k]);
    }
    p.taperDepth_[kTaperPoints - 1] = 0.0;
    for (int k = kTaperPoints - 2; k >= 0; --k) {
        const double r0 = p.taperRadius_[k], r1 = p.taperRadius_[k + 1];
        p.taperDepth_[k] = p.taperDepth_[k + 1] + 0.5 * h * (r0 * rho[k] + r1 * rho[k + 1]);
    }
    return p;
}

double SphericalProfile::nfwDensity(double r) const {
    const double x = r / a_;
    return rho0_ / (x * (1.0 + x) * (1.0 + x));
}

double SphericalProfile::density(double r) const {
    switch (kind_) {
    case Kind::Plummer: {
        const double s = 1.0 + r * r / (a_ * a_);
        return 3.0 * mass_ / (4.0 * kPi * a_ * a_ * a_) / (s * s * std::sqrt(s));
    }
    case Kind::Hernquist: {
        const double ra = r + a_;
        return mass_ * a_ / (2.0 * kPi * r * ra * ra * ra);
    }
    case Kind::NFW:
        if (r <= rv_) return nfwDensity(r);
        return nfwDensity(rv_) * std::pow(r / rv_, taperExponent_) * std::exp(-(r - rv_) / rd_);
    }
    return 0.0;
}

double SphericalProfile::enclosedMass(double r) const {
    switch (kind_) {
    case Kind::Plummer: {
        const double s = r * r + a_ * a_;
        return mass_ * r * r * r / (s * std::sqrt(s));
    }
    case Kind::Hernquist: {
        const double ra = r + a_;
        return mass_ * r * r / (ra * ra);
    }
    case Kind::NFW:
        if (r <= rv_) return mass_ * nfwMassShape(r / a_) / nfwMassShape(c_);
        return interpolate(taperRadius_, taperMass_, r);
    }
    return 0.0;
}

double SphericalProfile::totalMass() const { return kind_ == Kind::NFW ? taperMass_.back() : mass_; }

double SphericalProfile::depth(double r) const {
    switch (kind_) {
    case Kind::Plummer:
        return mass_ / std::sqrt(r * r + a_ * a_);
    case Kind::Hernquist:
        return mass_ / (r + a_);
    case Kind::NFW: {
        if (r > rv_) return enclosedMass(r) / r + 4.0 * kPi * interpolate(taperRadius_, taperDepth_, r);
        const double x = r / a_;
        // M(<r) / r goes to 0 at the centre, as r.
        const double inner = x > 0.0 ? enclosedMass(r) / r : 0.0;
        return inner + 4.0 * kPi * (rho0_ * a_ * a_ * (1.0 / (1.0 + x) - 1.0 / (1.0 + c_)) + taperDepth_.front());
    }
    }
    return 0.0;
}

double SphericalProfile::radiusEnclosing(double m) const {
    const double u = m / mass_;
    switch (kind_) {
    case Kind::Plummer:
        return a_ / std::sqrt(std::pow(u, -2.0 / 3.0) - 1.0);
    case Kind::Hernquist: {
        const double s = std::sqrt(u);
        return a_ * s / (1.0 - s);
    }
    case Kind::NFW:
        break;
    }
    if (m > mass_) {
        // In the taper: the table, then a Newton step on the density.
        double r = interpolate(taperMass_, taperRadius_, m);
        r -= (enclosedMass(r) - m) / (4.0 * kPi * r * r * density(r));
        return r;
    }
    // Newton's method on ln m(x) against ln x, from the small-x law
    // m = x^2 / 2 or from the middle of the range; m(x) is concave in ln x
    // above the centre, so the steps close in from any start below the root.
    const double target = u * nfwMassShape(c_);
    double lx = std::log(std::min(std::sqrt(2.0 * target), 0.5 * c_));
    for (int k = 0; k < 60; ++k) {
        const double x = std::exp(lx);
        const double mx = nfwMassShape(x);
        const double slope = x * x / ((1.0 + x) * (1.0 + x) * mx);
        const double step = (std::log(mx) - std::log(target)) / slope;
        lx -= step;
        if (std::fabs(step) < 1e-13) break;
    }
    return a_ * std::exp(lx);
}
