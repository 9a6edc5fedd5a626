#pragma once

#include <samplerate.h>
#include <sndfile.h>

#include <optional>
#include <string>
#include <vector>

#include "recording/DownSampler.h"
#include "recording/SampleSource.h"

enum class ChannelChoice { Mix, Left, Right };

// An audio file that libsndfile reads (WAV, FLAC, AIFF, OGG; any rate and sample format), turned
// into the decoder's samples: its channels mixed to mono or one of them picked, resampled to
// 22000 per second (down by halvings and a tabulated windowed sinc, see CDownSampler; up with
// libsamplerate) or left at its own rate for archive mode, scaled to unsigned 8 bits with
// silence at 128. Reads a piece at a time; the whole file is never held,
// and it is read once from start to end, so that it may be a pipe ("-" is standard input).
// Floating-point samples keep their level: what lies beyond full scale, infinite or not a
// number is clamped and counted. A stretch that cannot be decoded (a damaged FLAC frame) is
// stepped over where the file can be sought, silence standing in for it, and noted.
class CAudioFileSource : public CSampleSource {
public:
    explicit CAudioFileSource(ChannelChoice channel) : m_channel(channel) {}
    CAudioFileSource(const CAudioFileSource&) = delete;
    CAudioFileSource& operator=(const CAudioFileSource&) = delete;
    ~CAudioFileSource() override;

    // Samples come at the file's own rate (archive mode), not at 22000; call before Open.
    void KeepOwnRate() { m_keepOwnRate = true; }

    // Opens the file ("-": standard input) and reads its header; returns the reason when it is
    // not audio that can be read as asked.
    std::optional<std::string> Open(const std::string& path);

    int32_t Read(uint8_t* samples, int32_t capacity) override;
    const std::string& ErrorText() const override { return m_error; }
    int64_t Done() const override { return m_framesRead; }
    int64_t Total() const override { return m_info.frames; }

    // The file holds less sound than its header announces (a recording cut off while it was
    // written, or a partial copy); what it holds is read all the same. Known from the header of
    // a WAV or AIFF file when it is opened, of any other once its end has been read; a note then
    // says where it ends.
    bool Truncated() const override;
    bool Damaged() const override { return !m_damage.empty(); }
    std::vector<std::string> Notes() const override;
    int32_t SampleRate() const { return m_info.samplerate; }
    // The rate of the samples that Read gives: the file's own in archive mode, else 22000.
    // Known once opened.
    int32_t OutputRate() const { return m_outputRate; }
    int32_t Channels() const { return m_info.channels; }

private:
    // Frames that could not be read, from start up to end (exclusive), and libsndfile's reason.
    struct DamagedStretch {
        int64_t start = 0;
        int64_t end = 0;
        std::string reason;
    };

    bool OpenFile(const std::string& path);
    bool HeaderOverstatesData();
    std::optional<std::string> PickChannel();
    std::optional<std::string> StartResampler();
    // Reads up to count interleaved frames, silence for what damage made unreadable; returns
    // the frames read, 0 at the end, or -1 when reading failed and cannot go on.
    template <typename Sample>
    int64_t ReadFrames(Sample* frames, int64_t count);
    // After a read error at m_framesRead: reopens the file beyond the damage, or ends it there.
    // False when the input is a stream that cannot be sought.
    bool StepOverDamage();
    void NoteDamage(int64_t start, int64_t end, const std::string& reason);
    std::string Seconds(int64_t frames) const;
    float Clamp(float sample);
    // Reads up to count frames as mono floats into m_mono; returns the frames read or -1.
    int32_t ReadMono(int32_t count);
    int32_t ReadDirect(uint8_t* samples, int32_t capacity);
    int32_t ReadFloatDirect(uint8_t* samples, int32_t capacity);
    uint8_t MixFrame(const short* frame) const;
    int32_t ReadResampled(uint8_t* samples, int32_t capacity);
    int32_t ReadDownSampled(uint8_t* samples, int32_t capacity);
    bool RefillResamplerInput();

    ChannelChoice m_channel = ChannelChoice::Mix;
    bool m_keepOwnRate = false;
    std::string m_path;
    int32_t m_channelIndex = -1;  // the picked channel, or -1 to mix them all
    SNDFILE* m_file = nullptr;
    SF_INFO m_info{};
    std::optional<CDownSampler> m_downSampler;  // down to 22000 per second
    SRC_STATE* m_resampler = nullptr;           // up to it, or from an odd rate
    int32_t m_outputRate = 0;
    double m_ratio = 1.0;
    std::vector<float> m_frames;       // interleaved frames as read
    std::vector<short> m_shortFrames;  // frames as read where no resampling is needed
    std::vector<float> m_mono;         // mono samples at the file's rate
    std::vector<float> m_resampled;    // mono samples at the output rate
    size_t m_resampledUsed = 0;        // of them, given out (by the down-sampler's path)
    size_t m_monoUsed = 0;             // resampler input consumed from m_mono
    size_t m_monoFilled = 0;
    bool m_inputEnded = false;
    bool m_finished = false;
    bool m_truncated = false;
    bool m_reachedEnd = false;     // the library gave the end of the file
    bool m_lengthUnknown = false;  // the header's data size is a placeholder
    bool m_floatSamples = false;   // the file holds floating-point samples
    int64_t m_clampedSamples = 0;
    std::string m_pendingDamage;  // libsndfile's reason for a read error not yet stepped over
    int64_t m_silenceDue = 0;     // frames of silence still to give for a damaged stretch
    bool m_damagedToEnd = false;
    std::vector<DamagedStretch> m_damage;
    int64_t m_framesRead = 0;  // the position in the file, damaged stretches included
    std::string m_error;
};
