// A fixed-step method with its own pair summation: the separation of each pair
// is predicted to the middle of the step, positions advance to second order.
#include <cmath>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/softening.h"

void CGalaxy::DynamicEulerStep(double h) {
    const int n = numStars;
    for (int i = 0; i < n; ++i) acc.x[i] = acc.y[i] = acc.z[i] = 0.0;

    // One shield radius for the whole step, from the second star's mass.
    // Without a second star there is no pair to shield. A softening has no
    // use for it: every pair pulls, coincident ones too (their separation at
    // the middle of the step need not be zero).
    const bool softened = softening != Softening::Shield;
    const SofteningKernel kernel = SofteningKernel::of(*this);
    const double s = n >= 2 && !softened ? ShieldRadius(gravity * mass[1], timeStep, shieldModifier) : 0.0;
    const double s2 = std::pow(s, 2.0);
    const double halfStep = h / 2;

    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const double dx = pos.x[i] - pos.x[j];
            const double dy = pos.y[i] - pos.y[j];
            const double dz = pos.z[i] - pos.z[j];
            const double r2 = dx * dx + dy * dy + dz * dz;
            double k;
            if (softened) {
                k = gravity * kernel.pull(r2);
            } else {
                if (r2 == 0.0 || r2 <= s2) continue;
                k = gravity / (std::sqrt(r2) * r2);
            }
            const double Dx = dx + halfStep * (vel.x[i] - vel.x[j]);
            const double Dy = dy + halfStep * (vel.y[i] - vel.y[j]);
            const double Dz = dz + halfStep * (vel.z[i] - vel.z[j]);
            acc.x[i] -= k * mass[j] * Dx;
            acc.y[i] -= k * mass[j] * Dy;
            acc.z[i] -= k * mass[j] * Dz;
            acc.x[j] += k * mass[i] * Dx;
            acc.y[j] += k * mass[i] * Dy;
            acc.z[j] += k * mass[i] * Dz;
        }
    }

    for (int i = 0; i < n; ++i) {
        pos.x[i] += h * (vel.x[i] + halfStep * acc.x[i]);
        pos.y[i] += h * (vel.y[i] + halfStep * acc.y[i]);
        pos.z[i] += h * (vel.z[i] + halfStep * acc.z[i]);
        vel.x[i] += h * acc.x[i];
        vel.y[i] += h * acc.y[i];
        vel.z[i] += h * acc.z[i];
    }
    time += h;
}
