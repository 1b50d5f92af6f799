#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/colour.h"

namespace {

struct Rgb {
    int r, g, b;
};

void expectColour(const RgbColour& c, Rgb want) {
    EXPECT_EQ(c.red(), want.r);
    EXPECT_EQ(c.green(), want.g);
    EXPECT_EQ(c.blue(), want.b);
}

// hsvToRgb on the 0-255 scale, truncated as the renderer truncates it.
Rgb hsv255(double hue, double saturation, double value) {
    double r, g, b;
    hsvToRgb(hue, saturation, value, r, g, b);
    return {static_cast<int>(r * 255.0), static_cast<int>(g * 255.0), static_cast<int>(b * 255.0)};
}

TEST(RgbColour, DefaultsToWhiteAndTruncatesFractions) {
    RgbColour c;
    expectColour(c, {255, 255, 255});
    c.set(0.85, 0.9, 0.95);
    expectColour(c, {216, 229, 242});
    c.set(0.0, 1.0, 0.5);
    expectColour(c, {0, 255, 127});
}

TEST(ColourRamp, TellingEntries) {
    const ColourRamp ramp;
    // The middle of entry i's interval, so the index does not hang on rounding.
    const auto entry = [&](int i) { return ramp.lookup((i + 0.5) / ColourRamp::count); };
    expectColour(entry(0), {0, 0, 204});
    expectColour(entry(32), {0, 64, 207});
    expectColour(entry(107), {0, 215, 215});
    expectColour(entry(128), {5, 229, 0});
    expectColour(entry(148), {242, 241, 0});
    expectColour(entry(192), {247, 142, 0});
    expectColour(entry(224), {251, 70, 0});
    expectColour(entry(255), {255, 0, 0});
}

TEST(ColourRamp, LookupTruncatesAndClamps) {
    const ColourRamp ramp;
    EXPECT_EQ(ramp.lookup(0.125), ramp.lookup(32.5 / 256));
    EXPECT_EQ(ramp.lookup(32.0 / 256 - 1e-9), ramp.lookup(31.5 / 256));
    EXPECT_EQ(ramp.lookup(-0.3), ramp.lookup(0.0));
    EXPECT_EQ(ramp.lookup(-1e300), ramp.lookup(0.0));
    EXPECT_EQ(ramp.lookup(std::numeric_limits<double>::quiet_NaN()), ramp.lookup(0.0));
    EXPECT_EQ(ramp.lookup(1.0), ramp.lookup(255.5 / 256));
    EXPECT_EQ(ramp.lookup(1e300), ramp.lookup(255.5 / 256));
}

TEST(HsvToRgb, StarColoursAtFullValue) {
    struct Case {
        double hue;
        Rgb want;
    };
    const Case cases[] = {
        {-1.0, {255, 255, 255}}, {0.0, {255, 0, 0}},    {30.0, {255, 127, 0}},  {60.0, {255, 255, 0}},
        {110.0, {42, 255, 0}},   {230.0, {0, 42, 255}}, {290.0, {212, 0, 255}}, {170.0, {0, 255, 212}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hue);
        const Rgb got = hsv255(c.hue, c.hue >= 0.0 ? 1.0 : 0.0, 1.0);
        EXPECT_EQ(got.r, c.want.r);
        EXPECT_EQ(got.g, c.want.g);
        EXPECT_EQ(got.b, c.want.b);
    }
}

TEST(HsvToRgb, ValueScalesAndLastSectorBlendsBackToRed) {
    const double v = std::sqrt(0.5);
    const Rgb red = hsv255(0.0, 1.0, v);
    EXPECT_EQ(red.r, 180);
    EXPECT_EQ(red.g, 0);
    EXPECT_EQ(red.b, 0);
    const Rgb grey = hsv255(123.0, 0.0, v);  // no saturation: the hue is ignored
    EXPECT_EQ(grey.r, 180);
    EXPECT_EQ(grey.g, 180);
    EXPECT_EQ(grey.b, 180);
    const Rgb rose = hsv255(330.0, 1.0, 1.0);
    EXPECT_EQ(rose.r, 255);
    EXPECT_EQ(rose.g, 0);
    EXPECT_EQ(rose.b, 127);
}

}  // namespace
