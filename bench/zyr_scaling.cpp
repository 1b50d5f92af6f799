// How a Barnes-Hut run grows with the galaxy: for spheres of 65,536, 262,144
// and 1,048,576 stars, the seconds to generate, to report (the first report,
// which takes the potential of the start velocities' walk, and a later one),
// per Euler and per Improved Euler step, to save and to load, and the peak
// memory; the fast kernels on the worker threads, then the plain star-by-star
// tree walk on one thread where it finishes in reasonable time, all in one
// run. Each size runs in a process of its own, so that its peak memory is its
// own. Run build/bench/zyr_scaling (never part of the tests).
//
//   zyr_scaling [--sizes N,N,...] [--plain-up-to N]
//
// --plain-up-to sets the largest galaxy measured with the plain walk (default
// 262144; 0 for none). ZYR_THREADS sets the threads of the fast rows.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/galaxy_file.h"
#include "model/galaxy.h"
#include "physics/kernel_builds.h"
#include "physics/methods.h"
#include "physics/workers.h"
#include "timing.h"

namespace {

struct Row {
    double generate, firstReport, report, eulerStep, improvedEulerStep, save, load;
};

bool measure(int stars, bool plain, Row& row) {
    if (plain) {
        selectKernelBuild(KernelBuild::Plain);
        setWorkerThreads(1);
    }
    CGalaxy& g = g_galaxy;
    g.requestedStars = stars;
    g.shape = GalaxyShape::Sphere;
    g.randomSeed = 1;
    g.forceSetting = ForceMethod::BarnesHut;
    g.integrationSetting = IntegrationMethod::Euler;
    bool fits = true;
    row.generate = seconds([&] { fits = g.newGalaxy(); });
    if (!fits) return false;
    row.firstReport = seconds([&] { g.bookkeeping(); });
    const int runs = plain || stars > 300000 ? 1 : 3;
    row.report = leastSeconds(runs, [&] { g.bookkeeping(); });
    row.eulerStep = leastSeconds(runs, [] { integrationStep(g_galaxy); });
    g.integrationMethod = IntegrationMethod::ImprovedEuler;
    row.improvedEulerStep = leastSeconds(runs, [] { integrationStep(g_galaxy); });

    const std::string path = "/tmp/zyr_scaling_" + std::to_string(getpid()) + ".zyr";
    bool saved = false, loaded = false;
    row.save = seconds([&] { saved = saveGalaxyFile(g, path).ok(); });
    row.load = seconds([&] { loaded = loadGalaxyFile(g, path).ok(); });
    std::remove(path.c_str());
    return saved && loaded;
}

// Measures one size in a child process; false when it failed. The parent has
// started no threads, so the child starts its own.
bool measureApart(int stars, bool plain, Row& row, long& peakKilobytes) {
    int channel[2];
    if (pipe(channel) != 0) return false;
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        close(channel[0]);
        Row measured{};
        const bool ok = measure(stars, plain, measured);
        const bool written = ok && write(channel[1], &measured, sizeof measured) == sizeof measured;
        _exit(written ? 0 : 1);
    }
    close(channel[1]);
    const bool got = read(channel[0], &row, sizeof row) == sizeof row;
    close(channel[0]);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    peakKilobytes = usage.ru_maxrss;
    return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool readSizes(const char* text, std::vector<int>& sizes) {
    sizes.clear();
    for (const char* p = text; *p;) {
        char* end = nullptr;
        const long n = std::strtol(p, &end, 10);
        if (end == p || n < 2 || n > 100000000) return false;
        sizes.push_back(static_cast<int>(n));
        p = *end == ',' ? end + 1 : end;
        if (*end != ',' && *end != '\0') return false;
    }
    return !sizes.empty();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {65536, 262144, 1048576};
    long plainUpTo = 262144;
    for (int a = 1; a < argc; ++a) {
        const std::string option = argv[a];
        if (option == "--sizes" && a + 1 < argc && readSizes(argv[a + 1], sizes)) {
            ++a;
        } else if (option == "--plain-up-to" && a + 1 < argc) {
            plainUpTo = std::strtol(argv[++a], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: zyr_scaling [--sizes N,N,...] [--plain-up-to N]\n");
            return 2;
        }
    }

    std::printf("Barnes-Hut sphere, seed 1; seconds, and the peak memory of the process\n");
    std::printf("%9s %-10s %9s %9s %9s %9s %9s %9s %9s %8s %6s\n", "stars", "walk", "generate", "1st rep.",
                "report", "Euler", "Imp.Euler", "save", "load", "peak MB", "B/star");
    struct Measured {
        int stars;
        Row row;
    };
    std::vector<Measured> fast;
    for (const bool plain : {false, true}) {
        for (const int stars : sizes) {
            if (plain && stars > plainUpTo) continue;
            Row row{};
            long peak = 0;
            if (!measureApart(stars, plain, row, peak)) {
                std::printf("%9d %-10s failed\n", stars, plain ? "plain" : "fast");
                continue;
            }
            std::printf("%9d %-10s %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %8.0f %6.0f\n", stars,
                        plain ? "plain" : "fast", row.generate, row.firstReport, row.report, row.eulerStep,
                        row.improvedEulerStep, row.save, row.load, peak / 1024.0, peak * 1024.0 / stars);
            std::fflush(stdout);
            if (!plain) fast.push_back({stars, row});
        }
    }

    // The run costs as ratios between rows of this one run.
    if (fast.empty()) return 1;
    std::printf("\nRatios of the fast rows (the costs of a zyr-sim run, process start left out):\n");
    for (const Measured& m : fast) {
        const Row& r = m.row;
        std::printf("%9d stars: generation + first report = %.2f Euler steps; generate, save, load = %.2f, %.2f, "
                    "%.2f Improved Euler steps; generation, 10 steps and both reports = %.1f steps\n",
                    m.stars, (r.generate + r.firstReport) / r.eulerStep, r.generate / r.improvedEulerStep,
                    r.save / r.improvedEulerStep, r.load / r.improvedEulerStep,
                    (r.generate + r.firstReport + r.report) / r.improvedEulerStep + 10.0);
    }
    const Measured& first = fast.front();
    for (const Measured& m : fast)
        if (m.stars != first.stars)
            std::printf("Improved Euler step of %d stars / of %d stars = %.1f (stars x %.0f)\n", m.stars, first.stars,
                        m.row.improvedEulerStep / first.row.improvedEulerStep,
                        static_cast<double>(m.stars) / first.stars);
    return 0;
}
