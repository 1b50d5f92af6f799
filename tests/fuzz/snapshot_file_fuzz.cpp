// libFuzzer harness of the snapshot reader. The HDF5 library reads files by
// name, so each input is written to one temporary file first. Beyond the
// sanitizers' part it checks what the reader promises: a refused file leaves
// the output alone and says why; an accepted one gives matching arrays of
// finite numbers and colours of the table.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "io/snapshot_file.h"
#include "model/galaxy.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

std::string g_path = "/tmp/zyr-snapshot-fuzz-XXXXXX.hdf5";

void removeInput() { std::remove(g_path.c_str()); }

bool makeInputFile() {
    const int fd = ::mkstemps(g_path.data(), 5);
    require(fd >= 0);
    ::close(fd);
    std::atexit(removeInput);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const bool ready = makeInputFile();
    static CGalaxy galaxy;
    const std::string& path = g_path;
    require(ready);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    require(file != nullptr && std::fwrite(bytes, 1, size, file) == size && std::fclose(file) == 0);

    SnapshotData data;
    data.stars.mass = {42.0};
    const GalaxyFileStatus status = readSnapshotFile(path, galaxy, data);
    if (!status.ok()) {
        require(!status.message.empty() && data.stars.mass.size() == 1 && data.stars.mass[0] == 42.0);
        return 0;
    }
    const GalaxyFileData& s = data.stars;
    const std::size_t n = s.mass.size();
    require(s.x.size() == n && s.vz.size() == n && s.color.size() == n && std::isfinite(data.time));
    for (std::size_t i = 0; i < n; ++i) {
        for (const double v : {s.mass[i], s.x[i], s.y[i], s.z[i], s.vx[i], s.vy[i], s.vz[i]}) require(std::isfinite(v));
        require(s.color[i] >= 0 && s.color[i] < kStarColorCount);
    }
    return 0;
}
