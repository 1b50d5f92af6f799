// What an HDF5 snapshot of a large galaxy costs: the seconds to save and to
// load a generated sphere, and the peak memory of each beside the galaxy's
// own (its arrays as allocated, and as resident after generation). The peak
// is the kernel's high-water mark, reset before each measurement. Run
// build/bench/zyr_snapshot_io (never part of the tests).
//
//   zyr_snapshot_io [STARS] [FOLDER]
//
// STARS defaults to 1,048,576; the snapshot is written into FOLDER (/tmp
// unless given) and removed afterwards.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "io/any_galaxy_file.h"
#include "model/galaxy.h"

namespace {

using Clock = std::chrono::steady_clock;

// A field of /proc/self/status in kilobytes ("VmRSS", "VmHWM").
long statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

// Lets the high-water mark start again from the memory resident now.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

// Seconds taken, and the peak resident memory during the work beyond what
// was resident before it, in megabytes.
template <class Work>
bool measure(Work&& work, double& seconds, double& extraMegabytes) {
    const long before = statusKilobytes("VmRSS");
    if (!resetPeak()) return false;
    const Clock::time_point start = Clock::now();
    const bool ok = work();
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    extraMegabytes = (statusKilobytes("VmHWM") - before) / 1024.0;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const long stars = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1048576;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    if (stars < 1 || stars > 100000000 || argc > 3) {
        std::fprintf(stderr, "usage: zyr_snapshot_io [STARS] [FOLDER]\n");
        return 2;
    }
    const std::string path = folder + "/zyr_snapshot_io_" + std::to_string(getpid()) + ".hdf5";

    CGalaxy& g = g_galaxy;
    g.requestedStars = static_cast<int>(stars);
    g.randomSeed = 1;
    const long empty = statusKilobytes("VmRSS");
    if (!g.newGalaxy()) {
        std::fprintf(stderr, "zyr_snapshot_io: %ld stars do not fit into memory\n", stars);
        return 1;
    }
    const double allocated = static_cast<double>(stars) * CGalaxy::bytesPerStar() / (1024.0 * 1024.0);
    const double resident = (statusKilobytes("VmRSS") - empty) / 1024.0;

    double saveSeconds = 0, saveExtra = 0, loadSeconds = 0, loadExtra = 0;
    const bool saved = measure([&] { return saveAnyGalaxyFile(g, path).ok(); }, saveSeconds, saveExtra);
    // Loaded into an empty galaxy, as zyr-sim --load does in a new process.
    g.releaseArrays();
    const bool loaded = measure([&] { return loadAnyGalaxyFile(g, path).ok(); }, loadSeconds, loadExtra);
    std::remove(path.c_str());
    if (!saved || !loaded || g.numStars != stars) {
        std::fprintf(stderr, "zyr_snapshot_io: the snapshot could not be saved and loaded in %s\n", folder.c_str());
        return 1;
    }

    std::printf("sphere of %ld stars; galaxy: %.0f MB allocated, %.0f MB resident after generation\n", stars,
                allocated, resident);
    std::printf("%-5s %8s %14s %12s\n", "", "seconds", "peak extra MB", "x allocated");
    std::printf("%-5s %8.3f %14.0f %12.2f\n", "save", saveSeconds, saveExtra, saveExtra / allocated);
    std::printf("%-5s %8.3f %14.0f %12.2f\n", "load", loadSeconds, loadExtra, loadExtra / allocated);
    return 0;
}
