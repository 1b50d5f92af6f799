#include "io/snapshot_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include <hdf5.h>
#include <sys/stat.h>

#include "physics/adams_moulton.h"


namespace {

constexpr int kTypes = 6;
// The type Zyr's stars are written as: GADGET's collisionless halo particles.
constexpr int kStarType = 1;
// Stars of other codes' snapshots, coloured by their type: gas, halo, disk,
// bulge, stars, black holes.
constexpr int kTypeColor[kTypes] = {StarColor::Blue,   StarColor::White, StarColor::Yellow,
                                    StarColor::Orange, StarColor::Red,   StarColor::Purple};
constexpr int kZyrFormatVersion = 1;
// The blocks of a state vector (x, y, z, vx, vy, vz), each of the capacity:
// the rows of stars of an Adams-Moulton slot.
constexpr std::size_t kBlocks = 6;

// SWIFT's names for the units of a snapshot, in cgs.
constexpr const char* kUnitLength = "Unit length in cgs (U_L)";
constexpr const char* kUnitMass = "Unit mass in cgs (U_M)";
constexpr const char* kUnitTime = "Unit time in cgs (U_t)";
constexpr const char* kUnitCurrent = "Unit current in cgs (U_I)";
constexpr const char* kUnitTemperature = "Unit temperature in cgs (U_T)";

// A problem with the file's content; caught at the entry points and turned
// into a status naming the file.
struct BadSnapshot {
    std::string message;
};

// Owns one HDF5 identifier; the library reports its failures as negative ids.
class Handle {
public:
    Handle(hid_t id, herr_t (*closer)(hid_t)) : id_(id), close_(closer) {}
    Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, -1)), close_(other.close_) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (id_ >= 0) close_(id_);
    }
    hid_t get() const { return id_; }
    bool valid() const { return id_ >= 0; }
    // Closing a file written to is where its last data reach the disk.
    bool close() {
        const herr_t result = id_ >= 0 ? close_(id_) : -1;
        id_ = -1;
        return result >= 0;
    }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

// The library prints a stack of errors to stderr by default; its failures
// become our messages instead.
void silenceLibrary() { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); }

constexpr auto failure = GalaxyFileStatus::failure;

// ---- writing -------------------------------------------------------------------

void check(bool ok, const char* what) {
    if (!ok) throw BadSnapshot{std::string("cannot write ") + what};
}

// count 0 gives a scalar.
void writeAttribute(hid_t location, const char* name, hid_t fileType, hid_t memoryType, const void* data,
                    hsize_t count = 0) {
    Handle space(count > 0 ? H5Screate_simple(1, &count, nullptr) : H5Screate(H5S_SCALAR), H5Sclose);
    Handle attribute(H5Acreate2(location, name, fileType, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    check(space.valid() && attribute.valid() && H5Awrite(attribute.get(), memoryType, data) >= 0, name);
}

void writeDouble(hid_t location, const char* name, double value) {
    writeAttribute(location, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, &value);
}

void writeInt(hid_t location, const char* name, int value) {
    writeAttribute(location, name, H5T_STD_I32LE, H5T_NATIVE_INT, &value);
}

// Without the library's time stamps, saving the same galaxy twice gives the
// same bytes.
Handle untimed(hid_t propertyClass) {
    Handle list(H5Pcreate(propertyClass), H5Pclose);
    check(list.valid() && H5Pset_obj_track_times(list.get(), false) >= 0, "the file");
    return list;
}

// columns 0 gives a one-dimensional dataset.
void writeDataset(hid_t group, const char* name, hid_t fileType, hid_t memoryType, const void* data, hsize_t rows,
                  hsize_t columns = 0) {
    const hsize_t dims[2] = {rows, columns};
    Handle space(H5Screate_simple(columns > 0 ? 2 : 1, dims, nullptr), H5Sclose);
    const Handle creation = untimed(H5P_DATASET_CREATE);
    Handle dataset(H5Dcreate2(group, name, fileType, space.get(), H5P_DEFAULT, creation.get(), H5P_DEFAULT),
                   H5Dclose);
    check(space.valid() && dataset.valid() &&
              H5Dwrite(dataset.get(), memoryType, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) >= 0,
          name);
}

Handle createGroup(hid_t file, const char* name) {
    const Handle creation = untimed(H5P_GROUP_CREATE);
    Handle group(H5Gcreate2(file, name, H5P_DEFAULT, creation.get(), H5P_DEFAULT), H5Gclose);
    check(group.valid(), name);
    return group;
}

std::vector<double> interleaved(const Vec3Arrays& v, std::size_t n) {
    std::vector<double> rows(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        rows[3 * i] = v.x[i];
        rows[3 * i + 1] = v.y[i];
        rows[3 * i + 2] = v.z[i];
    }
    return rows;
}

// A star's ParticleID (see kStarsWith32BitIds). The colours survive codes
// that keep the IDs but drop /Zyr, as GADGET-4 does; the 8 tells such IDs
// from other codes' numbering.
constexpr std::uint64_t kIdStride = 16, kIdTag = 8;
static_assert(kStarColorCount <= kIdTag);
static_assert((kStarsWith32BitIds + 1) * kIdStride - 1 == 0xffffffffULL);

std::uint64_t colourId(std::size_t index, int colour) {
    return (static_cast<std::uint64_t>(index) + 1) * kIdStride + kIdTag + static_cast<std::uint64_t>(colour);
}

void writeHeader(hid_t file, const CGalaxy& g) {
    const Handle header = createGroup(file, "Header");
    const auto n = static_cast<std::uint64_t>(g.numStars);
    std::uint32_t thisFile[kTypes] = {}, total[kTypes] = {}, highWord[kTypes] = {};
    thisFile[kStarType] = total[kStarType] = static_cast<std::uint32_t>(n);
    highWord[kStarType] = static_cast<std::uint32_t>(n >> 32);
    const double massTable[kTypes] = {};
    writeAttribute(header.get(), "NumPart_ThisFile", H5T_STD_U32LE, H5T_NATIVE_UINT32, thisFile, kTypes);
    writeAttribute(header.get(), "NumPart_Total", H5T_STD_U32LE, H5T_NATIVE_UINT32, total, kTypes);
    writeAttribute(header.get(), "NumPart_Total_HighWord", H5T_STD_U32LE, H5T_NATIVE_UINT32, highWord, kTypes);
    writeAttribute(header.get(), "MassTable", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, massTable, kTypes);
    writeDouble(header.get(), "Time", g.time);
    writeDouble(header.get(), "Redshift", 0.0);
    // A box that holds every star, for readers that size their domain by it.
    double extent = g.boxSize;
    for (int i = 0; i < g.numStars; ++i)
        extent = std::max({extent, 2.0 * std::abs(g.pos.x[i]), 2.0 * std::abs(g.pos.y[i]), 2.0 * std::abs(g.pos.z[i])});
    writeDouble(header.get(), "BoxSize", extent);
    writeInt(header.get(), "NumFilesPerSnapshot", 1);
    writeDouble(header.get(), "Omega0", 0.0);
    writeDouble(header.get(), "OmegaLambda", 0.0);
    writeDouble(header.get(), "HubbleParam", 1.0);
    for (const char* flag : {"Flag_Sfr", "Flag_Cooling", "Flag_Feedback", "Flag_StellarAge", "Flag_Metals",
                             "Flag_Entropy_ICs"})
        writeInt(header.get(), flag, 0);
    writeInt(header.get(), "Flag_DoublePrecision", 1);
}

void writeUnits(hid_t file, const CGalaxy& g) {
    const Handle units = createGroup(file, "Units");
    writeDouble(units.get(), kUnitLength, g.lengthUnit * 100.0);
    writeDouble(units.get(), kUnitMass, g.massUnit * 1000.0);
    writeDouble(units.get(), kUnitTime, g.timeUnit);
    writeDouble(units.get(), kUnitCurrent, 1.0);
    writeDouble(units.get(), kUnitTemperature, 1.0);
}

void writeStars(hid_t file, const CGalaxy& g) {
    const auto n = static_cast<std::size_t>(g.numStars);
    // GADGET's readers expect no group for a type without particles.
    if (n == 0) return;
    const Handle stars = createGroup(file, "PartType1");
    writeDataset(stars.get(), "Coordinates", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, interleaved(g.pos, n).data(), n, 3);
    writeDataset(stars.get(), "Velocities", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, interleaved(g.vel, n).data(), n, 3);
    writeDataset(stars.get(), "Masses", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, g.mass, n);
    std::vector<std::uint64_t> ids(n);
    for (std::size_t i = 0; i < n; ++i) ids[i] = colourId(i, g.color[i]);
    writeDataset(stars.get(), "ParticleIDs", H5T_STD_U64LE, H5T_NATIVE_UINT64, ids.data(), n);
}

// Adams-Moulton's filled history slots as rows of stars, six rows (x, y, z,
// vx, vy, vz) per slot, oldest slot first; the leapfrog's start accelerations.
void writeIntegratorMemory(hid_t zyr, const CGalaxy& g) {
    const auto n = static_cast<std::size_t>(g.numStars);
    if (g.integrationMethod == IntegrationMethod::AdamsMoulton && g.historyCount > 0) {
        writeInt(zyr, "AdamsMoultonSteps", g.historyCount);
        const int slots = adamsMoultonFilledSlots(g.historyCount);
        const auto cap = static_cast<std::size_t>(g.capacity());
        std::vector<double> derivatives(kBlocks * slots * n), times(kBlocks * slots * n);
        for (int slot = 0; slot < slots; ++slot) {
            for (std::size_t b = 0; b < kBlocks; ++b) {
                const std::size_t row = (kBlocks * slot + b) * n;
                std::copy_n(g.scratch[kAdamsMoultonDerivatives + slot] + b * cap, n, derivatives.begin() + row);
                std::copy_n(g.scratch[kAdamsMoultonTimes + slot] + b * cap, n, times.begin() + row);
            }
        }
        const auto rows = static_cast<hsize_t>(kBlocks * slots);
        writeDataset(zyr, "AdamsMoultonDerivatives", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, derivatives.data(), rows, n);
        writeDataset(zyr, "AdamsMoultonTimes", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, times.data(), rows, n);
    }
    std::vector<double> accelerations;
    if (g.integrationMethod == IntegrationMethod::Leapfrog &&
        g.leapfrogStartAccelerations(DerivativeFunc(g), accelerations)) {
        writeDataset(zyr, "LeapfrogAccelerations", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, accelerations.data(), n, 3);
    }
}

void writeZyrData(hid_t file, const CGalaxy& g) {
    const Handle zyr = createGroup(file, "Zyr");
    writeInt(zyr.get(), "FormatVersion", kZyrFormatVersion);
    writeInt(zyr.get(), "Scale", g.scale);
    writeDouble(zyr.get(), "TimeStep", g.timeStep);
    writeInt(zyr.get(), "IntegrationMethod", g.integrationMethod);
    writeInt(zyr.get(), "ForceMethod", g.forceMethod);
    writeDouble(zyr.get(), "ShieldModifier", g.shieldModifier);
    writeInt(zyr.get(), "DarkMatter", g.darkMatter);
    writeDouble(zyr.get(), "DarkRadius", g.darkRadius);
    writeDouble(zyr.get(), "DarkFraction", g.darkFraction);
    writeDouble(zyr.get(), "HaloMass", g.haloMass);
    writeDouble(zyr.get(), "HaloRadius", g.haloRadius);
    writeDouble(zyr.get(), "HaloConcentration", g.haloConcentration);
    writeDouble(zyr.get(), "BulgeMass", g.bulgeMass);
    writeDouble(zyr.get(), "BulgeRadius", g.bulgeRadius);
    writeInt(zyr.get(), "Softening", g.softening);
    writeDouble(zyr.get(), "Epsilon", g.epsilon);
    writeDouble(zyr.get(), "OpeningAngle", g.openingAngle);
    writeDouble(zyr.get(), "ForceError", g.forceError);
    writeDouble(zyr.get(), "BoxSize", g.boxSize);
    writeAttribute(zyr.get(), "HiddenColors", H5T_STD_I32LE, H5T_NATIVE_INT, g.hideColor, kStarColorCount);
    const auto n = static_cast<std::size_t>(g.numStars);
    if (n == 0) return;
    // In the order of the ParticleIDs, which is the order of the stars.
    std::vector<std::uint8_t> colors(g.color, g.color + n);
    writeDataset(zyr.get(), "Colors", H5T_STD_U8LE, H5T_NATIVE_UINT8, colors.data(), n);
    writeIntegratorMemory(zyr.get(), g);
}

// ---- reading -------------------------------------------------------------------

bool exists(hid_t location, const char* name) { return H5Lexists(location, name, H5P_DEFAULT) > 0; }

Handle openGroup(hid_t file, const std::string& name) {
    if (!exists(file, name.c_str())) throw BadSnapshot{"it has no group /" + name};
    Handle group(H5Gopen2(file, name.c_str(), H5P_DEFAULT), H5Gclose);
    if (!group.valid()) throw BadSnapshot{"/" + name + " is not a group"};
    return group;
}

const char* className(H5T_class_t c) { return c == H5T_FLOAT ? "floating-point numbers" : "integers"; }

// Reads count values of an attribute that must hold numbers of the given
// class; false when it is absent.
bool readAttribute(hid_t location, const std::string& where, const char* name, H5T_class_t wanted, hid_t memoryType,
                   void* data, hssize_t count = 1) {
    if (H5Aexists(location, name) <= 0) return false;
    const std::string what = where + " attribute " + name;
    Handle attribute(H5Aopen(location, name, H5P_DEFAULT), H5Aclose);
    Handle type(attribute.valid() ? H5Aget_type(attribute.get()) : -1, H5Tclose);
    Handle space(attribute.valid() ? H5Aget_space(attribute.get()) : -1, H5Sclose);
    if (!type.valid() || !space.valid()) throw BadSnapshot{what + " cannot be read"};
    const H5T_class_t found = H5Tget_class(type.get());
    // Integers are read as doubles too, as some writers store 1 for 1.0.
    if (found != wanted && !(wanted == H5T_FLOAT && found == H5T_INTEGER))
        throw BadSnapshot{what + " does not hold " + className(wanted)};
    if (H5Sget_simple_extent_npoints(space.get()) != count)
        throw BadSnapshot{what + " holds " + std::to_string(H5Sget_simple_extent_npoints(space.get())) +
                          " values instead of " + std::to_string(count)};
    if (H5Aread(attribute.get(), memoryType, data) < 0) throw BadSnapshot{what + " cannot be read"};
    return true;
}

template <class T>
void requireAttribute(hid_t location, const std::string& where, const char* name, H5T_class_t wanted,
                      hid_t memoryType, T* data, hssize_t count = 1) {
    if (!readAttribute(location, where, name, wanted, memoryType, data, count))
        throw BadSnapshot{where + " has no attribute " + name};
}

double readDouble(hid_t location, const std::string& where, const char* name, double otherwise) {
    double value = otherwise;
    readAttribute(location, where, name, H5T_FLOAT, H5T_NATIVE_DOUBLE, &value);
    return value;
}

long long readInteger(hid_t location, const std::string& where, const char* name, long long otherwise) {
    long long value = otherwise;
    readAttribute(location, where, name, H5T_INTEGER, H5T_NATIVE_LLONG, &value);
    return value;
}

// A whole dataset of rows x columns values (columns 0: one-dimensional).
template <class T>
void readDataset(hid_t group, const std::string& where, const char* name, H5T_class_t wanted, hid_t memoryType,
                 hsize_t rows, hsize_t columns, std::vector<T>& out) {
    const std::string what = where + "/" + name;
    if (!exists(group, name)) throw BadSnapshot{"it has no dataset " + what};
    Handle dataset(H5Dopen2(group, name, H5P_DEFAULT), H5Dclose);
    Handle type(dataset.valid() ? H5Dget_type(dataset.get()) : -1, H5Tclose);
    Handle space(dataset.valid() ? H5Dget_space(dataset.get()) : -1, H5Sclose);
    if (!type.valid() || !space.valid()) throw BadSnapshot{what + " is not a dataset"};
    if (H5Tget_class(type.get()) != wanted) throw BadSnapshot{what + " does not hold " + className(wanted)};
    const int rank = H5Sget_simple_extent_ndims(space.get());
    hsize_t dims[2] = {0, 0};
    const int wantedRank = columns > 0 ? 2 : 1;
    if (rank != wantedRank || H5Sget_simple_extent_dims(space.get(), dims, nullptr) != rank || dims[0] != rows ||
        (columns > 0 && dims[1] != columns)) {
        throw BadSnapshot{what + " is not of shape " + std::to_string(rows) +
                          (columns > 0 ? " x " + std::to_string(columns) : std::string()) +
                          ", as the header's counts say"};
    }
    // A dataset whose values were never written reads as fill values, so a
    // few bytes could claim gigabytes: a contiguous one must hold all of its
    // values, a chunked one no more than deflate's best ratio (about 1032:1)
    // beyond what it stores.
    Handle plist(H5Dget_create_plist(dataset.get()), H5Pclose);
    const hsize_t needed = rows * std::max<hsize_t>(columns, 1) * H5Tget_size(type.get());
    const hsize_t stored = H5Dget_storage_size(dataset.get());
    const bool chunked = plist.valid() && H5Pget_layout(plist.get()) == H5D_CHUNKED;
    if (chunked ? needed / 1100 > stored : needed > stored)
        throw BadSnapshot{what + " holds fewer values than its shape says"};
    out.resize(rows * std::max<hsize_t>(columns, 1));
    if (!out.empty() && H5Dread(dataset.get(), memoryType, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.data()) < 0)
        throw BadSnapshot{what + " cannot be read; the file may be damaged or truncated"};
}

void requireFinite(const std::vector<double>& values, const std::string& what) {
    for (const double v : values)
        if (!std::isfinite(v)) throw BadSnapshot{what + " holds a value that is infinite or not a number"};
}

struct Header {
    long long thisFile[kTypes] = {}, total[kTypes] = {};
    double massTable[kTypes] = {};
    double time = 0.0;
    long long files = 1;
};

Header readHeader(hid_t file) {
    const Handle group = openGroup(file, "Header");
    const std::string where = "/Header";
    Header h;
    long long low[kTypes] = {}, high[kTypes] = {};
    requireAttribute(group.get(), where, "NumPart_ThisFile", H5T_INTEGER, H5T_NATIVE_LLONG, h.thisFile, kTypes);
    requireAttribute(group.get(), where, "NumPart_Total", H5T_INTEGER, H5T_NATIVE_LLONG, low, kTypes);
    readAttribute(group.get(), where, "NumPart_Total_HighWord", H5T_INTEGER, H5T_NATIVE_LLONG, high, kTypes);
    requireAttribute(group.get(), where, "MassTable", H5T_FLOAT, H5T_NATIVE_DOUBLE, h.massTable, kTypes);
    requireAttribute(group.get(), where, "Time", H5T_FLOAT, H5T_NATIVE_DOUBLE, &h.time);
    h.files = readInteger(group.get(), where, "NumFilesPerSnapshot", 1);
    for (int t = 0; t < kTypes; ++t) {
        // Writers store the total in two 32-bit words.
        if (h.thisFile[t] < 0 || low[t] < 0 || low[t] > 0xffffffffLL || high[t] < 0 || high[t] > 0x7fffffffLL)
            throw BadSnapshot{"/Header holds a negative or impossible particle count for type " + std::to_string(t)};
        h.total[t] = (high[t] << 32) | low[t];
        // Checked per type, so that the sum over the types cannot overflow.
        if (!CGalaxy::canHold(h.total[t]) || !CGalaxy::canHold(h.thisFile[t]))
            throw BadSnapshot{"its particles of type " + std::to_string(t) + " are more than memory can hold"};
        if (!std::isfinite(h.massTable[t]) || h.massTable[t] < 0.0)
            throw BadSnapshot{"/Header attribute MassTable holds a mass that is negative or not a number"};
    }
    if (!std::isfinite(h.time)) throw BadSnapshot{"/Header attribute Time is infinite or not a number"};
    if (h.files < 1) throw BadSnapshot{"/Header attribute NumFilesPerSnapshot is less than 1"};
    const double redshift = readDouble(group.get(), where, "Redshift", 0.0);
    if (redshift != 0.0) {
        throw BadSnapshot{"it is a snapshot of a cosmological run (redshift " + std::to_string(redshift) +
                          "), whose positions and velocities are comoving; only runs in physical coordinates can be "
                          "loaded"};
    }
    return h;
}

// The stars of all parts as read, before they are put in ParticleIDs order.
struct Particles {
    std::vector<double> mass, pos, vel;  // pos and vel: x, y, z per star
    std::vector<std::uint64_t> ids;
    std::vector<int> color;
};

// who: "it", or the part's number and name.
Handle openFile(const std::string& path, const std::string& who) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw BadSnapshot{who + " is missing"};
    if (!S_ISREG(st.st_mode)) throw BadSnapshot{who + " is not a regular file"};
    if (H5Fis_hdf5(path.c_str()) <= 0) throw BadSnapshot{who + " is not an HDF5 file"};
    Handle file(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    if (!file.valid()) throw BadSnapshot{who + " cannot be opened; it may be damaged or truncated"};
    return file;
}

void readPart(hid_t file, const Header& h, Particles& out) {
    for (int t = 0; t < kTypes; ++t) {
        const auto n = static_cast<hsize_t>(h.thisFile[t]);
        if (n == 0) continue;
        const std::string name = "PartType" + std::to_string(t);
        const Handle group = openGroup(file, name);
        const std::string where = "/" + name;
        std::vector<double> pos, vel, mass;
        std::vector<std::uint64_t> ids;
        readDataset(group.get(), where, "Coordinates", H5T_FLOAT, H5T_NATIVE_DOUBLE, n, 3, pos);
        readDataset(group.get(), where, "Velocities", H5T_FLOAT, H5T_NATIVE_DOUBLE, n, 3, vel);
        readDataset(group.get(), where, "ParticleIDs", H5T_INTEGER, H5T_NATIVE_UINT64, n, 0, ids);
        // Particles of one mass share the header's entry instead of a dataset.
        if (h.massTable[t] == 0.0 || exists(group.get(), "Masses"))
            readDataset(group.get(), where, "Masses", H5T_FLOAT, H5T_NATIVE_DOUBLE, n, 0, mass);
        else
            mass.assign(n, h.massTable[t]);
        requireFinite(pos, where + "/Coordinates");
        requireFinite(vel, where + "/Velocities");
        requireFinite(mass, where + "/Masses");
        out.pos.insert(out.pos.end(), pos.begin(), pos.end());
        out.vel.insert(out.vel.end(), vel.begin(), vel.end());
        out.mass.insert(out.mass.end(), mass.begin(), mass.end());
        out.ids.insert(out.ids.end(), ids.begin(), ids.end());
        out.color.insert(out.color.end(), n, kTypeColor[t]);
    }
}

// The name of part k of a multi-file snapshot, from the name of any part.
std::string partName(const std::string& path, long long part, long long files) {
    const std::string suffix = ".hdf5";
    const std::size_t end = path.size() >= suffix.size() ? path.size() - suffix.size() : 0;
    const std::size_t dot = path.rfind('.', end > 0 ? end - 1 : 0);
    const bool numbered = path.compare(end, std::string::npos, suffix) == 0 && dot != std::string::npos &&
                          dot + 1 < end &&
                          std::all_of(path.begin() + static_cast<long>(dot) + 1, path.begin() + static_cast<long>(end),
                                      [](char c) { return c >= '0' && c <= '9'; });
    if (!numbered) {
        throw BadSnapshot{"it is one of " + std::to_string(files) +
                          " files of a snapshot, but its name does not end in .<part>.hdf5"};
    }
    return path.substr(0, dot + 1) + std::to_string(part) + suffix;
}

// Factors from the file's units to those of the galaxy's scale, when the
// file states them: SWIFT's /Units, or the parameters GADGET-4 writes.
struct Conversion {
    double length = 1.0, mass = 1.0, time = 1.0;
};

Conversion unitsOf(hid_t file, const CGalaxy& g) {
    double length = 0.0, mass = 0.0, time = 0.0;
    if (exists(file, "Units")) {
        const Handle units = openGroup(file, "Units");
        length = readDouble(units.get(), "/Units", kUnitLength, 0.0);
        mass = readDouble(units.get(), "/Units", kUnitMass, 0.0);
        time = readDouble(units.get(), "/Units", kUnitTime, 0.0);
    } else if (exists(file, "Parameters")) {
        const Handle parameters = openGroup(file, "Parameters");
        length = readDouble(parameters.get(), "/Parameters", "UnitLength_in_cm", 0.0);
        mass = readDouble(parameters.get(), "/Parameters", "UnitMass_in_g", 0.0);
        const double velocity = readDouble(parameters.get(), "/Parameters", "UnitVelocity_in_cm_per_s", 0.0);
        time = velocity != 0.0 ? length / velocity : 0.0;
    }
    if (length == 0.0 && mass == 0.0 && time == 0.0) return {};
    const Conversion c{length / (g.lengthUnit * 100.0), mass / (g.massUnit * 1000.0), time / g.timeUnit};
    for (const double f : {c.length, c.mass, c.time})
        if (!std::isfinite(f) || f <= 0.0)
            throw BadSnapshot{"the units it states are not all positive numbers (length, mass and time in cgs)"};
    return c;
}

void refuseComoving(hid_t file) {
    long long comoving = 0;
    if (exists(file, "Parameters")) {
        const Handle parameters = openGroup(file, "Parameters");
        comoving = readInteger(parameters.get(), "/Parameters", "ComovingIntegrationOn", 0);
    }
    if (comoving == 0 && exists(file, "Cosmology")) {
        const Handle cosmology = openGroup(file, "Cosmology");
        comoving = readInteger(cosmology.get(), "/Cosmology", "Cosmological run", 0);
    }
    if (comoving != 0) {
        throw BadSnapshot{"it is a snapshot of a cosmological run, whose positions and velocities are comoving; "
                          "only runs in physical coordinates can be loaded"};
    }
}

void readIntegratorMemory(hid_t zyr, hsize_t stars, SnapshotData& out) {
    const std::string where = "/Zyr";
    const long long steps = readInteger(zyr, where, "AdamsMoultonSteps", 0);
    if (steps < 0 || steps > INT_MAX) throw BadSnapshot{"/Zyr attribute AdamsMoultonSteps is out of range"};
    if (steps > 0) {
        const auto rows = static_cast<hsize_t>(kBlocks * adamsMoultonFilledSlots(steps));
        readDataset(zyr, where, "AdamsMoultonDerivatives", H5T_FLOAT, H5T_NATIVE_DOUBLE, rows, stars,
                    out.historyDerivatives);
        readDataset(zyr, where, "AdamsMoultonTimes", H5T_FLOAT, H5T_NATIVE_DOUBLE, rows, stars, out.historyTimes);
        requireFinite(out.historyDerivatives, where + "/AdamsMoultonDerivatives");
        requireFinite(out.historyTimes, where + "/AdamsMoultonTimes");
        out.historyCount = steps;
    }
    if (exists(zyr, "LeapfrogAccelerations")) {
        readDataset(zyr, where, "LeapfrogAccelerations", H5T_FLOAT, H5T_NATIVE_DOUBLE, stars, 3,
                    out.leapfrogAccelerations);
        requireFinite(out.leapfrogAccelerations, where + "/LeapfrogAccelerations");
    }
}

// Zyr's own data: the scale, the model settings, the halo, the colours in
// ParticleIDs order and what the integrator carries from step to step.
void readZyrData(hid_t file, long long stars, SnapshotData& out, std::vector<int>& colors) {
    const Handle zyr = openGroup(file, "Zyr");
    const std::string where = "/Zyr";
    long long scale = 0, integration = 0, force = 0;
    requireAttribute(zyr.get(), where, "Scale", H5T_INTEGER, H5T_NATIVE_LLONG, &scale);
    requireAttribute(zyr.get(), where, "IntegrationMethod", H5T_INTEGER, H5T_NATIVE_LLONG, &integration);
    requireAttribute(zyr.get(), where, "ForceMethod", H5T_INTEGER, H5T_NATIVE_LLONG, &force);
    requireAttribute(zyr.get(), where, "TimeStep", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.timeStep);
    requireAttribute(zyr.get(), where, "ShieldModifier", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.shieldModifier);
    if (scale < UnitScale::Galactic || scale > UnitScale::EarthSun) throw BadSnapshot{"/Zyr names no known scale"};
    if (integration < IntegrationMethod::Euler || integration > IntegrationMethod::Leapfrog)
        throw BadSnapshot{"/Zyr names no known integration method"};
    if (force < ForceMethod::Direct || force > ForceMethod::ParticleMesh)
        throw BadSnapshot{"/Zyr names no known force method"};
    if (!std::isfinite(out.timeStep) || !std::isfinite(out.shieldModifier) || out.shieldModifier < 0.0)
        throw BadSnapshot{"/Zyr holds a time step or shield modifier that is not a usable number"};
    out.stars.scale = static_cast<int>(scale);
    out.integrationMethod = static_cast<int>(integration);
    out.forceMethod = static_cast<int>(force);
    out.hasSettings = true;
    // Files written before the halo was kept leave the halo to the settings.
    if (H5Aexists(zyr.get(), "DarkMatter") > 0) {
        long long halo = 0;
        requireAttribute(zyr.get(), where, "DarkMatter", H5T_INTEGER, H5T_NATIVE_LLONG, &halo);
        requireAttribute(zyr.get(), where, "DarkRadius", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.darkRadius);
        requireAttribute(zyr.get(), where, "DarkFraction", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.darkFraction);
        if (halo < DarkMatterModel::None || halo > DarkMatterModel::Hernquist || !(out.darkRadius > 0.0) ||
            !std::isfinite(out.darkRadius) || !(out.darkFraction >= 0.0 && out.darkFraction < 1.0))
            throw BadSnapshot{"/Zyr describes no possible halo (a model, a radius above 0, a share from 0 below 1)"};
        out.darkMatter = static_cast<int>(halo);
        out.hasHalo = true;
        // The NFW and Hernquist halos need their numbers; files written
        // before them lack them and have neither.
        const bool needed = halo == DarkMatterModel::NFW || halo == DarkMatterModel::Hernquist;
        if (needed || H5Aexists(zyr.get(), "HaloMass") > 0) {
            requireAttribute(zyr.get(), where, "HaloMass", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.haloMass);
            requireAttribute(zyr.get(), where, "HaloRadius", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.haloRadius);
            requireAttribute(zyr.get(), where, "HaloConcentration", H5T_FLOAT, H5T_NATIVE_DOUBLE,
                             &out.haloConcentration);
            if (!(out.haloMass >= 0.0) || !std::isfinite(out.haloMass) || !(out.haloRadius > 0.0) ||
                !std::isfinite(out.haloRadius) || !(out.haloConcentration > 0.0) ||
                !std::isfinite(out.haloConcentration))
                throw BadSnapshot{"/Zyr describes no possible NFW or Hernquist halo (a mass of 0 or more, a radius "
                                  "and a concentration above 0)"};
            out.hasHaloNumbers = true;
        }
    }
    // Files written before the rigid bulge have none.
    if (H5Aexists(zyr.get(), "BulgeMass") > 0) {
        requireAttribute(zyr.get(), where, "BulgeMass", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.bulgeMass);
        requireAttribute(zyr.get(), where, "BulgeRadius", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.bulgeRadius);
        if (!(out.bulgeMass >= 0.0) || !std::isfinite(out.bulgeMass) || !(out.bulgeRadius > 0.0) ||
            !std::isfinite(out.bulgeRadius))
            throw BadSnapshot{"/Zyr describes no possible bulge (a mass of 0 or more, a radius above 0)"};
        out.hasBulge = true;
    }
    // Files written before the softening was kept pulled with the shield.
    if (H5Aexists(zyr.get(), "Softening") > 0) {
        long long softening = 0;
        requireAttribute(zyr.get(), where, "Softening", H5T_INTEGER, H5T_NATIVE_LLONG, &softening);
        requireAttribute(zyr.get(), where, "Epsilon", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.epsilon);
        requireAttribute(zyr.get(), where, "OpeningAngle", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.openingAngle);
        requireAttribute(zyr.get(), where, "ForceError", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.forceError);
        if (softening < Softening::Shield || softening > Softening::Spline || !(out.epsilon > 0.0) ||
            !std::isfinite(out.epsilon) || !(out.openingAngle > 0.0) || !std::isfinite(out.openingAngle) ||
            !(out.forceError >= 0.0) || !std::isfinite(out.forceError))
            throw BadSnapshot{"/Zyr describes no possible force law (a softening, a length and an opening angle "
                              "above 0, a force error of 0 or more)"};
        out.softening = static_cast<int>(softening);
        out.hasGravity = true;
    }
    // Files written before the box was kept are framed by their scale, and
    // show every colour.
    if (readAttribute(zyr.get(), where, "BoxSize", H5T_FLOAT, H5T_NATIVE_DOUBLE, &out.boxSize)) {
        if (!(out.boxSize > 0.0) || !std::isfinite(out.boxSize))
            throw BadSnapshot{"/Zyr holds a box size that is not a number above 0"};
        out.hasBox = true;
    }
    long long hidden[kStarColorCount] = {};
    if (readAttribute(zyr.get(), where, "HiddenColors", H5T_INTEGER, H5T_NATIVE_LLONG, hidden, kStarColorCount)) {
        for (int c = 0; c < kStarColorCount; ++c) {
            if (hidden[c] != 0 && hidden[c] != 1)
                throw BadSnapshot{"/Zyr attribute HiddenColors holds a value other than 0 or 1"};
            out.hiddenColors[c] = static_cast<int>(hidden[c]);
        }
        out.hasHiddenColors = true;
    }
    if (stars == 0) return;
    std::vector<long long> read;
    readDataset(zyr.get(), where, "Colors", H5T_INTEGER, H5T_NATIVE_LLONG, static_cast<hsize_t>(stars), 0, read);
    for (const long long c : read)
        if (c < 0 || c >= kStarColorCount) throw BadSnapshot{"/Zyr/Colors holds a colour outside 0 to 7"};
    colors.assign(read.begin(), read.end());
    readIntegratorMemory(zyr.get(), static_cast<hsize_t>(stars), out);
}

SnapshotData readSnapshot(const std::string& path, const CGalaxy& g) {
    const Handle first = openFile(path, "it");
    const Header h = readHeader(first.get());
    refuseComoving(first.get());
    long long stars = 0;
    for (const long long n : h.total) stars += n;
    if (!CGalaxy::canHold(stars))
        throw BadSnapshot{"its " + std::to_string(stars) + " particles are more than memory can hold"};

    Particles p;
    long long thisFile[kTypes] = {};
    for (long long part = 0; part < h.files; ++part) {
        Header ph = h;
        if (h.files > 1) {
            const std::string name = partName(path, part, h.files);
            const std::string role = "part " + std::to_string(part) + " of " + std::to_string(h.files) + ", ";
            const Handle file = openFile(name, role + name + ",");
            ph = readHeader(file.get());
            if (ph.files != h.files || !std::equal(ph.total, ph.total + kTypes, h.total))
                throw BadSnapshot{role + name + ", has a header that disagrees with the other parts"};
            readPart(file.get(), ph, p);
        } else {
            readPart(first.get(), ph, p);
        }
        for (int t = 0; t < kTypes; ++t) thisFile[t] += ph.thisFile[t];
    }
    for (int t = 0; t < kTypes; ++t) {
        if (thisFile[t] != h.total[t]) {
            throw BadSnapshot{"its files hold " + std::to_string(thisFile[t]) + " particles of type " +
                              std::to_string(t) + ", but /Header counts " + std::to_string(h.total[t])};
        }
    }

    SnapshotData out;
    out.stars.scale = g.scale;
    out.time = h.time;
    Conversion c;
    std::vector<int> colors;
    if (exists(first.get(), "Zyr"))
        readZyrData(first.get(), stars, out, colors);
    else
        c = unitsOf(first.get(), g);

    const auto n = static_cast<std::size_t>(stars);
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p.ids[a] < p.ids[b]; });
    GalaxyFileData& s = out.stars;
    std::vector<double>* const coords[] = {&s.x, &s.y, &s.z, &s.vx, &s.vy, &s.vz};
    for (auto* field : coords) field->resize(n);
    s.mass.resize(n);
    s.color.resize(n);
    const double velocity = c.length / c.time;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = order[i];
        for (int d = 0; d < 3; ++d) {
            (*coords[d])[i] = p.pos[3 * k + d] * c.length;
            (*coords[3 + d])[i] = p.vel[3 * k + d] * velocity;
        }
        s.mass[i] = p.mass[k] * c.mass;
        s.color[i] = colors.empty() ? p.color[k] : colors[i];
    }
    // IDs as Zyr gives them, with /Zyr lost on the way, still tell the colours.
    bool colourIds = colors.empty();
    for (std::size_t i = 0; colourIds && i < n; ++i) colourIds = p.ids[order[i]] - colourId(i, 0) < kIdTag;
    if (colourIds)
        for (std::size_t i = 0; i < n; ++i) s.color[i] = static_cast<int>(p.ids[order[i]] - colourId(i, 0));
    out.time *= c.time;
    for (auto* field : coords) requireFinite(*field, "converted into the scale's units, it");
    requireFinite(s.mass, "converted into the scale's units, it");
    if (!std::isfinite(out.time)) throw BadSnapshot{"converted into the scale's units, its time is too large"};
    return out;
}

// After the stars, settings and halo are in place, which the leapfrog's
// accelerations are checked against before its next step.
void restoreIntegratorMemory(CGalaxy& g, const SnapshotData& data) {
    const auto n = static_cast<std::size_t>(g.numStars);
    const auto cap = static_cast<std::size_t>(g.capacity());
    const int slots = adamsMoultonFilledSlots(data.historyCount);
    for (int slot = 0; slot < slots; ++slot) {
        for (std::size_t b = 0; b < kBlocks; ++b) {
            const std::size_t row = (kBlocks * slot + b) * n;
            std::copy_n(data.historyDerivatives.begin() + row, n, g.scratch[kAdamsMoultonDerivatives + slot] + b * cap);
            std::copy_n(data.historyTimes.begin() + row, n, g.scratch[kAdamsMoultonTimes + slot] + b * cap);
        }
    }
    g.historyCount = static_cast<int>(data.historyCount);
    if (!data.leapfrogAccelerations.empty()) g.takeLeapfrogStart(DerivativeFunc(g), data.leapfrogAccelerations);
}

}  // namespace

GalaxyFileStatus writeSnapshotFile(const CGalaxy& galaxy, ReplacingFile& file) {
    silenceLibrary();
    if (const int star = galaxy.firstNonFiniteStar(); star >= 0) {
        file.discard();
        return failure(GalaxyFileError::NotFinite, "cannot save " + file.target() + ": star " +
                                                       std::to_string(star) +
                                                       " holds a number that is infinite or not a number");
    }
    try {
        Handle hdf5(H5Fcreate(file.temporaryPath().c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), H5Fclose);
        check(hdf5.valid(), "the file");
        writeHeader(hdf5.get(), galaxy);
        writeUnits(hdf5.get(), galaxy);
        writeStars(hdf5.get(), galaxy);
        writeZyrData(hdf5.get(), galaxy);
        check(hdf5.close(), "the file");
    } catch (const BadSnapshot& bad) {
        file.discard();
        return failure(GalaxyFileError::CannotCreate, file.target() + ": " + bad.message);
    } catch (const std::bad_alloc&) {
        file.discard();
        return failure(GalaxyFileError::CannotCreate, file.target() + ": not enough memory to write it");
    }
    if (FileStatus written = file.commit(); !written.ok())
        return failure(GalaxyFileError::CannotCreate, written.message);
    return {};
}

GalaxyFileStatus readSnapshotFile(const std::string& path, const CGalaxy& galaxy, SnapshotData& out) {
    silenceLibrary();
    try {
        out = readSnapshot(path, galaxy);
    } catch (const BadSnapshot& bad) {
        return failure(GalaxyFileError::BadSnapshot, path + ": " + bad.message);
    } catch (const std::bad_alloc&) {
        return failure(GalaxyFileError::TooManyStars, path + ": its particles are more than memory can hold");
    }
    return {};
}

GalaxyFileStatus loadSnapshotFile(CGalaxy& galaxy, const std::string& path) {
    SnapshotData data;
    if (GalaxyFileStatus status = readSnapshotFile(path, galaxy, data); !status.ok()) return status;
    if (!installGalaxyData(galaxy, data.stars))
        return failure(GalaxyFileError::TooManyStars, path + ": its particles are more than memory can hold");
    galaxy.time = data.time;
    if (data.hasSettings) {
        galaxy.timeStep = data.timeStep;
        galaxy.integrationMethod = data.integrationMethod;
        galaxy.forceMethod = data.forceMethod;
        galaxy.shieldModifier = data.shieldModifier;
    }
    if (data.hasGravity) {
        galaxy.softening = data.softening;
        galaxy.epsilon = data.epsilon;
        galaxy.openingAngle = data.openingAngle;
        galaxy.forceError = data.forceError;
    }
    if (data.hasBox) galaxy.setBox(data.boxSize);
    if (data.hasHiddenColors) std::copy(std::begin(data.hiddenColors), std::end(data.hiddenColors), galaxy.hideColor);
    if (data.hasHalo) {
        galaxy.darkMatter = data.darkMatter;
        galaxy.darkRadius = data.darkRadius;
        galaxy.darkFraction = data.darkFraction;
    }
    if (data.hasHaloNumbers) {
        galaxy.haloMass = data.haloMass;
        galaxy.haloRadius = data.haloRadius;
        galaxy.haloConcentration = data.haloConcentration;
    }
    if (data.hasSettings) {
        // A Zyr file without a bulge had none; keeping the settings' would
        // pull the stars with a bulge they never moved in.
        galaxy.bulgeMass = data.hasBulge ? data.bulgeMass : 0.0;
        if (data.hasBulge) galaxy.bulgeRadius = data.bulgeRadius;
    }
    restoreIntegratorMemory(galaxy, data);
    return {};
}

GalaxyFileStatus mergeSnapshotFile(CGalaxy& galaxy, const std::string& path, const double offset[3],
                                   const double velocity[3]) {
    SnapshotData data;
    if (GalaxyFileStatus status = readSnapshotFile(path, galaxy, data); !status.ok()) return status;
    // The added stars join in the galaxy's scale, converted when the file
    // states its units; a Zyr file of another scale is taken as it stands.
    return mergeGalaxyData(galaxy, data.stars, path, offset, velocity);
}
