// Steps per second and pair interactions per second of the core, for the
// galaxies students run, next to the plain pair loop in the same run. Run
// build/bench/zyr_bench (never part of the tests); ZYR_THREADS sets the number
// of threads of the rows that do not name one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/galaxy.h"
#include "physics/barnes_hut.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "physics/methods.h"
#include "physics/particle_mesh.h"
#include "physics/workers.h"
#include "render/galaxy_renderer.h"
#include "render/raster.h"

namespace {

void setUpGalaxy(int stars, int integrator, int force = ForceMethod::Direct) {
    g_galaxy.requestedStars = stars;
    g_galaxy.integrationSetting = integrator;
    g_galaxy.forceSetting = force;
    g_galaxy.randomSeed = 1;
    if (!g_galaxy.newGalaxy()) std::abort();
}

// The threads a row gets when it names none, read before any row changes them.
int defaultThreads() {
    static const int threads = workerThreads();
    return threads;
}

const char* kernelsName(KernelBuild k) {
    switch (k) {
    case KernelBuild::Plain:
        return "plain loop";
    case KernelBuild::Generic:
        return "SSE2";
    case KernelBuild::Avx2:
        return "AVX2";
    default:
        return "AVX-512";
    }
}

// How a row computes the forces: the vectorised kernels of an instruction set
// on the threads, or the plain loops on one thread.
struct Variant {
    const char* name;
    int force;
    bool plain;  // the plain loop instead of the best kernels
    bool avx2;   // the AVX2 kernels, as on a processor without AVX-512
    int softening = Softening::Shield;
};
enum : int {
    kPlain,
    kDirect,
    kDirectAvx2,
    kBarnesHutPlain,
    kBarnesHut,
    kBarnesHutAvx2,
    kParticleMeshPlain,
    kParticleMesh,
    kDirectPlummer,
    kDirectSpline
};
constexpr Variant kVariants[] = {
    {"direct", ForceMethod::Direct, true, false},
    {"direct", ForceMethod::Direct, false, false},
    {"direct", ForceMethod::Direct, false, true},
    {"barnes-hut", ForceMethod::BarnesHut, true, false},
    {"barnes-hut", ForceMethod::BarnesHut, false, false},
    {"barnes-hut", ForceMethod::BarnesHut, false, true},
    {"particle-mesh", ForceMethod::ParticleMesh, true, false},
    {"particle-mesh", ForceMethod::ParticleMesh, false, false},
    {"direct, Plummer softening", ForceMethod::Direct, false, false, Softening::Plummer},
    {"direct, spline softening", ForceMethod::Direct, false, false, Softening::Spline},
};

// Arguments of a force row: stars, variant, threads (0: the default).
// Installs the row's galaxy and kernels, and puts the defaults back at the end
// so that the rows after it run as the program does.
class ForceRow {
public:
    explicit ForceRow(benchmark::State& st) : stars_(static_cast<int>(st.range(0))) {
        const Variant& v = kVariants[st.range(1)];
        const int threads = st.range(2) > 0 ? static_cast<int>(st.range(2)) : defaultThreads();
        const KernelBuild kernels = v.plain  ? KernelBuild::Plain
                                    : v.avx2 ? KernelBuild::Avx2
                                             : bestKernelBuild();
        if (v.avx2 && bestKernelBuild() < KernelBuild::Avx2) {
            st.SkipWithError("this processor has no AVX2");
            return;
        }
        // The galaxy is generated with the fast direct sum and kept while the
        // rows of one size follow each other.
        if (g_galaxy.numStars != stars_) setUpGalaxy(stars_, IntegrationMethod::ImprovedEuler);
        g_galaxy.forceMethod = v.force;
        g_galaxy.softening = v.softening;
        g_galaxy.integrationMethod = IntegrationMethod::ImprovedEuler;
        selectKernelBuild(kernels);
        setWorkerThreads(v.plain ? 1 : threads);
        std::string label = v.name;
        label += std::string(", ") + kernelsName(kernels);
        label += ", " + std::to_string(v.plain ? 1 : threads) + (threads == 1 || v.plain ? " thread" : " threads");
        st.SetLabel(label);
    }
    ForceRow(const ForceRow&) = delete;
    ForceRow& operator=(const ForceRow&) = delete;
    ~ForceRow() {
        selectKernelBuild(bestKernelBuild());
        setWorkerThreads(defaultThreads());
    }

    // The direct-sum equivalent of one evaluation, N(N-1)/2.
    double pairs() const { return 0.5 * stars_ * (stars_ - 1.0); }

private:
    int stars_;
};

// One force evaluation.
void BM_Forces(benchmark::State& st) {
    const ForceRow row(st);
    CGalaxy& g = g_galaxy;
    for (auto _ : st) {
        ComputeDerivatives(g, g.stateLen, g.time, g.state, g.deriv);
        benchmark::ClobberMemory();
    }
    st.counters["pairs_per_s"] = benchmark::Counter(row.pairs(), benchmark::Counter::kIsIterationInvariantRate);
}

// Improved Euler steps as the simulation driver takes them: two evaluations.
void BM_ImprovedEuler(benchmark::State& st) {
    const ForceRow row(st);
    for (auto _ : st) {
        integrationStep(g_galaxy);
        benchmark::ClobberMemory();
    }
    st.counters["steps_per_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    st.counters["pairs_per_s"] =
        benchmark::Counter(2.0 * row.pairs(), benchmark::Counter::kIsIterationInvariantRate);
}

void forceRows(benchmark::internal::Benchmark* b) {
    for (const int stars : {512, 2048, 8192, 65536})
        for (const int variant : {kPlain, kDirect, kDirectAvx2, kBarnesHutPlain, kBarnesHut, kBarnesHutAvx2,
                                  kParticleMeshPlain, kParticleMesh})
            b->Args({stars, variant, 0});
    // How the fast direct sum grows with the threads.
    for (const int stars : {512, 8192}) b->Args({stars, kDirect, 1});
    // The softened sums (with the galaxy's default epsilon) beside the shield's.
    for (const int stars : {8192, 65536})
        for (const int variant : {kDirectPlummer, kDirectSpline}) b->Args({stars, variant, 0});
}
// A row of 65536 stars with the plain loop takes seconds per iteration: the
// minimum time is reached after one.
BENCHMARK(BM_Forces)->Apply(forceRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImprovedEuler)->Apply(forceRows)->Unit(benchmark::kMillisecond);

// Massless test stars cost a row each and nothing as sources: one direct
// evaluation of a galaxy of which only the first `massive` stars keep their
// mass, beside the same galaxy with all of them (massive = stars) in the same
// run. Arguments: stars, massive.
void BM_TestStars(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0)), massive = static_cast<int>(st.range(1));
    // Generated by the tree, whose start velocities take a fraction of a
    // direct evaluation of this size.
    setUpGalaxy(n, IntegrationMethod::ImprovedEuler, ForceMethod::BarnesHut);
    CGalaxy& g = g_galaxy;
    g.forceMethod = ForceMethod::Direct;
    for (int i = massive; i < n; ++i) g.mass[i] = 0.0;
    for (auto _ : st) {
        ComputeDerivatives(g, g.stateLen, g.time, g.state, g.deriv);
        benchmark::ClobberMemory();
    }
    st.SetLabel(std::to_string(massive) + " massive, " + std::to_string(n - massive) + " massless");
}
BENCHMARK(BM_TestStars)->Args({100064, 64})->Args({100064, 100064})->Unit(benchmark::kMillisecond);

// Every integrator at the default size, with direct summation.
void BM_Step(benchmark::State& st) {
    setUpGalaxy(static_cast<int>(st.range(0)), static_cast<int>(st.range(1)));
    for (auto _ : st) {
        integrationStep(g_galaxy);
        benchmark::ClobberMemory();
    }
    st.counters["steps_per_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    st.SetLabel(kIntegrators[st.range(1)].name);
}
BENCHMARK(BM_Step)->ArgsProduct({{512}, {0, 1, 2, 3, 4, 5}})->Unit(benchmark::kMillisecond);

// The report's pass over all pairs, run at every repaint of the information
// window; arguments: stars, 1 for the plain loop.
void BM_Bookkeeping(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    setUpGalaxy(n, IntegrationMethod::ImprovedEuler);
    const bool plain = st.range(1) != 0;
    selectKernelBuild(plain ? KernelBuild::Plain : bestKernelBuild());
    for (auto _ : st) {
        g_galaxy.bookkeeping();
        benchmark::DoNotOptimize(g_galaxy.totalEnergy);
    }
    selectKernelBuild(bestKernelBuild());
    st.SetLabel(kernelsName(plain ? KernelBuild::Plain : bestKernelBuild()));
    st.counters["pairs_per_s"] =
        benchmark::Counter(0.5 * n * (n - 1.0), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Bookkeeping)->ArgsProduct({{512, 2048, 8192}, {1, 0}})->Unit(benchmark::kMillisecond);

// Accuracy of the tree and the grid against direct summation, for a sphere:
// the relative error |a - a_direct| / |a_direct| per star, as its root mean
// square, median, 99th percentile and maximum.
void BM_ForceError(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const int force = static_cast<int>(st.range(1));
    setUpGalaxy(n, IntegrationMethod::ImprovedEuler);
    CGalaxy& g = g_galaxy;
    const auto accelerations = [&](int method) {
        g.forceMethod = method;
        ComputeDerivatives(g, g.stateLen, g.time, g.state, g.deriv);
        return std::vector<double>(g.deriv + 3 * g.capacity(), g.deriv + 6 * g.capacity());
    };
    std::vector<double> errors;
    for (auto _ : st) {
        const std::vector<double> exact = accelerations(ForceMethod::Direct);
        const std::vector<double> approx = accelerations(force);
        const std::size_t cap = static_cast<std::size_t>(g.capacity());
        errors.assign(static_cast<std::size_t>(n), 0.0);
        for (std::size_t i = 0; i < errors.size(); ++i) {
            const double e =
                std::hypot(approx[i] - exact[i], approx[cap + i] - exact[cap + i], approx[2 * cap + i] - exact[2 * cap + i]);
            errors[i] = e / std::hypot(exact[i], exact[cap + i], exact[2 * cap + i]);
        }
    }
    g.forceMethod = ForceMethod::Direct;
    double squares = 0.0;
    for (const double e : errors) squares += e * e;
    std::sort(errors.begin(), errors.end());
    st.counters["rms"] = std::sqrt(squares / n);
    st.counters["median"] = errors[errors.size() / 2];
    st.counters["p99"] = errors[errors.size() * 99 / 100];
    st.counters["max"] = errors.back();
    st.SetLabel(force == ForceMethod::BarnesHut ? "barnes-hut vs direct" : "particle-mesh vs direct");
}
BENCHMARK(BM_ForceError)
    ->ArgsProduct({{16384}, {ForceMethod::BarnesHut, ForceMethod::ParticleMesh}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Accuracy of the report's potential from the tree and the grid against the
// exact pass, for a sphere: the relative error of each star's potential, as
// its median, 99th percentile and maximum, and that of the potential energy.
// Every star lies inside the tree and the grid, so its share of the energy is
// half its potential.
void BM_PotentialError(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const int force = static_cast<int>(st.range(1));
    setUpGalaxy(n, IntegrationMethod::ImprovedEuler, force);
    CGalaxy& g = g_galaxy;
    std::vector<double> shield(n), exact(n, 0.0), share(n);
    for (int i = 0; i < n; ++i) shield[i] = ShieldRadius(g.gravity * g.mass[i], g.timeStep, g.shieldModifier);
    // The pair rule of the exact pass, both ways round: flat inside the
    // larger shield radius.
    parallelForEach(n, [&](int i) {
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double r = std::hypot(g.pos.x[j] - g.pos.x[i], g.pos.y[j] - g.pos.y[i], g.pos.z[j] - g.pos.z[i]);
            exact[i] += g.gravity * g.mass[j] / std::max(r, std::max(shield[i], shield[j]));
        }
    });
    std::vector<double> errors(n);
    double energy = 0.0, exactEnergy = 0.0;
    for (auto _ : st) {
        if (force == ForceMethod::BarnesHut)
            barnesHutPotentials(g, n, g.pos.x, g.pos.y, g.pos.z, share.data());
        else
            particleMeshPotentials(g, n, g.pos.x, g.pos.y, g.pos.z, share.data());
    }
    for (int i = 0; i < n; ++i) {
        errors[i] = std::fabs(2.0 * share[i] - exact[i]) / exact[i];
        energy -= g.mass[i] * share[i];
        exactEnergy -= 0.5 * g.mass[i] * exact[i];
    }
    std::sort(errors.begin(), errors.end());
    st.counters["median"] = errors[n / 2];
    st.counters["p99"] = errors[n * 99 / 100];
    st.counters["max"] = errors.back();
    st.counters["energy"] = std::fabs(energy - exactEnergy) / std::fabs(exactEnergy);
    st.SetLabel(force == ForceMethod::BarnesHut ? "tree potential vs exact" : "mesh potential vs exact");
}
BENCHMARK(BM_PotentialError)
    ->ArgsProduct({{16384}, {ForceMethod::BarnesHut, ForceMethod::ParticleMesh}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One frame of the galaxy window: projection, colouring, the depth sort and
// painting into a 1000 x 1000 picture, with the default view options.
void BM_Render(benchmark::State& st) {
    setUpGalaxy(static_cast<int>(st.range(0)), IntegrationMethod::ImprovedEuler);
    Raster raster;
    if (!raster.resize(1000, 1000)) std::abort();
    for (auto _ : st) {
        renderGalaxy(g_galaxy, raster, true);
        benchmark::DoNotOptimize(raster.data());
        benchmark::ClobberMemory();
    }
    st.counters["frames_per_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Render)->Arg(16384)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
