#pragma once

#include <vector>

#include "physics/kernel_builds.h"
#include "physics/workers.h"

// Puts the process's defaults back however a test ends.
struct KeepDefaults {
    int threads = workerThreads();
    ~KeepDefaults() {
        setWorkerThreads(threads);
        selectKernelBuild(bestKernelBuild());
    }
};

// The vectorised builds this machine runs.
inline std::vector<KernelBuild> vectorBuilds() {
    std::vector<KernelBuild> builds;
    for (KernelBuild k : {KernelBuild::Generic, KernelBuild::Avx2, KernelBuild::Avx512})
        if (k <= bestKernelBuild()) builds.push_back(k);
    return builds;
}
