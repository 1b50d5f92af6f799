#pragma once

#include <vector>

// Interpolating polynomial through n points by divided differences, kept as
// the coefficients of its antiderivative in powers of the abscissa, so that it
// can be integrated over any interval (unequal steps included). The powers
// lose precision with the distance of the points from zero: give abscissas
// measured from a point near them.
class CPolyInterpolator {
public:
    explicit CPolyInterpolator(int n);

    // Copies n points and builds the integrated polynomial.
    void SetPoints(const double* xs, const double* ys);
    // Definite integral of the interpolating polynomial from a to b.
    double Integrate(double a, double b) const;

    const std::vector<double>& integratedCoefficients() const { return integral_; }

private:
    int n_;
    std::vector<double> X_, Y_;
    std::vector<double> D_;  // divided-difference table, n x n, row-major
    std::vector<double> product_, sum_;
    std::vector<double> integral_;
};
