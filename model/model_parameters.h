#pragma once

#include <string>

// The halo a disc galaxy is built in.
namespace ModelHalo {
enum : int { None = 0, NFW = 1, Hernquist = 2 };
}

// The numbers of the equilibrium models: the spheres (Plummer, Hernquist,
// NFW) and the disc galaxy, in the units of the galaxy's scale. The count of
// the sphere's stars, or of the disc's, is the galaxy's requestedStars.
struct ModelParameters {
    // a sphere: its mass (NFW: within the truncation radius c r_s), its scale
    // radius and, for NFW, the concentration c (also that of an NFW halo)
    double totalMass = 1e11;
    double scaleRadius = 10.0;
    double concentration = 10.0;

    // the disc galaxy's exponential disc: mass, scale length, sech^2 height;
    // its Toomre Q at 2.4 scale lengths, or at every radius with constantQ
    double discMass = 5e10;
    double discScaleLength = 10.0;
    double discHeight = 1.0;
    double toomreQ = 1.5;
    bool constantQ = false;

    // its Hernquist bulge (mass 0 for none) and its halo; stars 0 makes the
    // component rigid (an analytic pull), kAutomaticStars a share of the disc's
    double bulgeMass = 1e10;
    double bulgeRadius = 2.0;
    int bulgeStars = -1;
    int halo = ModelHalo::NFW;
    double haloMass = 5e11;
    double haloRadius = 60.0;
    int haloStars = -1;

    // the share of each component's mass inside the radius where it ends
    double massCutoff = 0.999;
};

inline constexpr int kAutomaticStars = -1;

// Whether the shape is one of the equilibrium models (GalaxyShape).
bool isModelShape(int shape);

// The stars of each component of a model: a central star when the central
// mass is above 0, the sphere's or the disc's, the live bulge's and halo's.
struct ModelStarCounts {
    long long central = 0, main = 0, bulge = 0, halo = 0;
    long long total() const { return central + main + bulge + halo; }
};
ModelStarCounts modelStarCounts(int shape, int requestedStars, double centralMass, const ModelParameters& p);
