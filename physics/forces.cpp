#include "physics/forces.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "model/galaxy.h"
#include "physics/barnes_hut.h"
#include "physics/direct_sum.h"
#include "physics/particle_mesh.h"
#include "physics/rigid_halo.h"
#include "physics/softened_tree.h"

double ShieldRadius(double gm, double dt, double modifier) { return ShieldRule(dt, modifier)(gm); }

ShieldRule::ShieldRule(double dt, double modifier) : stepFactor_(std::pow(std::fabs(dt), 0.667)), modifier_(modifier) {}

double ShieldRule::operator()(double gm) {
    // Compared by their bits, so that a NaN mass is remembered too.
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(gm);
    const int slot = static_cast<int>((bits * 0x9E3779B97F4A7C15ULL) >> 58);
    if (!known_[slot] || masses_[slot] != bits) {
        masses_[slot] = bits;
        radii_[slot] = std::pow(gm, 0.333) * stepFactor_ * modifier_;
        known_[slot] = true;
    }
    return radii_[slot];
}

void DerivativeFunc::operator()(int stateLen, double time, double* state, double* deriv) const {
    if (galaxy_)
        ComputeDerivatives(*galaxy_, stateLen, time, state, deriv);
    else
        plain_(stateLen, time, state, deriv);
}

void ComputeDerivatives(const CGalaxy& g, int stateLen, double /*time*/, double* state, double* deriv,
                        double* treeShares) {
    const int cap = stateLen / 6;
    const int n = g.numStars;
    const double* x = state;
    const double* y = state + cap;
    const double* z = state + 2 * cap;
    const double* vx = state + 3 * cap;
    const double* vy = state + 4 * cap;
    const double* vz = state + 5 * cap;
    double* dx = deriv;
    double* dy = deriv + cap;
    double* dz = deriv + 2 * cap;
    double* ax = deriv + 3 * cap;
    double* ay = deriv + 4 * cap;
    double* az = deriv + 5 * cap;

    switch (g.forceMethod) {
    case ForceMethod::BarnesHut:
        barnesHutForces(g, n, x, y, z, ax, ay, az, treeShares);
        break;
    case ForceMethod::ParticleMesh:
        particleMeshForces(g, n, x, y, z, ax, ay, az);
        break;
    default:
        directForces(g, n, x, y, z, ax, ay, az);
        break;
    }

    double totalMass = 0.0;
    for (int i = 0; i < n; ++i) {
        totalMass += g.mass[i];
        dx[i] = vx[i];
        dy[i] = vy[i];
        dz[i] = vz[i];
    }

    if (g.darkMatter == DarkMatterModel::Sphere) {
        const double f = g.darkFraction;
        const double haloMass = totalMass * f / (1.0 - f);
        const double R = g.darkRadius;
        const double R3 = R * R * R;
        const double gm = g.gravity * haloMass;
        for (int i = 0; i < n; ++i) {
            const double r = std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]);
            // Inside the halo the enclosed mass grows as r^3 (a uniform
            // sphere); outside it acts as a point mass at the origin.
            const double r3 = r <= R ? R3 : r * r * r;
            ax[i] -= gm * x[i] / r3;
            ay[i] -= gm * y[i] / r3;
            az[i] -= gm * z[i] / r3;
        }
    }
    const RigidProfiles rigid(g);
    if (!rigid.empty()) {
        for (int i = 0; i < n; ++i) {
            const double k = rigid.pullFactor(std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]));
            ax[i] -= k * x[i];
            ay[i] -= k * y[i];
            az[i] -= k * z[i];
        }
    }
}

void starAccelerations(const CGalaxy& g, double* ax, double* ay, double* az) {
    const int n = g.numStars;
    const int cap = g.capacity();
    std::vector<double> deriv(static_cast<std::size_t>(g.stateLen));
    ComputeDerivatives(g, g.stateLen, g.time, g.state, deriv.data());
    std::copy_n(deriv.data() + 3 * cap, n, ax);
    std::copy_n(deriv.data() + 4 * cap, n, ay);
    std::copy_n(deriv.data() + 5 * cap, n, az);
}

void starPotentials(const CGalaxy& g, double* phi) {
    const int n = g.numStars;
    const double* x = g.pos.x;
    const double* y = g.pos.y;
    const double* z = g.pos.z;
    // The tree's and the grid's walks give the report's shares: half of a
    // star's potential where the star pulls back, all of it where it does not.
    switch (g.forceMethod) {
    case ForceMethod::BarnesHut:
        if (g.softening != Softening::Shield) {
            softenedTreeForces(g, n, x, y, z, nullptr, nullptr, nullptr, phi);
        } else {
            barnesHutPotentials(g, n, x, y, z, phi);
            const double half = 50.0 * g.boxSize;
            const auto inRoot = [half](double p) { return -half <= p && p < half; };
            for (int i = 0; i < n; ++i)
                if (inRoot(x[i]) && inRoot(y[i]) && inRoot(z[i])) phi[i] *= 2.0;
        }
        break;
    case ForceMethod::ParticleMesh:
        particleMeshPotentials(g, n, x, y, z, phi);
        for (int i = 0; i < n; ++i)
            if (threadParticleMesh()->CellOf(x[i], y[i], z[i]) >= 0) phi[i] *= 2.0;
        break;
    default:
        directPotentials(g, n, x, y, z, phi);
        break;
    }
    double totalMass = 0.0;
    for (int i = 0; i < n; ++i) totalMass += g.mass[i];
    const double haloGm = g.darkMatter == DarkMatterModel::Sphere
                              ? g.gravity * (totalMass * g.darkFraction / (1.0 - g.darkFraction))
                              : 0.0;
    const RigidProfiles rigid(g);
    for (int i = 0; i < n; ++i) {
        const double rho = std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]);
        phi[i] = -(phi[i] + (haloGm != 0.0 ? haloDepth(haloGm, g.darkRadius, rho) : 0.0));
        if (!rigid.empty()) phi[i] -= rigid.depth(rho);
    }
}
