#include "io/any_galaxy_file.h"

#include "io/snapshot_file.h"

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

GalaxyFileStatus unknownFormat(const std::string& path) {
    return {GalaxyFileError::UnknownFormat, unknownFormatMessage(path), {}};
}

}  // namespace

GalaxyFormat galaxyFormatOf(const std::string& path) {
    if (endsWith(path, ".zyr")) return GalaxyFormat::Text;
    if (endsWith(path, ".hdf5")) return GalaxyFormat::Snapshot;
    return GalaxyFormat::Unknown;
}

std::string unknownFormatMessage(const std::string& path) {
    return path + ": the name must end in .zyr (galaxy file) or .hdf5 (snapshot)";
}

GalaxyFileStatus loadAnyGalaxyFile(CGalaxy& galaxy, const std::string& path) {
    switch (galaxyFormatOf(path)) {
    case GalaxyFormat::Text:
        return loadGalaxyFile(galaxy, path);
    case GalaxyFormat::Snapshot:
        return loadSnapshotFile(galaxy, path);
    case GalaxyFormat::Unknown:
        break;
    }
    return unknownFormat(path);
}

GalaxyFileStatus writeAnyGalaxyFile(const CGalaxy& galaxy, ReplacingFile& file) {
    switch (galaxyFormatOf(file.target())) {
    case GalaxyFormat::Text:
        return writeGalaxyFile(galaxy, file);
    case GalaxyFormat::Snapshot:
        return writeSnapshotFile(galaxy, file);
    case GalaxyFormat::Unknown:
        break;
    }
    file.discard();
    return unknownFormat(file.target());
}

GalaxyFileStatus saveAnyGalaxyFile(const CGalaxy& galaxy, const std::string& path) {
    // Refused before a temporary file is made for it.
    if (galaxyFormatOf(path) == GalaxyFormat::Unknown) return unknownFormat(path);
    ReplacingFile file;
    if (FileStatus opened = file.open(path); !opened.ok())
        return GalaxyFileStatus::failure(GalaxyFileError::CannotCreate, opened.message);
    return writeAnyGalaxyFile(galaxy, file);
}

GalaxyFileStatus mergeAnyGalaxyFile(CGalaxy& galaxy, const std::string& path, const double offset[3],
                                    const double velocity[3]) {
    switch (galaxyFormatOf(path)) {
    case GalaxyFormat::Text:
        return mergeGalaxyFile(galaxy, path, offset, velocity);
    case GalaxyFormat::Snapshot:
        return mergeSnapshotFile(galaxy, path, offset, velocity);
    case GalaxyFormat::Unknown:
        break;
    }
    return unknownFormat(path);
}
