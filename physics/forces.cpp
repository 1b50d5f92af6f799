#include "physics/forces.h"

#include <bit>
#include <cmath>

#include "model/galaxy.h"
#include "physics/barnes_hut.h"
#include "physics/direct_sum.h"
#include "physics/particle_mesh.h"

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
}
