#include "io/snapshot_series.h"

#include <algorithm>

#include <glob.h>
#include <sys/stat.h>

#include "io/any_galaxy_file.h"
#include "model/galaxy.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool hasWildcard(const std::string& name) { return name.find_first_of("*?[") != std::string::npos; }

bool exists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
}

// Appends the names a pattern matches, in no particular order.
SeriesStatus expandPattern(const std::string& pattern, std::vector<std::string>& out) {
    glob_t found{};
    const int result = ::glob(pattern.c_str(), GLOB_NOSORT, nullptr, &found);
    if (result == 0) {
        try {
            out.insert(out.end(), found.gl_pathv, found.gl_pathv + found.gl_pathc);
        } catch (...) {
            ::globfree(&found);
            throw;
        }
    }
    ::globfree(&found);
    switch (result) {
    case 0:
        return {};
    case GLOB_NOMATCH:
        return SeriesStatus::failure(SeriesError::NoSnapshot, "no file matches '" + pattern + "'");
    case GLOB_NOSPACE:
        return SeriesStatus::failure(SeriesError::TooManySnapshots,
                                     "'" + pattern + "' matches more files than memory can hold");
    default:
        return SeriesStatus::failure(SeriesError::CannotSearch,
                                     "'" + pattern + "': a folder on the way could not be read");
    }
}

}  // namespace

bool snapshotNameLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            const std::size_t startA = i, startB = j;
            while (i < a.size() && isDigit(a[i])) ++i;
            while (j < b.size() && isDigit(b[j])) ++j;
            // Without leading zeros the longer run is the larger number.
            if (i - startA != j - startB) return i - startA < j - startB;
            if (const int c = a.compare(startA, i - startA, b, startB, j - startB); c != 0) return c < 0;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return i >= a.size();
    return a < b;
}

Result<std::vector<std::string>, SeriesError> expandSnapshotNames(const std::vector<std::string>& names) {
    std::vector<std::string> found;
    for (const std::string& name : names) {
        if (hasWildcard(name) && !exists(name)) {
            if (SeriesStatus expanded = expandPattern(name, found); !expanded.ok()) return expanded;
        } else {
            found.push_back(name);
        }
    }
    if (found.empty()) return SeriesStatus::failure(SeriesError::NoSnapshot, "no snapshot is named");
    std::sort(found.begin(), found.end(), snapshotNameLess);
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

GalaxyFileStatus SnapshotSeries::show(CGalaxy& galaxy, int i, bool keepView) {
    const GalaxyView view(galaxy);
    GalaxyFileStatus status = loadAnyGalaxyFile(galaxy, file(i));
    if (!status.ok()) return status;
    if (keepView) view.restore(galaxy);
    current_ = i;
    return status;
}
