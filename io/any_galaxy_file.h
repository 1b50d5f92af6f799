#pragma once

// Galaxies in either format, chosen by the end of the name: ".zyr" for a
// galaxy file (io/galaxy_file.h), ".hdf5" for a snapshot (io/snapshot_file.h).

#include <string>

#include "io/galaxy_file.h"
#include "io/replacing_file.h"
#include "model/galaxy.h"

enum class GalaxyFormat { Text, Snapshot, Unknown };
GalaxyFormat galaxyFormatOf(const std::string& path);
// What is said of a name of neither format.
std::string unknownFormatMessage(const std::string& path);

// As loadGalaxyFile, saveGalaxyFile, writeGalaxyFile and mergeGalaxyFile for
// a ".zyr" name; a ".hdf5" name gives a snapshot, whose loading also sets the
// galaxy's time and, from a Zyr file, its model settings, halo and the
// integrator's memory, so that the run goes on as if it had never stopped;
// any other name fails.
GalaxyFileStatus loadAnyGalaxyFile(CGalaxy& galaxy, const std::string& path);
GalaxyFileStatus saveAnyGalaxyFile(const CGalaxy& galaxy, const std::string& path);
GalaxyFileStatus writeAnyGalaxyFile(const CGalaxy& galaxy, ReplacingFile& file);
GalaxyFileStatus mergeAnyGalaxyFile(CGalaxy& galaxy, const std::string& path, const double offset[3],
                                    const double velocity[3]);
