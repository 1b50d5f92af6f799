#pragma once

#include <vector>

// The spherical mass profiles of the equilibrium models and of the rigid
// halos: density, enclosed mass and the depth of the potential per unit of
// the gravitational constant (depth(r) = -Phi(r) / G, zero at infinity).
//
//   Plummer    rho = 3M / (4 pi a^3) (1 + r^2/a^2)^(-5/2)
//   Hernquist  rho = M a / (2 pi r (r + a)^3)
//   NFW        rho = rho0 / (x (1 + x)^2), x = r / r_s, holding the mass M
//              within r_v = c r_s, and beyond r_v tapered smoothly as
//              rho(r_v) (r / r_v)^e exp(-(r - r_v) / r_d) with r_d = r_v / 10
//              and e chosen so that the logarithmic slope stays continuous
//              (Kazantzidis, Magorrian & Moore 2004).
class SphericalProfile {
public:
    enum class Kind { Plummer, Hernquist, NFW };

    static SphericalProfile plummer(double mass, double a);
    static SphericalProfile hernquist(double mass, double a);
    static SphericalProfile nfw(double massWithinVirial, double rs, double c);

    Kind kind() const { return kind_; }
    double scaleRadius() const { return a_; }
    double density(double r) const;
    double enclosedMass(double r) const;
    // All the mass, the taper of NFW included.
    double totalMass() const;
    double depth(double r) const;
    // The radius enclosing the given mass, below totalMass().
    double radiusEnclosing(double mass) const;

private:
    SphericalProfile(Kind kind, double mass, double a, double c);
    double nfwDensity(double r) const;

    Kind kind_;
    double mass_, a_, c_ = 0.0;
    // NFW: the central density, the virial and taper radii, the taper's
    // exponent, and the taper tabulated on radii from r_v outwards: enclosed
    // mass and the integral of rho r from each radius to infinity.
    double rho0_ = 0.0, rv_ = 0.0, rd_ = 0.0, taperExponent_ = 0.0;
    std::vector<double> taperRadius_, taperMass_, taperDepth_;
};
