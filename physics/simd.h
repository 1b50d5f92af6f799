#pragma once

#include <cstring>

// GCC's generic vectors of W doubles, for kernels written once and compiled
// for each instruction set by [[gnu::target]] functions that inline them.
// Every operation on them is the IEEE operation lane by lane, so all builds
// give the same bits.
template <int W>
struct Simd;
template <>
struct Simd<2> {
    typedef double V __attribute__((vector_size(16)));
    using Mask = decltype(V{} < V{});  // all bits of a lane set where true
};
template <>
struct Simd<4> {
    typedef double V __attribute__((vector_size(32)));
    using Mask = decltype(V{} < V{});  // all bits of a lane set where true
};
template <>
struct Simd<8> {
    typedef double V __attribute__((vector_size(64)));
    using Mask = decltype(V{} < V{});  // all bits of a lane set where true
};

template <class V>
[[gnu::always_inline]] inline void load(V& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
template <class V>
[[gnu::always_inline]] inline void store(double* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}
// Lane by lane, which the vectoriser turns into one vector square root.
template <int W, class V>
[[gnu::always_inline]] inline void squareRoot(V& v) {
    for (int e = 0; e < W; ++e) v[e] = __builtin_sqrt(v[e]);
}

// Lanes 0..lanes-1 of an array of vectors from values[stars[l]], the other
// lanes 0.
template <class V, int K>
[[gnu::always_inline]] inline void gatherLanes(V (&out)[K], const double* values, const int* stars, int lanes) {
    double lane[K * (sizeof(V) / sizeof(double))] = {};
    for (int l = 0; l < lanes; ++l) lane[l] = values[stars[l]];
    std::memcpy(out, lane, sizeof out);
}

// values[stars[l]] from lanes 0..lanes-1 of an array of vectors. The lanes
// are read one by one, which keeps the vectors in registers before.
template <class V, int K>
[[gnu::always_inline]] inline void scatterLanes(const V (&in)[K], double* values, const int* stars, int lanes) {
    constexpr int kW = sizeof(V) / sizeof(double);
    double lane[K * kW];
    for (int v = 0; v < K; ++v)
        for (int l = 0; l < kW; ++l) lane[v * kW + l] = in[v][l];
    for (int l = 0; l < lanes; ++l) values[stars[l]] = lane[l];
}
