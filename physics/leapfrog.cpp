// Kick-drift-kick leapfrog: symplectic and time-reversible, so the energy of
// an orbit swings about its true value instead of drifting away from it. A
// step needs the accelerations at its start, which are the ones its
// predecessor's closing kick computed: one force evaluation per step. They are
// computed afresh whenever anything they depend on has changed since (a star
// moved or edited, a new galaxy, the time step, the force method, the halo),
// so no other command has to know about them.
#include <algorithm>

#include "model/galaxy.h"

bool CGalaxy::leapfrogStartHolds(DerivativeFunc f) const {
    const LeapfrogStart& s = leapfrog_;
    const std::size_t n = static_cast<std::size_t>(numStars);
    return s.f == f && s.x.size() == n && s.timeStep == timeStep && s.shieldModifier == shieldModifier &&
           s.gravity == gravity && s.forceMethod == forceMethod && s.darkMatter == darkMatter &&
           s.darkRadius == darkRadius && s.darkFraction == darkFraction && std::equal(pos.x, pos.x + n, s.x.begin()) &&
           std::equal(pos.y, pos.y + n, s.y.begin()) && std::equal(pos.z, pos.z + n, s.z.begin()) &&
           std::equal(mass, mass + n, s.m.begin());
}

void CGalaxy::keepLeapfrogStart(DerivativeFunc f) {
    LeapfrogStart& s = leapfrog_;
    const int n = numStars;
    s.x.assign(pos.x, pos.x + n);
    s.y.assign(pos.y, pos.y + n);
    s.z.assign(pos.z, pos.z + n);
    s.m.assign(mass, mass + n);
    s.ax.assign(acc.x, acc.x + n);
    s.ay.assign(acc.y, acc.y + n);
    s.az.assign(acc.z, acc.z + n);
    s.timeStep = timeStep;
    s.shieldModifier = shieldModifier;
    s.gravity = gravity;
    s.forceMethod = forceMethod;
    s.darkMatter = darkMatter;
    s.darkRadius = darkRadius;
    s.darkFraction = darkFraction;
    s.f = f;
}

void CGalaxy::LeapfrogStep(double h, DerivativeFunc f) {
    const int n = numStars;
    if (!leapfrogStartHolds(f)) {
        f(stateLen, time, state, deriv);
        keepLeapfrogStart(f);
    }
    const LeapfrogStart& s = leapfrog_;
    const double halfStep = h / 2;
    for (int i = 0; i < n; ++i) {
        vel.x[i] += halfStep * s.ax[i];
        vel.y[i] += halfStep * s.ay[i];
        vel.z[i] += halfStep * s.az[i];
        pos.x[i] += h * vel.x[i];
        pos.y[i] += h * vel.y[i];
        pos.z[i] += h * vel.z[i];
    }
    time += h;
    f(stateLen, time, state, deriv);
    for (int i = 0; i < n; ++i) {
        vel.x[i] += halfStep * acc.x[i];
        vel.y[i] += halfStep * acc.y[i];
        vel.z[i] += halfStep * acc.z[i];
    }
    keepLeapfrogStart(f);
}
