#include "physics/poly_interpolator.h"

CPolyInterpolator::CPolyInterpolator(int n)
    : n_(n), X_(n), Y_(n), D_(static_cast<std::size_t>(n) * n), product_(n), sum_(n), integral_(n + 1) {}

void CPolyInterpolator::SetPoints(const double* xs, const double* ys) {
    const int n = n_;
    for (int i = 0; i < n; ++i) {
        X_[i] = xs[i];
        Y_[i] = ys[i];
    }
    auto D = [&](int i, int j) -> double& { return D_[static_cast<std::size_t>(i) * n + j]; };
    for (int i = 0; i < n; ++i) D(i, 0) = Y_[i];
    for (int i = 1; i < n; ++i)
        for (int j = 1; j <= i; ++j) D(i, j) = (D(i, j - 1) - D(i - 1, j - 1)) / (X_[i] - X_[i - j]);

    // Newton form taken backwards from the newest point:
    // sum over k of D[n-1][k] * prod_{m=1..k} (x - X[n-m]), expanded in powers of x.
    for (int k = 0; k < n; ++k) {
        product_[k] = 0.0;
        sum_[k] = 0.0;
    }
    product_[0] = 1.0;
    for (int k = 0; k < n; ++k) {
        const double d = D(n - 1, k);
        for (int p = 0; p <= k; ++p) sum_[p] += d * product_[p];
        if (k + 1 < n) {
            // product *= (x - X[n-1-k])
            const double root = X_[n - 1 - k];
            for (int p = k + 1; p > 0; --p) product_[p] = product_[p - 1] - root * product_[p];
            product_[0] = -root * product_[0];
        }
    }

    integral_[0] = 0.0;
    for (int k = 0; k < n; ++k) integral_[k + 1] = sum_[k] / (k + 1);
}

double CPolyInterpolator::Integrate(double a, double b) const {
    double result = 0.0;
    double pa = 1.0, pb = 1.0;
    for (int k = 1; k <= n_; ++k) {
        pa *= a;
        pb *= b;
        result += integral_[k] * (pb - pa);
    }
    return result;
}
