#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Reads back the 8-bit RGB PNG files the program writes (one IDAT stream, no
// filters), checking every chunk's CRC on the way.
struct PngImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0xffRRGGBB, as the raster holds them
    std::string problem;                // empty when the file read back cleanly
};

inline PngImage readPng(const std::string& path) {
    PngImage image;
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (file.size() < 8 || !std::equal(signature, signature + 8, file.begin())) {
        image.problem = "no PNG signature";
        return image;
    }
    auto word = [&](std::size_t at) {
        return std::uint32_t(file[at]) << 24 | std::uint32_t(file[at + 1]) << 16 | std::uint32_t(file[at + 2]) << 8 |
               std::uint32_t(file[at + 3]);
    };
    std::vector<unsigned char> packed;
    std::size_t at = 8;
    bool ended = false;
    while (!ended && at + 12 <= file.size()) {
        const std::uint32_t length = word(at);
        if (at + 12 + length > file.size()) break;
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const unsigned char* data = file.data() + at + 8;
        if (crc32(0L, file.data() + at + 4, length + 4) != word(at + 8 + length)) {
            image.problem = "bad CRC in " + type;
            return image;
        }
        if (type == "IHDR") {
            image.width = static_cast<int>(word(at + 8));
            image.height = static_cast<int>(word(at + 12));
            if (data[8] != 8 || data[9] != 2) image.problem = "not 8-bit RGB";
        } else if (type == "IDAT") {
            packed.insert(packed.end(), data, data + length);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + length;
    }
    if (!ended) image.problem = "no IEND chunk";
    if (!image.problem.empty()) return image;
    const std::size_t line = 1 + 3 * static_cast<std::size_t>(image.width);
    std::vector<unsigned char> raw(line * static_cast<std::size_t>(image.height));
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
        rawSize != raw.size()) {
        image.problem = "bad image data";
        return image;
    }
    for (int y = 0; y < image.height; ++y) {
        const unsigned char* p = raw.data() + line * static_cast<std::size_t>(y);
        if (*p++ != 0) image.problem = "a filtered scanline";
        for (int x = 0; x < image.width; ++x, p += 3)
            image.pixels.push_back(0xff000000u | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]);
    }
    return image;
}
