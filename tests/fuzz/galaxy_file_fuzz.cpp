// libFuzzer harness of the galaxy file reader. Beyond "no crash, no leak, no
// undefined behaviour" (the sanitizers' part) it checks what the reader
// promises: a refused file leaves the output alone; an accepted one has no
// more stars than lines, only finite numbers and colours of the table; and
// what it loads saves to a text that reads back to the same text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "io/galaxy_file.h"
#include "model/galaxy.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Parses and installs text, which must be accepted; returns the saved form.
std::string loadAndFormat(CGalaxy& galaxy, std::string_view text) {
    GalaxyFileData data;
    require(parseGalaxyText(text, galaxy.scaleName, data).ok());
    require(installGalaxyData(galaxy, data));
    return formatGalaxyFile(galaxy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    static CGalaxy galaxy;

    GalaxyFileData data;
    data.mass = {42.0};
    const GalaxyFileStatus status = parseGalaxyText(text, galaxy.scaleName, data);
    if (!status.ok()) {
        require(!status.message.empty() && data.mass.size() == 1 && data.mass[0] == 42.0);
        return 0;
    }

    // Three lines come before the stars, each star needs one of its own.
    std::size_t lines = 0;
    for (const char c : text) lines += c == '\n';
    require(static_cast<std::size_t>(data.count()) <= lines + 1);
    for (int i = 0; i < data.count(); ++i) {
        for (const double v : {data.mass[i], data.x[i], data.y[i], data.z[i], data.vx[i], data.vy[i], data.vz[i]})
            require(std::isfinite(v));
        require(data.color[i] >= 0 && data.color[i] < kStarColorCount);
    }

    if (!installGalaxyData(galaxy, data)) return 0;  // beyond this machine's memory
    const std::string saved = formatGalaxyFile(galaxy);
    require(loadAndFormat(galaxy, saved) == saved);
    return 0;
}
