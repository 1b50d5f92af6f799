#include "io/png_file.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "io/replacing_file.h"
#include "render/raster.h"

namespace {

void appendWord(std::vector<unsigned char>& out, std::uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(word >> shift));
}

// One chunk: length, type, data, and the CRC of type and data.
void appendChunk(std::vector<unsigned char>& out, std::string_view type, const unsigned char* data,
                 std::size_t size) {
    appendWord(out, static_cast<std::uint32_t>(size));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(type.size() + size));
    appendWord(out, static_cast<std::uint32_t>(crc));
}

// The whole file in memory: it is written in one piece.
std::vector<unsigned char> encodePng(const Raster& raster) {
    const int w = raster.width(), h = raster.height();

    // Scanlines of filter byte 0 (none) followed by red, green, blue.
    const std::size_t line = 1 + 3 * static_cast<std::size_t>(w);
    std::vector<unsigned char> scanlines(line * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        unsigned char* p = scanlines.data() + line * static_cast<std::size_t>(y);
        *p++ = 0;
        const std::uint32_t* row = raster.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) {
            *p++ = static_cast<unsigned char>(row[x] >> 16);
            *p++ = static_cast<unsigned char>(row[x] >> 8);
            *p++ = static_cast<unsigned char>(row[x]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(scanlines.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, scanlines.data(), static_cast<uLong>(scanlines.size()), 6) != Z_OK)
        return {};

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> header;
    appendWord(header, static_cast<std::uint32_t>(w));
    appendWord(header, static_cast<std::uint32_t>(h));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
    appendChunk(png, "IHDR", header.data(), header.size());
    appendChunk(png, "IDAT", packed.data(), packedSize);
    appendChunk(png, "IEND", nullptr, 0);

    return png;
}

}  // namespace

FileStatus writePng(const Raster& raster, const std::string& path) {
    auto fail = [&](const std::string& why) {
        return FileStatus::failure(FileError::CannotWrite, "cannot write " + path + ": " + why);
    };
    if (raster.width() <= 0 || raster.height() <= 0) return fail("the picture is empty");
    std::vector<unsigned char> png;
    try {
        png = encodePng(raster);
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for a picture of " + std::to_string(raster.width()) + " x " +
                    std::to_string(raster.height()) + " pixels");
    }
    if (png.empty()) return fail("compression failed");

    ReplacingFile file;
    if (FileStatus opened = file.open(path); !opened.ok()) return opened;
    file.write(std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
    return file.commit();
}
