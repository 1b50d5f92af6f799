#pragma once

#include <algorithm>
#include <chrono>

// Wall-clock seconds of one run of work.
template <class Work>
double seconds(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The least of a few runs: the machine is shared, and other work only ever
// adds time.
template <class Work>
double leastSeconds(int runs, Work&& work) {
    double least = seconds(work);
    for (int k = 1; k < runs; ++k) least = std::min(least, seconds(work));
    return least;
}
