#pragma once

#include <string>

class Raster;

// Writes the picture as an 8-bit RGB PNG. The file is written beside the target
// and renamed over it once complete, so a failed write never leaves half a
// picture under the target's name. On failure (memory for a huge picture
// included) error says why.
bool writePng(const Raster& raster, const std::string& path, std::string* error);
