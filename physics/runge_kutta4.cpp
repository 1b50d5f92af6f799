// The classical fourth-order Runge-Kutta method: four evaluations of f a step.
#include "model/galaxy.h"
#include "physics/state_vector.h"

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
