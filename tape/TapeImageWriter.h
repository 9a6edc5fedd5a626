#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/TapeItem.h"

enum class TapeLayout { Tap, Tzx };

// TZX when the last four characters are exactly ".tzx" or ".TZX"; TAP for every other path.
TapeLayout LayoutForPath(std::string_view path);

// Writes the blocks, in order, in the layout chosen by the path. A TZX image keeps every block
// with its timing, a KeptTzxBlock as it was read. A TAP image keeps the bytes of the data blocks
// (RomBlock, TurboBlock, PureData) without their timing and drops every other block: CountUnkept
// says how many. A ReadFailure is in neither. The file is
// written as CFileReplacer writes one: a failed save leaves an existing file as it was. Returns
// nothing on success, else a message naming the path and the reason.
std::optional<std::string> SaveTapeImage(const std::string& path,
                                         const std::vector<TapeItem>& blocks);

// Names the first block longer than the layout can hold, if there is one: 65535 bytes for a
// RomBlock or a data block of a TAP image; 16777215 for TurboBlock, PureData and
// DirectRecording in a TZX image. What a layout drops, or writes as read, has no limit.
std::optional<std::string> FindUnstorableBlock(const std::vector<TapeItem>& blocks,
                                               TapeLayout layout = TapeLayout::Tap);

// The whole file in the given layout. Blocks too long for it must have been refused first.
std::vector<uint8_t> EncodeTapeImage(TapeLayout layout, const std::vector<TapeItem>& blocks);

// What a layout cannot keep of the blocks: stretches it drops (tones, pulses, recordings and
// pauses in a TAP image), data blocks it keeps without their own timing (TurboBlock, PureData)
// and the other TZX blocks it drops (KeptTzxBlock).
struct UnkeptStretches {
    int32_t dropped = 0;
    int32_t untimed = 0;
    int32_t otherTzx = 0;

    friend bool operator==(const UnkeptStretches&, const UnkeptStretches&) = default;
};
UnkeptStretches CountUnkept(TapeLayout layout, const std::vector<TapeItem>& blocks);
// The same in words for the user, naming the path; nothing when every stretch is kept.
std::optional<std::string> DescribeUnkept(const std::string& path,
                                          const std::vector<TapeItem>& blocks);
