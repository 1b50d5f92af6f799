#pragma once

#include <string>

#include "io/galaxy_file.h"
#include "run/options.h"

class CGalaxy;

// Loads the galaxy file or snapshot at path into the galaxy with the caller's
// settings, as zyr-sim's --load and the Python module's Galaxy.load take it:
// the settings the options give are written first (applySettings), then the
// file is read, and the model and halo settings the options give win over
// those a snapshot brings. What the galaxy then runs with also becomes its
// settings, so that stars added afterwards (a merge resets the galaxy to its
// settings) keep them. A file that cannot be read leaves the stars as they
// were and says why.
GalaxyFileStatus loadGalaxy(CGalaxy& galaxy, const std::string& path, const SimOptions& options);
