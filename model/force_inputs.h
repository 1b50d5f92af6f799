#pragma once

#include <vector>

class CGalaxy;

// Everything of a galaxy that its forces are computed from: the positions and
// masses of the stars, the settings of the force method (the box fixes the
// tree's root, the opening rule its cells), the shield or the softening and
// the halo. Results worked out from the forces (the leapfrog's start
// accelerations, the tree's share of the potential) keep the inputs they came
// from and are used again only while the galaxy still matches them.
struct ForceInputs {
    std::vector<double> x, y, z, m;
    double timeStep = 0.0, shieldModifier = 0.0, gravity = 0.0, boxSize = 0.0;
    double darkRadius = 0.0, darkFraction = 0.0;
    double haloMass = 0.0, haloRadius = 0.0, haloConcentration = 0.0, bulgeMass = 0.0, bulgeRadius = 0.0;
    double epsilon = 0.0, openingAngle = 0.0, forceError = 0.0;
    int forceMethod = -1, darkMatter = -1, softening = -1;

    void capture(const CGalaxy& g);
    // Whether the forces of the galaxy as it is now are the ones captured. An
    // empty capture matches no galaxy.
    bool matches(const CGalaxy& g) const;
};
