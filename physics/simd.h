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
