#pragma once

#include <samplerate.h>
#include <sndfile.h>

#include <optional>
#include <string>
#include <vector>

#include "recording/SampleSource.h"

enum class ChannelChoice { Mix, Left, Right };

// An audio file that libsndfile reads (WAV, FLAC, AIFF, OGG; any rate and sample format), turned
// into the decoder's samples: its channels mixed to mono or one of them picked, resampled to
// 22000 per second with libsamplerate (or left at its own rate for archive mode), scaled to
// unsigned 8 bits with silence at 128. Reads a piece at a time; the whole file is never held.
class CAudioFileSource : public CSampleSource {
public:
    explicit CAudioFileSource(ChannelChoice channel) : m_channel(channel) {}
    CAudioFileSource(const CAudioFileSource&) = delete;
    CAudioFileSource& operator=(const CAudioFileSource&) = delete;
    ~CAudioFileSource() override;

    // Samples come at the file's own rate (archive mode), not at 22000; call before Open.
    void KeepOwnRate() { m_keepOwnRate = true; }

    // Opens the file and reads its header; returns the reason when it is not audio that can be
    // read as asked.
    std::optional<std::string> Open(const std::string& path);

    int32_t Read(uint8_t* samples, int32_t capacity) override;
    const std::string& ErrorText() const override { return m_error; }
    int64_t Done() const override { return m_framesRead; }
    int64_t Total() const override { return m_info.frames; }

    // The file holds less sound than its header announces (a recording cut off while it was
    // written, or a partial copy); what it holds is read all the same.
    bool Truncated() const override { return m_truncated; }
    int32_t SampleRate() const { return m_info.samplerate; }
    int32_t Channels() const { return m_info.channels; }

private:
    bool HeaderOverstatesData();
    std::optional<std::string> PickChannel();
    std::optional<std::string> StartResampler();
    // Reads up to count frames as mono floats into m_mono; returns the frames read or -1.
    int32_t ReadMono(int32_t count);
    int32_t ReadDirect(uint8_t* samples, int32_t capacity);
    uint8_t MixFrame(const short* frame) const;
    int32_t ReadResampled(uint8_t* samples, int32_t capacity);
    bool RefillResamplerInput();

    ChannelChoice m_channel = ChannelChoice::Mix;
    bool m_keepOwnRate = false;
    int32_t m_channelIndex = -1;  // the picked channel, or -1 to mix them all
    SNDFILE* m_file = nullptr;
    SF_INFO m_info{};
    SRC_STATE* m_resampler = nullptr;
    double m_ratio = 1.0;
    std::vector<float> m_frames;       // interleaved frames as read
    std::vector<short> m_shortFrames;  // frames as read where no resampling is needed
    std::vector<float> m_mono;         // mono samples at the file's rate
    std::vector<float> m_resampled;    // mono samples at 22000 per second
    size_t m_monoUsed = 0;             // resampler input consumed from m_mono
    size_t m_monoFilled = 0;
    bool m_inputEnded = false;
    bool m_finished = false;
    bool m_truncated = false;
    int64_t m_framesRead = 0;
    std::string m_error;
};
