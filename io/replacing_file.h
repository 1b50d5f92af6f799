#pragma once

// Every file Zyr writes (galaxy files, CSV series and states, pictures) goes
// through a ReplacingFile: it is written under a hidden temporary name beside
// its target and takes the target's place only once it is complete and on
// disk. A failed or interrupted write leaves an older file as it was and
// nothing else behind. Qt-free, for zyr-sim and the desktop program alike.

#include <string>
#include <string_view>

#include <sys/types.h>

#include "model/status.h"

enum class FileError {
    None,
    CannotCreate,  // the target is not a regular file, or no file can be made beside it
    CannotWrite,   // writing, syncing or renaming failed; the target is untouched
};
using FileStatus = Status<FileError>;

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // An uncommitted file is discarded.
    ~ReplacingFile();

    // Creates the temporary file. Through a symbolic link the file the link
    // points to is replaced and the link kept; a target that exists but is
    // not a regular file (a folder, a device, a FIFO) is refused.
    FileStatus open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // The file that commit replaces: the path given, or where its link points.
    const std::string& target() const { return target_; }
    // For writers that need a name rather than a stream (the HDF5 library):
    // they write the file under this name, then commit renames it as usual.
    const std::string& temporaryPath() const { return temporary_; }
    // Buffered; the first failure is kept for commit to report.
    void write(std::string_view data);
    // Writes the rest, gives the file the permissions of the one it replaces,
    // syncs it and renames it over the target. On failure the temporary is
    // removed and the target is untouched.
    FileStatus commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

private:
    void flush();

    int fd_ = -1;
    int slot_ = -1;  // in the table of temporaries removed on a signal
    int errno_ = 0;  // the first failure
    bool keepMode_ = false;
    mode_t mode_ = 0;
    std::string target_, temporary_, buffer_;
};

// For the programs' main functions: SIGINT, SIGTERM and SIGHUP remove the
// temporaries of the files still being written before the program ends as the
// signal says, and a file-size limit (SIGXFSZ) fails the write instead of
// killing the program.
void removeTemporariesOnSignals();
