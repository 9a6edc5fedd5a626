#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/core/DecoderOwner.h"
#include "decoder/core/SignalSnapshot.h"
#include "model/TapeItem.h"

// A decoder owner that keeps every record the decoder reports, in order, and writes down the texts
// and rows made of them as one line per call ("status: ...", "log: ...", "block: N", "entry: N F",
// "snapshot", "refresh", "debug: ...", "timed: K" with K the index of its kind in BlockBody).
class CRecordingOwner : public CDecoderOwner {
public:
    void Report(const DecoderRecord& record) override;
    void SetStatusText(const char* text) override;
    void AppendLog(const char* text) override;
    void AddBlock(int32_t length, const uint8_t* bytes) override;
    bool ListErrors() const override { return listErrors; }
    void AddErrorEntry(int32_t bytesRead, int32_t firstByte) override;
    void AddErrorSnapshot(const SignalSnapshot& snapshot) override;
    void RefreshSignal() override;
    void DebugOutput(const char* text) override;
    void AddTimedBlock(const TapeItem& item) override;

    // Only the lines that start with `prefix`, without it.
    std::vector<std::string> Lines(const std::string& prefix) const;
    // The records of one kind, in order.
    template <typename Kind>
    std::vector<Kind> Records() const {
        std::vector<Kind> kept;
        for (const DecoderRecord& record : records) {
            if (const auto* one = std::get_if<Kind>(&record)) {
                kept.push_back(*one);
            }
        }
        return kept;
    }

    bool listErrors = true;
    bool recordDebug = true;
    std::vector<DecoderRecord> records;
    std::vector<std::string> events;
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<SignalSnapshot> snapshots;
    std::vector<TapeItem> timedBlocks;
};
