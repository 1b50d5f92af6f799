#pragma once

#include <string>

#include "io/galaxy_file.h"
#include "model/status.h"
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

// Generates the galaxy the options describe, as zyr-sim and Galaxy(...) do:
// the settings the options give are written first (applySettings). An
// equilibrium model is checked before anything is built: an option its shape
// does not use (unusedModelOptions) and the numbers modelProblem refuses are
// BadArguments, with the reason. A model's own choices of time step,
// softening and its length give way, as setting and live value, to those the
// options give. TooManyStars when the stars do not fit into memory. The
// spelling is that of the unused options' names in the reason.
enum class GenerateError { None, BadArguments, TooManyStars };
using GenerateStatus = Status<GenerateError>;
GenerateStatus generateGalaxy(CGalaxy& galaxy, const SimOptions& options,
                              OptionSpelling spelling = OptionSpelling::Options);
