#include "model/colour.h"

#include <cmath>
#include <iterator>

void RgbColour::set(double red, double green, double blue) {
    r = static_cast<int>(red * 255.0);
    g = static_cast<int>(green * 255.0);
    b = static_cast<int>(blue * 255.0);
}

namespace {

struct RampPoint {
    double position;
    double red, green, blue;
};

constexpr RampPoint kRampPoints[] = {
    {0.0, 0.0, 0.0, 0.8},   {0.42, 0.0, 0.85, 0.85}, {0.5, 0.0, 0.9, 0.0},
    {0.58, 0.95, 0.95, 0.0}, {1.0, 1.0, 0.0, 0.0},
};
constexpr int kRampSegments = static_cast<int>(std::size(kRampPoints)) - 1;

}  // namespace

ColourRamp::ColourRamp() {
    // The blend runs between the integer colours of the control points, not
    // their fractions, which is what puts entry 107 at 215 rather than 216.
    RgbColour control[kRampSegments + 1];
    for (int k = 0; k <= kRampSegments; ++k)
        control[k].set(kRampPoints[k].red, kRampPoints[k].green, kRampPoints[k].blue);

    const double step = 1.0 / 255;
    int k = 0;
    for (int i = 0; i < count; ++i) {
        const double t = i * step;
        while (k < kRampSegments - 1 && t > kRampPoints[k + 1].position) ++k;
        const double f = (t - kRampPoints[k].position) / (kRampPoints[k + 1].position - kRampPoints[k].position);
        const RgbColour& lo = control[k];
        const RgbColour& hi = control[k + 1];
        const auto blend = [f](int a, int b) {
            return (a + (b - a) * f) * 0.00392156862745098;
        };
        entries[i].set(blend(lo.red(), hi.red()), blend(lo.green(), hi.green()), blend(lo.blue(), hi.blue()));
    }
}

RgbColour ColourRamp::lookup(double t) const {
    // Clamped as a double first: a NaN or a huge t must not reach the int
    // conversion.
    const double scaled = count * t;
    if (!(scaled >= 1.0)) return entries[0];
    if (scaled >= count) return entries[count - 1];
    return entries[static_cast<int>(scaled)];
}

void hsvToRgb(double hue, double saturation, double value, double& red, double& green, double& blue) {
    if (saturation == 0.0) {
        red = green = blue = value;
        return;
    }
    const double h = hue * 0.016666666666666666;
    // The sector stays a double, so no hue, however large, goes through an
    // int conversion.
    const double sector = std::floor(h);
    const double f = h - sector;
    const double p = value * (1.0 - saturation);
    const double q = value * (1.0 - saturation * f);
    const double t = value * (1.0 - saturation * (1.0 - f));
    const auto put = [&](double r, double g, double b) {
        red = r;
        green = g;
        blue = b;
    };
    if (sector == 0.0)
        put(value, t, p);
    else if (sector == 1.0)
        put(q, value, p);
    else if (sector == 2.0)
        put(p, value, t);
    else if (sector == 3.0)
        put(p, q, value);
    else if (sector == 4.0)
        put(t, p, value);
    else
        put(value, p, q);
}
