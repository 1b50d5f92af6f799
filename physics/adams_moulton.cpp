// Fourth-order Adams predictor-corrector on a history of four derivatives.
// The history keeps the real times of its values, so halving or doubling the
// step in the middle of a run stays correct. The polynomials are set up in
// time since the newest history point: in absolute time their coefficients
// would lose about (t/h)^3 of the step's precision, and a long run would
// come apart.
#include "physics/adams_moulton.h"

#include <algorithm>
#include <climits>

#include "model/galaxy.h"
#include "physics/poly_interpolator.h"

void CGalaxy::AdamsMoultonStep(double h, DerivativeFunc f) {
    const int n = stateLen;
    // Counts steps since the history was last reset; it only has to tell the
    // first four from the rest, so it stops short of overflowing.
    if (historyCount < INT_MAX) ++historyCount;

    // Counted from 1 as in the formulas, which are those of four slots:
    // F[1..4], the derivatives, F[4] the newest; T[1..4], their times.
    static_assert(kAdamsMoultonSlots == 4);
    double* const* F = &scratch[kAdamsMoultonDerivatives - 1];
    double* const* T = &scratch[kAdamsMoultonTimes - 1];

    if (historyCount <= kAdamsMoultonSlots) {
        ImprovedEulerStep(h, f);
        f(n, time, state, deriv);
        const int s = historyCount;
        std::copy_n(deriv, n, F[s]);
        for (int i = 0; i < n; ++i) T[s][i] = time;
        return;
    }

    double* y0 = scratch[0];
    std::copy_n(state, n, y0);
    time += h;

    CPolyInterpolator poly(4);
    double xs[4], ys[4];
    for (int i = 0; i < n; ++i) {
        const double t4 = T[4][i];
        for (int k = 0; k < 4; ++k) {
            xs[k] = T[k + 1][i] - t4;
            ys[k] = F[k + 1][i];
        }
        poly.SetPoints(xs, ys);
        state[i] = y0[i] + poly.Integrate(0.0, time - t4);
    }
    f(n, time, state, deriv);

    for (int i = 0; i < n; ++i) {
        const double t4 = T[4][i];
        for (int k = 0; k < 3; ++k) {
            xs[k] = T[k + 2][i] - t4;
            ys[k] = F[k + 2][i];
        }
        xs[3] = time - t4;
        ys[3] = deriv[i];
        poly.SetPoints(xs, ys);
        state[i] = y0[i] + poly.Integrate(0.0, time - t4);
    }
    f(n, time, state, deriv);

    for (int i = 0; i < n; ++i) {
        F[1][i] = F[2][i];
        F[2][i] = F[3][i];
        F[3][i] = F[4][i];
        F[4][i] = deriv[i];
        T[1][i] = T[2][i];
        T[2][i] = T[3][i];
        T[3][i] = T[4][i];
        T[4][i] = time;
    }
}
