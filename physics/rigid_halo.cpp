#include "physics/rigid_halo.h"

#include "model/galaxy.h"

namespace {

// An NFW halo tabulates its taper; a galaxy stepped again and again asks for
// the same one.
const SphericalProfile& nfwHalo(double mass, double rs, double c) {
    struct Kept {
        double mass, rs, c;
        SphericalProfile profile;
    };
    thread_local std::optional<Kept> kept;
    if (!kept || kept->mass != mass || kept->rs != rs || kept->c != c)
        kept.emplace(Kept{mass, rs, c, SphericalProfile::nfw(mass, rs, c)});
    return kept->profile;
}

}  // namespace

RigidProfiles::RigidProfiles(const CGalaxy& g) : gravity_(g.gravity) {
    if (g.darkMatter == DarkMatterModel::NFW && g.haloMass > 0.0)
        halo_ = nfwHalo(g.haloMass, g.haloRadius, g.haloConcentration);
    if (g.darkMatter == DarkMatterModel::Hernquist && g.haloMass > 0.0)
        halo_ = SphericalProfile::hernquist(g.haloMass, g.haloRadius);
    if (g.bulgeMass > 0.0) bulge_ = SphericalProfile::hernquist(g.bulgeMass, g.bulgeRadius);
}

double RigidProfiles::pullFactor(double r) const {
    if (!(r > 0.0)) return 0.0;
    double m = 0.0;
    if (halo_) m += halo_->enclosedMass(r);
    if (bulge_) m += bulge_->enclosedMass(r);
    return gravity_ * m / (r * r * r);
}

double RigidProfiles::depth(double r) const {
    double d = 0.0;
    if (halo_) d += halo_->depth(r);
    if (bulge_) d += bulge_->depth(r);
    return gravity_ * d;
}
