#pragma once

// The hand-off to GADGET-4: a folder that GADGET-4 runs unmodified, holding
// the galaxy as HDF5 initial conditions (ic.hdf5), GADGET-4's parameter file
// (param.txt), its compile-time options (Config.sh) and the commands to build,
// run and bring the result back into Zyr (README.txt). Qt-free, for zyr-sim's
// --export-gadget4 and the desktop program's File > Export for GADGET-4.

#include <string>

#include "model/status.h"

class CGalaxy;

// What GADGET-4 is to do with the galaxy.
struct Gadget4Run {
    // TimeMax: the time at which the run ends, in the scale's time unit; later
    // than the galaxy's time, where it begins.
    double until = 0.0;
    // Evenly spaced snapshots after the one at the start, the last at until.
    int snapshots = 10;
};

// The snapshots are numbered 000 to `snapshots` with three digits, so that
// their names sort in time order.
inline constexpr int kMaxGadget4Snapshots = 999;

enum class Gadget4ExportError {
    None,
    CannotExport,  // GADGET-4 cannot run this galaxy, or the run asked for
    CannotWrite,   // the folder or a file in it could not be written
};
using Gadget4ExportStatus = Status<Gadget4ExportError>;

// The run offered when none is asked for: 1000 time steps, 10 snapshots.
Gadget4Run defaultGadget4Run(const CGalaxy& galaxy);

// Why GADGET-4 cannot run this galaxy (no stars, a model it has no
// counterpart for, no softening length), or "" when it can.
std::string gadget4GalaxyRefusal(const CGalaxy& galaxy);
// Why it cannot run it as asked (an end time or snapshot count out of its
// reach), or "" when it can.
std::string gadget4RunRefusal(const CGalaxy& galaxy, const Gadget4Run& run);

// The mass whose shield radius becomes GADGET-4's softening length: the
// median of the stars' positive masses, the lower middle one of an even
// count (0 when no star has one).
double gadget4TypicalMass(const CGalaxy& galaxy);

// The files' texts. param.txt and Config.sh belong together; README.txt
// names the folder by the given path.
std::string gadget4ParamText(const CGalaxy& galaxy, const Gadget4Run& run);
std::string gadget4ConfigText(int stars);
std::string gadget4ReadmeText(const CGalaxy& galaxy, const Gadget4Run& run, const std::string& folder);

// The files an export writes into its folder, in that order.
inline constexpr const char* kGadget4Files[] = {"ic.hdf5", "param.txt", "Config.sh", "README.txt"};

// Writes folder/ic.hdf5, param.txt, Config.sh and README.txt, creating the
// folder when it is missing (its parent must exist). Nothing is written when
// the galaxy or the run is refused or the folder cannot take files; each file
// is written through a temporary and replaces an older one only once it is
// complete, the snapshot first.
Gadget4ExportStatus exportForGadget4(const CGalaxy& galaxy, const std::string& folder, const Gadget4Run& run);
