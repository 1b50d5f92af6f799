#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/status.h"
#include "run/pictures.h"

class CGalaxy;

// Steps taken when --steps is not given: enough to see the energies move,
// short enough to finish at once for the desktop program's default galaxy.
inline constexpr int kDefaultSteps = 100;

// A galaxy file added to the galaxy before the first step, shifted by offset
// and given the extra velocity.
struct AddedGalaxy {
    std::string path;
    double offset[3] = {0.0, 0.0, 0.0};
    double velocity[3] = {0.0, 0.0, 0.0};
};

// What the command line asks for. A setting left unset keeps the value the
// galaxy was constructed with, which is the desktop program's default.
struct SimOptions {
    // galaxy settings
    std::optional<int> stars;
    std::optional<int> shape;
    std::optional<double> starMass;
    std::optional<double> centralMass;
    std::optional<double> rotation;
    std::optional<int> darkMatter;
    std::optional<double> darkRadius;
    std::optional<double> darkFraction;
    std::optional<int> scale;
    std::optional<unsigned> seed;

    // the equilibrium models (ModelParameters, written into modelSetting);
    // haloMass, haloRadius and concentration are also the numbers of a rigid
    // NFW or Hernquist halo (--dark-matter nfw|hernquist) beside any galaxy
    std::optional<double> totalMass;
    std::optional<double> scaleRadius;
    std::optional<double> concentration;
    std::optional<double> discMass;
    std::optional<double> discScaleLength;
    std::optional<double> discHeight;
    std::optional<double> toomreQ;
    bool constantQ = false;
    std::optional<double> bulgeMass;
    std::optional<double> bulgeRadius;
    std::optional<int> bulgeStars;
    std::optional<int> halo;  // ModelHalo
    std::optional<double> haloMass;
    std::optional<double> haloRadius;
    std::optional<int> haloStars;
    std::optional<double> massCutoff;

    // model settings
    std::optional<int> force;
    std::optional<int> integrator;
    std::optional<double> timeStep;
    std::optional<double> shield;
    std::optional<int> softening;
    std::optional<double> epsilon;
    std::optional<double> openingAngle;
    std::optional<double> forceError;

    // the run
    std::string loadPath;
    std::string replayPattern;  // a series of snapshots taken as the run instead of steps
    std::vector<AddedGalaxy> added;
    std::string savePath;
    std::string csvPath;
    std::string statePath;
    bool stateAccelerations = false;  // and each star's pull and potential in it
    int steps = kDefaultSteps;
    int reportEvery = 0;  // 0: report at the start and at the end only
    std::optional<int> threads;  // unset: ZYR_THREADS, else the hardware's
    bool centre = false;  // centre of mass to the origin, at rest, before the first step
    bool quiet = false;   // no human report
    bool exactEnergy = false;  // the potential from all pairs, also for tree and grid runs
    PictureOptions picture;
    // the hand-off to GADGET-4: a folder written instead of a run
    std::string gadget4Dir;
    std::optional<double> until;  // the end time of GADGET-4's run
    int snapshots = 10;           // after the one at the start
    bool help = false;
    bool version = false;
};

// Either the accepted options or, when the arguments are wrong, a message that
// names the offending option.
enum class OptionError { None, BadArguments };
using ParseResult = Result<SimOptions, OptionError>;

ParseResult parseOptions(int argc, const char* const* argv);

// One option by its long name without the dashes, with its value as the
// command line gives it (empty for a flag), for programs that take zyr-sim's
// options by name: empty when accepted, else the reason, as parseOptions
// words it after the option. An unknown name is refused.
std::string applyOption(SimOptions& options, std::string_view name, std::string_view value);
// The names an option accepts, "a|b|c", or empty when it takes a number, a
// file or nothing.
std::string optionChoices(std::string_view name);
// What --help says of an option: its description, the names it accepts and
// its default (read from the given galaxy, as helpText does).
std::string optionSummary(std::string_view name, const CGalaxy& defaults);

// Writes the settings the options give into the galaxy's *Setting fields (and
// the seed); the next reset takes them into the live values. A thread count
// applies to the process at once.
void applySettings(const SimOptions& options, CGalaxy& galaxy);

// The options of an equilibrium model that the galaxy, with the settings
// applySettings wrote, would not use (--toomre-q beside a sphere, say), as
// "--a, --b: only with --shape disc-galaxy", or empty; spelt as the Python
// module's keywords ("toomre_q: only with shape=disc-galaxy") when asked.
enum class OptionSpelling { Options, Keywords };
std::string unusedModelOptions(const SimOptions& options, const CGalaxy& galaxy,
                               OptionSpelling spelling = OptionSpelling::Options);

// The --help text; the defaults shown are read from the given galaxy, which
// must not have been changed since construction.
std::string helpText(const CGalaxy& defaults);
// The --version text.
std::string versionText();
