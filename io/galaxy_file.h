#pragma once

// Reading and writing galaxy files (".zyr"): a header line, a scale line, a
// count line and one line per star. Qt-free, so that the desktop program and
// zyr-sim share it; the callers turn the error kinds into their own messages.

#include <string>
#include <string_view>
#include <vector>

#include "io/replacing_file.h"
#include "model/galaxy.h"
#include "model/status.h"

enum class GalaxyFileError {
    None,
    CannotOpen,    // missing, unreadable, or a read error part way through
    BadCount,      // the count line is missing, not a number, or negative
    TooManyStars,  // the count is more than memory can hold
    CannotCreate,  // the file could not be written; an older file is untouched
    NotAFile,      // a folder, a device or a FIFO, never read
    NotFinite,     // a number of the galaxy is infinite or not a number, or an
                   // added galaxy's offset or velocity would make one
    BadSnapshot,   // an HDF5 file whose groups, datasets or values are not a
                   // snapshot Zyr can load, or a part of it is missing
    UnknownFormat, // the name ends in neither .zyr nor .hdf5
};

// On success, the warning says when the file was read but is damaged: it
// holds fewer star lines than its count says.
using GalaxyFileStatus = Status<GalaxyFileError>;

// The stars of a file as read, not yet installed in a galaxy.
struct GalaxyFileData {
    int scale = UnitScale::Galactic;
    std::vector<double> mass, x, y, z, vx, vy, vz;
    std::vector<int> color;

    int count() const { return static_cast<int>(mass.size()); }
};

// The complete file text, CR LF line ends, numbers in the C locale.
std::string formatGalaxyFile(const CGalaxy& galaxy);

// Writes through a temporary file in the target's directory that replaces the
// target only once it is completely on disk. A galaxy with a number that is
// not finite is not written: it would read back as a different galaxy.
GalaxyFileStatus saveGalaxyFile(const CGalaxy& galaxy, const std::string& path);
// The same into a file opened earlier, so that a long run finds out at its
// start that it could not save; on failure the file is discarded.
GalaxyFileStatus writeGalaxyFile(const CGalaxy& galaxy, ReplacingFile& file);

// Parses a file's text; scaleNames is the galaxy's scaleName table. On failure
// out is left as it was.
GalaxyFileStatus parseGalaxyText(std::string_view text, const CGalaxy::NameTable& scaleNames,
                                 GalaxyFileData& out);

// Gives the galaxy the parsed stars and their scale, everything else as reset
// leaves it; false, with the galaxy unchanged, when they do not fit in memory.
bool installGalaxyData(CGalaxy& galaxy, GalaxyFileData& data);

// Reads, parses and installs a file: the galaxy gets the file's stars and
// scale, everything else as reset leaves it. On failure the galaxy is unchanged.
GalaxyFileStatus loadGalaxyFile(CGalaxy& galaxy, const std::string& path);

// Adds the stars of a file to the galaxy, each shifted by offset and given the
// extra velocity: two galaxies set on a collision course. The galaxy keeps its
// scale, its time and its camera; the file's numbers are taken as they stand.
// An offset or velocity that takes a star beyond the range of doubles fails.
// On failure the galaxy is unchanged.
GalaxyFileStatus mergeGalaxyFile(CGalaxy& galaxy, const std::string& path, const double offset[3],
                                 const double velocity[3]);
// The same with stars read already, from a file of either format; path names
// it in messages.
GalaxyFileStatus mergeGalaxyData(CGalaxy& galaxy, const GalaxyFileData& added, const std::string& path,
                                 const double offset[3], const double velocity[3]);
