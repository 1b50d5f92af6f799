#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/colour.h"
#include "model/force_inputs.h"
#include "model/model_parameters.h"
#include "model/quaternion.h"

// The enumerations are plain ints in the fields that hold them; the
// namespaces keep their names out of the global scope.
namespace GalaxyShape {
enum : int { Sphere = 0, Disc = 1, Cube = 2, Grid2D = 3, Grid3D = 4, Rings = 5 };
// the equilibrium models (physics/equilibrium.h)
enum : int { Plummer = 6, Hernquist = 7, NFW = 8, DiscGalaxy = 9 };
}
namespace ForceMethod {
enum : int { Direct = 0, BarnesHut = 1, ParticleMesh = 2 };
}
// How close stars pull: the original's shield (no pull inside a radius that
// grows with mass and step), or a softening length epsilon.
namespace Softening {
enum : int { Shield = 0, Plummer = 1, Spline = 2 };
}
namespace IntegrationMethod {
enum : int { Euler = 0, ImprovedEuler = 1, RungeKutta4 = 2, AdamsMoulton = 3, DynamicEuler = 4, Leapfrog = 5 };
}
// Where the report's potential energy comes from: the exact pass over all
// pairs, or the tree or grid that the forces come from.
namespace PotentialSource {
enum : int { Exact = 0, Tree = 1, Mesh = 2 };
}
namespace UnitScale {
enum : int { Galactic = 0, SolarSystem = 1, EarthSun = 2 };
}
// The rigid halo: the original's uniform sphere holding a share of the total
// mass, or an NFW or Hernquist halo of a mass of its own.
namespace DarkMatterModel {
enum : int { None = 0, Sphere = 1, NFW = 2, Hernquist = 3 };
}
namespace StarColor {
enum : int { White = 0, Red = 1, Orange = 2, Yellow = 3, Green = 4, Blue = 5, Purple = 6, Cyan = 7 };
}

constexpr int kStarColorCount = 8;

// Three parallel arrays x, y, z. Either owning (built with a count) or a view
// into another buffer (owned = 0). Releasing only clears the flag; whoever
// allocated the arrays frees them.
struct Vec3Arrays {
    int count = 0;
    int owned = 0;
    double* x = nullptr;
    double* y = nullptr;
    double* z = nullptr;

    Vec3Arrays() = default;
    explicit Vec3Arrays(int n);
    Vec3Arrays(const Vec3Arrays&) = delete;
    Vec3Arrays& operator=(const Vec3Arrays&) = delete;
    ~Vec3Arrays();

    void release() { owned = 0; }
    void view(double* xs, double* ys, double* zs) {
        x = xs;
        y = ys;
        z = zs;
    }
};

class CGalaxy;

// The right-hand side of the equations of motion, which fills deriv from state:
// either a plain function or the gravity of one galaxy (its masses, force
// method and halo), so that each galaxy is stepped by its own forces. Two are
// equal when they are the same function or the gravity of the same galaxy.
// The call is defined beside ComputeDerivatives, in physics/forces.cpp.
class DerivativeFunc {
public:
    using Plain = void (*)(int stateLen, double time, double* state, double* deriv);

    DerivativeFunc() = default;
    DerivativeFunc(Plain f) : plain_(f) {}  // implicit: a function serves as it is
    explicit DerivativeFunc(const CGalaxy& gravityOf) : galaxy_(&gravityOf) {}

    void operator()(int stateLen, double time, double* state, double* deriv) const;
    bool operator==(const DerivativeFunc&) const = default;

private:
    Plain plain_ = nullptr;
    const CGalaxy* galaxy_ = nullptr;
};

using TickSource = std::uint32_t (*)();
std::uint32_t SystemTickCount();  // milliseconds, wrapping at 2^32

class CGalaxy {
public:
    CGalaxy();
    ~CGalaxy();
    CGalaxy(const CGalaxy&) = delete;
    CGalaxy& operator=(const CGalaxy&) = delete;

    // ---- state vector block --------------------------------------------
    int stateLen = 0;
    double* state = nullptr;
    double time = 0.0;
    double* deriv = nullptr;
    double* scratch[10] = {};
    int historyCount = 0;
    int numStars = 0;
    Vec3Arrays pos, vel, dpos, acc;

    // ---- per-star attributes ---------------------------------------------
    double* mass = nullptr;
    int* color = nullptr;

    // ---- galaxy settings (read by the next reset and generation) ----------
    int requestedStars = 512;
    int shape = GalaxyShape::Sphere;
    double starMass = 400.0;
    double centralMass = 0.0;
    double rotationFactor = 1.0;
    int darkMatterSetting = DarkMatterModel::None;
    double darkRadiusSetting = 5.0;
    double darkFractionSetting = 0.9;
    // the NFW or Hernquist rigid halo: mass (NFW: within c r_s), scale radius
    // r_s and concentration c; and a rigid Hernquist bulge (mass 0: none)
    double haloMassSetting = 5e11;
    double haloRadiusSetting = 60.0;
    double haloConcentrationSetting = 10.0;
    double bulgeMassSetting = 0.0;
    double bulgeRadiusSetting = 2.0;
    // the numbers of the equilibrium models, for shapes from Plummer on
    ModelParameters modelSetting;
    int scaleSetting = UnitScale::Galactic;

    // Seed of the generator: the calendar time in seconds unless one is given,
    // so that a run can be repeated exactly.
    std::optional<unsigned> randomSeed;

    // ---- model settings and their live copies -----------------------------
    int integrationSetting = IntegrationMethod::ImprovedEuler;
    int integrationMethod = IntegrationMethod::ImprovedEuler;
    int forceSetting = ForceMethod::Direct;
    int forceMethod = ForceMethod::Direct;
    double timeStepSetting = 8.0;
    double timeStep = 8.0;
    double shieldSetting = 10.0;
    double shieldModifier = 10.0;
    // With a softening the shield plays no part. epsilon is a length.
    int softeningSetting = Softening::Shield;
    int softening = Softening::Shield;
    double epsilonSetting = 0.05;
    double epsilon = 0.05;
    // The tree takes a cell whole when its edge over the distance is below
    // the opening angle; 0.4 with the shield is the original rule. A force
    // error target above 0 chooses the cells by their estimated error
    // instead (with a softening only).
    double openingAngleSetting = 0.4;
    double openingAngle = 0.4;
    double forceErrorSetting = 0.0;
    double forceError = 0.0;

    // ---- dark matter live values ------------------------------------------
    int darkMatter = DarkMatterModel::None;
    double darkRadius = 5.0;
    double darkFraction = 0.9;
    double haloMass = 5e11;
    double haloRadius = 60.0;
    double haloConcentration = 10.0;
    double bulgeMass = 0.0;
    double bulgeRadius = 2.0;

    // What the last generated model chose for its run (softening, time step,
    // view), for the report and the status bar; empty for other galaxies.
    std::string modelNote;

    // ---- physical constants and units -------------------------------------
    double solarMassKg = 1.99e30;
    double earthMassKg = 5.97e24;
    double auMeters = 1.5e11;
    double gravitySI = 6.673e-11;
    double kiloLightYearMeters = 9.46728e18;
    double massUnit = 0.0;
    double lengthUnit = 0.0;
    double timeUnit = 0.0;
    double gravity = 0.0;
    int scale = UnitScale::Galactic;
    double boxSize = 5.0;

    using NameTable = std::array<std::string, 5>;
    NameTable lengthUnitName, timeUnitName, massUnitName, energyUnitName, momentumUnitName, scaleName;

    // ---- bookkeeping results ----------------------------------------------
    double totalEnergy = 0.0;
    double potentialEnergy = 0.0;
    double kineticEnergy = 0.0;
    double totalMass = 0.0;
    double momentumX = 0.0, momentumY = 0.0, momentumZ = 0.0;
    double centerX = 0.0, centerY = 0.0, centerZ = 0.0;
    double itersPerSecond = 0.0;
    // Set by the bookkeeping: which potential the results above hold.
    int potentialSource = PotentialSource::Exact;
    // The exact pass over all pairs for the potential, whatever the force
    // method; otherwise Barnes-Hut and particle-mesh runs take it from their
    // tree or grid, at the cost of one force evaluation.
    int exactEnergy = 0;
    int iteration = 0;
    int lastIteration = 0;
    // Counts what changed the stars on a user's behalf (steps, edits, stars
    // added), so that a window can tell whether a file holds the galaxy as
    // it is: whatever changes the stars adds one.
    std::uint64_t changes = 0;
    std::uint32_t startTicks = 0;
    TickSource tickCount = SystemTickCount;

    // ---- view state shared by the renderer and the commands ---------------
    Quaternion orientation;
    double panX = 0.0, panY = 0.0;
    double panScale = 0.95;
    double viewDistance = 50.0;
    double depthSpan = 10.0;
    int ballMode = 0;
    int starSize = 0;
    int starColor = StarColor::White;
    int listFontSize = 12;
    int depthCue = 1;
    int chromaDepth = 0;
    int redshift = 0;
    int blackBackground = 1;
    int hideColor[kStarColorCount] = {};
    int trace = 0;
    // The camera looks at the current centre of mass instead of the origin
    // (the pan still adds to it), so a drifting galaxy stays in view.
    int followCentre = 0;
    double hue[kStarColorCount] = {};

    // renderer work buffers, one slot per star of the capacity
    double* screenX = nullptr;
    double* screenY = nullptr;
    double* depth = nullptr;
    int* drawOrder = nullptr;
    int drawCount = 0;
    double* slotHue = nullptr;
    double* slotRed = nullptr;
    double* slotGreen = nullptr;
    double* slotBlue = nullptr;
    double boxX[8] = {};
    double boxY[8] = {};
    int boxVisible[8] = {};
    ColourRamp chromaRamp;

    double rotationInUse = 1.0;

    // ---- lifecycle ---------------------------------------------------------
    void releaseArrays();
    // Resets to requestedStars stars at rest at the origin; false when memory
    // cannot hold them (the galaxy is then unchanged).
    bool allocate();
    // Installs count stars copied from the given arrays (null arrays mean
    // zeros) and resets everything else. The new arrays are obtained before the
    // old ones are freed, so a false result leaves the galaxy exactly as it was.
    bool reset(int count, const Vec3Arrays& positions, const Vec3Arrays& velocities,
               const double* masses, const int* colors);

    // The owner of the per-star arrays (state, masses, colours, ...). Whoever
    // holds it keeps the arrays of this moment alive, also after a reset has
    // given the galaxy new ones or once the galaxy is gone.
    std::shared_ptr<const void> arrays() const { return storage_; }
    // Capacity of the arrays (the count given to the last reset).
    int capacity() const { return stateLen / 6; }
    // Whether a reset to count stars fits the index range and the memory
    // available now.
    static bool canHold(long long count);
    static std::size_t bytesPerStar();

    // The first star whose mass, position or velocity is infinite or not a
    // number, or -1. Stars come that far only from a step that blew up.
    int firstNonFiniteStar() const;

    // A Galilean shift of every star: the centre of mass to the origin, the
    // total momentum to zero. Relative motion stays as it was; the
    // integrators start afresh. A massless galaxy is left alone.
    void centre();
    // The mass-weighted mean position and velocity; false, with nothing
    // written, for a galaxy without mass.
    bool meanMotion(double centre[3], double drift[3]) const;

    // model/units.cpp
    void setScale(int scale);
    // The box of the given edge, and the camera that frames it; each scale
    // has a box of its own, a model one that fits its stars.
    void setBox(double size);

    // The methods below need the forces or the renderer; the layers above
    // define them, and nothing in model/ calls them.

    // ---- generation: physics/generator.cpp ---------------------------------
    // allocate() followed by generate(): what New Galaxy and start-up do.
    bool newGalaxy();
    void generate();
    void startVelocities(double rotation);

    // ---- bookkeeping: physics/bookkeeping.cpp ------------------------------
    // exactPassProgress, when given, is told the share done of the exact pass
    // over all pairs while that pass runs.
    void bookkeeping(const std::function<void(double share)>& exactPassProgress = {});
    // The PotentialSource the next bookkeeping takes, by the settings now.
    int reportPotentialSource() const;

    // ---- renderer: render/projection.cpp -----------------------------------
    // Rotates, projects, colours and sorts the stars into the renderer slots
    // and projects the cube corners, about the centre of mass while
    // followCentre is set.
    void projectStars();
    // The depth-cueing brightness, 0.5 at the origin's depth.
    double depthBrightness(double z) const;

    // ---- integrators: physics/, a file each (euler.cpp, ...) ---------------
    void EulerStep(double h, DerivativeFunc f);
    void ImprovedEulerStep(double h, DerivativeFunc f);
    void RungeKutta4Step(double h, DerivativeFunc f);
    void AdamsMoultonStep(double h, DerivativeFunc f);
    void DynamicEulerStep(double h);
    void LeapfrogStep(double h, DerivativeFunc f);

    // The accelerations (x, y, z per star) the next leapfrog step under f
    // would start from, when they are known for the galaxy as it is now;
    // false, with nothing written, otherwise. A checkpoint keeps them, and
    // takeLeapfrogStart gives them back to the galaxy it restores.
    bool leapfrogStartAccelerations(DerivativeFunc f, std::vector<double>& rows) const;
    void takeLeapfrogStart(DerivativeFunc f, const std::vector<double>& rows);

private:
    // What the leapfrog's last closing kick was computed from, and the
    // accelerations it found: the next step starts from them when nothing
    // they depend on has changed since.
    struct LeapfrogStart {
        ForceInputs inputs;
        std::vector<double> ax, ay, az;
        DerivativeFunc f;
    };
    bool leapfrogStartHolds(DerivativeFunc f) const;
    void keepLeapfrogStart(DerivativeFunc f);
    LeapfrogStart leapfrog_;

    // The shares of the potential energy (as barnesHutPotentials gives them)
    // that the start velocities' tree walk found beside the pulls, and what
    // they were found from: the first report after a generation takes them
    // instead of walking the same tree again, and lets them go.
    struct PotentialMemo {
        ForceInputs inputs;
        std::vector<double> shares;
    };
    bool potentialMemoHolds() const;
    PotentialMemo potentialMemo_;

    void fillNameTables(bool all);
    void pointViews();
    struct Storage;
    std::shared_ptr<Storage> storage_;
};

// The view settings of a galaxy that the user or a picture may change (the
// camera, the zoom, the drawing flags and hues), taken from a galaxy and put
// back: a galaxy loaded in its place, or a picture drawn with other options,
// leaves the view as it was. The zoom is the camera's distance, which belongs
// to the box: a galaxy of another scale or box keeps its own.
struct GalaxyView {
    explicit GalaxyView(const CGalaxy& g);
    void restore(CGalaxy& g) const;

    Quaternion orientation;
    int scale;
    double boxSize, viewDistance, panX, panY;
    int ballMode, starSize, depthCue, chromaDepth, redshift, blackBackground, trace;
    int hideColor[kStarColorCount];
    double hue[kStarColorCount];
};

// The one simulation of the desktop program and of zyr-sim. The core never
// reads it: its functions work on the galaxy they are given.
extern CGalaxy g_galaxy;

// "exact", "tree" or "mesh", by PotentialSource.
const char* potentialSourceName(int source);

// Texts of the star colours, by StarColor index.
const char* starColorMenuName(int color);
