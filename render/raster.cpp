#include "render/raster.h"

#include <algorithm>
#include <new>

bool Raster::resize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxExtent || height > kMaxExtent) return false;
    if (width == width_ && height == height_) return true;
    try {
        std::vector<std::uint32_t> fresh(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                         kBlackPixel);
        pixels_.swap(fresh);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void Raster::fill(std::uint32_t colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }

void Raster::fillRect(int x, int y, int w, int h, std::uint32_t colour) {
    if (w <= 0 || h <= 0) return;
    // In 64 bits, so that x + w cannot overflow for any int arguments.
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + w, width_);
    const long long bottom = std::min<long long>(static_cast<long long>(y) + h, height_);
    if (left >= right || top >= bottom) return;
    for (long long row = top; row < bottom; ++row) {
        std::uint32_t* line = pixels_.data() + row * width_;
        std::fill(line + left, line + right, colour);
    }
}

void Raster::drawLine(int x0, int y0, int x1, int y1, std::uint32_t colour) {
    const long long dx = static_cast<long long>(x1) - x0;
    const long long dy = static_cast<long long>(y1) - y0;
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);

    // Walk the major axis one pixel per step; the minor coordinate of step i
    // is i * minorSpan / steps rounded half up, so a step inside the picture
    // can be computed without walking the part of a long line outside it.
    const long long majorStart = xMajor ? x0 : y0;
    const long long minorStart = xMajor ? y0 : x0;
    const long long majorDelta = xMajor ? dx : dy;
    const long long minorDelta = xMajor ? dy : dx;
    const long long majorExtent = xMajor ? width_ : height_;
    const long long minorExtent = xMajor ? height_ : width_;
    const int majorSign = majorDelta < 0 ? -1 : 1;
    const int minorSign = minorDelta < 0 ? -1 : 1;
    const unsigned long long steps = static_cast<unsigned long long>(majorDelta * majorSign);
    const unsigned long long minorSpan = static_cast<unsigned long long>(minorDelta * minorSign);
    if (steps == 0) return;

    // Steps whose major coordinate lies inside the picture; the last step,
    // the end point, is never drawn.
    long long first, last;
    if (majorSign > 0) {
        first = std::max(0LL, -majorStart);
        last = std::min<long long>(steps - 1, majorExtent - 1 - majorStart);
    } else {
        first = std::max(0LL, majorStart - (majorExtent - 1));
        last = std::min<long long>(steps - 1, majorStart);
    }
    if (first > last) return;

    // first * minorSpan < 2^64 because both are below 2^32, and the quotient
    // and remainder then advance by minorSpan <= steps per step.
    unsigned long long quotient = static_cast<unsigned long long>(first) * minorSpan / steps;
    unsigned long long remainder = static_cast<unsigned long long>(first) * minorSpan % steps;
    for (long long i = first; i <= last; ++i) {
        const long long offset = static_cast<long long>(quotient + (2 * remainder >= steps ? 1 : 0));
        const long long minor = minorStart + minorSign * offset;
        if (minor >= 0 && minor < minorExtent) {
            const long long major = majorStart + majorSign * i;
            if (xMajor)
                pixels_[index(static_cast<int>(major), static_cast<int>(minor))] = colour;
            else
                pixels_[index(static_cast<int>(minor), static_cast<int>(major))] = colour;
        }
        remainder += minorSpan;
        if (remainder >= steps) {
            remainder -= steps;
            ++quotient;
        }
    }
}
