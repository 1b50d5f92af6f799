#include "model/force_inputs.h"

#include <algorithm>

#include "model/galaxy.h"

void ForceInputs::capture(const CGalaxy& g) {
    const int n = g.numStars;
    x.assign(g.pos.x, g.pos.x + n);
    y.assign(g.pos.y, g.pos.y + n);
    z.assign(g.pos.z, g.pos.z + n);
    m.assign(g.mass, g.mass + n);
    timeStep = g.timeStep;
    shieldModifier = g.shieldModifier;
    gravity = g.gravity;
    boxSize = g.boxSize;
    darkRadius = g.darkRadius;
    darkFraction = g.darkFraction;
    haloMass = g.haloMass;
    haloRadius = g.haloRadius;
    haloConcentration = g.haloConcentration;
    bulgeMass = g.bulgeMass;
    bulgeRadius = g.bulgeRadius;
    forceMethod = g.forceMethod;
    darkMatter = g.darkMatter;
    softening = g.softening;
    epsilon = g.epsilon;
    openingAngle = g.openingAngle;
    forceError = g.forceError;
}

bool ForceInputs::matches(const CGalaxy& g) const {
    const std::size_t n = static_cast<std::size_t>(g.numStars);
    return forceMethod >= 0 && x.size() == n && timeStep == g.timeStep && shieldModifier == g.shieldModifier &&
           gravity == g.gravity && boxSize == g.boxSize && darkRadius == g.darkRadius &&
           darkFraction == g.darkFraction && forceMethod == g.forceMethod && darkMatter == g.darkMatter &&
           softening == g.softening && epsilon == g.epsilon && openingAngle == g.openingAngle &&
           forceError == g.forceError && haloMass == g.haloMass && haloRadius == g.haloRadius &&
           haloConcentration == g.haloConcentration && bulgeMass == g.bulgeMass && bulgeRadius == g.bulgeRadius &&
           std::equal(g.pos.x, g.pos.x + n, x.begin()) && std::equal(g.pos.y, g.pos.y + n, y.begin()) &&
           std::equal(g.pos.z, g.pos.z + n, z.begin()) && std::equal(g.mass, g.mass + n, m.begin());
}
