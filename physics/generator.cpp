// A new galaxy: the stars placed in the chosen shape, then set moving on
// circles at the speeds the forces of the galaxy ask for.
#include <cmath>
#include <ctime>
#include <utility>

#include "model/galaxy.h"
#include "model/random.h"
#include "model/shapes.h"
#include "physics/equilibrium.h"
#include "physics/forces.h"

namespace {

void swapPositions(CGalaxy& g, int i, int j) {
    std::swap(g.pos.x[i], g.pos.x[j]);
    std::swap(g.pos.y[i], g.pos.y[j]);
    std::swap(g.pos.z[i], g.pos.z[j]);
}

}  // namespace

bool CGalaxy::newGalaxy() {
    if (!allocate()) return false;
    generate();
    return true;
}

void CGalaxy::generate() {
    const unsigned seed = randomSeed ? *randomSeed : static_cast<unsigned>(std::time(nullptr));
    if (isModelShape(shape)) {
        generateModel(*this, seed);
        return;
    }
    CRandom rng(seed);
    historyCount = 0;
    const int c = centralMass > 0.0 ? 1 : 0;
    // A grid point that already lies at the origin, for the central star.
    const int centreIndex = placeShape(*this, rng);

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
        memo.shares.resize(static_cast<std::size_t>(numStars));
        memo.inputs.capture(*this);
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
