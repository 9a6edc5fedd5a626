#include "recording/AudioFileSource.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "decoder/CaptureRate.h"

namespace {
constexpr int32_t kDecoderRate = kCaptureRate;
constexpr int32_t kResamplerChunk = 4096;  // frames read per refill of the resampler

// -1.0 .. +1.0 to 0 .. 255 with silence at 128; 8-bit input comes back exactly as it was.
uint8_t ToUnsigned8(float x) {
    const long value = std::lrintf(x * 128.0f) + 128;
    if (value < 0) {
        return 0;
    }
    return value > 255 ? 255 : static_cast<uint8_t>(value);
}

std::string ReasonOfOpenFailure(const std::string& path) {
    // libsndfile's own text for a missing file is vague; the system's is not.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(probe);
    return std::string("not an audio file that can be read (") + sf_strerror(nullptr) + ")";
}
}  // namespace

CAudioFileSource::~CAudioFileSource() {
    if (m_resampler != nullptr) {
        src_delete(m_resampler);
    }
    if (m_file != nullptr) {
        sf_close(m_file);
    }
}

std::optional<std::string> CAudioFileSource::Open(const std::string& path) {
    m_file = sf_open(path.c_str(), SFM_READ, &m_info);
    if (m_file == nullptr) {
        return ReasonOfOpenFailure(path);
    }
    if (m_info.channels < 1 || m_info.samplerate < 1) {
        return std::string("not an audio file that can be read (no channels or no rate)");
    }
    // Floating-point files read as integers are scaled to full range, not cut to -1, 0, 1.
    sf_command(m_file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    m_truncated = HeaderOverstatesData();
    if (auto failure = PickChannel()) {
        return failure;
    }
    return StartResampler();
}

bool CAudioFileSource::HeaderOverstatesData() {
    // libsndfile reads a short data chunk as far as it goes and notes the header's claim in its
    // log as "data : <claimed> (should be <actual>)".
    char log[4096] = {};
    sf_command(m_file, SFC_GET_LOG_INFO, log, sizeof log);
    const char* data = std::strstr(log, "\ndata : ");
    if (data == nullptr) {
        return false;
    }
    const char* lineEnd = std::strchr(data + 1, '\n');
    const char* claim = std::strstr(data, "should be");
    return claim != nullptr && (lineEnd == nullptr || claim < lineEnd);
}

std::optional<std::string> CAudioFileSource::PickChannel() {
    if (m_channel == ChannelChoice::Left) {
        m_channelIndex = 0;
    } else if (m_channel == ChannelChoice::Right) {
        if (m_info.channels < 2) {
            return std::string("has one channel, so no right channel");
        }
        m_channelIndex = 1;
    }
    return std::nullopt;
}

std::optional<std::string> CAudioFileSource::StartResampler() {
    if (m_info.samplerate == kDecoderRate || m_keepOwnRate) {
        return std::nullopt;
    }
    int error = 0;
    // The fastest sinc converter keeps 80 dB and 90 % of the band, far more than a tape signal
    // needs, at half the cost: a recording then loads at over 100 times real time.
    m_resampler = src_new(SRC_SINC_FASTEST, 1, &error);
    if (m_resampler == nullptr) {
        return std::string("cannot resample: ") + src_strerror(error);
    }
    m_ratio = static_cast<double>(kDecoderRate) / m_info.samplerate;
    if (src_is_valid_ratio(m_ratio) == 0) {
        return "cannot resample from " + std::to_string(m_info.samplerate) + " samples/s";
    }
    m_mono.resize(kResamplerChunk);
    return std::nullopt;
}

int32_t CAudioFileSource::Read(uint8_t* samples, int32_t capacity) {
    if (m_resampler == nullptr) {
        return ReadDirect(samples, capacity);
    }
    return ReadResampled(samples, capacity);
}

int32_t CAudioFileSource::ReadMono(int32_t count) {
    const size_t channels = static_cast<size_t>(m_info.channels);
    if (m_frames.size() < static_cast<size_t>(count) * channels) {
        m_frames.resize(static_cast<size_t>(count) * channels);
    }
    if (m_mono.size() < static_cast<size_t>(count)) {
        m_mono.resize(static_cast<size_t>(count));
    }
    const sf_count_t got = sf_readf_float(m_file, m_frames.data(), count);
    if (got < count && sf_error(m_file) != SF_ERR_NO_ERROR) {
        m_error = sf_strerror(m_file);
        return -1;
    }
    const float* frame = m_frames.data();
    for (sf_count_t i = 0; i < got; ++i, frame += channels) {
        if (m_channelIndex >= 0) {
            m_mono[static_cast<size_t>(i)] = frame[m_channelIndex];
            continue;
        }
        float sum = 0.0f;
        for (size_t c = 0; c < channels; ++c) {
            sum += frame[c];
        }
        m_mono[static_cast<size_t>(i)] = sum / static_cast<float>(channels);
    }
    m_framesRead += got;
    return static_cast<int32_t>(got);
}

// At 22000/s (or at the file's own rate) no resampling is needed, and 16-bit integers carry every
// 8-bit value exactly: this path avoids floating point, which costs more than decoding the samples.
int32_t CAudioFileSource::ReadDirect(uint8_t* samples, int32_t capacity) {
    const size_t channels = static_cast<size_t>(m_info.channels);
    if (m_shortFrames.size() < static_cast<size_t>(capacity) * channels) {
        m_shortFrames.resize(static_cast<size_t>(capacity) * channels);
    }
    const sf_count_t got = sf_readf_short(m_file, m_shortFrames.data(), capacity);
    if (got < capacity && sf_error(m_file) != SF_ERR_NO_ERROR) {
        m_error = sf_strerror(m_file);
        return -1;
    }
    const short* frame = m_shortFrames.data();
    for (sf_count_t i = 0; i < got; ++i, frame += channels) {
        samples[i] = MixFrame(frame);
    }
    m_framesRead += got;
    return static_cast<int32_t>(got);
}

uint8_t CAudioFileSource::MixFrame(const short* frame) const {
    int32_t value = 0;
    if (m_channelIndex >= 0) {
        value = frame[m_channelIndex];
    } else {
        for (int32_t c = 0; c < m_info.channels; ++c) {
            value += frame[c];
        }
        value /= m_info.channels;
    }
    // Nearest step of 256, silence at 128.
    const int32_t level = ((value + 128) >> 8) + 128;
    return static_cast<uint8_t>(level > 255 ? 255 : level);
}

bool CAudioFileSource::RefillResamplerInput() {
    const int32_t got = ReadMono(kResamplerChunk);
    if (got < 0) {
        return false;
    }
    m_monoUsed = 0;
    m_monoFilled = static_cast<size_t>(got);
    m_inputEnded = got == 0;
    return true;
}

int32_t CAudioFileSource::ReadResampled(uint8_t* samples, int32_t capacity) {
    if (m_resampled.size() < static_cast<size_t>(capacity)) {
        m_resampled.resize(static_cast<size_t>(capacity));
    }
    long produced = 0;
    while (produced < capacity && !m_finished) {
        if (m_monoUsed == m_monoFilled && !m_inputEnded && !RefillResamplerInput()) {
            return -1;
        }
        SRC_DATA data{};
        data.data_in = m_mono.data() + m_monoUsed;
        data.input_frames = static_cast<long>(m_monoFilled - m_monoUsed);
        data.data_out = m_resampled.data() + produced;
        data.output_frames = capacity - produced;
        data.end_of_input = m_inputEnded ? 1 : 0;
        data.src_ratio = m_ratio;
        if (const int error = src_process(m_resampler, &data); error != 0) {
            m_error = std::string("cannot resample: ") + src_strerror(error);
            return -1;
        }
        m_monoUsed += static_cast<size_t>(data.input_frames_used);
        produced += data.output_frames_gen;
        // Once the input has ended, the resampler is drained when it gives nothing more.
        m_finished = m_inputEnded && data.output_frames_gen == 0;
    }
    for (long i = 0; i < produced; ++i) {
        samples[i] = ToUnsigned8(m_resampled[static_cast<size_t>(i)]);
    }
    return static_cast<int32_t>(produced);
}
