#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model_parameters.h"

class CGalaxy;

// Galaxies in equilibrium: the Plummer, Hernquist and NFW spheres, sampled
// from their isotropic distribution functions, and the disc galaxy (an
// exponential disc with a chosen Toomre Q, a Hernquist bulge and a dark halo,
// each live or rigid).

// Everything a model is built from, apart from a galaxy: the dialog's
// preview asks with values not yet taken.
struct ModelInputs {
    int shape = 0;
    int stars = 0;  // the sphere's or the disc's
    double centralMass = 0.0;
    ModelParameters p;
    // a rigid halo beside the model (the galaxy's dark matter setting and
    // its numbers)
    int darkMatter = 0;
    double darkRadius = 0.0, darkFraction = 0.0;
    double haloMass = 0.0, haloRadius = 0.0, haloConcentration = 0.0;
    double gravity = 0.0;
};
// The inputs the galaxy's settings give (shape, requestedStars, centralMass,
// modelSetting, the dark matter settings, the scale's gravity).
ModelInputs modelInputsOf(const CGalaxy& galaxy);

// Empty when the model can be built, else the reason, a sentence for the user
// ("Toomre Q must be greater than 0"). Also refuses star counts that do not
// fit into memory.
std::string modelProblem(const ModelInputs& inputs);

// The circular speed in the plane z = 0, in total and of each part (the
// disc, the bulge, the halo (live or rigid, of the model or beside it), the
// central mass), at radius[k] from near 0 out to where the model ends to the
// eye, and for the disc galaxy Toomre's Q(R) of the disc the model builds
// (empty for the spheres and for a massless disc).
struct ModelCurves {
    std::vector<double> radius, vCircle, vDisc, vBulge, vHalo, vCentral, toomreQ;
};
ModelCurves modelCurves(const ModelInputs& inputs, int points);

// What a model chose for its run.
struct ModelChoices {
    double halfMassRadius = 0.0;  // of the sphere, or of the disc
    double dynamicalTime = 0.0;   // sqrt(r^3 / (G M(<r))) at that radius
    double epsilon = 0.0;         // a tenth of the star spacing there
    double timeStep = 0.0;        // about a hundredth of the dynamical time
    double boxSize = 0.0;         // a box that frames the visible stars
};
ModelChoices modelChoices(const ModelInputs& inputs);

// Builds the model the galaxy's settings describe into the galaxy, which
// allocate() has just sized for it (modelStarCounts): positions, velocities,
// masses, colours, with the stars in the order central star, sphere or disc,
// bulge, halo. Then takes the model's choices: the spline softening (unless
// the galaxy's is already a softening) of the chosen length, the time step,
// a box and camera that frame it, the rigid parts as the galaxy's dark
// matter and bulge, the halo's colour hidden; each as setting and live value,
// and the sentence that says so in modelNote. The stars depend on the seed
// alone, not on the number of threads.
void generateModel(CGalaxy& galaxy, std::uint64_t seed);
