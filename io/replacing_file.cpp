#include "io/replacing_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- temporaries removed on a signal -------------------------------------------

// A signal handler may only touch lock-free atomics and plain memory, so the
// names of the temporaries live in a fixed table. More files than slots at
// once are still written safely; only their cleanup on a signal is lost.
struct TemporarySlot {
    std::atomic<int> state{0};  // free, being filled, live
    char path[4096];
};
enum : int { kFree = 0, kFilling = 1, kLive = 2 };
TemporarySlot g_temporaries[32];

int claimSlot(const std::string& path) {
    if (path.size() >= sizeof g_temporaries[0].path) return -1;
    for (int i = 0; i < static_cast<int>(std::size(g_temporaries)); ++i) {
        TemporarySlot& slot = g_temporaries[i];
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(kLive);
        return i;
    }
    return -1;
}

void releaseSlot(int& slot) {
    if (slot >= 0) g_temporaries[slot].state.store(kFree);
    slot = -1;
}

extern "C" void removeTemporariesAndDie(int signal) {
    for (TemporarySlot& slot : g_temporaries)
        if (slot.state.load() == kLive) ::unlink(slot.path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// ---- writing -------------------------------------------------------------------

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Renaming over the link itself would turn it into a plain file.
std::string followLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// A hidden sibling of the target, so that the final rename stays within one
// file system and cannot leave a half-written file under the target's name.
// Each name is entered in the table before the file is created, so that no
// signal can come between the two and leave the file behind.
int createTemporary(const std::string& target, std::string& tmpPath, int& slot) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string stem = target.substr(0, nameStart) + "." + target.substr(nameStart) + "." +
                             std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = stem + std::to_string(attempt) + ".tmp";
        slot = claimSlot(tmpPath);
        // 0666 lets the umask decide, as for any new file the user creates
        const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        const int err = errno;
        releaseSlot(slot);
        errno = err;
        if (err != EEXIST) return -1;
    }
    return -1;
}

constexpr std::size_t kBufferSize = 1 << 16;

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

FileStatus ReplacingFile::open(const std::string& path) {
    discard();
    target_ = followLink(path);
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) {
        return FileStatus::failure(FileError::CannotCreate,
                                   "cannot write " + target_ + ": " +
                                       (S_ISDIR(old.st_mode) ? "it is a folder" : "it is not a regular file"));
    }
    // A file written over keeps its permissions; a new one gets 0666 less the umask.
    keepMode_ = S_ISREG(old.st_mode);
    mode_ = old.st_mode & 0777;
    errno_ = 0;
    buffer_.clear();
    fd_ = createTemporary(target_, temporary_, slot_);
    if (fd_ < 0) {
        const int err = errno;
        temporary_.clear();
        return FileStatus::failure(FileError::CannotCreate,
                                   "cannot create a file beside " + target_ + ": " + std::strerror(err));
    }
    return {};
}

void ReplacingFile::write(std::string_view data) {
    if (fd_ < 0 || errno_ != 0) return;
    if (buffer_.size() + data.size() < kBufferSize) {
        buffer_.append(data);
        return;
    }
    // A large piece, such as a whole galaxy's text, goes out without a copy.
    flush();
    if (errno_ == 0 && !writeAll(fd_, data)) errno_ = errno;
}

void ReplacingFile::flush() {
    if (errno_ == 0 && !writeAll(fd_, buffer_)) errno_ = errno;
    buffer_.clear();
}

FileStatus ReplacingFile::commit() {
    if (fd_ < 0) return FileStatus::failure(FileError::CannotWrite, "cannot write " + target_ + ": it was not opened");
    // Every step is checked and the first error kept; fsync before the rename
    // so that a crash leaves the old file or the new one, never an empty one.
    flush();
    if (errno_ == 0 && ((keepMode_ && ::fchmod(fd_, mode_) != 0) || ::fsync(fd_) != 0)) errno_ = errno;
    if (::close(fd_) != 0 && errno_ == 0) errno_ = errno;
    fd_ = -1;
    if (errno_ == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0) errno_ = errno;
    if (errno_ == 0) {
        // The temporary's name is the target's now.
        temporary_.clear();
        releaseSlot(slot_);
        return {};
    }
    const std::string message = "cannot write " + target_ + ": " + std::strerror(errno_);
    discard();
    return FileStatus::failure(FileError::CannotWrite, message);
}

void ReplacingFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    releaseSlot(slot_);
    temporary_.clear();
    buffer_.clear();
}

void removeTemporariesOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the program was started to ignore (nohup) stays ignored.
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler != SIG_IGN)
            std::signal(signal, removeTemporariesAndDie);
    }
    // Past the limit, write() then fails with EFBIG and the file is discarded.
    std::signal(SIGXFSZ, SIG_IGN);
}
