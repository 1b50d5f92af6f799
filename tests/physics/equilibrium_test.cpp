// The equilibrium models against their analytic profiles and the Jeans
// equation, the disc's Q and thickness, the refusals of bad parameters, and
// the rigid halos' pull against their potential.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "model/galaxy.h"
#include "physics/equilibrium.h"
#include "physics/forces.h"

namespace {

constexpr double kPi = std::numbers::pi;

// The profiles written out here, apart from the program's: enclosed mass
// over the total, density up to a factor, and the radial dispersion of the
// isotropic Jeans equation.
struct Reference {
    int shape;
    double (*massShare)(double x);
    double (*density)(double x);  // for the Jeans integral where there is no closed form
    double (*sigma2)(double x);   // sigma_r^2 a / (G M), or nullptr for the integral
};

double plummerShare(double x) { return x * x * x / std::pow(1.0 + x * x, 1.5); }
double plummerSigma2(double x) { return 1.0 / (6.0 * std::sqrt(1.0 + x * x)); }
double hernquistShare(double x) { return x * x / ((1.0 + x) * (1.0 + x)); }
double hernquistSigma2(double x) {  // Hernquist (1990), eq. 10
    const double s = x + 1.0;
    return (12.0 * x * s * s * s * std::log(s / x) - x / s * (25.0 + 52.0 * x + 42.0 * x * x + 12.0 * x * x * x)) /
           12.0;
}
// NFW with c = 10 and its taper beyond x = 10 (r_d = x_v / 10, the slope kept).
constexpr double kC = 10.0;
double nfwShape(double x) { return std::log(1.0 + x) - x / (1.0 + x); }
double nfwDensity(double x) {
    if (x <= kC) return 1.0 / (x * (1.0 + x) * (1.0 + x));
    const double e = -(1.0 + 3.0 * kC) / (1.0 + kC) + 10.0;
    return nfwDensity(kC) * std::pow(x / kC, e) * std::exp(-(x - kC) / (0.1 * kC));
}
// Mass within x in units of 4 pi rho0 r_s^3, by the closed form inside and
// Simpson's rule on the taper.
double nfwMass(double x) {
    if (x <= kC) return nfwShape(x);
    const int n = 2000;
    const double h = (x - kC) / n;
    double sum = 0.0;
    for (int k = 0; k <= n; ++k) {
        const double y = kC + k * h;
        sum += (k == 0 || k == n ? 1.0 : (k % 2 ? 4.0 : 2.0)) * y * y * nfwDensity(y);
    }
    return nfwShape(kC) + sum * h / 3.0;
}
double nfwShare(double x) { return nfwMass(x) / nfwMass(kC + 40.0 * 0.1 * kC); }

// sigma_r^2 rho = int_r^inf rho G M / r'^2 dr', in units of G M_all / r_s.
double jeansSigma2(const Reference& ref, double x) {
    const int n = 4000;
    const double lo = std::log(x), hi = std::log(1e3 * x);
    const double h = (hi - lo) / n;
    double sum = 0.0;
    for (int k = 0; k <= n; ++k) {
        const double y = std::exp(lo + k * h);
        sum += (k == 0 || k == n ? 1.0 : (k % 2 ? 4.0 : 2.0)) * ref.density(y) * ref.massShare(y) / y;  // dy = y dln y
    }
    return sum * h / 3.0 / ref.density(x);
}

const Reference kSpheres[] = {
    {GalaxyShape::Plummer, plummerShare, nullptr, plummerSigma2},
    {GalaxyShape::Hernquist, hernquistShare, nullptr, hernquistSigma2},
    {GalaxyShape::NFW, nfwShare, nfwDensity, nullptr},
};

void generate(CGalaxy& g, int shape, int stars) {
    g.shape = shape;
    g.requestedStars = stars;
    g.randomSeed = 11;
    ASSERT_TRUE(g.newGalaxy());
}

double radius(const CGalaxy& g, int i) {
    return std::sqrt(g.pos.x[i] * g.pos.x[i] + g.pos.y[i] * g.pos.y[i] + g.pos.z[i] * g.pos.z[i]);
}

}  // namespace

// M(r) to 4 standard errors of the sample, sigma_r within 8% of the Jeans
// solution in bins from 0.3 to 10 scale radii (20,000 stars).
TEST(EquilibriumModels, SpheresFollowTheirProfilesAndTheJeansEquation) {
    for (const Reference& ref : kSpheres) {
        SCOPED_TRACE(ref.shape);
        CGalaxy g;
        generate(g, ref.shape, 20000);
        const ModelParameters& p = g.modelSetting;
        const double a = p.scaleRadius, cut = p.massCutoff;
        for (double x : {0.5, 1.0, 2.0, 5.0}) {
            int inside = 0;
            for (int i = 0; i < g.numStars; ++i) inside += radius(g, i) < x * a;
            EXPECT_NEAR(inside / double(g.numStars), ref.massShare(x) / cut, 0.015) << "x " << x;
        }
        const double totalMass = ref.shape == GalaxyShape::NFW ? p.totalMass * nfwShare(40.0) / nfwShare(kC)
                                                               : p.totalMass;
        const double bins[] = {0.3, 0.6, 1.2, 2.5, 5.0, 10.0};
        for (int b = 0; b + 1 < 6; ++b) {
            double sum = 0.0;
            int count = 0;
            for (int i = 0; i < g.numStars; ++i) {
                const double r = radius(g, i);
                if (r < bins[b] * a || r >= bins[b + 1] * a) continue;
                const double vr = (g.pos.x[i] * g.vel.x[i] + g.pos.y[i] * g.vel.y[i] + g.pos.z[i] * g.vel.z[i]) / r;
                sum += vr * vr;
                ++count;
            }
            const double x = std::sqrt(bins[b] * bins[b + 1]);
            const double s2 = ref.sigma2 ? ref.sigma2(x) : jeansSigma2(ref, x);
            const double expected = std::sqrt(s2 * g.gravity * totalMass / a);
            EXPECT_NEAR(std::sqrt(sum / count) / expected, 1.0, 0.08) << "bin at " << x << " a, " << count << " stars";
        }
    }
}

// Q measured in the ring about 2.4 scale lengths (surface density and
// sigma_R of the stars, kappa from the analytic circular speed), within
// 15%; the sech^2 thickness by the median |z| = atanh(1/2) z0, within 5%.
TEST(EquilibriumModels, TheDiscHasTheAskedQAndThickness) {
    CGalaxy g;
    generate(g, GalaxyShape::DiscGalaxy, 20000);
    const ModelParameters& p = g.modelSetting;
    const double rd = p.discScaleLength, G = g.gravity;
    const auto v2 = [&](double R) {
        const double y = R / (2.0 * rd);
        const double disc = 2.0 * p.discMass / rd * y * y *
                            (std::cyl_bessel_i(0.0, y) * std::cyl_bessel_k(0.0, y) -
                             std::cyl_bessel_i(1.0, y) * std::cyl_bessel_k(1.0, y));
        const double bulge = p.bulgeMass * R * R / ((R + p.bulgeRadius) * (R + p.bulgeRadius));
        const double halo = p.haloMass * nfwShape(R / p.haloRadius) / nfwShape(p.concentration);
        return G * (disc + (bulge + halo) / R);
    };
    const double R0 = 2.4 * rd, h = 1e-3 * R0;
    const double kappa = std::sqrt((v2(R0 + h) - v2(R0 - h)) / (2.0 * h) / R0 + 2.0 * v2(R0) / (R0 * R0));
    const int first = g.centralMass > 0.0 ? 1 : 0;
    double mass = 0.0, sum = 0.0;
    int count = 0;
    std::vector<double> heights;
    for (int i = first; i < first + g.requestedStars; ++i) {
        heights.push_back(std::fabs(g.pos.z[i]));
        const double R = std::hypot(g.pos.x[i], g.pos.y[i]);
        if (R < 2.2 * rd || R >= 2.6 * rd) continue;
        const double vR = (g.pos.x[i] * g.vel.x[i] + g.pos.y[i] * g.vel.y[i]) / R;
        mass += g.mass[i];
        sum += vR * vR;
        ++count;
    }
    const double sigma = mass / (kPi * (2.6 * 2.6 - 2.2 * 2.2) * rd * rd);
    const double q = std::sqrt(sum / count) * kappa / (3.36 * G * sigma);
    EXPECT_NEAR(q / p.toomreQ, 1.0, 0.15) << count << " stars in the ring";
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    EXPECT_NEAR(heights[heights.size() / 2] / (std::atanh(0.5) * p.discHeight), 1.0, 0.05);
}

TEST(EquilibriumModels, BadParametersAreRefusedWithAReason) {
    struct Row {
        void (*change)(ModelInputs&);
        const char* reason;
    };
    const Row rows[] = {
        {[](ModelInputs& in) { in.p.discMass = -1.0; }, "Disc mass cannot be less than 0"},
        {[](ModelInputs& in) { in.p.toomreQ = 0.0; }, "Toomre Q must be greater than 0"},
        {[](ModelInputs& in) { in.p.haloMass = -5e11; }, "Halo mass cannot be less than 0"},
        {[](ModelInputs& in) { in.p.massCutoff = 1.0; }, "Mass cutoff must be greater than 0 and less than 1"},
        {[](ModelInputs& in) { in.p.haloStars = 2000000000; }, "A galaxy of 2000025000 stars does not fit into memory"},
        {[](ModelInputs& in) {
             in.p.discMass = in.p.bulgeMass = 0.0;
             in.p.halo = ModelHalo::None;
         },
         "The model has no mass"},
    };
    CGalaxy g;
    g.shape = GalaxyShape::DiscGalaxy;
    g.requestedStars = 20000;
    EXPECT_EQ(modelProblem(modelInputsOf(g)), "");
    for (const Row& row : rows) {
        ModelInputs in = modelInputsOf(g);
        row.change(in);
        EXPECT_EQ(modelProblem(in).rfind(row.reason, 0), 0u) << modelProblem(in);
    }
}

// The rigid NFW and Hernquist halos and bulge pull with G M(<r) / r^2 and
// their potential is the one whose slope that pull is.
TEST(EquilibriumModels, RigidHalosPullAsTheirPotentialSlopes) {
    for (int kind : {DarkMatterModel::NFW, DarkMatterModel::Hernquist}) {
        CGalaxy g;
        g.shape = GalaxyShape::Sphere;
        g.requestedStars = 2;
        g.starMass = 0.0;
        g.darkMatterSetting = kind;
        g.bulgeMassSetting = 1e10;
        ASSERT_TRUE(g.allocate());
        const double r = 30.0, h = 1e-4;
        g.pos.x[0] = r - h;
        g.pos.x[1] = r + h;
        std::vector<double> ax(2), ay(2), az(2), phi(2);
        starAccelerations(g, ax.data(), ay.data(), az.data());
        starPotentials(g, phi.data());
        const double pull = -0.5 * (ax[0] + ax[1]);
        EXPECT_NEAR((phi[1] - phi[0]) / (2.0 * h) / pull, 1.0, 1e-6) << kind;
        const double x = r / g.haloRadius;
        const double haloMass = kind == DarkMatterModel::NFW ? g.haloMass * nfwShape(x) / nfwShape(g.haloConcentration)
                                                             : g.haloMass * x * x / ((1.0 + x) * (1.0 + x));
        const double bulgeMass = g.bulgeMass * r * r / ((r + g.bulgeRadius) * (r + g.bulgeRadius));
        EXPECT_NEAR(pull / (g.gravity * (haloMass + bulgeMass) / (r * r)), 1.0, 1e-6) << kind;
    }
}
