#pragma once

// HDF5 snapshot files (".hdf5") in the layout GADGET-4, GADGET-2, SWIFT and
// AREPO share: attributes in /Header, the particles of each type in
// /PartType0 ... /PartType5. Zyr writes its stars as type 1 with the scale's
// units in /Units and keeps what only Zyr uses (colours, scale, model
// settings) in /Zyr, which other readers ignore. Qt-free, on the HDF5 C
// library; io/any_galaxy_file.h chooses between this format and the galaxy
// file by the name.

#include <string>
#include <vector>

#include "io/galaxy_file.h"
#include "io/replacing_file.h"
#include "model/galaxy.h"

// A snapshot as read, not yet installed in a galaxy.
struct SnapshotData {
    GalaxyFileData stars;  // in ParticleIDs order, in the units of stars.scale
    double time = 0.0;
    // Present only in files Zyr wrote.
    bool hasSettings = false;
    double timeStep = 0.0, shieldModifier = 0.0;
    int integrationMethod = 0, forceMethod = 0;
    // The halo the stars moved in, when the file says.
    bool hasHalo = false;
    int darkMatter = 0;
    double darkRadius = 0.0, darkFraction = 0.0;
    // The numbers of the NFW or Hernquist halo (required when darkMatter is
    // one of them; older files lack them) and the rigid bulge (absent: none).
    bool hasHaloNumbers = false;
    double haloMass = 0.0, haloRadius = 0.0, haloConcentration = 0.0;
    bool hasBulge = false;
    double bulgeMass = 0.0, bulgeRadius = 0.0;
    // The force law and the tree's accuracy, when the file says.
    bool hasGravity = false;
    int softening = 0;
    double epsilon = 0.0, openingAngle = 0.0, forceError = 0.0;
    // The box the stars are framed in (a model's own, or the scale's) and
    // the colours the view hides, when the file says.
    bool hasBox = false;
    double boxSize = 0.0;
    bool hasHiddenColors = false;
    int hiddenColors[kStarColorCount] = {};
    // What the integrator carries from step to step, so that a run continues
    // exactly: Adams-Moulton's step count and its newest history slots, oldest
    // first, each the six blocks (x, y, z, vx, vy, vz) of every star; the
    // accelerations the leapfrog's next step starts from (x, y, z per star).
    long long historyCount = 0;
    std::vector<double> historyDerivatives, historyTimes;
    std::vector<double> leapfrogAccelerations;
};

// A star's ParticleID is (index + 1) x 16 + 8 + its colour: the IDs keep the
// order and carry the colours. Up to this many stars they fit 32 bits, the
// IDs other codes keep by default.
inline constexpr long long kStarsWith32BitIds = (1LL << 28) - 1;

// Writes the galaxy into a file opened earlier; on failure the file is
// discarded and an older one keeps its place.
GalaxyFileStatus writeSnapshotFile(const CGalaxy& galaxy, ReplacingFile& file);

// Reads a single file or every part of a multi-file snapshot (name.0.hdf5,
// name.1.hdf5, ...; any part may be named). Files that state their units are
// converted into the units of the galaxy's current scale; the scale itself
// becomes that of a Zyr file. On failure out is left as it was.
GalaxyFileStatus readSnapshotFile(const std::string& path, const CGalaxy& galaxy, SnapshotData& out);

// Reads and installs a snapshot: the galaxy gets its stars, scale and time
// and, from a Zyr file, its model settings, halo and the integrator's memory,
// so that the run goes on as if it had never stopped. On failure the galaxy is
// unchanged.
GalaxyFileStatus loadSnapshotFile(CGalaxy& galaxy, const std::string& path);

// Adds the stars of a snapshot as mergeGalaxyFile adds those of a galaxy
// file, in the galaxy's scale: converted when the file states its units, as
// they stand from a Zyr file of another scale.
GalaxyFileStatus mergeSnapshotFile(CGalaxy& galaxy, const std::string& path, const double offset[3],
                                   const double velocity[3]);
