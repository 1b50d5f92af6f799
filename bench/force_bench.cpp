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
// --quick measures the 65,536-star sphere alone. The direct sum here is the
// bench's own (vectorised, on the worker threads, exact square roots); for
// the larger sphere it runs over a sample of the stars, and its time is
// scaled to all of them. ZYR_THREADS sets the threads.
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
#include "physics/methods.h"
#include "physics/simd.h"
#include "physics/softened_tree.h"
#include "physics/softening.h"
#include "physics/workers.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kEpsilon = 0.001;
// Stars of the larger sphere whose pulls the direct sum gives.
constexpr int kSample = 16384;

template <class Work>
double seconds(Work&& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

template <class Work>
double leastSeconds(int runs, Work&& work) {
    double least = seconds(work);
    for (int k = 1; k < runs; ++k) least = std::min(least, seconds(work));
    return least;
}

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

using V = Simd<8>::V;

// The pulls on the stars of `targets` from all stars, eight targets at a time
// against each star in turn; pairs within the spline's reach take
// SofteningKernel's own formula lane by lane.
[[gnu::target("avx512f")]] void directBlock(const CGalaxy& g, const std::vector<int>& targets, int block,
                                            double* out) {
    const int n = g.numStars;
    const SofteningKernel kernel = SofteningKernel::of(g);
    const double h = kSplineReach * kernel.epsilon;
    const double* x = g.pos.x;
    const double* y = g.pos.y;
    const double* z = g.pos.z;
    double tx[8], ty[8], tz[8];
    int ids[8];
    for (int l = 0; l < 8; ++l) {
        const int k = std::min(block * 8 + l, static_cast<int>(targets.size()) - 1);
        ids[l] = targets[k];
        tx[l] = x[ids[l]];
        ty[l] = y[ids[l]];
        tz[l] = z[ids[l]];
    }
    V px, py, pz;
    load(px, tx);
    load(py, ty);
    load(pz, tz);
    V ax = {}, ay = {}, az = {};
    for (int j = 0; j < n; ++j) {
        const V dx = x[j] - px, dy = y[j] - py, dz = z[j] - pz;
        const V r2 = dx * dx + dy * dy + dz * dz;
        V r = r2;
        squareRoot<8>(r);
        V k = g.gravity * g.mass[j] / (r2 * r);
        const auto near = r < h;
        long any[8];
        std::memcpy(any, &near, sizeof any);
        for (int l = 0; l < 8; ++l)
            if (any[l]) k[l] = ids[l] == j ? 0.0 : g.gravity * g.mass[j] * kernel.pull(r2[l]);
        ax += k * dx;
        ay += k * dy;
        az += k * dz;
    }
    for (int l = 0; l < 8 && block * 8 + l < static_cast<int>(targets.size()); ++l) {
        out[3 * (block * 8 + l)] = ax[l];
        out[3 * (block * 8 + l) + 1] = ay[l];
        out[3 * (block * 8 + l) + 2] = az[l];
    }
}

std::vector<double> directPulls(const CGalaxy& g, const std::vector<int>& targets) {
    std::vector<double> out(3 * targets.size());
    const int blocks = (static_cast<int>(targets.size()) + 7) / 8;
    parallelFor(blocks, [&](int b) { directBlock(g, targets, b, out.data()); });
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
    std::vector<int> targets;
    const int stride = n > 65536 ? n / kSample : 1;
    for (int i = 0; i < n; i += stride) targets.push_back(i);
    std::vector<double> direct;
    const double directTime =
        seconds([&] { direct = directPulls(g, targets); }) * static_cast<double>(n) / targets.size();
    const std::string sampled =
        stride > 1 ? " (timed on a sample of " + std::to_string(targets.size()) + " stars, scaled)" : "";
    std::printf("%8d stars: direct sum %.3f s%s (%.0f stars/s)\n", n, directTime, sampled.c_str(), n / directTime);
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
    if (!__builtin_cpu_supports("avx512f")) {
        std::fprintf(stderr, "zyr_force_bench: the direct sum needs AVX-512\n");
        return 1;
    }
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
