#include "decoder/dump/BufferDump.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

#include "decoder/core/DecoderOwner.h"
#include "decoder/core/TextFormat.h"

void CBufferDump::Configure(const DumpSettings& settings) {
    const bool running = m_settings.dump || m_settings.fromFile;
    const bool switchingOn =
        (settings.dump && !m_settings.dump) || (settings.fromFile && !m_settings.fromFile);
    if (switchingOn || !running) {
        m_settings = settings;
        m_nextFile = settings.fileIndex;
    } else {
        m_settings.dump = settings.dump;
        m_settings.fromFile = settings.fromFile;
    }
}

DumpSettings CBufferDump::Now() const {
    DumpSettings now = m_settings;
    now.fileIndex = m_nextFile;
    return now;
}

void CBufferDump::Dump(const uint8_t* samples, int32_t count) {
    const std::string name = NextFileName();
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) {
        Fail(FormatText("Open for %s failed\n", name.c_str()), name);
        return;
    }
    const size_t written =
        count > 0 ? std::fwrite(samples, 1, static_cast<size_t>(count), file) : 0;
    // A full disk may show only when the file is closed.
    const bool closed = std::fclose(file) == 0;
    if (written < static_cast<size_t>(count) || !closed) {
        Fail(FormatText("write failed for %s failed\n", name.c_str()), name);
        return;
    }
    m_pOwner->AppendLog(FormatText("Dumped %d bytes in file %s", count, name.c_str()).c_str());
}

void CBufferDump::Replay(const Consumer& consume) {
    const std::string name = NextFileName();
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        m_pOwner->AppendLog(FormatText("No file %s found", name.c_str()).c_str());
        return;
    }
    m_chunk.resize(kChunk);
    int64_t total = 0;
    // A short last chunk is neither decoded nor counted.
    while (std::fread(m_chunk.data(), 1, m_chunk.size(), file) == m_chunk.size()) {
        consume(m_chunk.data(), kChunk);
        total += kChunk;
    }
    m_pOwner->AppendLog(
        FormatText("Loaded %" PRId64 " bytes from file %s", total, name.c_str()).c_str());
    std::fclose(file);
}

std::string CBufferDump::NextFileName() {
    std::string name = FormatText("%s.%03d", m_settings.baseName.c_str(), m_nextFile);
    if (m_nextFile < std::numeric_limits<int32_t>::max()) {
        ++m_nextFile;
    }
    return name;
}

void CBufferDump::Fail(const std::string& debugLine, const std::string& name) {
    m_pOwner->DebugOutput(debugLine.c_str());
    m_pOwner->AppendLog(FormatText("Could not dump to file %s", name.c_str()).c_str());
}
