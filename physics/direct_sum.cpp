#include "physics/direct_sum.h"

#include <cmath>

void directSumAccelerations(int n, const double* x, const double* y, const double* z, const double* mass,
                            const double* shield, double gravity, double* ax, double* ay, double* az) {
    for (int i = 0; i < n; ++i) {
        const double xi = x[i], yi = y[i], zi = z[i], mi = mass[i], si = shield[i];
        double axi = ax[i], ayi = ay[i], azi = az[i];
        for (int j = i + 1; j < n; ++j) {
            const double dx = x[j] - xi, dy = y[j] - yi, dz = z[j] - zi;
            const double r2 = dx * dx + dy * dy + dz * dz;
            const double r = std::sqrt(r2);
            // Coincident stars have r = 0, which never exceeds a shield
            // radius, so the division below cannot be by zero.
            if (r > si && r > shield[j]) {
                const double k = gravity / (r2 * r);
                axi += k * mass[j] * dx;
                ayi += k * mass[j] * dy;
                azi += k * mass[j] * dz;
                ax[j] -= k * mi * dx;
                ay[j] -= k * mi * dy;
                az[j] -= k * mi * dz;
            }
        }
        ax[i] = axi;
        ay[i] = ayi;
        az[i] = azi;
    }
}
