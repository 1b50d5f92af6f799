#include "render/galaxy_renderer.h"

#include <algorithm>
#include <cmath>

#include "model/galaxy.h"
#include "render/raster.h"

namespace {

// How far from the window's centre, in pixels, a projected point may lie and
// still be converted to int. Only a point just in front of the eye gets
// farther; a star there is skipped and a cube edge is cut off at this
// distance, which no window reaches.
constexpr double kFarPixels = 16777216.0;

bool toPixel(double u, double scale, int centre, int& pixel) {
    const double offset = std::trunc(u * scale);
    if (!(std::fabs(offset) <= kFarPixels)) return false;  // also false for NaN
    pixel = centre + static_cast<int>(offset);
    return true;
}

// Cuts the segment a-b (pixel offsets from the centre) to the square of half
// side kFarPixels, by Liang and Barsky's parametric clipping. False when
// nothing of it is inside or a coordinate is not finite.
bool clipToFarSquare(double& ax, double& ay, double& bx, double& by) {
    const double dx = bx - ax;
    const double dy = by - ay;
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;  // also catches infinite ends
    double enter = 0.0, leave = 1.0;
    // Keeps the part of the segment where p * t <= q.
    const auto keep = [&](double p, double q) {
        if (p == 0.0) return q >= 0.0;
        const double t = q / p;
        if (p < 0.0) {
            if (t > leave) return false;
            enter = std::max(enter, t);
        } else {
            if (t < enter) return false;
            leave = std::min(leave, t);
        }
        return true;
    };
    if (!keep(-dx, ax + kFarPixels) || !keep(dx, kFarPixels - ax) || !keep(-dy, ay + kFarPixels) ||
        !keep(dy, kFarPixels - ay))
        return false;
    const double startX = ax, startY = ay;
    if (leave < 1.0) {
        bx = startX + leave * dx;
        by = startY + leave * dy;
    }
    if (enter > 0.0) {
        ax = startX + enter * dx;
        ay = startY + enter * dy;
    }
    return true;
}

// Bottom face, top face, then the uprights.
constexpr int kCubeEdges[12][2] = {{0, 1}, {1, 3}, {3, 2}, {2, 0}, {4, 5}, {5, 7},
                                   {7, 6}, {6, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

void drawCube(const CGalaxy& galaxy, Raster& raster, int cx, int cy, double scale) {
    // GDI's R2_WHITE and R2_BLACK ignore the pen and the pixels below: the
    // edges are plain white on black and black on white.
    const std::uint32_t colour = galaxy.blackBackground ? kWhitePixel : kBlackPixel;
    for (const auto& edge : kCubeEdges) {
        const int a = edge[0], b = edge[1];
        if (!galaxy.boxVisible[a] || !galaxy.boxVisible[b]) continue;
        double ax = galaxy.boxX[a] * scale, ay = galaxy.boxY[a] * scale;
        double bx = galaxy.boxX[b] * scale, by = galaxy.boxY[b] * scale;
        if (!clipToFarSquare(ax, ay, bx, by)) continue;
        raster.drawLine(cx + static_cast<int>(std::trunc(ax)), cy + static_cast<int>(std::trunc(ay)),
                        cx + static_cast<int>(std::trunc(bx)), cy + static_cast<int>(std::trunc(by)), colour);
    }
}

}  // namespace

void drawBall(Raster& raster, int x, int y, double red, double green, double blue) {
    const std::uint32_t dark =
        rgbPixel(static_cast<int>(0.8 * red), static_cast<int>(0.8 * green), static_cast<int>(0.8 * blue));
    const std::uint32_t full = rgbPixel(static_cast<int>(red), static_cast<int>(green), static_cast<int>(blue));
    raster.fillRect(x - 4, y - 2, 8, 4, dark);
    raster.fillRect(x - 2, y - 4, 4, 8, dark);
    raster.fillRect(x - 3, y - 3, 6, 6, full);
    raster.fillRect(x - 2, y - 2, 2, 2, kWhitePixel);
}

void renderGalaxy(CGalaxy& galaxy, Raster& raster, bool showBox) {
    if (!galaxy.trace) raster.fill(galaxy.blackBackground ? kBlackPixel : kWhitePixel);
    galaxy.projectStars();

    const int w = raster.width(), h = raster.height();
    const int cx = w / 2, cy = h / 2;
    const double scale = 0.75 * std::min(w, h);
    const int size = galaxy.starSize;
    for (int n = 0; n < galaxy.drawCount; ++n) {
        const int j = galaxy.drawOrder[n];
        int x, y;
        if (!toPixel(galaxy.screenX[j], scale, cx, x) || !toPixel(galaxy.screenY[j], scale, cy, y)) continue;
        if (galaxy.ballMode) {
            drawBall(raster, x, y, galaxy.slotRed[j], galaxy.slotGreen[j], galaxy.slotBlue[j]);
        } else {
            const std::uint32_t colour = rgbPixel(static_cast<int>(galaxy.slotRed[j]),
                                                  static_cast<int>(galaxy.slotGreen[j]),
                                                  static_cast<int>(galaxy.slotBlue[j]));
            raster.fillRect(x - size / 2, y - size / 2, size + 1, size + 1, colour);
        }
    }

    if (showBox) drawCube(galaxy, raster, cx, cy, scale);
}
