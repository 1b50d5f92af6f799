#pragma once

#include "physics/spherical_profiles.h"

#include <optional>

class CGalaxy;

// The analytic parts of a galaxy's gravity besides the original's uniform
// sphere: an NFW or Hernquist halo and a Hernquist bulge, each fixed at the
// origin.
class RigidProfiles {
public:
    explicit RigidProfiles(const CGalaxy& galaxy);

    bool empty() const { return !halo_ && !bulge_; }
    // G M(<r) / r^3: the pull on a star at (x, y, z) is -pullFactor(r) (x, y, z).
    double pullFactor(double r) const;
    // -Phi(r), energy per unit mass.
    double depth(double r) const;

private:
    double gravity_;
    std::optional<SphericalProfile> halo_, bulge_;
};
