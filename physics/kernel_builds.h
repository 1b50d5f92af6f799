#pragma once

// The builds of the force kernels, one choice for direct summation's pair
// sums, the flat octree's walk and the particle mesh's pass. Plain runs the
// plain forms each fast kernel is checked against: the pair loops in pair
// order on the calling thread (directSumReference and its like for the
// potentials), COctreeNode's walk, CParticleMesh's star by star. The others
// are the vectorised, threaded kernels, narrowest vectors first: Generic uses
// the vectors every processor of the architecture has (SSE2 on x86-64). The
// vectorised builds add the same numbers in the same order, so they give the
// same bits.
enum class KernelBuild { Plain = 0, Generic = 1, Avx2 = 2, Avx512 = 3 };

// The widest build this processor runs; it is used unless another is selected.
KernelBuild bestKernelBuild();
// For tests and the benchmark; a build the processor cannot run is replaced
// by the best one it can.
void selectKernelBuild(KernelBuild build);
KernelBuild selectedKernelBuild();

// Of the three builds of a kernel that simd_builds.inc compiles, the one
// selected (the generic one for Plain).
template <class Kernel>
Kernel selectedBuild(Kernel generic, Kernel avx2, Kernel avx512) {
    switch (selectedKernelBuild()) {
    case KernelBuild::Avx512:
        return avx512;
    case KernelBuild::Avx2:
        return avx2;
    default:
        return generic;
    }
}
