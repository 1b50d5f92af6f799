#pragma once

#include <optional>
#include <string>

#include "io/replacing_file.h"
#include "render/raster.h"

class CGalaxy;

// How zyr-sim draws its pictures: the galaxy window's renderer with the view
// options the window's menus offer, set from the command line.
struct PictureOptions {
    std::string pngPath;    // one picture after the last step
    std::string framesDir;  // frame-000000.png, ... at step 0 and every `every` steps
    int every = 1;
    int width = 600;
    int height = 600;
    double tilt = 0.0;  // degrees about the screen's horizontal axis
    double turn = 0.0;  // degrees about the screen's vertical axis
    double zoom = 1.0;  // the camera comes this many times closer
    int colouring = 0;  // 0 own colours, 1 redshift, 2 ChromaDepth
    bool depthCue = true;
    bool whiteBackground = false;
    std::optional<int> starSize;
    bool balls = false;
    bool box = true;
    bool trace = false;

    bool wanted() const { return !pngPath.empty() || !framesDir.empty(); }
};

// Sets the galaxy's camera and view flags; call after the galaxy's reset,
// which restores them.
void applyPictureOptions(const PictureOptions& options, CGalaxy& galaxy);

// Draws pictures of a galaxy with a back buffer kept between them, so that a
// trace accumulates as it does in the window.
class PictureWriter {
public:
    PictureWriter(const PictureOptions& options, CGalaxy& galaxy) : options_(options), galaxy_(galaxy) {}

    // Whether the frames directory exists (or could be made) and takes files.
    FileStatus prepare();
    // Writes the frame of this step when one is due.
    FileStatus frame(int step);
    // Writes the final picture, when one was asked for.
    FileStatus finish();

private:
    FileStatus draw(const std::string& path);

    const PictureOptions& options_;
    CGalaxy& galaxy_;
    Raster raster_;
};
