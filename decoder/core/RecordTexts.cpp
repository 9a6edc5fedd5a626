#include "decoder/core/RecordTexts.h"

#include <cinttypes>
#include <cstdio>

#include "decoder/core/DecoderOwner.h"
#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TextFormat.h"
#include "model/BlockFacts.h"

namespace {

const std::vector<uint8_t>& BytesOf(const TapeItem& item) {
    static const std::vector<uint8_t> kNone;
    const auto* rom = std::get_if<RomBlock>(&item.body);
    return rom != nullptr ? rom->bytes : kNone;
}

}  // namespace

void CRecordTexts::Write(const DecoderRecord& record, CDecoderOwner& owner) {
    std::visit(
        Overloaded{
            [&](const record::SyncFound&) { owner.SetStatusText("Loading data ..."); },
            [&](const record::BlockLoaded& loaded) { WriteBlock(loaded, owner); },
            [&](const record::ReadError& error) { WriteReadError(error, owner); },
            [&](const record::BadSync& bad) {
                WriteScene(bad.scene, owner);
                owner.SetStatusText(FormatText("Read error : bad sync bit interval %" PRId64
                                               " after %d leader iterations",
                                               bad.period, bad.leaderPeriods)
                                        .c_str());
            },
            [&](const record::Calibration& c) {
                owner.AppendLog(FormatText("Datacal occured on data, new limits are %d-%d "
                                           "%d-%d",
                                           c.data0Min, c.data0Max, c.data1Min, c.data1Max)
                                    .c_str());
            },
            [&](const record::IntervalLog& log) { WriteIntervals(log.extremumTimes, owner); },
            [&](const record::DumpNote& note) { WriteDumpNote(note, owner); },
            [&](const record::StretchKept& kept) { WriteStretch(kept, owner); },
            [&](const record::ErrorRow& row) {
                if (owner.ListErrors()) {
                    owner.AddErrorEntry(row.bytesRead, row.firstByte);
                }
            },
        },
        record);
}

void CRecordTexts::WriteBlock(const record::BlockLoaded& loaded, CDecoderOwner& owner) {
    const std::vector<uint8_t>& bytes = BytesOf(loaded.item);
    const auto size = static_cast<int32_t>(bytes.size());
    if (!loaded.rowFollows) {
        owner.AddBlock(size, bytes.data());
    }
    if (loaded.item.verdict.outcome == BlockVerdict::Outcome::Mended) {
        owner.AppendLog(MendedLine(loaded.item.verdict, size).c_str());
    }
    owner.SetStatusText(FormatText("Load sucessful for %d bytes block", size).c_str());
    owner.DebugOutput(FormatText("file complete, %d bytes\n", size).c_str());
}

std::string CRecordTexts::MendedLine(const BlockVerdict& verdict, int32_t length) {
    if (verdict.restoredBits > 0 && verdict.strayBits > 0) {
        return FormatText(
            "Recovered %d leading bit(s) and dropped %d stray bit(s) of a %d bytes "
            "block",
            verdict.restoredBits, verdict.strayBits, length);
    }
    if (verdict.restoredBits > 0) {
        return FormatText("Recovered %d leading bit(s) of a %d bytes block", verdict.restoredBits,
                          length);
    }
    return FormatText("Dropped %d stray bit(s) after a %d bytes block", verdict.strayBits, length);
}

void CRecordTexts::WriteScene(const record::ErrorScene& scene, CDecoderOwner& owner) {
    owner.AddErrorSnapshot(scene.snapshot != nullptr ? *scene.snapshot : SignalSnapshot{});
    owner.RefreshSignal();
    WriteIntervals(scene.extremumTimes, owner);
}

void CRecordTexts::WriteIntervals(const std::vector<int64_t>& times, CDecoderOwner& owner) {
    for (size_t k = 0; k + 1 < times.size(); ++k) {
        const auto back = static_cast<int32_t>(2 * k) - 2 * static_cast<int32_t>(times.size() - 1);
        owner.DebugOutput(FormatText("interval at %" PRId64 " (%d) : %" PRId64 "\n", times[k], back,
                                     times[k + 1] - times[k])
                              .c_str());
    }
}

void CRecordTexts::WriteReadError(const record::ReadError& error, CDecoderOwner& owner) {
    WriteScene(error.scene, owner);
    owner.SetStatusText(FormatText("Read error at time %" PRId64 " : bad data bit interval %" PRId64
                                   " at byte %d, bit %d",
                                   error.at, error.period, error.bytesRead, error.bitsRead)
                            .c_str());
    if (!error.rowFollows && owner.ListErrors()) {
        owner.AddErrorEntry(error.bytesRead, error.firstByte);
    }
}

void CRecordTexts::WriteDumpNote(const record::DumpNote& note, CDecoderOwner& owner) {
    const char* name = note.fileName.c_str();
    switch (note.kind) {
        case record::DumpNote::Kind::Dumped:
            owner.AppendLog(
                FormatText("Dumped %d bytes in file %s", static_cast<int32_t>(note.bytes), name)
                    .c_str());
            break;
        case record::DumpNote::Kind::OpenFailed:
            owner.DebugOutput(FormatText("Open for %s failed\n", name).c_str());
            owner.AppendLog(FormatText("Could not dump to file %s", name).c_str());
            break;
        case record::DumpNote::Kind::WriteFailed:
            owner.DebugOutput(FormatText("write failed for %s failed\n", name).c_str());
            owner.AppendLog(FormatText("Could not dump to file %s", name).c_str());
            break;
        case record::DumpNote::Kind::NotFound:
            owner.AppendLog(FormatText("No file %s found", name).c_str());
            break;
        case record::DumpNote::Kind::Replayed:
            owner.AppendLog(
                FormatText("Loaded %" PRId64 " bytes from file %s", note.bytes, name).c_str());
            break;
    }
}

void CRecordTexts::WriteStretch(const record::StretchKept& kept, CDecoderOwner& owner) {
    const BlockVerdict::Outcome outcome = kept.item.verdict.outcome;
    if (const std::vector<uint8_t>* bytes = DataBytes(kept.item.body);
        bytes != nullptr && !bytes->empty() && !kept.item.verdict.Trusted()) {
        // Kept, as it is on the tape, but shown as the failed block it is.
        const std::string size = std::to_string(bytes->size());
        const std::string status =
            outcome == BlockVerdict::Outcome::ChecksumFailed
                ? "Read error : bad checksum of a " + size + " bytes block"
                : "Read error : no leader and sync before " + size + " bytes of data";
        owner.SetStatusText(status.c_str());
        if (owner.ListErrors()) {
            owner.AddErrorEntry(static_cast<int32_t>(bytes->size()), (*bytes)[0]);
        }
    }
    owner.AppendLog(StretchLine(kept.item.body, kept.romTimed).c_str());
    owner.AddTimedBlock(kept.item);
}

std::string CRecordTexts::StretchLine(const BlockBody& block, bool romTimed) {
    char line[160];
    const auto romSpeed = [&](const std::vector<uint8_t>& bytes, uint16_t pauseMs) {
        std::snprintf(line, sizeof line, "Archive: ROM-speed block, %zu bytes, pause %u ms",
                      bytes.size(), pauseMs);
    };
    std::visit(
        Overloaded{
            [&](const RomBlock& b) { romSpeed(b.bytes, b.pauseMs); },
            [&](const TurboBlock& t) {
                if (romTimed) {
                    romSpeed(t.bytes, t.pauseMs);
                    return;
                }
                std::snprintf(line, sizeof line,
                              "Archive: turbo block, %zu bytes, pilot %u x %u, sync %u/%u, bits "
                              "%u/%u, pause %u ms",
                              t.bytes.size(), t.pilotPulse, t.pilotCount, t.sync1, t.sync2,
                              t.zeroPulse, t.onePulse, t.pauseMs);
            },
            [&](const PureData& t) {
                std::snprintf(line, sizeof line,
                              "Archive: pure data, %zu bytes, bits %u/%u, pause %u ms",
                              t.bytes.size(), t.zeroPulse, t.onePulse, t.pauseMs);
            },
            [&](const PureTone& t) {
                std::snprintf(line, sizeof line, "Archive: tone, %u pulses of %u", t.count,
                              t.pulse);
            },
            [&](const PulseRun& t) {
                std::snprintf(line, sizeof line, "Archive: pulses, %zu", t.pulses.size());
            },
            [&](const DirectRecording& t) {
                std::snprintf(line, sizeof line,
                              "Archive: recording, %zu bytes at %u T-states a sample",
                              t.samples.size(), t.tStatesPerSample);
            },
            [&](const Pause& t) {
                std::snprintf(line, sizeof line, "Archive: pause, %u ms", t.ms);
            },
            [&](const KeptTzxBlock& t) {
                std::snprintf(line, sizeof line, "Archive: TZX block, %zu bytes", t.bytes.size());
            },
            [&](const ReadFailure& t) {
                std::snprintf(line, sizeof line, "Archive: read failure at byte %d", t.bytesRead);
            },
        },
        block);
    return line;
}
