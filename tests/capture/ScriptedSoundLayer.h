#pragma once

#include <map>
#include <string>
#include <vector>

#include "capture/SoundLayer.h"

// A sound layer that records every call and fails the calls it is told to. "AddBuffer" and
// "PrepareHeader" fail on their n-th call (counted from 1) when failAt names it.
class ScriptedSoundLayer : public CSoundLayer {
public:
    struct Failure {
        int call = 0;  // which call of the operation fails; 0 for every one
        int code = 0;
    };

    int32_t devices = 1;
    std::map<std::string, Failure> failures;
    std::vector<std::string> calls;
    std::vector<WaveHeader*> queued;  // in queue order, as the device would fill them
    std::vector<uint32_t> queuedLengths;
    std::vector<SoundSource> sources;  // what InputSources offers
    std::string chosen;                // the source named by the last ChooseSource

    int32_t CountInputDevices() override { return devices; }
    std::vector<SoundSource> InputSources() override { return sources; }
    void ChooseSource(const std::string& name) override { chosen = name; }
    int Open() override { return Result("Open"); }
    int PrepareHeader(WaveHeader& header) override {
        const int result = Result("PrepareHeader");
        if (result == 0) {
            header.flags |= kWaveHeaderPrepared;
        }
        return result;
    }
    int AddBuffer(WaveHeader& header) override {
        const int result = Result("AddBuffer");
        if (result == 0) {
            queued.push_back(&header);
            queuedLengths.push_back(header.bufferLength);
        }
        return result;
    }
    int Start() override { return Result("Start"); }
    int Reset() override { return Result("Reset"); }
    int Stop() override { return Result("Stop"); }
    int Close() override { return Result("Close"); }
    std::string ErrorText(int code) override { return "text of " + std::to_string(code); }

    // Hands out the oldest queued header, filled with `bytes` bytes of value `value`.
    WaveHeader* Fill(uint32_t bytes, uint8_t value = 128) {
        WaveHeader* header = queued.front();
        queued.erase(queued.begin());
        for (uint32_t i = 0; i < bytes; ++i) {
            header->data[i] = value;
        }
        header->bytesRecorded = bytes;
        header->flags |= kWaveHeaderDone;
        return header;
    }
    WaveHeader* FillFull(uint8_t value = 128) { return Fill(queued.front()->bufferLength, value); }

    int CallCount(const std::string& name) const {
        int count = 0;
        for (const std::string& call : calls) {
            count += call == name ? 1 : 0;
        }
        return count;
    }

private:
    int Result(const std::string& name) {
        calls.push_back(name);
        const auto failure = failures.find(name);
        if (failure == failures.end()) {
            return 0;
        }
        const int call = CallCount(name);
        return failure->second.call == 0 || failure->second.call == call ? failure->second.code : 0;
    }
};
