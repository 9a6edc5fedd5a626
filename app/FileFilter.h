#pragma once

#include <string>
#include <vector>

// One choice of a file dialog's type list: the text shown and the patterns that it lists.
struct FileTypeChoice {
    std::string display;
    std::vector<std::string> patterns;
    friend bool operator==(const FileTypeChoice&, const FileTypeChoice&) = default;
};

// The filter of the Save as and Load dialogs, pairs of display text and pattern list separated by
// "|" and ended by "||".
inline constexpr const char* kTapeFileFilter =
    "BLK and Z80 TAP Files (*.blk;*.tap)|*.blk; *.tap|TZX Files (*.tzx)|*.tzx|"
    "All Files (*.*)|*.*||";
// What a name typed without extension gets.
inline constexpr const char* kTapeDefaultExtension = "*.blk";

// Splits such a filter into its choices. Each pattern list is split on ";" and every pattern
// trimmed, so "*.blk; *.tap" lists .tap files too.
std::vector<FileTypeChoice> SplitFileFilter(const std::string& filter);
// The extension of a default-extension text such as "*.blk": "blk".
std::string BareExtension(const std::string& defaultExtension);
