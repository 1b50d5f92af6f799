// The one-step solvers for dy/dt = f(t, y) over the whole state vector. They
// know nothing of gravity: f fills deriv from state.
#include <algorithm>

#include "model/galaxy.h"

namespace {
// An empty galaxy has no vectors at all: copy_n copies nothing from and to
// null pointers, where memcpy would not be allowed to see them.
void copyVector(double* to, const double* from, int n) { std::copy_n(from, n, to); }
}  // namespace

void CGalaxy::EulerStep(double h, DerivativeFunc f) {
    const int n = stateLen;
    f(n, time, state, deriv);
    for (int i = 0; i < n; ++i) state[i] += h * deriv[i];
    time += h;
}

void CGalaxy::ImprovedEulerStep(double h, DerivativeFunc f) {
    const int n = stateLen;
    double* y0 = scratch[0];
    double* k = scratch[1];
    copyVector(y0, state, n);
    f(n, time, state, deriv);
    for (int i = 0; i < n; ++i) {
        k[i] = deriv[i];
        state[i] = y0[i] + h * deriv[i];
    }
    // the corrector evaluates at the predicted state, still at the old time
    f(n, time, state, deriv);
    const double halfStep = h / 2;
    for (int i = 0; i < n; ++i) state[i] = y0[i] + halfStep * (k[i] + deriv[i]);
    time += h;
}

void CGalaxy::RungeKutta4Step(double h, DerivativeFunc f) {
    const int n = stateLen;
    double* y0 = scratch[0];
    double* k1 = scratch[2];
    double* k2 = scratch[3];
    double* k3 = scratch[4];
    double* k4 = scratch[5];
    const double t0 = time;
    copyVector(y0, state, n);

    f(n, t0, state, deriv);
    for (int i = 0; i < n; ++i) {
        k1[i] = h * deriv[i];
        state[i] = y0[i] + k1[i] / 2;
    }
    time = t0 + h / 2;
    f(n, time, state, deriv);
    for (int i = 0; i < n; ++i) {
        k2[i] = h * deriv[i];
        state[i] = y0[i] + k2[i] / 2;
    }
    f(n, time, state, deriv);
    time = t0 + h;
    for (int i = 0; i < n; ++i) {
        k3[i] = h * deriv[i];
        state[i] = y0[i] + k3[i];
    }
    f(n, time, state, deriv);
    const double sixth = 0.16666666666666666;
    for (int i = 0; i < n; ++i) {
        k4[i] = h * deriv[i];
        state[i] = y0[i] + (2 * (k2[i] + k3[i]) + k4[i] + k1[i]) * sixth;
    }
}
