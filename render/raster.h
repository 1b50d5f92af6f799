#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 0xffRRGGBB, the pixel word of QImage::Format_RGB32.
constexpr std::uint32_t rgbPixel(int red, int green, int blue) {
    return 0xff000000u | (static_cast<std::uint32_t>(red & 0xff) << 16) |
           (static_cast<std::uint32_t>(green & 0xff) << 8) | static_cast<std::uint32_t>(blue & 0xff);
}
constexpr std::uint32_t kBlackPixel = rgbPixel(0, 0, 0);
constexpr std::uint32_t kWhitePixel = rgbPixel(255, 255, 255);

// A picture of 32-bit pixels, row-major without padding, in the memory
// layout of QImage::Format_RGB32, so a window can show it without a copy.
// Every drawing operation clips to the picture; coordinates outside it are
// legal and simply draw nothing there.
class Raster {
public:
    // Largest width or height accepted by resize.
    static constexpr int kMaxExtent = 1 << 15;

    // Resizing to the current size keeps the pixels (a trace paints over the
    // previous frame); any other size starts black. False, with the picture
    // unchanged, for a negative or too large size or when memory runs out.
    bool resize(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t bytesPerLine() const { return static_cast<std::size_t>(width_) * sizeof(std::uint32_t); }
    std::uint32_t* data() { return pixels_.data(); }
    const std::uint32_t* data() const { return pixels_.data(); }

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    // The pixel at (x, y); 0 (not a valid pixel word) outside the picture.
    std::uint32_t pixel(int x, int y) const { return contains(x, y) ? pixels_[index(x, y)] : 0; }
    void setPixel(int x, int y, std::uint32_t colour) {
        if (contains(x, y)) pixels_[index(x, y)] = colour;
    }

    void fill(std::uint32_t colour);
    // The rectangle of width w and height h with its upper left corner at
    // (x, y); nothing for w or h of zero or less.
    void fillRect(int x, int y, int w, int h, std::uint32_t colour);
    // A Bresenham line from (x0, y0) towards (x1, y1), the end point itself
    // left out, as GDI's LineTo draws it, so that a closed path paints each
    // corner once.
    void drawLine(int x0, int y0, int x1, int y1, std::uint32_t colour);

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};
