// Steps per second and pair interactions per second of the core, for the
// galaxies students run. Run build/bench/zyr_bench (never part of the tests).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/methods.h"
#include "view/galaxy_renderer.h"
#include "view/raster.h"

namespace {

void setUpGalaxy(int stars, int integrator, int force = ForceMethod::Direct) {
    g_galaxy.requestedStars = stars;
    g_galaxy.integrationSetting = integrator;
    g_galaxy.forceSetting = force;
    g_galaxy.randomSeed = 1;
    if (!g_galaxy.newGalaxy()) std::abort();
}

// One force evaluation; the counter is the direct-sum equivalent N(N-1)/2.
void BM_Forces(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    setUpGalaxy(n, IntegrationMethod::ImprovedEuler, static_cast<int>(st.range(1)));
    CGalaxy& g = g_galaxy;
    for (auto _ : st) {
        ComputeDerivatives(g.stateLen, g.time, g.state, g.deriv);
        benchmark::ClobberMemory();
    }
    const double pairs = 0.5 * n * (n - 1.0);
    st.counters["pairs_per_s"] = benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Forces)->ArgsProduct({{512, 2048}, {ForceMethod::Direct}})->Unit(benchmark::kMillisecond);

// Steps per second as the simulation driver takes them, per integrator.
void BM_Step(benchmark::State& st) {
    setUpGalaxy(static_cast<int>(st.range(0)), static_cast<int>(st.range(1)));
    for (auto _ : st) {
        integrationStep();
        benchmark::ClobberMemory();
    }
    st.counters["steps_per_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    st.SetLabel(kIntegrators[st.range(1)].name);
}
BENCHMARK(BM_Step)->ArgsProduct({{512}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step)->ArgsProduct({{2048}, {1}})->Unit(benchmark::kMillisecond);

// The report's pass over all pairs, run at every repaint of the information window.
void BM_Bookkeeping(benchmark::State& st) {
    setUpGalaxy(static_cast<int>(st.range(0)), IntegrationMethod::ImprovedEuler);
    for (auto _ : st) {
        g_galaxy.bookkeeping();
        benchmark::DoNotOptimize(g_galaxy.totalEnergy);
    }
}
BENCHMARK(BM_Bookkeeping)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

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
