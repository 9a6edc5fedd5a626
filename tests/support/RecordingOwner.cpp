#include "tests/support/RecordingOwner.h"

void CRecordingOwner::Report(const DecoderRecord& record) {
    records.push_back(record);
    CDecoderOwner::Report(record);
}

void CRecordingOwner::SetStatusText(const char* text) {
    events.push_back("status: " + std::string(text));
}

void CRecordingOwner::AppendLog(const char* text) {
    events.push_back("log: " + std::string(text));
}

void CRecordingOwner::AddTimedBlock(const TapeItem& item) {
    events.push_back("timed: " + std::to_string(item.body.index()));
    timedBlocks.push_back(item);
}

void CRecordingOwner::AddBlock(int32_t length, const uint8_t* bytes) {
    events.push_back("block: " + std::to_string(length));
    blocks.emplace_back(bytes, bytes + length);
}

void CRecordingOwner::AddErrorEntry(int32_t bytesRead, int32_t firstByte) {
    events.push_back("entry: " + std::to_string(bytesRead) + " " + std::to_string(firstByte));
}

void CRecordingOwner::AddErrorSnapshot(const SignalSnapshot& snapshot) {
    events.push_back("snapshot");
    snapshots.push_back(snapshot);
}

void CRecordingOwner::RefreshSignal() {
    events.push_back("refresh");
}

void CRecordingOwner::DebugOutput(const char* text) {
    if (recordDebug) {
        events.push_back("debug: " + std::string(text));
    }
}

std::vector<std::string> CRecordingOwner::Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& event : events) {
        if (event.rfind(prefix, 0) == 0) {
            lines.push_back(event.substr(prefix.size()));
        }
    }
    return lines;
}
