#include "model/galaxy.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

#include <unistd.h>

CGalaxy g_galaxy;

std::uint32_t SystemTickCount() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

const char* potentialSourceName(int source) {
    switch (source) {
    case PotentialSource::Tree:
        return "tree";
    case PotentialSource::Mesh:
        return "mesh";
    default:
        return "exact";
    }
}

const char* starColorMenuName(int color) {
    static const char* const names[kStarColorCount] = {"White", "Red",    "Orange", "Yellow",
                                                       "Green", "Blue",   "Purple", "Cyan"};
    return color >= 0 && color < kStarColorCount ? names[color] : "";
}

Vec3Arrays::Vec3Arrays(int n) : count(n), owned(1) {
    x = new double[n]();
    y = new double[n]();
    z = new double[n]();
}

Vec3Arrays::~Vec3Arrays() {
    // Only a triple that allocated its arrays itself frees them; a released
    // or viewing triple leaves the memory to its owner.
    if (owned) {
        delete[] x;
        delete[] y;
        delete[] z;
    }
}

namespace {

// An array of zeros from calloc. A large one comes straight from the system
// as untouched zero pages, so that it costs neither time nor memory until it
// is written: most runs never use most of the integrators' work vectors, and
// zero-filling them took longer than generating a million-star galaxy.
template <class T>
class ZeroedArray {
public:
    explicit ZeroedArray(std::size_t count) : data_(static_cast<T*>(std::calloc(count ? count : 1, sizeof(T)))) {
        if (!data_) throw std::bad_alloc();
    }
    T* data() const { return data_.get(); }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T, Free> data_;
};

}  // namespace

// Every per-star array of one galaxy, obtained together so that a reset either
// gets all of them or changes nothing.
struct CGalaxy::Storage {
    explicit Storage(int count)
        : n(static_cast<std::size_t>(count)),
          state(6 * n),
          deriv(6 * n),
          scratch{ZeroedArray<double>(6 * n), ZeroedArray<double>(6 * n), ZeroedArray<double>(6 * n),
                  ZeroedArray<double>(6 * n), ZeroedArray<double>(6 * n), ZeroedArray<double>(6 * n),
                  ZeroedArray<double>(6 * n), ZeroedArray<double>(6 * n), ZeroedArray<double>(6 * n),
                  ZeroedArray<double>(6 * n)},
          mass(n),
          color(n),
          screenX(n),
          screenY(n),
          depth(n),
          slotHue(n),
          slotRed(n),
          slotGreen(n),
          slotBlue(n),
          drawOrder(n) {}

    std::size_t n;
    ZeroedArray<double> state, deriv;
    ZeroedArray<double> scratch[10];
    ZeroedArray<double> mass;
    ZeroedArray<int> color;
    ZeroedArray<double> screenX, screenY, depth, slotHue, slotRed, slotGreen, slotBlue;
    ZeroedArray<int> drawOrder;
};

std::size_t CGalaxy::bytesPerStar() {
    // state, deriv and ten scratch vectors of six doubles, the mass, seven
    // renderer doubles, and the colour and draw order ints
    return (12 * 6 + 1 + 7) * sizeof(double) + 2 * sizeof(int);
}

namespace {

// Memory the system can still give us without swapping, from the kernel's own
// estimate; 0 when it cannot be read.
unsigned long long availableMemoryBytes() {
    if (FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kb = 0;
        bool found = false;
        while (std::fgets(line, sizeof line, f)) {
            if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
                found = true;
                break;
            }
        }
        std::fclose(f);
        if (found) return kb * 1024ULL;
    }
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? static_cast<unsigned long long>(pages) * pageSize : 0;
}

}  // namespace

bool CGalaxy::canHold(long long count) {
    if (count < 0 || count > INT_MAX / 6) return false;
    const unsigned long long need = static_cast<unsigned long long>(count) * bytesPerStar();
    const unsigned long long avail = availableMemoryBytes();
    // Linux hands out address space it may not be able to back; a galaxy that
    // needs more than is available would be killed while its arrays are
    // zero-filled, so refuse it here instead.
    return avail == 0 || need <= avail;
}

int CGalaxy::firstNonFiniteStar() const {
    for (int i = 0; i < numStars; ++i)
        for (const double v : {mass[i], pos.x[i], pos.y[i], pos.z[i], vel.x[i], vel.y[i], vel.z[i]})
            if (!std::isfinite(v)) return i;
    return -1;
}

CGalaxy::CGalaxy() {
    fillNameTables(true);
    setScale(scale);
}

CGalaxy::~CGalaxy() { releaseArrays(); }

void CGalaxy::fillNameTables(bool all) {
    lengthUnitName = {"k ly", "AU", "AU", "", ""};
    timeUnitName = {"Myr", "days", "days", "", ""};
    massUnitName = {"Solar Masses", "Earth Masses", "Earth Masses", "", ""};
    scaleName = {"Galactic", "Solar System", "Earth-Sun", "", ""};
    if (all) {
        energyUnitName = {"Msol (k ly)^2/ (Myr)^2", "Mearth (AU)^2/ (day)^2", "Mearth (AU)^2/ (day)^2", "", ""};
        momentumUnitName = {"Msol k ly / Myr", "Mearth AU / day", "Mearth AU / day", "", ""};
    }
}

void CGalaxy::pointViews() {
    const int cap = stateLen / 6;
    pos.view(state, state + cap, state + 2 * cap);
    vel.view(state + 3 * cap, state + 4 * cap, state + 5 * cap);
    dpos.view(deriv, deriv + cap, deriv + 2 * cap);
    acc.view(deriv + 3 * cap, deriv + 4 * cap, deriv + 5 * cap);
}

void CGalaxy::releaseArrays() {
    storage_.reset();
    potentialMemo_ = {};
    state = deriv = nullptr;
    for (auto& s : scratch) s = nullptr;
    mass = nullptr;
    color = nullptr;
    screenX = screenY = depth = slotHue = slotRed = slotGreen = slotBlue = nullptr;
    drawOrder = nullptr;
    drawCount = 0;
    stateLen = 0;
    numStars = 0;
    pos.view(nullptr, nullptr, nullptr);
    vel.view(nullptr, nullptr, nullptr);
    dpos.view(nullptr, nullptr, nullptr);
    acc.view(nullptr, nullptr, nullptr);
}

bool CGalaxy::reset(int count, const Vec3Arrays& positions, const Vec3Arrays& velocities,
                    const double* masses, const int* colors) {
    if (!canHold(count)) return false;
    std::shared_ptr<Storage> fresh;
    try {
        fresh = std::make_shared<Storage>(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    storage_ = std::move(fresh);

    // 1. the state block and its views
    numStars = count;
    stateLen = 6 * count;
    state = storage_->state.data();
    deriv = storage_->deriv.data();
    for (int k = 0; k < 10; ++k) scratch[k] = storage_->scratch[k].data();
    pointViews();
    time = 0.0;

    // 2. the stars
    mass = storage_->mass.data();
    color = storage_->color.data();
    for (int i = 0; i < numStars; ++i) {
        if (masses) mass[i] = masses[i];
        if (colors) color[i] = colors[i];
        if (positions.x) {
            pos.x[i] = positions.x[i];
            pos.y[i] = positions.y[i];
            pos.z[i] = positions.z[i];
        }
        if (velocities.x) {
            vel.x[i] = velocities.x[i];
            vel.y[i] = velocities.y[i];
            vel.z[i] = velocities.z[i];
        }
    }

    // 3. physical constants
    solarMassKg = 1.99e30;
    earthMassKg = 5.97e24;
    auMeters = 1.5e11;
    gravitySI = 6.673e-11;
    kiloLightYearMeters = 9.46728e18;

    // 4. scale
    scale = scaleSetting;
    setScale(scale);

    // 5. renderer buffers and camera
    screenX = storage_->screenX.data();
    screenY = storage_->screenY.data();
    depth = storage_->depth.data();
    slotHue = storage_->slotHue.data();
    slotRed = storage_->slotRed.data();
    slotGreen = storage_->slotGreen.data();
    slotBlue = storage_->slotBlue.data();
    drawOrder = storage_->drawOrder.data();
    drawCount = 0;
    panX = panY = 0.0;
    orientation = Quaternion();

    // 6. live copies of the model settings
    timeStep = timeStepSetting;
    forceMethod = forceSetting;
    integrationMethod = integrationSetting;
    shieldModifier = shieldSetting;
    softening = softeningSetting;
    epsilon = epsilonSetting;
    openingAngle = openingAngleSetting;
    forceError = forceErrorSetting;
    historyCount = 0;

    // 7., 8. view flags and hues
    for (int& h : hideColor) h = 0;
    depthCue = 1;
    blackBackground = 1;
    chromaDepth = 0;
    redshift = 0;
    static const double hues[kStarColorCount] = {-1, 0, 30, 60, 110, 230, 290, 170};
    std::memcpy(hue, hues, sizeof hue);

    // 9. rotation and rate window
    rotationInUse = rotationFactor;
    iteration = 0;
    startTicks = tickCount();
    itersPerSecond = 0.0;

    // 10., 11.
    fillNameTables(false);
    darkMatter = darkMatterSetting;
    darkRadius = darkRadiusSetting;
    darkFraction = darkFractionSetting;
    haloMass = haloMassSetting;
    haloRadius = haloRadiusSetting;
    haloConcentration = haloConcentrationSetting;
    bulgeMass = bulgeMassSetting;
    bulgeRadius = bulgeRadiusSetting;
    modelNote.clear();
    return true;
}

bool CGalaxy::allocate() {
    long long count = requestedStars;
    if (isModelShape(shape)) count = modelStarCounts(shape, requestedStars, centralMass, modelSetting).total();
    if (count > INT_MAX) return false;
    return reset(static_cast<int>(count), Vec3Arrays(), Vec3Arrays(), nullptr, nullptr);
}

bool CGalaxy::meanMotion(double centre[3], double drift[3]) const {
    double m = 0.0, c[3] = {}, p[3] = {};
    for (int i = 0; i < numStars; ++i) {
        m += mass[i];
        c[0] += mass[i] * pos.x[i];
        c[1] += mass[i] * pos.y[i];
        c[2] += mass[i] * pos.z[i];
        p[0] += mass[i] * vel.x[i];
        p[1] += mass[i] * vel.y[i];
        p[2] += mass[i] * vel.z[i];
    }
    if (m == 0.0) return false;
    for (int k = 0; k < 3; ++k) {
        centre[k] = c[k] / m;
        drift[k] = p[k] / m;
    }
    return true;
}

void CGalaxy::centre() {
    double shift[3], drift[3];
    if (!meanMotion(shift, drift)) return;
    double* const positions[3] = {pos.x, pos.y, pos.z};
    double* const velocities[3] = {vel.x, vel.y, vel.z};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < numStars; ++i) {
            positions[k][i] -= shift[k];
            velocities[k][i] -= drift[k];
        }
    }
    historyCount = 0;
}

GalaxyView::GalaxyView(const CGalaxy& g)
    : orientation(g.orientation),
      scale(g.scale),
      boxSize(g.boxSize),
      viewDistance(g.viewDistance),
      panX(g.panX),
      panY(g.panY),
      ballMode(g.ballMode),
      starSize(g.starSize),
      depthCue(g.depthCue),
      chromaDepth(g.chromaDepth),
      redshift(g.redshift),
      blackBackground(g.blackBackground),
      trace(g.trace) {
    std::copy(std::begin(g.hideColor), std::end(g.hideColor), hideColor);
    std::copy(std::begin(g.hue), std::end(g.hue), hue);
}

void GalaxyView::restore(CGalaxy& g) const {
    g.orientation = orientation;
    if (g.scale == scale && g.boxSize == boxSize) g.viewDistance = viewDistance;
    g.panX = panX;
    g.panY = panY;
    g.ballMode = ballMode;
    g.starSize = starSize;
    g.depthCue = depthCue;
    g.chromaDepth = chromaDepth;
    g.redshift = redshift;
    g.blackBackground = blackBackground;
    g.trace = trace;
    std::copy(std::begin(hideColor), std::end(hideColor), g.hideColor);
    std::copy(std::begin(hue), std::end(hue), g.hue);
}
