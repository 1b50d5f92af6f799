#pragma once

#include <string>

#include "io/replacing_file.h"

class Raster;

// Writes the picture as an 8-bit RGB PNG. The file is written beside the target
// and renamed over it once complete, so a failed write never leaves half a
// picture under the target's name; memory for a huge picture may fail too.
FileStatus writePng(const Raster& raster, const std::string& path);
