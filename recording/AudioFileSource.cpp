#include "recording/AudioFileSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "decoder/dump/CaptureRate.h"

namespace {
constexpr int32_t kDecoderRate = kCaptureRate;
constexpr int32_t kResamplerChunk = 4096;  // frames read per refill of the resampler
// Damage is stepped over in strides of a usual FLAC frame; past this many tries the stride
// doubles each time, so that a long unreadable stretch costs few reopenings.
constexpr int64_t kDamageStride = 4096;
constexpr int kFineDamageTries = 16;
// From this data chunk size on, a header's size is a placeholder for "not known".
constexpr int64_t kPlaceholderSize = 0x7FFFF000;

sf_count_t ReadFrom(SNDFILE* file, float* frames, sf_count_t count) {
    return sf_readf_float(file, frames, count);
}

sf_count_t ReadFrom(SNDFILE* file, short* frames, sf_count_t count) {
    return sf_readf_short(file, frames, count);
}

bool IsFloatingPoint(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

// -1.0 .. +1.0 to 0 .. 255 with silence at 128; 8-bit input comes back exactly as it was.
uint8_t ToUnsigned8(float x) {
    const long value = std::lrintf(x * 128.0f) + 128;
    if (value < 0) {
        return 0;
    }
    return value > 255 ? 255 : static_cast<uint8_t>(value);
}

// A 16-bit sample to the nearest step of 256, silence at 128.
uint8_t ToUnsigned8(int32_t value) {
    const int32_t level = ((value + 128) >> 8) + 128;
    return static_cast<uint8_t>(level > 255 ? 255 : level);
}

// A pipe or FIFO; "-" is standard input.
bool IsPipe(const std::string& path) {
    struct stat status {};
    const int found = path == "-" ? fstat(STDIN_FILENO, &status) : stat(path.c_str(), &status);
    return found == 0 && S_ISFIFO(status.st_mode);
}

std::string ReasonOfOpenFailure(const std::string& path) {
    // libsndfile's own text for a missing file is vague; the system's is not.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(probe);
    // A directory opens for reading like a file, and holds no sound.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        return std::strerror(EISDIR);
    }
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

bool CAudioFileSource::OpenFile(const std::string& path) {
    if (path != "-") {
        m_file = sf_open(path.c_str(), SFM_READ, &m_info);
        return m_file != nullptr;
    }
    const int fd = dup(STDIN_FILENO);
    m_file = fd >= 0 ? sf_open_fd(fd, SFM_READ, &m_info, SF_TRUE) : nullptr;
    return m_file != nullptr;
}

std::optional<std::string> CAudioFileSource::Open(const std::string& path) {
    m_path = path;
    if (!OpenFile(path)) {
        // libsndfile reads WAV as it streams in; FLAC and others need to seek back.
        if (IsPipe(path)) {
            return std::string("cannot be read from a pipe (") + sf_strerror(nullptr) +
                   "); WAV can, other formats need a file";
        }
        return ReasonOfOpenFailure(path);
    }
    if (m_info.channels < 1 || m_info.samplerate < 1) {
        return std::string("not an audio file that can be read (no channels or no rate)");
    }
    // Floating-point samples are read as they are: libsndfile's scaling to full range would
    // read the whole file for its peak first, which a pipe cannot give and one stray sample
    // spoils.
    m_floatSamples = IsFloatingPoint(m_info.format);
    m_truncated = HeaderOverstatesData();
    if (auto failure = PickChannel()) {
        return failure;
    }
    return StartResampler();
}

// The size that libsndfile's log gives for the data chunk (WAV "data", AIFF "SSND"), and whether
// it added what the file really holds ("data : <claimed> (should be <actual>)").
struct DataChunkClaim {
    int64_t size = -1;
    bool overstated = false;
};

DataChunkClaim ReadDataChunkClaim(SNDFILE* file) {
    char log[4096] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* chunk : {"\ndata : ", "\n SSND : ", "\nSSND : "}) {
        const char* data = std::strstr(log, chunk);
        if (data == nullptr) {
            continue;
        }
        const char* lineEnd = std::strchr(data + 1, '\n');
        const char* claim = std::strstr(data, "should be");
        return {std::strtoll(data + std::strlen(chunk), nullptr, 10),
                claim != nullptr && (lineEnd == nullptr || claim < lineEnd)};
    }
    return {};
}

bool CAudioFileSource::HeaderOverstatesData() {
    const DataChunkClaim claim = ReadDataChunkClaim(m_file);
    // A recorder writing to a pipe cannot know the length and puts the largest size in its
    // place (0xFFFFFFFF, or 0x7FFFFFFF): that claims nothing.
    m_lengthUnknown = claim.size >= kPlaceholderSize;
    return claim.overstated && !m_lengthUnknown;
}

bool CAudioFileSource::Truncated() const {
    // A header that names its length (a FLAC's stream info, a WAV or AIFF read from a pipe) tells
    // once the end has come before it.
    const bool endedEarly = m_reachedEnd && !m_lengthUnknown && m_info.frames > 0 &&
                            m_info.frames != SF_COUNT_MAX && m_framesRead < m_info.frames;
    return m_truncated || endedEarly;
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
    if (m_keepOwnRate || m_info.samplerate == kDecoderRate) {
        m_outputRate = m_info.samplerate;
        return std::nullopt;
    }
    m_outputRate = kDecoderRate;
    m_mono.resize(kResamplerChunk);
    if (CDownSampler::Serves(m_info.samplerate, kDecoderRate)) {
        m_downSampler.emplace(m_info.samplerate, kDecoderRate);
        return std::nullopt;
    }
    int error = 0;
    // Upwards, the fastest sinc converter of libsamplerate.
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
    if (m_downSampler) {
        return ReadDownSampled(samples, capacity);
    }
    if (m_resampler != nullptr) {
        return ReadResampled(samples, capacity);
    }
    return m_floatSamples ? ReadFloatDirect(samples, capacity) : ReadDirect(samples, capacity);
}

std::vector<std::string> CAudioFileSource::Notes() const {
    std::vector<std::string> notes;
    for (const DamagedStretch& stretch : m_damage) {
        const std::string where = "damaged from " + Seconds(stretch.start) + " to ";
        if (m_damagedToEnd && &stretch == &m_damage.back()) {
            notes.push_back(where + "the end (" + stretch.reason + "); decoded up to it");
        } else {
            notes.push_back(where + Seconds(stretch.end) + " (" + stretch.reason +
                            "); decoded around it, silence in its place");
        }
    }
    if (m_reachedEnd && Truncated()) {
        notes.push_back("cut short: it ends at " + Seconds(m_framesRead) +
                        ", before the end its header announces; decoded up to there");
    }
    if (m_clampedSamples > 0) {
        notes.push_back(std::to_string(m_clampedSamples) +
                        " sample(s) beyond full scale, infinite or not a number were clamped");
    }
    return notes;
}

template <typename Sample>
int64_t CAudioFileSource::ReadFrames(Sample* frames, int64_t count) {
    for (;;) {
        if (m_silenceDue > 0) {
            const int64_t silent = std::min(count, m_silenceDue);
            std::fill_n(frames, silent * m_info.channels, Sample{0});
            m_silenceDue -= silent;
            return silent;
        }
        if (m_damagedToEnd) {
            return 0;
        }
        if (!m_pendingDamage.empty()) {
            if (!StepOverDamage()) {
                return -1;
            }
            continue;
        }
        const sf_count_t got = ReadFrom(m_file, frames, count);
        // libsndfile reports an error only with the read that meets it.
        if (sf_error(m_file) != SF_ERR_NO_ERROR) {
            m_pendingDamage = sf_strerror(m_file);
        }
        if (got > 0 || m_pendingDamage.empty()) {
            m_reachedEnd = got == 0;
            return got;
        }
    }
}

bool CAudioFileSource::StepOverDamage() {
    const int64_t damagedAt = m_framesRead;
    const std::string reason = std::move(m_pendingDamage);
    m_pendingDamage.clear();
    if (m_path == "-" || m_info.seekable == 0) {
        m_error = reason + " at " + Seconds(damagedAt);
        return false;
    }
    int64_t stride = kDamageStride;
    for (int64_t resume = damagedAt + stride, tries = 1; resume < m_info.frames;
         resume += stride, ++tries) {
        SF_INFO info{};
        SNDFILE* file = sf_open(m_path.c_str(), SFM_READ, &info);
        if (file != nullptr && sf_seek(file, resume, SEEK_SET) == resume) {
            sf_close(m_file);
            m_file = file;
            NoteDamage(damagedAt, resume, reason);
            m_silenceDue = resume - damagedAt;
            return true;
        }
        if (file != nullptr) {
            sf_close(file);
        }
        stride = tries < kFineDamageTries ? stride : stride * 2;
    }
    NoteDamage(damagedAt, m_info.frames, reason);
    m_damagedToEnd = true;
    return true;
}

void CAudioFileSource::NoteDamage(int64_t start, int64_t end, const std::string& reason) {
    // A stretch that begins where the last one ended is the same damage.
    if (!m_damage.empty() && m_damage.back().end == start) {
        m_damage.back().end = end;
        return;
    }
    m_damage.push_back({start, end, reason});
}

std::string CAudioFileSource::Seconds(int64_t frames) const {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(frames) / m_info.samplerate);
    return text;
}

float CAudioFileSource::Clamp(float sample) {
    if (sample >= -1.0f && sample <= 1.0f) {
        return sample;
    }
    m_clampedSamples += m_floatSamples ? 1 : 0;
    if (std::isnan(sample)) {
        return 0.0f;
    }
    return sample > 0.0f ? 1.0f : -1.0f;
}

int32_t CAudioFileSource::ReadMono(int32_t count) {
    const size_t channels = static_cast<size_t>(m_info.channels);
    if (m_frames.size() < static_cast<size_t>(count) * channels) {
        m_frames.resize(static_cast<size_t>(count) * channels);
    }
    if (m_mono.size() < static_cast<size_t>(count)) {
        m_mono.resize(static_cast<size_t>(count));
    }
    const int64_t got = ReadFrames(m_frames.data(), count);
    if (got < 0) {
        return -1;
    }
    const float* frame = m_frames.data();
    for (int64_t i = 0; i < got; ++i, frame += channels) {
        if (m_channelIndex >= 0) {
            m_mono[static_cast<size_t>(i)] = Clamp(frame[m_channelIndex]);
            continue;
        }
        float sum = 0.0f;
        for (size_t c = 0; c < channels; ++c) {
            sum += Clamp(frame[c]);
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
    const int64_t got = ReadFrames(m_shortFrames.data(), capacity);
    if (got < 0) {
        return -1;
    }
    const short* frame = m_shortFrames.data();
    if (channels == 1) {
        // Most recordings are mono: a loop without the mixing's division runs several times faster.
        for (int64_t i = 0; i < got; ++i) {
            samples[i] = ToUnsigned8(frame[i]);
        }
    } else {
        for (int64_t i = 0; i < got; ++i, frame += channels) {
            samples[i] = MixFrame(frame);
        }
    }
    m_framesRead += got;
    return static_cast<int32_t>(got);
}

int32_t CAudioFileSource::ReadFloatDirect(uint8_t* samples, int32_t capacity) {
    const int32_t got = ReadMono(capacity);
    for (int32_t i = 0; i < got; ++i) {
        samples[i] = ToUnsigned8(m_mono[static_cast<size_t>(i)]);
    }
    return got;
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
    return ToUnsigned8(value);
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

int32_t CAudioFileSource::ReadDownSampled(uint8_t* samples, int32_t capacity) {
    const auto wanted = static_cast<size_t>(capacity);
    while (m_resampled.size() - m_resampledUsed < wanted && !m_inputEnded) {
        const int32_t got = ReadMono(kResamplerChunk);
        if (got < 0) {
            return -1;
        }
        m_inputEnded = got == 0;
        m_resampled.erase(m_resampled.begin(),
                          m_resampled.begin() + static_cast<std::ptrdiff_t>(m_resampledUsed));
        m_resampledUsed = 0;
        if (m_inputEnded) {
            m_downSampler->Finish(m_resampled);
        } else {
            m_downSampler->Feed(m_mono.data(), got, m_resampled);
        }
    }
    const size_t given = std::min(wanted, m_resampled.size() - m_resampledUsed);
    for (size_t i = 0; i < given; ++i) {
        samples[i] = ToUnsigned8(m_resampled[m_resampledUsed + i]);
    }
    m_resampledUsed += given;
    return static_cast<int32_t>(given);
}
