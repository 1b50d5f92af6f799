#include "model/model_parameters.h"

#include "model/galaxy.h"

bool isModelShape(int shape) { return shape >= GalaxyShape::Plummer && shape <= GalaxyShape::DiscGalaxy; }

ModelStarCounts modelStarCounts(int shape, int requestedStars, double centralMass, const ModelParameters& p) {
    ModelStarCounts counts;
    counts.central = centralMass > 0.0 ? 1 : 0;
    counts.main = requestedStars;
    if (shape != GalaxyShape::DiscGalaxy) return counts;
    // Unless told otherwise the bulge gets a quarter of the disc's stars and
    // the halo twice as many, so that their stars weigh a few disc stars.
    if (p.bulgeMass > 0.0) counts.bulge = p.bulgeStars == kAutomaticStars ? requestedStars / 4 : p.bulgeStars;
    if (p.halo != ModelHalo::None) counts.halo = p.haloStars == kAutomaticStars ? 2LL * requestedStars : p.haloStars;
    return counts;
}
