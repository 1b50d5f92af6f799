// Euler's method: one evaluation of f at the start of the step. Like the
// Runge-Kutta methods beside it, a solver for dy/dt = f(t, y) over the whole
// state vector that knows nothing of gravity: f fills deriv from state.
#include "model/galaxy.h"

void CGalaxy::EulerStep(double h, DerivativeFunc f) {
    const int n = stateLen;
    f(n, time, state, deriv);
    for (int i = 0; i < n; ++i) state[i] += h * deriv[i];
    time += h;
}
