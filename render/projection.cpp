#include <array>
#include <cmath>
#include <utility>

#include "model/galaxy.h"

namespace {

// Restores the max-heap below root in order[0 .. size - 1], keyed by depth.
void siftDown(int* order, const double* depth, int root, int size) {
    const int item = order[root];
    const double key = depth[item];
    for (;;) {
        int child = 2 * root + 1;
        if (child >= size) break;
        if (child + 1 < size && depth[order[child + 1]] > depth[order[child]]) ++child;
        if (!(depth[order[child]] > key)) break;
        order[root] = order[child];
        root = child;
    }
    order[root] = item;
}

// Sorts the slot numbers by ascending depth of their slots, farthest first.
// A heap sort works in place on the index array and needs no buffer, so a
// frame allocates nothing.
void heapSortByDepth(int* order, int count, const double* depth) {
    for (int i = count / 2 - 1; i >= 0; --i) siftDown(order, depth, i, count);
    for (int end = count - 1; end > 0; --end) {
        std::swap(order[0], order[end]);
        siftDown(order, depth, 0, end);
    }
}

// The centre of mass, or the origin for a galaxy without one to look at: a
// massless galaxy, or one with a star that blew up, whose centre would take
// every star out of the picture with it.
std::array<double, 3> centreOfMass(const CGalaxy& g) {
    std::array<double, 3> c{};
    double drift[3];
    if (!g.meanMotion(c.data(), drift)) return {};
    return std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(c[2]) ? c : std::array<double, 3>{};
}

}  // namespace

double CGalaxy::depthBrightness(double z) const {
    // A Laplace distribution function: half brightness at the origin, full
    // towards the eye, fading out behind; its spread grows with the zoom.
    const double spread = 0.35 * viewDistance;
    return z < 0.0 ? 0.5 * std::exp(z / spread) : 1.0 - 0.5 * std::exp(-z / spread);
}

void CGalaxy::projectStars() {
    drawCount = 0;
    const double eye = viewDistance;
    // The point of the model that the camera looks at. The cube stays put in
    // the model, so while the centre is followed a drift shows as the cube
    // moving away.
    const std::array<double, 3> centre = followCentre ? centreOfMass(*this) : std::array<double, 3>{};
    for (int i = 0; i < numStars; ++i) {
        double x = pos.x[i] - centre[0], y = pos.y[i] - centre[1], z = pos.z[i] - centre[2];
        orientation.rotate(x, y, z);

        // A star at or behind the eye has no picture; the comparison is also
        // false for a NaN depth, so a star that blew up is left out as well.
        double brightness = z < eye ? depthBrightness(z) : 0.0;
        // A colour index that no file or dialog can produce still must not
        // index past the tables.
        const int starColour = color[i] >= 0 && color[i] < kStarColorCount ? color[i] : StarColor::White;
        const bool ownColour = !chromaDepth && !redshift;
        if (ownColour && hideColor[starColour]) brightness = 0.0;
        // Far behind the origin the brightness underflows to zero, and such
        // stars are dropped too.
        if (brightness == 0.0) continue;

        const int k = drawCount++;
        const double perspective = depthSpan / (eye - z);
        screenX[k] = (panX + x * perspective) * panScale;
        screenY[k] = (panY + y * perspective) * panScale;
        depth[k] = z;
        drawOrder[k] = k;

        if (chromaDepth) {
            const RgbColour c = chromaRamp.lookup((0.5 * boxSize + 0.75 * z) / boxSize);
            slotRed[k] = c.red();
            slotGreen[k] = c.green();
            slotBlue[k] = c.blue();
            continue;
        }
        if (redshift) {
            double vx = vel.x[i], vy = vel.y[i], vz = vel.z[i];
            orientation.rotate(vx, vy, vz);
            slotHue[k] = vz > 0.0 ? hue[StarColor::Blue] : hue[StarColor::Red];
        } else {
            slotHue[k] = hue[starColour];
        }
        // A negative hue marks white: no saturation, so depth cueing gives
        // grey levels.
        const double saturation = slotHue[k] >= 0.0 ? 1.0 : 0.0;
        const double value = depthCue ? std::sqrt(brightness) : 1.0;
        double red, green, blue;
        hsvToRgb(slotHue[k], saturation, value, red, green, blue);
        slotRed[k] = red * 255.0;
        slotGreen[k] = green * 255.0;
        slotBlue[k] = blue * 255.0;
    }
    heapSortByDepth(drawOrder, drawCount, depth);

    // Corner c = a + 2b + 4d sits at ((a, b, d) - 0.5) * boxSize.
    for (int c = 0; c < 8; ++c) {
        double x = ((c & 1) - 0.5) * boxSize - centre[0];
        double y = (((c >> 1) & 1) - 0.5) * boxSize - centre[1];
        double z = (((c >> 2) & 1) - 0.5) * boxSize - centre[2];
        orientation.rotate(x, y, z);
        const double perspective = depthSpan / (eye - z);
        boxX[c] = (panX + x * perspective) * panScale;
        boxY[c] = (panY + y * perspective) * panScale;
        boxVisible[c] = eye - z >= 0.0 ? 1 : 0;
    }
}
