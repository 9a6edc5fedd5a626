#include "app/FileFilter.h"

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::vector<std::string> SplitPatterns(const std::string& list) {
    std::vector<std::string> patterns;
    for (const std::string& part : SplitOn(list, ';')) {
        std::string pattern = Trim(part);
        if (!pattern.empty()) {
            patterns.push_back(std::move(pattern));
        }
    }
    return patterns;
}

}  // namespace

std::vector<FileTypeChoice> SplitFileFilter(const std::string& filter) {
    const std::vector<std::string> fields = SplitOn(filter, '|');
    std::vector<FileTypeChoice> choices;
    // The list ends at the first empty display text ("||").
    for (size_t i = 0; i + 1 < fields.size() && !fields[i].empty(); i += 2) {
        choices.push_back(FileTypeChoice{fields[i], SplitPatterns(fields[i + 1])});
    }
    return choices;
}

std::string BareExtension(const std::string& defaultExtension) {
    const size_t dot = defaultExtension.rfind('.');
    return dot == std::string::npos ? defaultExtension : defaultExtension.substr(dot + 1);
}
