#include "recording/RawFileSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
constexpr size_t kMinDumpDigits = 3;

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool HasDigitExtension(std::string_view path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string_view::npos || path[dot] != '.') {
        return false;
    }
    const std::string_view extension = path.substr(dot + 1);
    if (extension.size() < kMinDumpDigits) {
        return false;
    }
    for (char c : extension) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}
}  // namespace

CRawFileSource::~CRawFileSource() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool CRawFileSource::IsRawName(std::string_view path) {
    return EndsWith(path, ".raw") || EndsWith(path, ".RAW") || HasDigitExtension(path);
}

std::optional<std::string> CRawFileSource::Open(const std::string& path) {
    if (path == "-") {
        const int fd = dup(STDIN_FILENO);
        m_file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    } else {
        m_file = std::fopen(path.c_str(), "rb");
    }
    if (m_file == nullptr) {
        return std::strerror(errno);
    }
    struct stat status {};
    if (fstat(fileno(m_file), &status) != 0) {
        return std::strerror(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return std::string("is a directory");
    }
    m_total = status.st_size;
    return std::nullopt;
}

int32_t CRawFileSource::Read(uint8_t* samples, int32_t capacity) {
    const size_t count = std::fread(samples, 1, static_cast<size_t>(capacity), m_file);
    if (count == 0 && std::ferror(m_file) != 0) {
        m_error = std::strerror(errno);
        return -1;
    }
    m_done += static_cast<int64_t>(count);
    return static_cast<int32_t>(count);
}
