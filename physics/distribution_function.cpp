#include "physics/distribution_function.h"

#include <algorithm>
#include <numbers>
#include <utility>

namespace {

constexpr int kRadii = 1200;       // of Eddington's table
constexpr int kEnergies = 2048;    // of f, evenly in ln E
constexpr int kBoundRadii = 1024;  // of the speed bounds, evenly in ln r
constexpr int kBoundSpeeds = 257;  // looked at for each bound, then as many again about the largest
// The tabulated bound is the larger of its two neighbours times this; the
// peak of v^2 f moves by less between neighbouring radii.
constexpr double kBoundMargin = 1.25;
// ln f where f vanishes.
constexpr double kLnZero = -745.0;

// sqrt(x) - sqrt(y) for x > y >= 0 without cancellation.
double rootDifference(double x, double y) { return (x - y) / (std::sqrt(x) + std::sqrt(y)); }

}  // namespace

ErgodicDistribution ErgodicDistribution::analytic(Function f, const Function& depth, double gravity, double rMin,
                                                  double rMax) {
    ErgodicDistribution d;
    d.analytic_ = std::move(f);
    d.tabulateBounds(depth, gravity, rMin, rMax);
    return d;
}

ErgodicDistribution ErgodicDistribution::eddington(const Function& density, const Function& mass,
                                                   const Function& depth, double gravity, double rMin, double rMax) {
    // Radii from the outside in, so that psi rises with the index.
    std::vector<double> psi(kRadii), d1(kRadii), d2(kRadii);
    const double lnStep = std::log(rMax / rMin) / (kRadii - 1);
    for (int i = 0; i < kRadii; ++i) {
        const double r = rMax * std::exp(-lnStep * i);
        psi[i] = gravity * depth(r);
        // drho/dr by a central difference, over dpsi/dr = -G M / r^2.
        constexpr double kDelta = 1e-5;
        const double slope = (density(r * (1.0 + kDelta)) - density(r * (1.0 - kDelta))) / (2.0 * kDelta * r);
        d1[i] = slope / (-gravity * mass(r) / (r * r));
    }
    for (int i = 0; i < kRadii; ++i) {
        const int lo = std::max(i - 1, 0), hi = std::min(i + 1, kRadii - 1);
        d2[i] = (d1[hi] - d1[lo]) / (psi[hi] - psi[lo]);
    }

    // f at each psi[i], with d2 taken linear in psi between the table's
    // points and integrated exactly against 1 / sqrt(E - psi); below psi[0]
    // the density is taken as constant.
    std::vector<double> lnE(kRadii - 1), lnF(kRadii - 1);
    const double norm = 1.0 / (std::sqrt(8.0) * std::numbers::pi * std::numbers::pi);
    for (int i = 1; i < kRadii; ++i) {
        const double E = psi[i];
        double sum = d1[0] / std::sqrt(E - psi[0]);
        for (int j = 0; j < i; ++j) {
            const double a = psi[j], b = psi[j + 1];
            const double beta = (d2[j + 1] - d2[j]) / (b - a);
            const double alpha = d2[j] - beta * a;
            const double x = std::sqrt(E - a), y = std::sqrt(E - b);
            const double dRoot = rootDifference(E - a, E - b);
            sum += 2.0 * (alpha + beta * E) * dRoot - (2.0 / 3.0) * beta * dRoot * (x * x + x * y + y * y);
        }
        const double f = norm * sum;
        lnE[i - 1] = std::log(E);
        lnF[i - 1] = f > 0.0 ? std::log(f) : kLnZero;
    }

    ErgodicDistribution d;
    d.lnEFirst_ = lnE.front();
    d.lnEStep_ = (lnE.back() - lnE.front()) / (kEnergies - 1);
    d.lnF_.resize(kEnergies);
    std::size_t j = 0;
    for (int k = 0; k < kEnergies; ++k) {
        const double x = std::min(d.lnEFirst_ + d.lnEStep_ * k, lnE.back());
        while (j + 2 < lnE.size() && lnE[j + 1] < x) ++j;
        const double t = (x - lnE[j]) / (lnE[j + 1] - lnE[j]);
        d.lnF_[k] = lnF[j] + t * (lnF[j + 1] - lnF[j]);
    }
    d.tabulateBounds(depth, gravity, rMin, rMax);
    return d;
}

double ErgodicDistribution::operator()(double E) const {
    if (analytic_) return analytic_(E);
    if (!(E > 0.0)) return 0.0;
    // Linear in ln f against ln E, beyond the ends as the power law of the
    // last two points.
    const double t = (std::log(E) - lnEFirst_) / lnEStep_;
    const int last = static_cast<int>(lnF_.size()) - 1;
    const int k = std::clamp(static_cast<int>(std::floor(t)), 0, last - 1);
    return std::exp(lnF_[k] + (t - k) * (lnF_[k + 1] - lnF_[k]));
}

double ErgodicDistribution::largestDensity(const ErgodicDistribution& f, double psi) {
    const auto density = [&f, psi](double q) { return q * q * f(psi * (1.0 - q * q)); };
    double most = 0.0;
    int best = 1;
    for (int k = 1; k < kBoundSpeeds; ++k) {
        const double value = density(static_cast<double>(k) / (kBoundSpeeds - 1));
        if (value > most) {
            most = value;
            best = k;
        }
    }
    // A narrow peak: look closer between the neighbours of the largest.
    const double lo = (best - 1.0) / (kBoundSpeeds - 1), width = 2.0 / (kBoundSpeeds - 1);
    for (int k = 1; k < kBoundSpeeds; ++k) most = std::max(most, density(std::min(lo + width * k / kBoundSpeeds, 1.0)));
    return most;
}

void ErgodicDistribution::tabulateBounds(const Function& depth, double gravity, double rMin, double rMax) {
    lnRFirst_ = std::log(rMin);
    lnRStep_ = (std::log(rMax) - lnRFirst_) / (kBoundRadii - 1);
    bounds_.resize(kBoundRadii);
    for (int k = 0; k < kBoundRadii; ++k)
        bounds_[k] = largestDensity(*this, gravity * depth(std::exp(lnRFirst_ + lnRStep_ * k)));
}

double ErgodicDistribution::speedBound(double r, double psi) const {
    const double t = (std::log(r) - lnRFirst_) / lnRStep_;
    if (!(t >= 0.0 && t < kBoundRadii - 1)) return kBoundMargin * largestDensity(*this, psi);
    const int k = static_cast<int>(t);
    return kBoundMargin * std::max(bounds_[k], bounds_[k + 1]);
}
