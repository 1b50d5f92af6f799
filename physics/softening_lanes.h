#pragma once

#include <type_traits>

#include "physics/simd.h"
#include "physics/softening.h"

// SofteningKernel's pull and depth lane by lane for the vectorised sums, with
// its operations in its order: a lane gives the bits the scalar kernel gives
// for the same pair, so a vectorised sum differs from a plain one only by the
// order it adds the pairs in (and the grid's vectorised pass not at all).

// The kernel's lengths as the lanes use them, worked out once per sum.
struct SofteningLanes {
    double eps2 = 0.0;  // Plummer: epsilon^2
    double h = 0.0;     // Spline: the reach kSplineReach * epsilon, and its cube
    double h3 = 0.0;

    SofteningLanes() = default;
    explicit SofteningLanes(const SofteningKernel& k)
        : eps2(k.epsilon * k.epsilon), h(kSplineReach * k.epsilon), h3(h * h * h) {}
};

template <class M>
[[gnu::always_inline]] inline bool anyLane(const M& m) {
    constexpr int kW = sizeof(M) / sizeof(m[0]);
    bool any = false;
    for (int e = 0; e < kW; ++e) any |= m[e] != 0;
    return any;
}

// SofteningKernel{kKind, epsilon}.pull(r2). The spline's polynomials are
// worked out only when a lane lies within its reach; the others keep the
// Newtonian value.
template <int kKind, class V>
[[gnu::always_inline]] inline void lanePull(const V& r2, const SofteningLanes& s, V& pull) {
    constexpr int kW = sizeof(V) / sizeof(double);
    if constexpr (kKind == Softening::Plummer) {
        const V s2 = r2 + s.eps2;
        V root = s2;
        squareRoot<kW>(root);
        pull = 1.0 / (s2 * root);
    } else {
        V r = r2;
        squareRoot<kW>(r);
        const V newton = 1.0 / (r2 * r);
        const auto inside = r < s.h;
        pull = newton;
        if (!anyLane(inside)) return;
        const V u = r / s.h;
        const V core = (32.0 / 3.0 + u * u * (32.0 * u - 38.4)) / s.h3;
        const V shell =
            (64.0 / 3.0 - 48.0 * u + 38.4 * u * u - 32.0 / 3.0 * u * u * u - 1.0 / 15.0 / (u * u * u)) / s.h3;
        pull = inside ? (u < 0.5 ? core : shell) : newton;
    }
}

// SofteningKernel{kKind, epsilon}.depth(r2).
template <int kKind, class V>
[[gnu::always_inline]] inline void laneDepth(const V& r2, const SofteningLanes& s, V& depth) {
    constexpr int kW = sizeof(V) / sizeof(double);
    if constexpr (kKind == Softening::Plummer) {
        V root = r2 + s.eps2;
        squareRoot<kW>(root);
        depth = 1.0 / root;
    } else {
        V r = r2;
        squareRoot<kW>(r);
        const V newton = 1.0 / r;
        const auto inside = r < s.h;
        depth = newton;
        if (!anyLane(inside)) return;
        const V u = r / s.h;
        const V core = (2.8 - u * u * (16.0 / 3.0 + u * u * (6.4 * u - 9.6))) / s.h;
        const V shell = (3.2 - 1.0 / 15.0 / u - u * u * (32.0 / 3.0 + u * (-16.0 + u * (9.6 - 32.0 / 15.0 * u)))) / s.h;
        depth = inside ? (u < 0.5 ? core : shell) : newton;
    }
}

// Calls fn with the law of a sum as a compile-time constant: the shield, or
// the softening kind as SofteningKernel reads it (any kind but Plummer is the
// spline).
template <class Fn>
void withLaw(int kind, Fn&& fn) {
    switch (kind) {
    case Softening::Shield:
        fn(std::integral_constant<int, Softening::Shield>());
        break;
    case Softening::Plummer:
        fn(std::integral_constant<int, Softening::Plummer>());
        break;
    default:
        fn(std::integral_constant<int, Softening::Spline>());
        break;
    }
}
