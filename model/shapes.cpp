#include "model/shapes.h"

#include <cmath>

#include "model/galaxy.h"
#include "model/random.h"

namespace {

bool isEven(int a) { return a % 2 == 0; }

// Whether the galaxy gets a central star.
int centralStars(const CGalaxy& g) { return g.centralMass > 0.0 ? 1 : 0; }

// Largest grid side whose star count (a^dim, plus the central star when the
// side is even) does not exceed n.
int gridSide(int n, int dim, int c) {
    auto count = [&](int a) {
        long long p = 1;
        for (int k = 0; k < dim; ++k) p *= a;
        return p + (isEven(a) ? c : 0);
    };
    int a = 1;
    while (count(a) < n) ++a;
    if (count(a) > n) --a;
    return a;
}

// Grid coordinate of index i on a side of a points. A side of one point has no
// spacing; its single point sits at the centre of the box.
double gridCoordinate(int i, int a, double L, double h) {
    if (a < 2) return 0.0;
    return static_cast<double>(i) / static_cast<double>(a - 1) * L - h;
}

// A uniform coordinate across the box.
double draw(const CGalaxy& g, CRandom& rng) { return g.boxSize * 0.5 - g.boxSize * rng() / CRandom::kMax; }

}  // namespace

int placeSphere(CGalaxy& g, CRandom& rng) {
    const double h = g.boxSize * 0.5;
    for (int i = 0; i < g.numStars; ++i) {
        double x, y, z;
        do {
            x = draw(g, rng);
            y = draw(g, rng);
            z = draw(g, rng);
        } while (!(std::sqrt(x * x + y * y + z * z) < h));
        g.pos.x[i] = x;
        g.pos.y[i] = y;
        g.pos.z[i] = z;
    }
    return -1;
}

int placeDisc(CGalaxy& g, CRandom& rng) {
    const double h = g.boxSize * 0.5;
    for (int i = 0; i < g.numStars; ++i) {
        double x, y;
        do {
            x = draw(g, rng);
            y = draw(g, rng);
        } while (!(std::sqrt(x * x + y * y) < h));
        g.pos.x[i] = x;
        g.pos.y[i] = y;
        g.pos.z[i] = 0.0;
    }
    return -1;
}

int placeCube(CGalaxy& g, CRandom& rng) {
    for (int i = 0; i < g.numStars; ++i) {
        g.pos.x[i] = draw(g, rng);
        g.pos.y[i] = draw(g, rng);
        g.pos.z[i] = draw(g, rng);
    }
    return -1;
}

int placeGrid(CGalaxy& g, int dim) {
    const double L = g.boxSize;
    const double h = L * 0.5;
    const int c = centralStars(g);
    const int a = gridSide(g.numStars, dim, c);
    const int points = dim == 2 ? a * a : a * a * a;
    // An empty grid has no room for a central star either.
    const int extra = a > 0 && isEven(a) ? c : 0;
    g.numStars = points + extra;
    for (int l = 0; l < (dim == 3 ? a : 1); ++l)
        for (int j = 0; j < a; ++j)
            for (int i = 0; i < a; ++i) {
                const int s = i + j * a + l * a * a;
                g.pos.x[s] = gridCoordinate(i, a, L, h);
                g.pos.y[s] = gridCoordinate(j, a, L, h);
                g.pos.z[s] = dim == 3 ? gridCoordinate(l, a, L, h) : 0.0;
            }
    // An odd side has a grid point at the origin.
    return c == 1 && a > 0 && !isEven(a) ? (points - 1) / 2 : -1;
}

int placeRings(CGalaxy& g) {
    const double h = g.boxSize * 0.5;
    const int n = g.numStars;
    const int c = centralStars(g);
    int R = 1, P = 1;
    if (n - c > 2) {
        do {
            if (R == P)
                R *= 2;
            else
                P *= 2;
        } while (2 * R * P < n - c);
    }
    // With no room left beside the central star there is no ring at all.
    const int ringStars = n - c >= 1 ? R * P : 0;
    g.numStars = ringStars + (n >= 1 ? c : 0);
    for (int q = 1; q <= R && ringStars > 0; ++q)
        for (int p = 0; p < P; ++p) {
            const double t = static_cast<double>(p) / P * 6.28318;
            const double r = static_cast<double>(q) / R * h;
            const int s = p + (q - 1) * P;
            g.pos.x[s] = r * std::cos(t);
            g.pos.y[s] = r * std::sin(t);
            g.pos.z[s] = 0.0;
        }
    return -1;
}

int placeShape(CGalaxy& g, CRandom& rng) {
    switch (g.shape) {
    case GalaxyShape::Sphere:
        return placeSphere(g, rng);
    case GalaxyShape::Disc:
        return placeDisc(g, rng);
    case GalaxyShape::Grid2D:
        return placeGrid(g, 2);
    case GalaxyShape::Grid3D:
        return placeGrid(g, 3);
    case GalaxyShape::Rings:
        return placeRings(g);
    default:
        return placeCube(g, rng);
    }
}
