// The equilibrium models as they run: the spheres' virial ratio and
// Lagrangian radii over ten dynamical times, the disc galaxy's Q, half-mass
// radius and escaping stars over a gigayear, and what generating a million
// stars costs against one force evaluation.
//
//   zyr_equilibrium_bench [plummer] [hernquist] [disc] [million]   (all when none is named)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "model/galaxy.h"
#include "physics/equilibrium.h"
#include "physics/forces.h"
#include "physics/methods.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The radii of the given shares of the mass of stars first .. end - 1, about
// their centre of mass, spherical or (in the plane) cylindrical.
std::vector<double> lagrangianRadii(const CGalaxy& g, int first, int end, const std::vector<double>& shares,
                                    bool cylindrical) {
    double m = 0.0, c[3] = {};
    for (int i = first; i < end; ++i) {
        m += g.mass[i];
        c[0] += g.mass[i] * g.pos.x[i];
        c[1] += g.mass[i] * g.pos.y[i];
        c[2] += g.mass[i] * g.pos.z[i];
    }
    std::vector<std::pair<double, double>> rm;
    for (int i = first; i < end; ++i) {
        const double dx = g.pos.x[i] - c[0] / m, dy = g.pos.y[i] - c[1] / m, dz = g.pos.z[i] - c[2] / m;
        rm.push_back({std::sqrt(dx * dx + dy * dy + (cylindrical ? 0.0 : dz * dz)), g.mass[i]});
    }
    std::sort(rm.begin(), rm.end());
    std::vector<double> radii;
    double sum = 0.0;
    std::size_t k = 0;
    for (const auto& [r, mass] : rm) {
        sum += mass;
        while (k < shares.size() && sum >= shares[k] * m) {
            radii.push_back(r);
            ++k;
        }
    }
    return radii;
}

void setUp(CGalaxy& g, int shape, int stars) {
    g.shape = shape;
    g.requestedStars = stars;
    g.randomSeed = 1;
    g.integrationSetting = IntegrationMethod::Leapfrog;
    g.forceSetting = ForceMethod::BarnesHut;
    g.forceErrorSetting = 1e-3;
    g.newGalaxy();
}

void sphere(int shape, const char* name) {
    CGalaxy g;
    setUp(g, shape, 8192);
    const ModelChoices c = modelChoices(modelInputsOf(g));
    g.exactEnergy = 1;
    g.bookkeeping();
    std::printf("%s, 8192 stars: %s\n", name, g.modelNote.c_str());
    std::printf("  virial ratio 2K/|W| at the start: %.4f\n", 2.0 * g.kineticEnergy / std::fabs(g.potentialEnergy));
    const std::vector<double> shares = {0.1, 0.5, 0.9};
    const std::vector<double> start = lagrangianRadii(g, 0, g.numStars, shares, false);
    constexpr int kEvery = 5;
    const int window = std::max(1, static_cast<int>(std::lround(c.dynamicalTime / g.timeStep / kEvery)));
    const int steps = 10 * window * kEvery;
    // Each radius at every fifth step, against the start, and its mean over
    // each dynamical time against the first one's: a tenth of the mass is
    // 819 stars, whose comings and goings across the radius alone move it
    // by a few per cent from one moment to the next.
    double worst[3] = {}, sum[3] = {}, firstMean[3] = {}, worstMean[3] = {}, total[3] = {}, squares[3] = {};
    int inWindow = 0, samples = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int s = 1; s <= steps; ++s) {
        integrationStep(g);
        if (s % kEvery != 0) continue;
        const std::vector<double> now = lagrangianRadii(g, 0, g.numStars, shares, false);
        ++inWindow;
        ++samples;
        for (int k = 0; k < 3; ++k) {
            worst[k] = std::max(worst[k], std::fabs(now[k] / start[k] - 1.0));
            sum[k] += now[k];
            total[k] += now[k];
            squares[k] += now[k] * now[k];
        }
        if (inWindow < window) continue;
        for (int k = 0; k < 3; ++k) {
            const double mean = sum[k] / inWindow;
            if (samples == window) firstMean[k] = mean;
            worstMean[k] = std::max(worstMean[k], std::fabs(mean / firstMean[k] - 1.0));
            sum[k] = 0.0;
        }
        inWindow = 0;
    }
    std::fflush(stdout);
    std::printf("  %d steps (10 dynamical times of %.3g) in %.1f s; largest change of the Lagrangian radii,\n"
                "  at any moment against the start and as means over each dynamical time against the first;\n"
                "  the scatter of the moments about the mean of the run:\n",
                steps, c.dynamicalTime, seconds(t0));
    for (int k = 0; k < 3; ++k) {
        const double mean = total[k] / samples;
        const double scatter = std::sqrt(std::max(0.0, squares[k] / samples - mean * mean)) / mean;
        std::printf("    r%.0f = %.4g: %.2f %%, means %.2f %%, scatter %.2f %%\n", 100.0 * shares[k], start[k],
                    100.0 * worst[k], 100.0 * worstMean[k], 100.0 * scatter);
    }
}

void disc() {
    CGalaxy g;
    setUp(g, GalaxyShape::DiscGalaxy, 20000);
    const ModelParameters& p = g.modelSetting;
    const int first = g.centralMass > 0.0 ? 1 : 0, end = first + g.requestedStars;
    std::printf("Disc galaxy, %d stars (%d in the disc), Q = %.2f: %s\n", g.numStars, g.requestedStars, p.toomreQ,
                g.modelNote.c_str());
    const ModelCurves curves = modelCurves(modelInputsOf(g), 240);
    // Q of the stars in the ring about 2.4 R_d, with kappa from the model's
    // circular speed.
    const double rd = p.discScaleLength, R0 = 2.4 * rd;
    const auto kappaAt = [&](double R) {
        std::size_t k = 1;
        while (k + 2 < curves.radius.size() && curves.radius[k] < R) ++k;
        const auto v2 = [&](std::size_t j) { return curves.vCircle[j] * curves.vCircle[j]; };
        const double dv2 = (v2(k + 1) - v2(k - 1)) / (curves.radius[k + 1] - curves.radius[k - 1]);
        return std::sqrt(dv2 / curves.radius[k] + 2.0 * v2(k) / (curves.radius[k] * curves.radius[k]));
    };
    double mass = 0.0, sum = 0.0;
    for (int i = first; i < end; ++i) {
        const double R = std::hypot(g.pos.x[i], g.pos.y[i]);
        if (R < 2.2 * rd || R >= 2.6 * rd) continue;
        const double vR = (g.pos.x[i] * g.vel.x[i] + g.pos.y[i] * g.vel.y[i]) / R;
        mass += g.mass[i];
        sum += vR * vR * g.mass[i];
    }
    const double surface = mass / (std::numbers::pi * (2.6 * 2.6 - 2.2 * 2.2) * rd * rd);
    const double q = std::sqrt(sum / mass) * kappaAt(R0) / (3.36 * g.gravity * surface);
    std::printf("  measured Q at 2.4 R_d: %.3f (%.1f %% off)\n", q, 100.0 * (q / p.toomreQ - 1.0));

    const double half0 = lagrangianRadii(g, first, end, {0.5}, true)[0];
    const auto beyond = [&](int i) {
        return std::sqrt(g.pos.x[i] * g.pos.x[i] + g.pos.y[i] * g.pos.y[i] + g.pos.z[i] * g.pos.z[i]) > 5.0 * rd;
    };
    std::vector<char> inside(static_cast<std::size_t>(end));
    int insideAtStart = 0;
    for (int i = first; i < end; ++i) insideAtStart += inside[i] = !beyond(i);
    const int steps = static_cast<int>(std::ceil(1000.0 / g.timeStep));
    double worst = 0.0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int s = 1; s <= steps; ++s) {
        integrationStep(g);
        if (s % 50 != 0 && s != steps) continue;
        worst = std::max(worst, std::fabs(lagrangianRadii(g, first, end, {0.5}, true)[0] / half0 - 1.0));
        if (s % 500 == 0) {
            std::printf("  %.0f Myr: half-mass radius %.4g\n", g.time, lagrangianRadii(g, first, end, {0.5}, true)[0]);
            std::fflush(stdout);
        }
    }
    int left = 0, outside = 0;
    for (int i = first; i < end; ++i) {
        left += inside[i] && beyond(i);
        outside += beyond(i);
    }
    // Stars near 5 R_d cross it on their epicycles all the time; what leaves
    // is the growth of the share beyond it.
    const double total = end - first;
    std::printf("  1 Gyr = %d steps in %.1f s: disc half-mass radius %.4g, largest change %.2f %%;\n"
                "  disc stars beyond 5 R_d: %.2f %% at the start, %.2f %% after 1 Gyr (%.2f %% of them left);\n"
                "  of those within 5 R_d at the start, %.2f %% are beyond it at the end\n",
                steps, seconds(t0), half0, 100.0 * worst, 100.0 * (total - insideAtStart) / total,
                100.0 * outside / total, 100.0 * (outside - (total - insideAtStart)) / total,
                100.0 * left / insideAtStart);
}

void million() {
    CGalaxy g;
    g.shape = GalaxyShape::DiscGalaxy;
    g.requestedStars = 1000000 / 3.25;  // with a quarter in the bulge and twice the disc in the halo
    g.randomSeed = 1;
    g.forceMethod = g.forceSetting = ForceMethod::BarnesHut;
    g.forceErrorSetting = 1e-3;
    const auto t0 = std::chrono::steady_clock::now();
    g.newGalaxy();
    const double made = seconds(t0);
    std::vector<double> ax(g.numStars), ay(g.numStars), az(g.numStars);
    const auto t1 = std::chrono::steady_clock::now();
    starAccelerations(g, ax.data(), ay.data(), az.data());
    const double force = seconds(t1);
    std::printf("Disc galaxy of %d stars: generated in %.3f s, one Barnes-Hut force evaluation (force error 1e-3) "
                "%.3f s: generation costs %.2f evaluations\n",
                g.numStars, made, force, made / force);
}

}  // namespace

int main(int argc, char** argv) {
    const auto wanted = [&](const char* name) {
        if (argc == 1) return true;
        for (int k = 1; k < argc; ++k)
            if (std::strcmp(argv[k], name) == 0) return true;
        return false;
    };
    if (wanted("plummer")) sphere(GalaxyShape::Plummer, "Plummer");
    if (wanted("hernquist")) sphere(GalaxyShape::Hernquist, "Hernquist");
    if (wanted("disc")) disc();
    if (wanted("million")) million();
}
