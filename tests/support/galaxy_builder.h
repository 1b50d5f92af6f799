#pragma once

#include <vector>

#include "model/galaxy.h"

// Stars for tests, installed into a galaxy through reset as a file load does.
struct TestStar {
    double m, x, y, z, vx = 0.0, vy = 0.0, vz = 0.0;
    int color = 0;
};

inline bool installStars(CGalaxy& g, const std::vector<TestStar>& stars) {
    const int n = static_cast<int>(stars.size());
    Vec3Arrays p(n), v(n);
    std::vector<double> m(n);
    std::vector<int> c(n);
    for (int i = 0; i < n; ++i) {
        const TestStar& s = stars[i];
        m[i] = s.m;
        c[i] = s.color;
        p.x[i] = s.x;
        p.y[i] = s.y;
        p.z[i] = s.z;
        v.x[i] = s.vx;
        v.y[i] = s.vy;
        v.z[i] = s.vz;
    }
    return g.reset(n, p, v, m.data(), c.data());
}
