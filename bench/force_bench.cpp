// Speed and accuracy of the softened Barnes-Hut tree against the direct sum
// with the same softening, in one run: Plummer spheres of 65,536 and 262,144
// stars (scale radius 1, G = 1, equal masses summing to 1, spline softening
// with epsilon = 0.001), for the geometric opening at angle 0.4 and the
// error-driven opening at 3e-3, 1e-3 and 3e-4. For each: seconds per
// evaluation (the least of a few), stars per second, and the median, 99th
// percentile and largest relative error of the pull |a_tree - a_direct| /
// |a_direct|. Then the Leapfrog step of 1,048,576 stars over the step of
// 65,536 (spline, forceError 1e-3) and the peak memory of the process. Run
// build/bench/zyr_force_bench (never part of the tests).
//
//   zyr_force_bench [--quick] [--no-million]
//
// --quick measures the 65,536-star sphere alone. The direct sum is Zyr's own
// with the same softening (softenedSumAccelerations, the fast kernels).
// ZYR_THREADS sets the threads.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "model/galaxy.h"
#include "physics/direct_sum.h"
#include "physics/methods.h"
#include "physics/softened_tree.h"
#include "physics/softening.h"
#include "physics/workers.h"
#include "timing.h"

namespace {

constexpr double kEpsilon = 0.001;


// A Plummer sphere of scale radius 1, at rest, from a fixed seed.
void plummerSphere(CGalaxy& g, int n) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    Vec3Arrays p(n), v(n);
    std::vector<double> m(n, 1.0 / n);
    std::vector<int> colour(n, 0);
    for (int i = 0; i < n; ++i) {
        double u = 0.0;
        while (u == 0.0) u = uniform(random);
        const double r = 1.0 / std::sqrt(std::pow(u, -2.0 / 3.0) - 1.0);
        const double cosTheta = 2.0 * uniform(random) - 1.0;
        const double phi = 2.0 * M_PI * uniform(random);
        const double s = std::sqrt(1.0 - cosTheta * cosTheta);
        p.x[i] = r * s * std::cos(phi);
        p.y[i] = r * s * std::sin(phi);
        p.z[i] = r * cosTheta;
        v.x[i] = v.y[i] = v.z[i] = 0.0;
    }
    g.reset(n, p, v, m.data(), colour.data());
    g.gravity = 1.0;
    g.softening = Softening::Spline;
    g.epsilon = kEpsilon;
    g.forceMethod = ForceMethod::BarnesHut;
}


// Zyr's own direct sum with the galaxy's softening, the fast kernels on the
// worker threads: the pull of every star, x, y, z per star.
std::vector<double> directPulls(const CGalaxy& g) {
    const int n = g.numStars;
    std::vector<double> ax(n), ay(n), az(n), out(3 * static_cast<std::size_t>(n));
    softenedSumAccelerations(n, g.pos.x, g.pos.y, g.pos.z, g.mass, SofteningKernel::of(g), g.gravity, ax.data(),
                             ay.data(), az.data());
    for (int i = 0; i < n; ++i) {
        out[3 * i] = ax[i];
        out[3 * i + 1] = ay[i];
        out[3 * i + 2] = az[i];
    }
    return out;
}

struct Errors {
    double median, p99, max;
};

Errors errorsOf(const std::vector<double>& tree, const std::vector<double>& direct, const std::vector<int>& targets) {
    std::vector<double> e(targets.size());
    for (std::size_t k = 0; k < targets.size(); ++k) {
        const int i = targets[k];
        const double* d = &direct[3 * k];
        const double* t = &tree[3 * static_cast<std::size_t>(i)];
        e[k] = std::hypot(t[0] - d[0], t[1] - d[1], t[2] - d[2]) / std::hypot(d[0], d[1], d[2]);
    }
    std::sort(e.begin(), e.end());
    const auto at = [&](double q) { return e[static_cast<std::size_t>(q * (e.size() - 1))]; };
    return {at(0.5), at(0.99), e.back()};
}

void measureSize(int n) {
    CGalaxy g;
    plummerSphere(g, n);
    std::vector<int> targets(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) targets[i] = i;
    std::vector<double> direct;
    const double directTime = leastSeconds(2, [&] { direct = directPulls(g); });
    std::printf("%8d stars: direct sum %.3f s (%.0f stars/s)\n", n, directTime, n / directTime);
    std::printf("  %-22s %9s %11s %9s %9s %9s %9s\n", "opening", "s/eval", "stars/s", "median", "99th pct",
                "max", "x direct");
    struct Setting {
        const char* name;
        double angle, error;
    };
    const Setting settings[] = {
        {"angle 0.4", 0.4, 0.0}, {"forceError 3e-3", 0.4, 3e-3}, {"forceError 1e-3", 0.4, 1e-3},
        {"forceError 3e-4", 0.4, 3e-4}};
    std::vector<double> tree(3 * static_cast<std::size_t>(n));
    for (const Setting& s : settings) {
        g.openingAngle = s.angle;
        g.forceError = s.error;
        std::vector<double> ax(n), ay(n), az(n);
        const double t = leastSeconds(3, [&] {
            softenedTreeForces(g, n, g.pos.x, g.pos.y, g.pos.z, ax.data(), ay.data(), az.data(), nullptr);
        });
        for (int i = 0; i < n; ++i) {
            tree[3 * i] = ax[i];
            tree[3 * i + 1] = ay[i];
            tree[3 * i + 2] = az[i];
        }
        const Errors e = errorsOf(tree, direct, targets);
        std::printf("  %-22s %9.4f %11.0f %9.2e %9.2e %9.2e %9.1f\n", s.name, t, n / t, e.median, e.p99, e.max,
                    directTime / t);
        std::fflush(stdout);
    }
}

// Seconds of one Leapfrog step after the first (whose start accelerations
// cost an evaluation of their own).
double leapfrogStep(int n) {
    CGalaxy g;
    plummerSphere(g, n);
    g.integrationMethod = IntegrationMethod::Leapfrog;
    g.forceError = 1e-3;
    g.timeStep = 1e-4;
    integrationStep(g);
    return leastSeconds(2, [&] { integrationStep(g); });
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false, million = true;
    for (int a = 1; a < argc; ++a) {
        const std::string option = argv[a];
        if (option == "--quick") {
            quick = true;
        } else if (option == "--no-million") {
            million = false;
        } else {
            std::fprintf(stderr, "usage: zyr_force_bench [--quick] [--no-million]\n");
            return 2;
        }
    }
    std::printf("Softened tree against the direct sum: Plummer sphere, spline epsilon %.3g, %d threads\n", kEpsilon,
                workerThreads());
    measureSize(65536);
    if (!quick) measureSize(262144);
    if (million && !quick) {
        const double small = leapfrogStep(65536);
        const double large = leapfrogStep(1048576);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("Leapfrog step, forceError 1e-3: 65,536 stars %.3f s, 1,048,576 stars %.3f s, ratio %.1f; "
                    "peak memory %.0f MB\n",
                    small, large, large / small, usage.ru_maxrss / 1024.0);
    }
    return 0;
}
