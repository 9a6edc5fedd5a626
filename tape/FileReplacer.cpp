#include "tape/FileReplacer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kMaxLinkHops = 40;
constexpr int kMaxTemporaryAttempts = 100;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr mode_t kPrivateMode = 0600;  // until the target's own mode is set

// N when the path names the program's own descriptor N: /dev/fd/N, /proc/self/fd/N (where
// /dev/stdout leads) or the same under the program's own /proc/PID.
std::optional<int> DescriptorNamedBy(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size() || path.size() - slash > 8 ||
        path.find_first_not_of("0123456789", slash + 1) != std::string::npos) {
        return std::nullopt;
    }
    char* directory = realpath(path.substr(0, slash).c_str(), nullptr);
    if (directory == nullptr) {
        return std::nullopt;
    }
    const bool own = std::string(directory) == "/proc/" + std::to_string(getpid()) + "/fd";
    free(directory);
    return own ? std::optional<int>(std::stoi(path.substr(slash + 1))) : std::nullopt;
}

bool IsOpenForWriting(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The text a symbolic link points to, relative links taken from the link's own directory.
std::optional<std::string> LinkTarget(const std::string& link, int& error) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = readlink(link.c_str(), target.data(), target.size());
    if (length < 0) {
        error = errno;
        return std::nullopt;
    }
    target.resize(static_cast<size_t>(length));
    return target.starts_with("/") ? target : DirectoryOf(link) + target;
}

bool MayWrite(const std::string& path) {
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Returns 0 when every byte was written, else the errno of the failure.
int WriteAll(int fd, const std::vector<uint8_t>& contents) {
    size_t written = 0;
    while (written < contents.size()) {
        const ssize_t count = write(fd, contents.data() + written, contents.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        written += static_cast<size_t>(count);
    }
    return 0;
}

// The temporary name for a target: its own name with a suffix, shortened where the whole would
// pass the longest name a directory entry may have.
std::string TemporaryName(const std::string& path, int attempt) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string suffix = ".tw" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const size_t kept = std::min(path.size() - nameStart, size_t{NAME_MAX} - suffix.size());
    return path.substr(0, nameStart + kept) + suffix;
}

// A new file beside the target, so that the final rename stays on one file system.
int CreateTemporary(const std::string& path, mode_t mode, std::string& temporaryPath) {
    for (int attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
        temporaryPath = TemporaryName(path, attempt);
        const int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&signals, number);
    }
    return signals;
}

// Stands for "the new file could not keep the owner or mode of the one it replaces".
constexpr int kAttributesNotKept = -1;

// The new file takes the owner and mode of the one it replaces. Only root may give a file away,
// and a user may set only a group of their own: a replacement that cannot, for instance of another
// user's file that everyone may write, would change hands, so it is not made.
int TakeOverAttributes(int fd, const struct stat& target) {
    if (fchown(fd, target.st_uid, target.st_gid) != 0 || fchmod(fd, target.st_mode & 07777) != 0) {
        return kAttributesNotKept;
    }
    return 0;
}

// Writes the temporary file and renames it over the target; returns 0, the errno or
// kAttributesNotKept.
int WriteAndRename(const std::string& target, const struct stat* existing,
                   const std::vector<uint8_t>& contents) {
    std::string temporaryPath;
    const int fd =
        CreateTemporary(target, existing != nullptr ? kPrivateMode : kNewFileMode, temporaryPath);
    if (fd < 0) {
        return errno;
    }
    int error = existing != nullptr ? TakeOverAttributes(fd, *existing) : 0;
    error = error == 0 ? WriteAll(fd, contents) : error;
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporaryPath.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporaryPath.c_str());
    }
    return error;
}
}  // namespace

std::string CFileReplacer::Reason(int error) const {
    if (error == kAttributesNotKept) {
        return "Cannot write " + m_path +
               ": a new file in its place would not keep its owner and mode (it belongs to another "
               "user or group); nothing written";
    }
    return "Cannot write " + m_path + ": " + std::strerror(error);
}

std::optional<CFileReplacer::Destination> CFileReplacer::Resolve(int& error) const {
    std::string path = m_path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        if (const auto fd = DescriptorNamedBy(path)) {
            return Destination{m_path, true, *fd};
        }
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0) {
            if (errno == ENOENT) {
                return Destination{path, false};
            }
            error = errno;
            return std::nullopt;
        }
        if (S_ISLNK(status.st_mode)) {
            const auto target = LinkTarget(path, error);
            if (!target) {
                return std::nullopt;
            }
            path = *target;
            continue;
        }
        if (S_ISREG(status.st_mode)) {
            return Destination{path, false};
        }
        if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)) {
            return Destination{path, true};
        }
        // A directory, a block device or a socket is nothing to save a file into.
        error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    error = ELOOP;
    return std::nullopt;
}

std::optional<std::string> CFileReplacer::CheckWritable() const {
    int error = 0;
    const auto destination = Resolve(error);
    if (!destination) {
        return Reason(error);
    }
    if (destination->ownDescriptor >= 0) {
        return IsOpenForWriting(destination->ownDescriptor) ? std::nullopt
                                                            : std::optional(Reason(EBADF));
    }
    // A FIFO is not opened here: without a reader, opening it waits.
    if (access(destination->path.c_str(), F_OK) == 0 && !MayWrite(destination->path)) {
        return Reason(errno);
    }
    if (destination->inPlace) {
        return std::nullopt;
    }
    std::string probe;
    const int fd = CreateTemporary(destination->path, kPrivateMode, probe);
    if (fd < 0) {
        return Reason(errno);
    }
    struct stat existing {};
    const int kept =
        stat(destination->path.c_str(), &existing) == 0 ? TakeOverAttributes(fd, existing) : 0;
    close(fd);
    unlink(probe.c_str());
    return kept == 0 ? std::nullopt : std::optional(Reason(kept));
}

std::optional<int> CFileReplacer::OwnDescriptor() const {
    int error = 0;
    const auto destination = Resolve(error);
    return destination && destination->ownDescriptor >= 0
               ? std::optional<int>(destination->ownDescriptor)
               : std::nullopt;
}

bool CFileReplacer::WritesInPlace() const {
    int error = 0;
    const auto destination = Resolve(error);
    return destination && destination->inPlace;
}

std::optional<std::string> CFileReplacer::Replace(const std::vector<uint8_t>& contents) const {
    int error = 0;
    const auto destination = Resolve(error);
    if (!destination) {
        return Reason(error);
    }
    return destination->inPlace ? WriteInPlace(*destination, contents)
                                : WriteBeside(*destination, contents);
}

std::optional<std::string> CFileReplacer::WriteInPlace(const Destination& destination,
                                                       const std::vector<uint8_t>& contents) const {
    // Appending is right for a stream opened with > as well as with >>.
    const int fd = destination.ownDescriptor >= 0
                       ? fcntl(destination.ownDescriptor, F_DUPFD_CLOEXEC, 0)
                       : open(destination.path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Reason(errno);
    }
    int error = WriteAll(fd, contents);
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? std::nullopt : std::optional<std::string>(Reason(error));
}

std::optional<std::string> CFileReplacer::WriteBeside(const Destination& destination,
                                                      const std::vector<uint8_t>& contents) const {
    struct stat existing {};
    const bool exists = stat(destination.path.c_str(), &existing) == 0;
    if (exists && !MayWrite(destination.path)) {
        return Reason(errno);
    }
    const sigset_t stopSignals = StopSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    const int error = WriteAndRename(destination.path, exists ? &existing : nullptr, contents);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error == 0 ? std::nullopt : std::optional<std::string>(Reason(error));
}
