#include "tests/support/TestTape.h"

#include <fstream>
#include <iterator>
#include <random>

void CTestTape::AddBlock(uint8_t flag, const std::vector<uint8_t>& payload) {
    Block block{flag};
    block.insert(block.end(), payload.begin(), payload.end());
    uint8_t checksum = 0;
    for (uint8_t byte : block) {
        checksum ^= byte;
    }
    block.push_back(checksum);
    m_blocks.push_back(block);
}

void CTestTape::AddBadChecksumBlock(uint8_t flag, const std::vector<uint8_t>& payload) {
    AddBlock(flag, payload);
    m_blocks.back().back() ^= 0x5A;
}

void CTestTape::AddCodeFile(const std::string& name, int32_t dataLength, uint32_t seed) {
    std::vector<uint8_t> header(17, ' ');
    header[0] = 3;
    for (size_t i = 0; i < name.size() && i < 10; ++i) {
        header[1 + i] = static_cast<uint8_t>(name[i]);
    }
    header[11] = static_cast<uint8_t>(dataLength & 0xFF);
    header[12] = static_cast<uint8_t>(dataLength >> 8);
    header[13] = 0x00;  // load address 32768
    header[14] = 0x80;
    header[15] = 0x00;
    header[16] = 0x80;
    AddBlock(0x00, header);
    AddBlock(0xFF, RandomBytes(dataLength, seed));
}

std::vector<uint8_t> CTestTape::TapBytes() const {
    std::vector<uint8_t> bytes;
    for (const Block& block : m_blocks) {
        bytes.push_back(static_cast<uint8_t>(block.size() & 0xFF));
        bytes.push_back(static_cast<uint8_t>(block.size() >> 8));
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
}

std::vector<uint8_t> CTestTape::RandomBytes(int32_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(generator() >> 24);
    }
    return bytes;
}

std::vector<uint8_t> CTestTape::ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void CTestTape::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<CTestTape::Block> CTestTape::ReadTap(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    std::vector<Block> blocks;
    size_t at = 0;
    while (at + 2 <= bytes.size()) {
        const size_t length = bytes[at] + 256u * bytes[at + 1];
        at += 2;
        if (at + length > bytes.size()) {
            break;
        }
        blocks.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return blocks;
}
