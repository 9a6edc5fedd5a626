#include "decoder/dump/BufferDump.h"

#include <cstdio>
#include <limits>

#include "decoder/core/RecordSink.h"
#include "decoder/core/TextFormat.h"

using NoteKind = record::DumpNote::Kind;

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
        Note(NoteKind::OpenFailed, name);
        return;
    }
    const size_t written =
        count > 0 ? std::fwrite(samples, 1, static_cast<size_t>(count), file) : 0;
    // A full disk may show only when the file is closed.
    const bool closed = std::fclose(file) == 0;
    if (written < static_cast<size_t>(count) || !closed) {
        Note(NoteKind::WriteFailed, name);
        return;
    }
    Note(NoteKind::Dumped, name, count);
}

void CBufferDump::Replay(const Consumer& consume) {
    const std::string name = NextFileName();
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        Note(NoteKind::NotFound, name);
        return;
    }
    m_chunk.resize(kChunk);
    int64_t total = 0;
    // A short last chunk is neither decoded nor counted.
    while (std::fread(m_chunk.data(), 1, m_chunk.size(), file) == m_chunk.size()) {
        consume(m_chunk.data(), kChunk);
        total += kChunk;
    }
    Note(NoteKind::Replayed, name, total);
    std::fclose(file);
}

std::string CBufferDump::NextFileName() {
    std::string name = FormatText("%s.%03d", m_settings.baseName.c_str(), m_nextFile);
    if (m_nextFile < std::numeric_limits<int32_t>::max()) {
        ++m_nextFile;
    }
    return name;
}

void CBufferDump::Note(record::DumpNote::Kind kind, const std::string& name, int64_t bytes) {
    m_pSink->Report(record::DumpNote{kind, name, bytes});
}
