#include <algorithm>
#include <cmath>
#include <vector>

#include "model/galaxy.h"
#include "physics/barnes_hut.h"
#include "physics/direct_sum.h"
#include "physics/forces.h"
#include "physics/particle_mesh.h"
#include "physics/rigid_halo.h"

int CGalaxy::reportPotentialSource() const {
    // Dynamic Euler sums its own pairs whatever the force method.
    if (exactEnergy || integrationMethod == IntegrationMethod::DynamicEuler) return PotentialSource::Exact;
    if (forceMethod == ForceMethod::BarnesHut) return PotentialSource::Tree;
    if (forceMethod == ForceMethod::ParticleMesh) return PotentialSource::Mesh;
    return PotentialSource::Exact;
}

bool CGalaxy::potentialMemoHolds() const {
    return potentialMemo_.shares.size() == static_cast<std::size_t>(numStars) &&
           potentialMemo_.inputs.matches(*this);
}

void CGalaxy::bookkeeping(const std::function<void(double share)>& exactPassProgress) {
    // Step rate over the current measuring window.
    const std::uint32_t t = tickCount();
    const std::uint32_t elapsed = t - startTicks;  // wraps with the tick counter
    // Within the first millisecond of a window there is nothing to divide by:
    // the rate shown stays the last one measured, and the steps keep counting
    // into the same window until it can be measured.
    if (elapsed != 0) {
        itersPerSecond = iteration / static_cast<double>(elapsed) * 1000.0;
        if (iteration > 10) {
            iteration = 0;
            startTicks = t;
        }
    }
    if (iteration == lastIteration) itersPerSecond = 0.0;
    lastIteration = iteration;

    // Conserved quantities.
    const int n = numStars;
    const double G = gravity;
    momentumX = momentumY = momentumZ = 0.0;
    double cx = 0.0, cy = 0.0, cz = 0.0;
    totalMass = 0.0;
    double ke = 0.0, pe = 0.0;

    for (int i = 0; i < n; ++i) totalMass += mass[i];

    const double* x = pos.x;
    const double* y = pos.y;
    const double* z = pos.z;
    // The pair sums are the whole cost; they run vectorised on the worker
    // threads. The sums over the stars below stay in index order. The exact
    // pass costs N^2, the tree's walk N log N and the grid's N times its
    // cells, and theirs is the energy of the pull the stars actually feel.
    std::vector<double> pairSums;
    potentialSource = reportPotentialSource();
    const bool remembered = potentialSource == PotentialSource::Tree && potentialMemoHolds();
    if (remembered) pairSums.swap(potentialMemo_.shares);
    potentialMemo_ = {};
    pairSums.resize(static_cast<std::size_t>(n));
    switch (potentialSource) {
    case PotentialSource::Tree:
        if (!remembered) barnesHutPotentials(*this, n, x, y, z, pairSums.data());
        break;
    case PotentialSource::Mesh:
        particleMeshPotentials(*this, n, x, y, z, pairSums.data());
        break;
    default:
        // The shield's or the softening's pair potentials: the energy of the
        // force the direct sum applies.
        directPairPotentials(*this, n, x, y, z, pairSums.data(), exactPassProgress);
        break;
    }
    // The halo pulls as a uniform sphere of the halo's own mass inside its
    // radius and as that mass at the origin outside; this is the potential of
    // that pull (per unit mass, sign reversed), continuous at the radius.
    const bool halo = darkMatter == DarkMatterModel::Sphere;
    const double haloGm = halo ? G * (totalMass * darkFraction / (1.0 - darkFraction)) : 0.0;
    // The NFW or Hernquist halo and the bulge, when rigid, likewise.
    const RigidProfiles rigid(*this);
    for (int i = 0; i < n; ++i) {
        double S = pairSums[i];
        if (halo) {
            S += haloDepth(haloGm, darkRadius, std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]));
        }
        if (!rigid.empty()) S += rigid.depth(std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]));
        const double mi = mass[i];
        pe = pe - mi * S;
        ke = ke + 0.5 * mi * (vel.x[i] * vel.x[i] + vel.y[i] * vel.y[i] + vel.z[i] * vel.z[i]);
        momentumX += mi * vel.x[i];
        momentumY += mi * vel.y[i];
        momentumZ += mi * vel.z[i];
        cx += mi * x[i];
        cy += mi * y[i];
        cz += mi * z[i];
    }
    kineticEnergy = ke;
    potentialEnergy = pe;
    totalEnergy = ke + pe;
    // A massless galaxy has no centre of mass; the origin is shown instead.
    if (totalMass != 0.0) {
        centerX = cx / totalMass;
        centerY = cy / totalMass;
        centerZ = cz / totalMass;
    } else {
        centerX = centerY = centerZ = 0.0;
    }
}
