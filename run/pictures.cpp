#include "run/pictures.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "model/galaxy.h"
#include "render/galaxy_renderer.h"
#include "io/png_file.h"

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

bool PictureWriter::prepare(std::string& error) {
    if (!raster_.resize(options_.width, options_.height)) {
        error = "cannot hold a picture of " + std::to_string(options_.width) + " x " +
                std::to_string(options_.height) + " pixels";
        return false;
    }
    if (options_.framesDir.empty()) return true;
    const std::string& dir = options_.framesDir;
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        error = "cannot create the frames directory " + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(dir.c_str(), W_OK | X_OK) != 0) {
        error = "cannot write frames into " + dir;
        return false;
    }
    return true;
}

bool PictureWriter::draw(const std::string& path, std::string& error) {
    renderGalaxy(g_galaxy, raster_, options_.box);
    return writePng(raster_, path, &error);
}

bool PictureWriter::frame(int step, std::string& error) {
    if (options_.framesDir.empty() || step % options_.every != 0) return true;
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", step / options_.every);
    return draw(options_.framesDir + name, error);
}

bool PictureWriter::finish(std::string& error) {
    return options_.pngPath.empty() || draw(options_.pngPath, error);
}
