#include "physics/kernel_builds.h"

#include <algorithm>
#include <atomic>

namespace {

KernelBuild detectBest() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return KernelBuild::Avx512;
    if (__builtin_cpu_supports("avx2")) return KernelBuild::Avx2;
#endif
    return KernelBuild::Generic;
}

constexpr int kBest = -1;
std::atomic<int> s_selected{kBest};

}  // namespace

KernelBuild bestKernelBuild() {
    static const KernelBuild best = detectBest();
    return best;
}

void selectKernelBuild(KernelBuild build) {
    s_selected.store(static_cast<int>(std::min(build, bestKernelBuild())), std::memory_order_relaxed);
}

KernelBuild selectedKernelBuild() {
    const int selected = s_selected.load(std::memory_order_relaxed);
    return selected == kBest ? bestKernelBuild() : static_cast<KernelBuild>(selected);
}
