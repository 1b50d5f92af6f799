#include "run/pictures.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "io/png_file.h"
#include "model/galaxy.h"
#include "render/galaxy_renderer.h"

void applyPictureOptions(const PictureOptions& o, CGalaxy& g) {
    // Turns are composed on the left, about the fixed screen axes, like the
    // window's rotate keys: the half angle in each quaternion.
    constexpr double kHalfDegree = 3.14159265358979323846 / 360.0;
    const double tilt = o.tilt * kHalfDegree, turn = o.turn * kHalfDegree;
    g.orientation = Quaternion(std::cos(tilt), std::sin(tilt), 0.0, 0.0) * g.orientation;
    g.orientation = Quaternion(std::cos(turn), 0.0, std::sin(turn), 0.0) * g.orientation;
    g.viewDistance /= o.zoom;
    g.redshift = o.colouring == 1;
    g.chromaDepth = o.colouring == 2;
    g.depthCue = o.depthCue;
    g.blackBackground = !o.whiteBackground;
    if (o.starSize) g.starSize = *o.starSize;
    g.ballMode = o.balls;
    g.trace = o.trace;
}

FileStatus PictureWriter::prepare() {
    if (!raster_.resize(options_.width, options_.height)) {
        return FileStatus::failure(FileError::CannotCreate, "cannot hold a picture of " +
                                                                std::to_string(options_.width) + " x " +
                                                                std::to_string(options_.height) + " pixels");
    }
    if (options_.framesDir.empty()) return {};
    const std::string& dir = options_.framesDir;
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        return FileStatus::failure(FileError::CannotCreate,
                                   "cannot create the frames directory " + dir + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(dir.c_str(), W_OK | X_OK) != 0)
        return FileStatus::failure(FileError::CannotCreate, "cannot write frames into " + dir);
    return {};
}

FileStatus PictureWriter::draw(const std::string& path) {
    renderGalaxy(galaxy_, raster_, options_.box);
    return writePng(raster_, path);
}

FileStatus PictureWriter::frame(int step) {
    if (options_.framesDir.empty() || step % options_.every != 0) return {};
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", step / options_.every);
    return draw(options_.framesDir + name);
}

FileStatus PictureWriter::finish() { return options_.pngPath.empty() ? FileStatus{} : draw(options_.pngPath); }
