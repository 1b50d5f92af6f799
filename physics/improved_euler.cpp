// Heun's predictor-corrector, the program's default integrator: two
// evaluations of f a step.
#include "model/galaxy.h"
#include "physics/state_vector.h"

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
