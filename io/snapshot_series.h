#pragma once

// A run replayed from its snapshots: the files of a series in name order, one
// of them shown in the galaxy at a time and read only when it is shown, so
// that a long series needs the memory of one snapshot. Qt-free: zyr-sim's
// --replay and the desktop program's Replay Snapshots share it.

#include <string>
#include <utility>
#include <vector>

#include "io/galaxy_file.h"

class CGalaxy;

// Name order: runs of digits compare by their value, so that snapshot_999
// comes before snapshot_1000 and run_9 before run_10; the rest, and names
// that differ only in leading zeros, byte by byte.
bool snapshotNameLess(const std::string& a, const std::string& b);

// The files the names stand for, in name order and each once: a name that
// holds a wildcard (*, ? or [) and is not itself a file is a pattern, expanded
// with glob(3); any other name is taken as it stands. A pattern that matches
// no file, or no name at all, is a failure whose message names the pattern.
enum class SeriesError { None, NoSnapshot, TooManySnapshots, CannotSearch };
using SeriesStatus = Status<SeriesError>;
Result<std::vector<std::string>, SeriesError> expandSnapshotNames(const std::vector<std::string>& names);

class SnapshotSeries {
public:
    SnapshotSeries() = default;
    // Takes the files as they are ordered; expandSnapshotNames gives them.
    explicit SnapshotSeries(std::vector<std::string> files) : files_(std::move(files)) {}

    int size() const { return static_cast<int>(files_.size()); }
    const std::string& file(int i) const { return files_.at(static_cast<std::size_t>(i)); }
    // The snapshot the galaxy shows, -1 before the first is shown.
    int current() const { return current_; }
    // Whether no snapshot follows the one shown.
    bool atEnd() const { return current_ + 1 >= size(); }

    // Loads snapshot i into the galaxy as loading a file does (its stars,
    // time and scale, and a Zyr snapshot's model settings; other files get
    // the galaxy's model settings). With keepView the camera and the view
    // flags stay as they were, instead of as a newly loaded galaxy has them.
    // On failure the galaxy and current() are unchanged.
    GalaxyFileStatus show(CGalaxy& galaxy, int i, bool keepView);
    // The snapshot after the one shown, in the same view; call only before
    // the end.
    GalaxyFileStatus next(CGalaxy& galaxy) { return show(galaxy, current_ + 1, true); }

private:
    std::vector<std::string> files_;
    int current_ = -1;
};
