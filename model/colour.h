#pragma once

#include <array>

// A colour on the 0-255 scale of each channel.
class RgbColour {
public:
    RgbColour() = default;

    // Takes fractions of full intensity; the channels keep the truncated
    // product with 255, so 0.9 becomes 229, not 230.
    void set(double red, double green, double blue);

    int red() const { return r; }
    int green() const { return g; }
    int blue() const { return b; }

    bool operator==(const RgbColour&) const = default;

private:
    int r = 255;
    int g = 255;
    int b = 255;
};

// The ChromaDepth table: deep blue for the far end of the cube, red for the
// near end, with cyan, green and yellow squeezed into a narrow band around
// the middle so that depth reads as colour through ChromaDepth glasses.
class ColourRamp {
public:
    static constexpr int count = 256;

    ColourRamp();

    // Entry count * t, clamped to the table.
    RgbColour lookup(double t) const;

private:
    std::array<RgbColour, count> entries;
};

// Hue in degrees (any sign; a saturation of 0 ignores it), saturation and
// value as fractions; writes the three channel fractions.
void hsvToRgb(double hue, double saturation, double value, double& red, double& green, double& blue);
