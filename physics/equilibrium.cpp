#include "physics/equilibrium.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <optional>

#include "model/galaxy.h"
#include "model/number_text.h"
#include "physics/distribution_function.h"
#include "physics/forces.h"
#include "physics/methods.h"
#include "physics/spherical_profiles.h"
#include "physics/workers.h"

namespace {

constexpr double kPi = std::numbers::pi;
// x where an exponential disc holds half its mass: 1 - (1 + x) e^-x = 1/2.
constexpr double kDiscHalfMass = 1.678346990016661;
// Toomre's stability constant of a stellar disc.
constexpr double kToomre = 3.36;
// The radius, in scale lengths, at which the disc's Q is the one asked for.
constexpr double kQRadius = 2.4;

// The random numbers of one star: a stream of its own, from the seed, its
// component and its index, so that the stars do not depend on which thread
// draws them (splitmix64).
class StarRandom {
public:
    StarRandom(std::uint64_t seed, int component, long long index)
        : state_(mix(seed ^ mix((static_cast<std::uint64_t>(component) << 48) ^ static_cast<std::uint64_t>(index)))) {}
    // In (0, 1).
    double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1p-53; }
    double normal() { return std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * kPi * uniform()); }
    void direction(double& x, double& y, double& z) {
        const double cosTheta = 2.0 * uniform() - 1.0, phi = 2.0 * kPi * uniform();
        const double sinTheta = std::sqrt(1.0 - cosTheta * cosTheta);
        x = sinTheta * std::cos(phi);
        y = sinTheta * std::sin(phi);
        z = cosTheta;
    }

private:
    static std::uint64_t mix(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t next() { return mix(state_ += 0x9e3779b97f4a7c15ULL); }
    std::uint64_t state_;
};

// The mass share of an exponential disc within x scale lengths, and its inverse.
double discMassShape(double x) { return x < 1e-4 ? x * x * (0.5 - x / 3.0) : 1.0 - (1.0 + x) * std::exp(-x); }

double discRadiusEnclosing(double u) {
    // Newton's method, kept inside a bracket; the shape is increasing and
    // concave beyond x = 1.
    double lo = 0.0, hi = 60.0, x = std::min(std::sqrt(2.0 * u) + u * u * 4.0, 10.0);
    for (int k = 0; k < 100; ++k) {
        const double g = discMassShape(x) - u;
        (g > 0.0 ? hi : lo) = x;
        double next = x - g / (x * std::exp(-x));
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::fabs(next - x) <= 1e-15 * x) return next;
        x = next;
    }
    return x;
}

// The circular speed squared over G of a thin exponential disc (Freeman 1970).
double freemanSpeed2(double mass, double rd, double R) {
    if (!(R > 0.0) || mass == 0.0) return 0.0;
    const double y = R / (2.0 * rd);
    if (y > 100.0) return mass / R;
    return 2.0 * mass / rd * y * y *
           (std::cyl_bessel_i(0.0, y) * std::cyl_bessel_k(0.0, y) -
            std::cyl_bessel_i(1.0, y) * std::cyl_bessel_k(1.0, y));
}

// J1(x) by the rational and asymptotic approximations of Numerical Recipes
// (bessj1), within 5e-9 of std::cyl_bessel_j and a hundred times faster.
double besselJ1(double x) {
    const double ax = std::fabs(x);
    if (ax < 8.0) {
        const double y = x * x;
        const double a =
            x * (72362614232.0 +
                 y * (-7895059235.0 + y * (242396853.1 + y * (-2972611.439 + y * (15704.48260 + y * -30.16036606)))));
        const double b =
            144725228442.0 + y * (2300535178.0 + y * (18583304.74 + y * (99447.43394 + y * (376.9991397 + y))));
        return a / b;
    }
    const double z = 8.0 / ax, y = z * z, phase = ax - 2.356194491;
    const double a = 1.0 + y * (0.183105e-2 + y * (-0.3516396496e-4 + y * (0.2457520174e-5 + y * -0.240337019e-6)));
    const double b =
        0.04687499995 + y * (-0.2002690873e-3 + y * (0.8449199096e-5 + y * (-0.88228987e-6 + y * 0.105787412e-6)));
    const double r = std::sqrt(0.636619772 / ax) * (std::cos(phase) * a - z * std::sin(phase) * b);
    return x < 0.0 ? -r : r;
}

// The same for the disc of sech^2 thickness z0, in its plane. With the disc's
// Hankel transform, v^2 / G = M R int_0^inf k J1(kR) h(k z0) / (1 + k^2 R_d^2)^1.5 dk,
// h(s) = int_0^inf sech^2(u) e^(-s u) du the weight of the layers (1 for a thin
// disc, which gives Freeman's formula). The thin disc less the integral with
// 1 - h, which converges fast, tabulated on radii out to 12 R_d; beyond, the
// thickness no longer matters.
class DiscSpeed {
public:
    DiscSpeed(double mass, double rd, double z0) : mass_(mass), rd_(rd) {
        if (mass == 0.0 || z0 == 0.0) return;
        constexpr int kWaves = 8000;
        constexpr double kLargest = 400.0, kStep = kLargest / kWaves;  // in 1 / R_d
        std::vector<double> weight(kWaves);
        for (int j = 0; j < kWaves; ++j) {
            const double kk = (j + 0.5) * kStep, sz = kk * z0 / rd;
            // 1 - h(s) by the midpoint rule on u out to where e^(-s u) sech^2 u is negligible
            const int n = 200;
            const double end = std::min(20.0, 40.0 / sz), du = end / n;
            double h = 0.0;
            for (int i = 0; i < n; ++i) {
                const double u = (i + 0.5) * du, c = std::cosh(u);
                h += std::exp(-sz * u) / (c * c);
            }
            weight[j] = kk * (1.0 - h * du) / std::pow(1.0 + kk * kk, 1.5);
        }
        step_ = kEnd * rd / (kPoints - 1);
        for (int k = 0; k < kPoints; ++k) {
            const double x = k * step_ / rd;
            double sum = 0.0;
            for (int j = 0; j < kWaves; ++j) sum += weight[j] * besselJ1((j + 0.5) * kStep * x);
            correction_.push_back(mass * x * sum * kStep / rd);
        }
    }

    double operator()(double R) const {
        const double thin = freemanSpeed2(mass_, rd_, R);
        if (correction_.empty() || R >= kEnd * rd_) return thin;
        const double t = R / step_;
        const int k = std::min(static_cast<int>(t), kPoints - 2);
        return thin - (correction_[k] + (t - k) * (correction_[k + 1] - correction_[k]));
    }

private:
    static constexpr int kPoints = 97;
    static constexpr double kEnd = 12.0;
    double mass_, rd_, step_ = 0.0;
    std::vector<double> correction_;
};

// Everything that pulls, averaged over spheres (the disc as a sphere of its
// enclosed mass), without the gravitational constant: what the spherical
// components' distribution functions are found in.
struct Potential {
    std::vector<SphericalProfile> profiles;
    double pointMass = 0.0;
    double discMass = 0.0, discScale = 1.0;
    double uniformMass = 0.0, uniformRadius = 1.0;  // the original's halo

    double massWithoutDisc(double r) const {
        double m = r > 0.0 ? pointMass : 0.0;
        for (const SphericalProfile& p : profiles) m += p.enclosedMass(r);
        return m + uniformMassWithin(r);
    }
    double uniformMassWithin(double r) const {
        return uniformMass > 0.0 ? uniformMass * std::min(1.0, std::pow(r / uniformRadius, 3.0)) : 0.0;
    }
    double mass(double r) const { return massWithoutDisc(r) + discMass * discMassShape(r / discScale); }
    double depth(double r) const {
        double d = pointMass > 0.0 ? pointMass / r : 0.0;
        for (const SphericalProfile& p : profiles) d += p.depth(r);
        if (uniformMass > 0.0) d += haloDepth(uniformMass, uniformRadius, r);
        if (discMass > 0.0) {
            const double x = r / discScale;
            d += discMass * ((r > 0.0 ? discMassShape(x) / r : 0.0) + std::exp(-x) / discScale);
        }
        return d;
    }
};

// A spherical population of stars: the sphere model, or a live bulge or halo.
struct Population {
    SphericalProfile profile;
    long long first = 0, count = 0;
    double starMass = 0.0;
    int colour = 0;
    int stream = 0;
};

// The random streams of the components.
enum Stream { kSphereStream = 1, kDiscStream, kBulgeStream, kHaloStream };

// What a model is made of, worked out from its inputs alone.
struct Plan {
    const ModelInputs* in = nullptr;
    double G = 0.0;
    Potential total;
    std::vector<Population> spheres;
    std::optional<SphericalProfile> bulge, halo;  // of the disc galaxy, live or rigid
    std::optional<SphericalProfile> beside;       // an NFW or Hernquist halo beside the model
    bool disc = false;
    long long discFirst = 0, discCount = 0;
    double discStarMass = 0.0;
    bool centralStar = false;
    int discColour = 0, centralColour = 0;
    // the rigid parts the model itself brings
    int rigidHalo = DarkMatterModel::None;
    double rigidBulgeMass = 0.0;
    // the visible extent: the radius of 90% of the sphere's mass, or 4 R_d
    double frameRadius = 0.0;
};

// A colour of a component's own, not the one the main stars take.
int distinctColour(int preferred, int instead, int mainColour) { return preferred == mainColour ? instead : preferred; }

SphericalProfile sphereProfile(const ModelInputs& in) {
    const ModelParameters& p = in.p;
    switch (in.shape) {
    case GalaxyShape::Plummer:
        return SphericalProfile::plummer(p.totalMass, p.scaleRadius);
    case GalaxyShape::Hernquist:
        return SphericalProfile::hernquist(p.totalMass, p.scaleRadius);
    default:
        return SphericalProfile::nfw(p.totalMass, p.scaleRadius, p.concentration);
    }
}

SphericalProfile haloProfile(int kind, double mass, double radius, double concentration) {
    return kind == ModelHalo::NFW ? SphericalProfile::nfw(mass, radius, concentration)
                                  : SphericalProfile::hernquist(mass, radius);
}

Plan planOf(const ModelInputs& in, int starColour) {
    Plan plan;
    plan.in = &in;
    plan.G = in.gravity;
    const ModelParameters& p = in.p;
    const ModelStarCounts counts = modelStarCounts(in.shape, in.stars, in.centralMass, p);
    const double cut = p.massCutoff;
    plan.centralStar = counts.central > 0;
    plan.total.pointMass = in.centralMass;
    plan.centralColour = distinctColour(StarColor::Red, StarColor::Orange, starColour);
    long long next = counts.central;
    double starMassSum = in.centralMass;

    if (in.shape != GalaxyShape::DiscGalaxy) {
        Population sphere{sphereProfile(in), next, counts.main, 0.0, starColour, kSphereStream};
        sphere.starMass = cut * sphere.profile.totalMass() / static_cast<double>(counts.main);
        starMassSum += cut * sphere.profile.totalMass();
        plan.frameRadius = sphere.profile.radiusEnclosing(0.9 * cut * sphere.profile.totalMass());
        plan.total.profiles.push_back(sphere.profile);
        plan.spheres.push_back(sphere);
    } else {
        plan.disc = true;
        plan.discColour = starColour;
        plan.discFirst = next;
        plan.discCount = counts.main;
        plan.discStarMass = cut * p.discMass / static_cast<double>(counts.main);
        plan.total.discMass = p.discMass;
        plan.total.discScale = p.discScaleLength;
        plan.frameRadius = 4.0 * p.discScaleLength;
        next += counts.main;
        starMassSum += cut * p.discMass;
        if (p.bulgeMass > 0.0) {
            plan.bulge = SphericalProfile::hernquist(p.bulgeMass, p.bulgeRadius);
            plan.total.profiles.push_back(*plan.bulge);
            if (counts.bulge > 0) {
                const int colour = distinctColour(StarColor::Yellow, StarColor::Orange, starColour);
                plan.spheres.push_back({*plan.bulge, next, counts.bulge,
                                        cut * p.bulgeMass / static_cast<double>(counts.bulge), colour, kBulgeStream});
                next += counts.bulge;
                starMassSum += cut * p.bulgeMass;
            } else {
                plan.rigidBulgeMass = p.bulgeMass;
            }
        }
        if (p.halo != ModelHalo::None) {
            plan.halo = haloProfile(p.halo, p.haloMass, p.haloRadius, p.concentration);
            plan.total.profiles.push_back(*plan.halo);
            if (counts.halo > 0) {
                const int colour = distinctColour(StarColor::Purple, StarColor::Blue, starColour);
                const double m = cut * plan.halo->totalMass();
                plan.spheres.push_back({*plan.halo, next, counts.halo, m / static_cast<double>(counts.halo), colour,
                                        kHaloStream});
                starMassSum += m;
            } else {
                plan.rigidHalo = p.halo == ModelHalo::NFW ? DarkMatterModel::NFW : DarkMatterModel::Hernquist;
            }
        }
    }
    // A rigid halo beside the model.
    if (in.darkMatter == DarkMatterModel::Sphere) {
        plan.total.uniformMass = starMassSum * in.darkFraction / (1.0 - in.darkFraction);
        plan.total.uniformRadius = in.darkRadius;
    } else if (in.darkMatter == DarkMatterModel::NFW || in.darkMatter == DarkMatterModel::Hernquist) {
        if (in.haloMass > 0.0) {
            plan.beside = haloProfile(in.darkMatter == DarkMatterModel::NFW ? ModelHalo::NFW : ModelHalo::Hernquist,
                                      in.haloMass, in.haloRadius, in.haloConcentration);
            plan.total.profiles.push_back(*plan.beside);
        }
    }
    return plan;
}

// The disc's kinematics at radius R: the mean rotation and the three
// dispersions.
struct DiscKinematics {
    double vPhi, sigmaR, sigmaPhi, sigmaZ;
};

// The disc's surface density, circular speed and epicyclic frequency, and
// from them its dispersions: sigma_R from Q, sigma_phi from the epicyclic
// ratio, sigma_z from the isothermal sheet, the rotation from the asymmetric
// drift. Tabulated on radii out to where the disc ends.
class DiscTable {
public:
    explicit DiscTable(const Plan& plan)
        : plan_(plan), discSpeed_(plan.in->p.discMass, plan.in->p.discScaleLength, plan.in->p.discHeight) {
        const ModelParameters& p = plan.in->p;
        rd_ = p.discScaleLength;
        step_ = discRadiusEnclosing(p.massCutoff) * rd_ * 1.0001 / (kPoints - 1);
        const double sigmaAtQ = p.toomreQ * kToomre * plan.G * surfaceDensity(kQRadius * rd_) / kappa(kQRadius * rd_);
        std::vector<double> sigmaR2(kPoints), lnPressure(kPoints);
        for (int k = 0; k < kPoints; ++k) {
            const double R = std::max(k, 1) * step_;
            const double s = p.constantQ ? p.toomreQ * kToomre * plan.G * surfaceDensity(R) / kappa(R)
                                         : sigmaAtQ * std::exp(-(R - kQRadius * rd_) / (2.0 * rd_));
            sigmaR2[k] = s * s;
            lnPressure[k] = std::log(surfaceDensity(R) * sigmaR2[k]);
        }
        rows_.resize(kPoints);
        for (int k = 0; k < kPoints; ++k) {
            const double R = std::max(k, 1) * step_;
            const double v2 = circularSpeed2(R);
            const double k2 = kappa(R) * kappa(R);
            const double ratio = v2 > 0.0 ? k2 * R * R / (4.0 * v2) : 1.0;  // kappa^2 / (4 Omega^2)
            // d ln(Sigma sigma_R^2) / d ln R from the table's neighbours.
            const int lo = std::max(k - 1, 1), hi = std::min(k + 1, kPoints - 1);
            const double slope = p.discMass > 0.0 ? (lnPressure[hi] - lnPressure[lo]) / std::log(double(hi) / lo) : 0.0;
            const double vPhi2 = v2 + sigmaR2[k] * (1.0 - ratio + slope);
            rows_[k] = {std::sqrt(std::max(vPhi2, 0.0)), std::sqrt(sigmaR2[k]), std::sqrt(sigmaR2[k] * ratio),
                        std::sqrt(kPi * plan.G * surfaceDensity(R) * p.discHeight)};
        }
    }

    DiscKinematics at(double R) const {
        const double t = std::clamp(R / step_, 1.0, kPoints - 1.0);
        const int k = std::min(static_cast<int>(t), kPoints - 2);
        const double w = t - k;
        const DiscKinematics& a = rows_[k];
        const DiscKinematics& b = rows_[k + 1];
        return {a.vPhi + w * (b.vPhi - a.vPhi), a.sigmaR + w * (b.sigmaR - a.sigmaR),
                a.sigmaPhi + w * (b.sigmaPhi - a.sigmaPhi), a.sigmaZ + w * (b.sigmaZ - a.sigmaZ)};
    }

    double surfaceDensity(double R) const {
        return plan_.in->p.discMass / (2.0 * kPi * rd_ * rd_) * std::exp(-R / rd_);
    }
    // In the plane: the thin disc and the spherical rest.
    double circularSpeed2(double R) const {
        return plan_.G * (discSpeed_(R) + plan_.total.massWithoutDisc(R) / R);
    }
    // kappa^2 = (d v^2 / dR) / R + 2 v^2 / R^2.
    double kappa(double R) const {
        const double h = 1e-4 * R;
        const double dv2 = (circularSpeed2(R + h) - circularSpeed2(R - h)) / (2.0 * h);
        return std::sqrt(std::max(dv2 / R + 2.0 * circularSpeed2(R) / (R * R), 0.0));
    }
    double toomreQ(double R) const {
        const double sigma = surfaceDensity(R);
        return sigma > 0.0 ? at(R).sigmaR * kappa(R) / (kToomre * plan_.G * sigma) : 0.0;
    }

private:
    static constexpr int kPoints = 2048;
    const Plan& plan_;
    DiscSpeed discSpeed_;
    double rd_ = 0.0, step_ = 0.0;
    std::vector<DiscKinematics> rows_;
};

// The distribution function of a population in the model's potential: the
// analytic one of a lone Plummer or Hernquist sphere, else Eddington's.
ErgodicDistribution distributionOf(const Plan& plan, const Population& pop) {
    const double G = plan.G;
    const SphericalProfile& prof = pop.profile;
    const bool alone = plan.total.profiles.size() == 1 && plan.total.pointMass == 0.0 &&
                       plan.total.uniformMass == 0.0 && plan.total.discMass == 0.0;
    double smallest = prof.scaleRadius(), largest = prof.scaleRadius();
    for (const SphericalProfile& other : plan.total.profiles) {
        smallest = std::min(smallest, other.scaleRadius());
        largest = std::max(largest, other.scaleRadius() * (other.kind() == SphericalProfile::Kind::NFW ? 50.0 : 1.0));
    }
    if (plan.total.discMass > 0.0) {
        smallest = std::min(smallest, plan.total.discScale);
        largest = std::max(largest, plan.total.discScale);
    }
    const double rMin = 1e-6 * smallest, rMax = 1e3 * largest;
    const Potential& total = plan.total;
    const auto depth = [&total](double r) { return total.depth(r); };
    if (alone && prof.kind() == SphericalProfile::Kind::Plummer)
        return ErgodicDistribution::analytic([](double E) { return E > 0.0 ? std::pow(E, 3.5) : 0.0; }, depth, G,
                                             rMin, rMax);
    if (alone && prof.kind() == SphericalProfile::Kind::Hernquist) {
        const double scale = prof.scaleRadius() / (G * prof.totalMass());  // E a / (G M) = q^2
        return ErgodicDistribution::analytic(
            [scale](double E) {
                if (!(E > 0.0)) return 0.0;
                const double q = std::sqrt(std::min(E * scale, 1.0 - 1e-15)), q2 = q * q;
                const double s = std::sqrt(1.0 - q2);
                return (3.0 * std::asin(q) + q * s * (1.0 - 2.0 * q2) * (8.0 * q2 * q2 - 8.0 * q2 - 3.0)) /
                       std::pow(1.0 - q2, 2.5);
            },
            depth, G, rMin, rMax);
    }
    return ErgodicDistribution::eddington([&prof](double r) { return prof.density(r); },
                                          [&total](double r) { return total.mass(r); }, depth, G, rMin, rMax);
}

// Stars come in pairs mirrored through the origin, positions and velocities
// both, which keeps each component's centre of mass at the origin and its
// momentum zero (a disc's sense of rotation too). Shifting a sample to its
// centre of mass instead would move a cusp by the noise of the far stars
// (about a scale radius for 2,000 Hernquist stars). The odd star of a pair
// takes the draws of the even one.
StarRandom pairRandom(std::uint64_t seed, int stream, int k) { return {seed, stream, k & ~1}; }

void placeStar(CGalaxy& g, long long i, bool mirrored, double x[3], double v[3], double m, int colour) {
    if (mirrored)
        for (int c = 0; c < 3; ++c) {
            x[c] = -x[c];
            v[c] = -v[c];
        }
    g.pos.x[i] = x[0];
    g.pos.y[i] = x[1];
    g.pos.z[i] = x[2];
    g.vel.x[i] = v[0];
    g.vel.y[i] = v[1];
    g.vel.z[i] = v[2];
    g.mass[i] = m;
    g.color[i] = colour;
}

void samplePopulation(CGalaxy& g, const Plan& plan, const Population& pop, std::uint64_t seed) {
    const ErgodicDistribution f = distributionOf(plan, pop);
    const double cutMass = plan.in->p.massCutoff * pop.profile.totalMass();
    parallelForEach(static_cast<int>(pop.count), [&](int k) {
        StarRandom rng = pairRandom(seed, pop.stream, k);
        const double r = pop.profile.radiusEnclosing(rng.uniform() * cutMass);
        const double psi = plan.G * plan.total.depth(r);
        const double v = f.sampleSpeed(r, psi, [&rng] { return rng.uniform(); });
        double x[3], u[3];
        rng.direction(x[0], x[1], x[2]);
        rng.direction(u[0], u[1], u[2]);
        for (int c = 0; c < 3; ++c) {
            x[c] *= r;
            u[c] *= v;
        }
        placeStar(g, pop.first + k, k % 2 != 0, x, u, pop.starMass, pop.colour);
    });
}

void sampleDisc(CGalaxy& g, const Plan& plan, std::uint64_t seed) {
    const DiscTable table(plan);
    const ModelParameters& p = plan.in->p;
    parallelForEach(static_cast<int>(plan.discCount), [&](int k) {
        StarRandom rng = pairRandom(seed, kDiscStream, k);
        const double R = discRadiusEnclosing(rng.uniform() * p.massCutoff) * p.discScaleLength;
        const double phi = 2.0 * kPi * rng.uniform();
        const double z = p.discHeight > 0.0 ? p.discHeight * std::atanh(2.0 * rng.uniform() - 1.0) : 0.0;
        const DiscKinematics kin = table.at(R);
        const double vR = kin.sigmaR * rng.normal();
        const double vPhi = kin.vPhi + kin.sigmaPhi * rng.normal();
        const double vZ = kin.sigmaZ * rng.normal();
        const double c = std::cos(phi), s = std::sin(phi);
        double x[3] = {R * c, R * s, z};
        double v[3] = {vR * c - vPhi * s, vR * s + vPhi * c, vZ};
        placeStar(g, plan.discFirst + k, k % 2 != 0, x, v, plan.discStarMass, plan.discColour);
    });
}

// Two significant figures, rounded down: a step a little shorter than asked.
double roundedDown(double x) {
    const double unit = std::pow(10.0, std::floor(std::log10(x)) - 1.0);
    return std::floor(x / unit) * unit;
}

ModelChoices choicesOf(const Plan& plan) {
    const ModelInputs& in = *plan.in;
    const ModelParameters& p = in.p;
    ModelChoices c;
    // The number density of the stars that pull, at the half-mass radius.
    double density = 0.0;
    if (plan.disc) {
        c.halfMassRadius = kDiscHalfMass * p.discScaleLength;
        if (p.discMass > 0.0 || (plan.spheres.empty() && !plan.centralStar)) {
            const double surface = static_cast<double>(plan.discCount) / p.massCutoff /
                                   (2.0 * kPi * p.discScaleLength * p.discScaleLength) * std::exp(-kDiscHalfMass);
            // A disc without thickness: its spacing in the plane.
            density += p.discHeight > 0.0 ? surface / (2.0 * p.discHeight) : std::pow(surface, 1.5);
        }
    } else {
        const SphericalProfile& s = plan.spheres.front().profile;
        c.halfMassRadius = s.radiusEnclosing(0.5 * p.massCutoff * s.totalMass());
    }
    for (const Population& pop : plan.spheres)
        density += static_cast<double>(pop.count) * pop.profile.density(c.halfMassRadius) /
                   (p.massCutoff * pop.profile.totalMass());
    const double spacing = density > 0.0 ? std::cbrt(1.0 / density) : c.halfMassRadius;
    c.epsilon = 0.1 * spacing;
    const double r = c.halfMassRadius;
    c.dynamicalTime = std::sqrt(r * r * r / (plan.G * plan.total.mass(r)));
    c.timeStep = roundedDown(c.dynamicalTime / 100.0);
    c.boxSize = 2.0 * plan.frameRadius;
    return c;
}

std::string lengthText(const CGalaxy& g, double x) {
    return numberText(x, std::chars_format::general, 3) + " " + g.lengthUnitName[g.scale];
}

std::string timeText(const CGalaxy& g, double t) {
    return numberText(t, std::chars_format::general, 3) + " " + g.timeUnitName[g.scale];
}

}  // namespace

ModelInputs modelInputsOf(const CGalaxy& g) {
    ModelInputs in;
    in.shape = g.shape;
    in.stars = g.requestedStars;
    in.centralMass = g.centralMass;
    in.p = g.modelSetting;
    // A disc galaxy's own halo takes the place of the galaxy's dark matter,
    // which is that halo itself once the model has been generated rigid.
    const bool ownHalo = g.shape == GalaxyShape::DiscGalaxy && g.modelSetting.halo != ModelHalo::None;
    in.darkMatter = ownHalo ? DarkMatterModel::None : g.darkMatterSetting;
    in.darkRadius = g.darkRadiusSetting;
    in.darkFraction = g.darkFractionSetting;
    in.haloMass = g.haloMassSetting;
    in.haloRadius = g.haloRadiusSetting;
    in.haloConcentration = g.haloConcentrationSetting;
    in.gravity = g.gravity;
    return in;
}

std::string modelProblem(const ModelInputs& in) {
    const ModelParameters& p = in.p;
    if (!isModelShape(in.shape)) return "The shape is not one of the equilibrium models";
    if (in.stars < 1) return "Number of stars must be greater than 0";
    const double values[] = {in.centralMass, p.totalMass, p.scaleRadius, p.concentration, p.discMass,
                             p.discScaleLength, p.discHeight, p.toomreQ, p.bulgeMass, p.bulgeRadius,
                             p.haloMass, p.haloRadius, p.massCutoff};
    for (double v : values)
        if (!std::isfinite(v)) return "Every number of the model must be finite";
    if (in.centralMass < 0.0) return "Central mass cannot be less than 0";
    if (!(p.massCutoff > 0.0 && p.massCutoff < 1.0)) return "Mass cutoff must be greater than 0 and less than 1";
    if (in.shape != GalaxyShape::DiscGalaxy) {
        if (!(p.totalMass > 0.0)) return "Total mass must be greater than 0";
        if (!(p.scaleRadius > 0.0)) return "Scale radius must be greater than 0";
        if (in.shape == GalaxyShape::NFW && !(p.concentration > 0.0)) return "Concentration must be greater than 0";
    } else {
        if (p.discMass < 0.0) return "Disc mass cannot be less than 0";
        if (!(p.discScaleLength > 0.0)) return "Disc scale length must be greater than 0";
        if (p.discHeight < 0.0) return "Disc height cannot be less than 0";
        if (!(p.toomreQ > 0.0)) return "Toomre Q must be greater than 0";
        if (p.bulgeMass < 0.0) return "Bulge mass cannot be less than 0";
        if (p.bulgeMass > 0.0 && !(p.bulgeRadius > 0.0)) return "Bulge radius must be greater than 0";
        if (p.bulgeStars < kAutomaticStars) return "Bulge stars cannot be less than 0";
        if (p.halo < ModelHalo::None || p.halo > ModelHalo::Hernquist) return "Halo must be None, NFW or Hernquist";
        if (p.halo != ModelHalo::None) {
            if (p.haloMass < 0.0) return "Halo mass cannot be less than 0";
            if (p.haloMass == 0.0) return "Halo mass must be greater than 0 (or choose no halo)";
            if (!(p.haloRadius > 0.0)) return "Halo radius must be greater than 0";
            if (p.halo == ModelHalo::NFW && !(p.concentration > 0.0)) return "Concentration must be greater than 0";
        }
        if (p.haloStars < kAutomaticStars) return "Halo stars cannot be less than 0";
        if (p.discMass == 0.0 && p.bulgeMass == 0.0 && p.halo == ModelHalo::None && in.centralMass == 0.0 &&
            in.darkMatter == DarkMatterModel::None)
            return "The model has no mass: give the disc, the bulge, the halo or a central star a mass";
    }
    if ((in.darkMatter == DarkMatterModel::NFW || in.darkMatter == DarkMatterModel::Hernquist) &&
        (in.haloMass < 0.0 || !(in.haloRadius > 0.0) || !(in.haloConcentration > 0.0)))
        return "The dark matter halo needs a mass of 0 or more, and a radius and concentration greater than 0";
    const long long total = modelStarCounts(in.shape, in.stars, in.centralMass, p).total();
    if (total > INT_MAX || !CGalaxy::canHold(total))
        return "A galaxy of " + std::to_string(total) + " stars does not fit into memory";
    return {};
}

ModelCurves modelCurves(const ModelInputs& in, int points) {
    ModelCurves curves;
    if (!modelProblem(in).empty() || points < 2) return curves;
    const Plan plan = planOf(in, StarColor::White);
    const double G = plan.G;
    const double end = 1.5 * plan.frameRadius;
    std::optional<DiscTable> table;
    if (plan.disc && in.p.discMass > 0.0) table.emplace(plan);
    const DiscSpeed discSpeed(plan.disc ? in.p.discMass : 0.0, in.p.discScaleLength, in.p.discHeight);
    for (int k = 0; k < points; ++k) {
        const double R = end * (k + 1) / points;
        const double disc = discSpeed(R);
        double halo = plan.halo ? plan.halo->enclosedMass(R) : 0.0;
        if (plan.beside) halo += plan.beside->enclosedMass(R);
        halo += plan.total.uniformMassWithin(R);
        curves.radius.push_back(R);
        curves.vCircle.push_back(std::sqrt(G * (disc + plan.total.massWithoutDisc(R) / R)));
        curves.vDisc.push_back(std::sqrt(G * disc));
        curves.vBulge.push_back(std::sqrt(G * (plan.bulge ? plan.bulge->enclosedMass(R) : 0.0) / R));
        curves.vHalo.push_back(std::sqrt(G * halo / R));
        curves.vCentral.push_back(std::sqrt(G * in.centralMass / R));
        if (table) curves.toomreQ.push_back(table->toomreQ(R));
    }
    return curves;
}

ModelChoices modelChoices(const ModelInputs& in) { return choicesOf(planOf(in, StarColor::White)); }

void generateModel(CGalaxy& g, std::uint64_t seed) {
    const ModelInputs in = modelInputsOf(g);
    const ModelParameters& p = in.p;
    const Plan plan = planOf(in, g.starColor);
    g.historyCount = 0;

    if (plan.centralStar) {
        double zero[3] = {0.0, 0.0, 0.0};
        placeStar(g, 0, false, zero, zero, in.centralMass, plan.centralColour);
    }
    if (plan.disc) sampleDisc(g, plan, seed);
    for (const Population& pop : plan.spheres) samplePopulation(g, plan, pop, seed);

    const ModelChoices c = choicesOf(plan);
    if (g.softening == Softening::Shield) g.softeningSetting = g.softening = Softening::Spline;
    g.epsilonSetting = g.epsilon = c.epsilon;
    g.timeStepSetting = g.timeStep = c.timeStep;
    g.setBox(c.boxSize);
    if (plan.disc && p.halo != ModelHalo::None) {
        g.darkMatterSetting = g.darkMatter = plan.rigidHalo;
        g.haloMassSetting = g.haloMass = p.haloMass;
        g.haloRadiusSetting = g.haloRadius = p.haloRadius;
        g.haloConcentrationSetting = g.haloConcentration = p.concentration;
    }
    g.bulgeMassSetting = g.bulgeMass = plan.rigidBulgeMass;
    g.bulgeRadiusSetting = g.bulgeRadius = p.bulgeRadius;
    for (const Population& pop : plan.spheres)
        if (pop.stream == kHaloStream) g.hideColor[pop.colour] = 1;

    // Short enough for a line of the report; how each was chosen is in the
    // documentation.
    g.modelNote = "softening " + lengthText(g, c.epsilon) + ", step " + timeText(g, c.timeStep) + " (t_dyn " +
                  timeText(g, c.dynamicalTime) + "), box " + lengthText(g, c.boxSize);
}
