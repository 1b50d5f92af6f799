#pragma once

class CGalaxy;
class CRandom;

// The start positions of the six shapes of galaxy, in the galaxy's box about
// the origin. Each takes numStars as the number of stars asked for, places the
// stars it can (a grid or a set of rings may take fewer, and lowers numStars
// to them) and gives the index of a placed star that already lies at the
// origin for the central mass, or -1 when the central mass needs a place of
// its own. Only positions change.
int placeSphere(CGalaxy& g, CRandom& rng);
int placeDisc(CGalaxy& g, CRandom& rng);
int placeCube(CGalaxy& g, CRandom& rng);
int placeGrid(CGalaxy& g, int dimensions);
int placeRings(CGalaxy& g);

// The shape the galaxy's shape setting names (any value out of range is a cube).
int placeShape(CGalaxy& g, CRandom& rng);
