// How fast the desktop program runs a large Barnes-Hut galaxy with its
// information window open, beside the bare steps that zyr-sim takes of the
// same galaxy, in one run: the window's share of zyr-sim's steps per second.
// Runs on Qt's offscreen platform unless another is chosen; the window draws
// into the same back buffers either way.
//
//   build/bench/zyr_window_pace [STARS [STEPS]]     (default 65536 stars, 20 steps)
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/zyr_app.h"
#include "model/galaxy.h"
#include "physics/methods.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int stars = argc > 1 ? std::atoi(argv[1]) : 65536;
    const int steps = argc > 2 ? std::atoi(argv[2]) : 20;
    if (stars < 1 || steps < 10) {
        std::fputs("usage: zyr_window_pace [STARS [STEPS >= 10]]\n", stderr);
        return 2;
    }

    CGalaxy& g = g_galaxy;
    g.requestedStars = stars;
    g.randomSeed = 1;
    g.forceSetting = ForceMethod::BarnesHut;
    CZyrApp app;
    if (!app.InitInstance()) return 1;
    app.OnShowInfo();
    QApplication::processEvents();

    // zyr-sim's steps: the integrator alone, reports left out of the rate.
    const Clock::time_point bareStart = Clock::now();
    for (int k = 0; k < steps; ++k) integrationStep(g_galaxy);
    const double bare = steps / secondsSince(bareStart);

    // The window's: one idle call per step, each repainting the galaxy view,
    // every tenth the information window with its report.
    app.OnRun();
    const Clock::time_point windowStart = Clock::now();
    for (long k = 1; k <= steps; ++k) app.OnIdle(k);
    const double window = steps / secondsSince(windowStart);
    app.OnStop();

    std::printf("%d stars, Barnes-Hut, Improved Euler, %d steps each\n", g.numStars, steps);
    std::printf("  zyr-sim's steps      %8.2f steps/s\n", bare);
    std::printf("  window, info open    %8.2f steps/s   %.0f%% of zyr-sim's\n", window, 100.0 * window / bare);
    return 0;
}
