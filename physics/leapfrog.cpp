// Kick-drift-kick leapfrog: symplectic and time-reversible, so the energy of
// an orbit swings about its true value instead of drifting away from it. A
// step needs the accelerations at its start, which are the ones its
// predecessor's closing kick computed: one force evaluation per step. They are
// computed afresh whenever anything they depend on has changed since (a star
// moved or edited, a new galaxy, the time step, the force method, the box, the
// halo),
// so no other command has to know about them.
#include <vector>

#include "model/galaxy.h"

bool CGalaxy::leapfrogStartHolds(DerivativeFunc f) const { return leapfrog_.f == f && leapfrog_.inputs.matches(*this); }

void CGalaxy::keepLeapfrogStart(DerivativeFunc f) {
    LeapfrogStart& s = leapfrog_;
    const int n = numStars;
    s.inputs.capture(*this);
    s.ax.assign(acc.x, acc.x + n);
    s.ay.assign(acc.y, acc.y + n);
    s.az.assign(acc.z, acc.z + n);
    s.f = f;
}

bool CGalaxy::leapfrogStartAccelerations(DerivativeFunc f, std::vector<double>& rows) const {
    if (!leapfrogStartHolds(f)) return false;
    const LeapfrogStart& s = leapfrog_;
    const std::size_t n = s.ax.size();
    rows.resize(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        rows[3 * i] = s.ax[i];
        rows[3 * i + 1] = s.ay[i];
        rows[3 * i + 2] = s.az[i];
    }
    return true;
}

void CGalaxy::takeLeapfrogStart(DerivativeFunc f, const std::vector<double>& rows) {
    keepLeapfrogStart(f);
    LeapfrogStart& s = leapfrog_;
    for (std::size_t i = 0; i < s.ax.size(); ++i) {
        s.ax[i] = rows[3 * i];
        s.ay[i] = rows[3 * i + 1];
        s.az[i] = rows[3 * i + 2];
    }
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
