#include "tape/TapeImageWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tape/TzxBlockCodec.h"

namespace {
constexpr int32_t kMaxTapRecord = 0xFFFF;
constexpr uint8_t kTzxHeader[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 1};
constexpr int kMaxTemporaryAttempts = 100;

void AppendWord(std::vector<uint8_t>& image, int value) {
    image.push_back(static_cast<uint8_t>(value & 0xFF));
    image.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void AppendTapRecord(std::vector<uint8_t>& image, const TapeBlock& block) {
    if (!block.HoldsData()) {
        return;
    }
    AppendWord(image, block.Length());
    const std::span<const uint8_t> data = block.Data();
    image.insert(image.end(), data.begin(), data.end());
}

int32_t MaxLength(TapeLayout layout, const TapeBlock& block) {
    if (layout == TapeLayout::Tap) {
        return block.HoldsData() ? kMaxTapRecord : 0;
    }
    return MaxTzxPayload(block.Kind());
}

std::string Plural(int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string SystemReason(const std::string& path, const char* action, int error) {
    return "Cannot " + std::string(action) + " " + path + ": " + std::strerror(error);
}

// A new file beside the target, so that the final rename stays on one file system.
int CreateTemporary(const std::string& path, std::string& temporaryPath) {
    for (int attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
        temporaryPath = path + ".tw" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// A file that is replaced keeps its permissions.
void KeepModeOfTarget(const std::string& path, int fd) {
    struct stat target {};
    if (stat(path.c_str(), &target) == 0) {
        fchmod(fd, target.st_mode & 07777);
    }
}

// Returns 0 when every byte reached the disk, else the errno of the failure.
int WriteAll(int fd, const std::vector<uint8_t>& image) {
    size_t written = 0;
    while (written < image.size()) {
        ssize_t count = write(fd, image.data() + written, image.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        written += static_cast<size_t>(count);
    }
    return fsync(fd) == 0 ? 0 : errno;
}
}  // namespace

TapeLayout LayoutForPath(std::string_view path) {
    if (path.ends_with(".tzx") || path.ends_with(".TZX")) {
        return TapeLayout::Tzx;
    }
    return TapeLayout::Tap;
}

std::optional<std::string> FindUnstorableBlock(const std::vector<TapeBlock>& blocks,
                                               TapeLayout layout) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        const int32_t maxLength = MaxLength(layout, blocks[i]);
        if (blocks[i].Length() > maxLength) {
            return "block " + std::to_string(i + 1) + " of " + std::to_string(blocks.size()) +
                   " is " + std::to_string(blocks[i].Length()) +
                   " bytes long; a tape image holds at most " + std::to_string(maxLength) +
                   " bytes per block";
        }
    }
    return std::nullopt;
}

UnkeptStretches CountUnkept(TapeLayout layout, const std::vector<TapeBlock>& blocks) {
    UnkeptStretches unkept;
    if (layout == TapeLayout::Tzx) {
        return unkept;
    }
    for (const TapeBlock& block : blocks) {
        if (!block.HoldsData()) {
            ++unkept.dropped;
        } else if (block.Kind() != BlockKind::Standard) {
            ++unkept.untimed;
        }
    }
    return unkept;
}

std::optional<std::string> DescribeUnkept(const std::string& path,
                                          const std::vector<TapeBlock>& blocks) {
    const UnkeptStretches unkept = CountUnkept(LayoutForPath(path), blocks);
    if (unkept == UnkeptStretches{}) {
        return std::nullopt;
    }
    std::string text = path + ":";
    if (unkept.dropped > 0) {
        text += " " + Plural(unkept.dropped, "stretch", "stretches") +
                " (tones, pulses, recordings, pauses) not saved;";
    }
    if (unkept.untimed > 0) {
        text += " " +
                Plural(unkept.untimed, "turbo or pure data block", "turbo or pure data blocks") +
                " saved without their timing;";
    }
    return text + " only a TZX image keeps them";
}

std::vector<uint8_t> EncodeTapeImage(TapeLayout layout, const std::vector<TapeBlock>& blocks) {
    std::vector<uint8_t> image;
    if (layout == TapeLayout::Tzx) {
        image.assign(std::begin(kTzxHeader), std::end(kTzxHeader));
    }
    for (const TapeBlock& block : blocks) {
        if (layout == TapeLayout::Tzx) {
            AppendTzxBlock(image, block);
        } else {
            AppendTapRecord(image, block);
        }
    }
    return image;
}

std::optional<std::string> SaveTapeImage(const std::string& path,
                                         const std::vector<TapeBlock>& blocks) {
    const TapeLayout layout = LayoutForPath(path);
    if (std::optional<std::string> refusal = FindUnstorableBlock(blocks, layout)) {
        return "Cannot save " + path + ": " + *refusal;
    }
    return ReplaceFileContents(path, EncodeTapeImage(layout, blocks));
}

std::optional<std::string> ReplaceFileContents(const std::string& path,
                                               const std::vector<uint8_t>& contents) {
    std::string temporaryPath;
    const int fd = CreateTemporary(path, temporaryPath);
    if (fd < 0) {
        return SystemReason(path, "write", errno);
    }
    KeepModeOfTarget(path, fd);
    int error = WriteAll(fd, contents);
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporaryPath.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporaryPath.c_str());
        return SystemReason(path, "write", error);
    }
    return std::nullopt;
}
