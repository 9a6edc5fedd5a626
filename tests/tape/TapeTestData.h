#pragma once

// Blocks and files that the tape tests build for themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/TapeItem.h"
#include "tests/support/TestTape.h"

namespace tapetest {

// A block at the ROM's timing, as a TAP image holds it.
inline TapeItem BlockOf(const std::vector<uint8_t>& bytes) {
    return {RomBlock{bytes}, {}, {}};
}

// A standard header with the given type, 10 name bytes and announced data length.
inline std::vector<uint8_t> HeaderBytes(uint8_t type, const std::string& name10,
                                        uint16_t dataLength) {
    std::vector<uint8_t> bytes(19, 0);
    bytes[1] = type;
    for (size_t i = 0; i < 10; ++i) {
        bytes[2 + i] = i < name10.size() ? static_cast<uint8_t>(name10[i]) : ' ';
    }
    bytes[12] = static_cast<uint8_t>(dataLength & 0xFF);
    bytes[13] = static_cast<uint8_t>(dataLength >> 8);
    bytes[18] = 0x5A;
    return bytes;
}

// `length` bytes starting with `flag`, the rest a pattern that differs from block to block.
inline std::vector<uint8_t> DataBytes(uint8_t flag, size_t length, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + seed);
    }
    if (length > 0) {
        bytes[0] = flag;
    }
    return bytes;
}

// A fresh directory in the build tree for the running test.
inline std::filesystem::path TestDirectory() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(TAPEWISE_TEST_TMP) /
                                (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace tapetest
