#include "io/galaxy_file.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/number_text.h"
#include "physics/workers.h"

// Numbers go through std::to_chars / std::from_chars only: they never look at
// the process locale, so a German desktop still writes and reads "400.000000".

namespace {

// Every line ends in one blank and CR LF, as the files have always been written.
constexpr std::string_view kLineEnd = " \r\n";
// Written into every file; the reader ignores it.
constexpr double kFileVersion = 2.0;

void appendFixed(std::string& out, double value) { out += numberText(value, std::chars_format::fixed, 6); }

void appendInt(std::string& out, int value) {
    char buf[16];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

constexpr auto failure = GalaxyFileStatus::failure;

GalaxyFileStatus systemFailure(GalaxyFileError error, const char* what, const std::string& path, int err) {
    return failure(error, std::string(what) + " " + path + ": " + std::strerror(err));
}

// ---- reading ---------------------------------------------------------------

// Hands out the lines of a text one by one, without their LF or CR LF; past
// the end it hands out empty lines, which is how a file that ends early reads.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : rest_(text) {}

    bool atEnd() const { return rest_.empty(); }

    std::string_view next() {
        const std::size_t lf = rest_.find('\n');
        std::string_view line = rest_.substr(0, lf);
        rest_.remove_prefix(lf == std::string_view::npos ? rest_.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    }

private:
    std::string_view rest_;
};

// Reads the fields of one line from the left, as "%lf" and "%d" would.
class FieldCursor {
public:
    explicit FieldCursor(std::string_view line) : rest_(line) {}

    // Any decimal notation, with an optional sign and exponent. A value that
    // is not finite, or too large or too small for a double, counts as a
    // field that failed to parse, so that nothing but finite numbers ever
    // reaches the physics.
    bool readDouble(double& value) {
        skipBlanks();
        std::string_view s = rest_;
        if (!s.empty() && s.front() == '+') {
            s.remove_prefix(1);
            if (!s.empty() && s.front() == '-') return false;
        }
        double v = 0.0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec != std::errc() || !std::isfinite(v)) return false;
        rest_.remove_prefix(static_cast<std::size_t>(end - rest_.data()));
        value = v;
        return true;
    }

    // An optionally signed run of digits, stopping at anything else (so
    // "3.7" reads 3). Magnitudes beyond what a long long holds saturate; the
    // callers reject such values anyway.
    bool readInt(long long& value) {
        skipBlanks();
        const bool negative = !rest_.empty() && rest_.front() == '-';
        const std::size_t digitsStart = !rest_.empty() && (negative || rest_.front() == '+') ? 1 : 0;
        std::size_t i = digitsStart;
        long long magnitude = 0;
        for (; i < rest_.size() && rest_[i] >= '0' && rest_[i] <= '9'; ++i) {
            const int digit = rest_[i] - '0';
            magnitude = magnitude > (LLONG_MAX - digit) / 10 ? LLONG_MAX : magnitude * 10 + digit;
        }
        if (i == digitsStart) return false;
        rest_.remove_prefix(i);
        value = negative ? -magnitude : magnitude;
        return true;
    }

private:
    void skipBlanks() {
        // the blanks scanf skips; a stray CR before the LF is one of them
        const std::size_t first = rest_.find_first_not_of(" \t\r\v\f");
        rest_.remove_prefix(first == std::string_view::npos ? rest_.size() : first);
    }

    std::string_view rest_;
};

GalaxyFileStatus readWholeFile(const std::string& path, std::string& text) {
    // Read access only: a sample file the user may not change must still open.
    // Without blocking, so that a FIFO does not wait for a writer; it is
    // refused below, as folders and devices are.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return systemFailure(GalaxyFileError::CannotOpen, "cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        return failure(GalaxyFileError::NotAFile,
                       path + (folder ? " is a folder, not a galaxy file" : " is not a regular file"));
    }
    GalaxyFileStatus status;
    try {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                status = systemFailure(GalaxyFileError::CannotOpen, "cannot read", path, errno);
                break;
            }
            if (n == 0) break;
            text.append(buf, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        status = failure(GalaxyFileError::CannotOpen, "cannot read " + path + ": it is too large");
    }
    ::close(fd);
    return status;
}

GalaxyFileStatus tooManyStars() {
    return failure(GalaxyFileError::TooManyStars, "the star count on line 3 is more than memory can hold");
}

GalaxyFileStatus naming(const std::string& path, GalaxyFileStatus status) {
    status.message = path + ": " + status.message;
    return status;
}

}  // namespace

std::string formatGalaxyFile(const CGalaxy& galaxy) {
    std::string out;
    // about 90 characters per star line for galaxies of moderate extent
    out.reserve(64 + 96 * static_cast<std::size_t>(galaxy.numStars));

    // the header string ends in a blank and "%s %f" adds another
    out += "//Quasarix Version  ";
    appendFixed(out, kFileVersion);
    out += kLineEnd;
    out += "Scale: ";
    out += galaxy.scaleName[galaxy.scale];
    out += kLineEnd;
    appendInt(out, galaxy.numStars);
    out += kLineEnd;

    for (int i = 0; i < galaxy.numStars; ++i) {
        for (const double value : {galaxy.mass[i], galaxy.pos.x[i], galaxy.pos.y[i], galaxy.pos.z[i],
                                   galaxy.vel.x[i], galaxy.vel.y[i], galaxy.vel.z[i]}) {
            appendFixed(out, value);
            out += ' ';
        }
        appendInt(out, galaxy.color[i]);
        out += kLineEnd;
    }
    return out;
}

GalaxyFileStatus saveGalaxyFile(const CGalaxy& galaxy, const std::string& path) {
    ReplacingFile file;
    if (FileStatus opened = file.open(path); !opened.ok())
        return failure(GalaxyFileError::CannotCreate, opened.message);
    return writeGalaxyFile(galaxy, file);
}

GalaxyFileStatus writeGalaxyFile(const CGalaxy& galaxy, ReplacingFile& file) {
    if (const int star = galaxy.firstNonFiniteStar(); star >= 0) {
        file.discard();
        return failure(GalaxyFileError::NotFinite, "cannot save " + file.target() + ": star " +
                                                       std::to_string(star) +
                                                       " holds a number that is infinite or not a number");
    }
    file.write(formatGalaxyFile(galaxy));
    if (FileStatus written = file.commit(); !written.ok())
        return failure(GalaxyFileError::CannotCreate, written.message);
    return {};
}

// What the reader decides where a file is not as the writer makes it:
// - line 1 may hold anything; line 2 selects the last of the scale names it
//   contains (Galactic if none), matched case-sensitively;
// - line 3 must start with a count: missing, not a number or negative fails
//   the load, as does a count beyond what memory can hold (checked before
//   anything is allocated for it); 0 is a valid empty galaxy;
// - a count larger than the lines present gives a galaxy of the lines present
//   and a warning (a file without any star line fails), never stars made up
//   for missing lines: a file of a few bytes cannot claim gigabytes; lines
//   after the last star are ignored;
// - star fields parse from the left; where parsing stops the star keeps the
//   defaults 0.0 for mass (a massless star exerts no force), position and
//   velocity, and White for the colour;
// - a colour outside 0..7 becomes White, so no colour table is indexed out of
//   range; NaN and infinities end the line like any unreadable field.
GalaxyFileStatus parseGalaxyText(std::string_view text, const CGalaxy::NameTable& scaleNames,
                                 GalaxyFileData& out) {
    LineCursor lines(text);
    lines.next();

    const std::string_view scaleLine = lines.next();
    int scale = UnitScale::Galactic;
    for (const int candidate : {UnitScale::Galactic, UnitScale::SolarSystem, UnitScale::EarthSun}) {
        if (scaleLine.find(scaleNames[candidate]) != std::string_view::npos) scale = candidate;
    }

    if (lines.atEnd()) return failure(GalaxyFileError::BadCount, "the file ends before its star count (line 3)");
    FieldCursor countField(lines.next());
    long long count = 0;
    if (!countField.readInt(count)) return failure(GalaxyFileError::BadCount, "line 3 does not hold a star count");
    if (count < 0) return failure(GalaxyFileError::BadCount, "the star count on line 3 is negative");

    // The star lines are found first, so that they can be read on the worker
    // threads; there are never more of them than the text holds.
    std::vector<std::string_view> starLines;
    try {
        for (LineCursor rest = lines; static_cast<long long>(starLines.size()) < count && !rest.atEnd();)
            starLines.push_back(rest.next());
    } catch (const std::bad_alloc&) {
        return tooManyStars();
    }
    const long long present = static_cast<long long>(starLines.size());
    if (present == 0 && count > 0) {
        return failure(GalaxyFileError::BadCount,
                       "line 3 counts " + std::to_string(count) + " stars, but the file holds no star lines");
    }
    if (!CGalaxy::canHold(present)) return tooManyStars();
    GalaxyFileStatus status;
    if (present < count) {
        status.warning = "line 3 counts " + std::to_string(count) + " stars, but the file ends after " +
                         std::to_string(present) + (present == 1 ? " star line" : " star lines") +
                         "; only those were read";
    }

    try {
        const std::size_t n = static_cast<std::size_t>(present);
        GalaxyFileData data;
        data.scale = scale;
        std::vector<double>* const fields[] = {&data.mass, &data.x, &data.y, &data.z, &data.vx, &data.vy, &data.vz};
        for (auto* field : fields) field->assign(n, 0.0);
        data.color.assign(n, StarColor::White);

        parallelForEach(static_cast<int>(n), [&](int i) {
            FieldCursor line(starLines[i]);
            bool complete = true;
            for (auto* field : fields) {
                if (!(complete = line.readDouble((*field)[i]))) break;
            }
            long long color = 0;
            if (complete && line.readInt(color) && color >= 0 && color < kStarColorCount) {
                data.color[i] = static_cast<int>(color);
            }
        });
        out = std::move(data);
    } catch (const std::bad_alloc&) {
        return tooManyStars();
    }
    return status;
}

namespace {

GalaxyFileStatus readGalaxyFile(const std::string& path, const CGalaxy::NameTable& scaleNames, GalaxyFileData& out) {
    std::string text;
    if (GalaxyFileStatus status = readWholeFile(path, text); !status.ok()) return status;
    GalaxyFileStatus status = parseGalaxyText(text, scaleNames, out);
    if (!status.ok()) return naming(path, std::move(status));
    if (!status.warning.empty()) status.warning = path + ": " + status.warning;
    return status;
}

}  // namespace

bool installGalaxyData(CGalaxy& galaxy, GalaxyFileData& data) {
    // reset obtains the new arrays before it drops the old ones, so the
    // galaxy is released only once the file's stars are sure to fit.
    Vec3Arrays positions, velocities;
    positions.view(data.x.data(), data.y.data(), data.z.data());
    velocities.view(data.vx.data(), data.vy.data(), data.vz.data());
    if (!galaxy.reset(data.count(), positions, velocities, data.mass.data(), data.color.data())) return false;
    galaxy.scale = data.scale;
    galaxy.setScale(galaxy.scale);
    return true;
}

GalaxyFileStatus loadGalaxyFile(CGalaxy& galaxy, const std::string& path) {
    GalaxyFileData data;
    GalaxyFileStatus status = readGalaxyFile(path, galaxy.scaleName, data);
    if (!status.ok()) return status;
    if (!installGalaxyData(galaxy, data)) return naming(path, tooManyStars());
    return status;
}

GalaxyFileStatus mergeGalaxyFile(CGalaxy& galaxy, const std::string& path, const double offset[3],
                                 const double velocity[3]) {
    GalaxyFileData added;
    GalaxyFileStatus status = readGalaxyFile(path, galaxy.scaleName, added);
    if (!status.ok()) return status;
    GalaxyFileStatus merged = mergeGalaxyData(galaxy, added, path, offset, velocity);
    if (merged.ok()) merged.warning = status.warning;
    return merged;
}

GalaxyFileStatus mergeGalaxyData(CGalaxy& galaxy, const GalaxyFileData& added, const std::string& path,
                                 const double offset[3], const double velocity[3]) {
    const long long total = static_cast<long long>(galaxy.numStars) + added.count();
    if (!CGalaxy::canHold(total)) return naming(path, tooManyStars());

    GalaxyFileData both;
    try {
        std::vector<double>* const fields[] = {&both.mass, &both.x, &both.y, &both.z, &both.vx, &both.vy, &both.vz};
        for (auto* field : fields) field->reserve(static_cast<std::size_t>(total));
        both.color.reserve(static_cast<std::size_t>(total));
        const CGalaxy& g = galaxy;
        for (int i = 0; i < g.numStars; ++i) {
            const double star[] = {g.mass[i], g.pos.x[i], g.pos.y[i], g.pos.z[i], g.vel.x[i], g.vel.y[i], g.vel.z[i]};
            for (int f = 0; f < 7; ++f) fields[f]->push_back(star[f]);
            both.color.push_back(g.color[i]);
        }
        for (int i = 0; i < added.count(); ++i) {
            const double star[] = {added.mass[i],        added.x[i] + offset[0],   added.y[i] + offset[1],
                                   added.z[i] + offset[2], added.vx[i] + velocity[0], added.vy[i] + velocity[1],
                                   added.vz[i] + velocity[2]};
            for (int f = 0; f < 7; ++f) {
                if (!std::isfinite(star[f])) {
                    return naming(path, failure(GalaxyFileError::NotFinite,
                                                "the offset or velocity takes star " + std::to_string(i) +
                                                    " beyond the range of numbers"));
                }
                fields[f]->push_back(star[f]);
            }
            both.color.push_back(added.color[i]);
        }
    } catch (const std::bad_alloc&) {
        return naming(path, tooManyStars());
    }

    // reset restores the scale setting, the time and the camera: a merge is
    // the same galaxy going on with more stars, so they are put back.
    const int scale = galaxy.scale;
    const double time = galaxy.time;
    const Quaternion orientation = galaxy.orientation;
    const double panX = galaxy.panX, panY = galaxy.panY;
    Vec3Arrays positions, velocities;
    positions.view(both.x.data(), both.y.data(), both.z.data());
    velocities.view(both.vx.data(), both.vy.data(), both.vz.data());
    if (!galaxy.reset(both.count(), positions, velocities, both.mass.data(), both.color.data())) {
        return naming(path, tooManyStars());
    }
    galaxy.scale = scale;
    galaxy.setScale(scale);
    galaxy.time = time;
    galaxy.orientation = orientation;
    galaxy.panX = panX;
    galaxy.panY = panY;
    return {};
}
