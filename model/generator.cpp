#include <cmath>
#include <ctime>
#include <utility>

#include "model/galaxy.h"
#include "model/random.h"
#include "physics/forces.h"

namespace {

bool isEven(int a) { return a % 2 == 0; }

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

void swapPositions(CGalaxy& g, int i, int j) {
    std::swap(g.pos.x[i], g.pos.x[j]);
    std::swap(g.pos.y[i], g.pos.y[j]);
    std::swap(g.pos.z[i], g.pos.z[j]);
}

}  // namespace

void CGalaxy::generate() {
    CRandom rng(randomSeed ? *randomSeed : static_cast<unsigned>(std::time(nullptr)));
    historyCount = 0;
    const double L = boxSize;
    const double h = L * 0.5;
    const int n = numStars;
    const int c = centralMass > 0.0 ? 1 : 0;
    auto draw = [&] { return h - L * rng() / CRandom::kMax; };

    // Set when the central star is a grid point that already lies at the origin.
    int centreIndex = -1;

    switch (shape) {
    case GalaxyShape::Sphere:
        for (int i = 0; i < n; ++i) {
            double x, y, z;
            do {
                x = draw();
                y = draw();
                z = draw();
            } while (!(std::sqrt(x * x + y * y + z * z) < h));
            pos.x[i] = x;
            pos.y[i] = y;
            pos.z[i] = z;
        }
        break;
    case GalaxyShape::Disc:
        for (int i = 0; i < n; ++i) {
            double x, y;
            do {
                x = draw();
                y = draw();
            } while (!(std::sqrt(x * x + y * y) < h));
            pos.x[i] = x;
            pos.y[i] = y;
            pos.z[i] = 0.0;
        }
        break;
    case GalaxyShape::Grid2D:
    case GalaxyShape::Grid3D: {
        const int dim = shape == GalaxyShape::Grid2D ? 2 : 3;
        const int a = gridSide(n, dim, c);
        const int points = dim == 2 ? a * a : a * a * a;
        // An empty grid has no room for a central star either.
        const int extra = a > 0 && isEven(a) ? c : 0;
        numStars = points + extra;
        for (int l = 0; l < (dim == 3 ? a : 1); ++l)
            for (int j = 0; j < a; ++j)
                for (int i = 0; i < a; ++i) {
                    const int s = i + j * a + l * a * a;
                    pos.x[s] = gridCoordinate(i, a, L, h);
                    pos.y[s] = gridCoordinate(j, a, L, h);
                    pos.z[s] = dim == 3 ? gridCoordinate(l, a, L, h) : 0.0;
                }
        if (c == 1 && a > 0 && !isEven(a)) centreIndex = (points - 1) / 2;
        break;
    }
    case GalaxyShape::Rings: {
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
        numStars = ringStars + (n >= 1 ? c : 0);
        for (int q = 1; q <= R && ringStars > 0; ++q)
            for (int p = 0; p < P; ++p) {
                const double t = static_cast<double>(p) / P * 6.28318;
                const double r = static_cast<double>(q) / R * h;
                const int s = p + (q - 1) * P;
                pos.x[s] = r * std::cos(t);
                pos.y[s] = r * std::sin(t);
                pos.z[s] = 0.0;
            }
        break;
    }
    default:  // Cube, and any value out of range
        for (int i = 0; i < n; ++i) {
            pos.x[i] = draw();
            pos.y[i] = draw();
            pos.z[i] = draw();
        }
        break;
    }

    if (c == 1 && numStars > 0) {
        if (centreIndex >= 0) {
            swapPositions(*this, centreIndex, 0);
        } else {
            const int last = numStars - 1;
            pos.x[last] = pos.y[last] = pos.z[last] = 0.0;
            swapPositions(*this, last, 0);
        }
    }

    for (int i = 0; i < numStars; ++i) {
        vel.x[i] = vel.y[i] = vel.z[i] = 0.0;
        mass[i] = (i == 0 && c == 1) ? centralMass : starMass;
        color[i] = starColor;
    }
    startVelocities(rotationInUse);
}

void CGalaxy::startVelocities(double rotation) {
    // The first report of a tree run needs the potential of the very tree
    // walked here: the walk gives it beside the pulls, for a fraction of what
    // a walk of its own would cost.
    PotentialMemo& memo = potentialMemo_;
    memo = {};
    if (reportPotentialSource() == PotentialSource::Tree) {
        const int n = numStars;
        memo.shares.resize(static_cast<std::size_t>(n));
        memo.x.assign(pos.x, pos.x + n);
        memo.y.assign(pos.y, pos.y + n);
        memo.z.assign(pos.z, pos.z + n);
        memo.m.assign(mass, mass + n);
        memo.timeStep = timeStep;
        memo.shieldModifier = shieldModifier;
        memo.gravity = gravity;
        memo.boxSize = boxSize;
        memo.forceMethod = forceMethod;
    }
    ComputeDerivatives(*this, stateLen, timeStep, state, deriv, memo.shares.empty() ? nullptr : memo.shares.data());
    for (int i = 0; i < numStars; ++i) {
        const double x = pos.x[i], y = pos.y[i];
        const double r = std::sqrt(x * x + y * y);
        if (r <= 0.0) continue;
        const double ax = acc.x[i], ay = acc.y[i];
        const double a = std::sqrt(ax * ax + ay * ay);
        const double v = std::sqrt(a * r);
        vel.x[i] = -(y / r) * v * rotation;
        vel.y[i] = (x / r) * v * rotation;
    }
}
