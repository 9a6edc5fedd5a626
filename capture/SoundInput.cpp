#include "capture/SoundInput.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <signal.h>

#include <array>
#include <system_error>

#include "capture/PulseSources.h"
#include "decoder/dump/CaptureRate.h"

namespace {

constexpr uint32_t kSampleRate = kCaptureRate;
// Read in pieces of 50 ms: the reader notices a stop request within one piece, and a filled
// buffer leaves at most one piece after its last sample arrived.
constexpr size_t kReadBytes = 1100;
// How often the reader looks for a buffer while the owner has none queued.
constexpr auto kQueuePoll = std::chrono::milliseconds(5);

// Threads started while this lives take no signals: Ctrl-C and the like go to the program's own
// threads, and a blocking read is never interrupted.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &m_previous);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t m_previous{};
};

}  // namespace

CSoundInput::~CSoundInput() {
    Close();
}

int32_t CSoundInput::CountInputDevices() {
    return CountPulseInputSources();
}

std::vector<SoundSource> CSoundInput::InputSources() {
    std::vector<SoundSource> sources;
    for (PulseSource& source : ListPulseInputSources()) {
        sources.push_back(SoundSource{std::move(source.name), std::move(source.description)});
    }
    return sources;
}

int CSoundInput::Open() {
    if (m_stream != nullptr) {
        return kInputAlreadyOpen;
    }
    const pa_sample_spec format{PA_SAMPLE_U8, kSampleRate, 1};
    pa_buffer_attr attributes{};
    // The server's largest record buffer (minutes of samples): while the owner is busy and has
    // no buffer queued, the reader stops reading and the samples wait there.
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.fragsize = kReadBytes;
    int error = 0;
    const SignalsBlocked blocked;  // the client library starts a thread of its own
    m_stream = pa_simple_new(nullptr, "Tapewise", PA_STREAM_RECORD,
                             m_source.empty() ? nullptr : m_source.c_str(), "Tape input", &format,
                             nullptr, &attributes, &error);
    if (m_stream == nullptr) {
        return error != 0 ? error : PA_ERR_UNKNOWN;
    }
    m_serverError = 0;
    return 0;
}

int CSoundInput::PrepareHeader(WaveHeader& header) {
    if (m_stream == nullptr) {
        return kInputNotOpen;
    }
    header.flags |= kWaveHeaderPrepared;
    return 0;
}

int CSoundInput::AddBuffer(WaveHeader& header) {
    if (m_stream == nullptr) {
        return kInputNotOpen;
    }
    if ((header.flags & kWaveHeaderPrepared) == 0) {
        return kHeaderNotPrepared;
    }
    if (const int error = m_serverError; error != 0) {
        return error;
    }
    m_queue.Add(header);
    return 0;
}

int CSoundInput::Start() {
    if (m_stream == nullptr) {
        return kInputNotOpen;
    }
    if (m_reader.joinable()) {
        return 0;
    }
    m_stopReading = false;
    const SignalsBlocked blocked;
    try {
        m_reader = std::thread(&CSoundInput::ReadUntilStopped, this);
    } catch (const std::system_error&) {
        return kNoReaderThread;
    }
    return 0;
}

int CSoundInput::Reset() {
    if (m_stream == nullptr) {
        return kInputNotOpen;
    }
    StopReader();
    m_queue.ReturnAll();
    return 0;
}

int CSoundInput::Stop() {
    if (m_stream == nullptr) {
        return kInputNotOpen;
    }
    StopReader();
    return 0;
}

int CSoundInput::Close() {
    if (m_stream == nullptr) {
        return kInputNotOpen;
    }
    StopReader();
    pa_simple_free(m_stream);
    m_stream = nullptr;
    m_queue.Clear();
    return 0;
}

std::string CSoundInput::ErrorText(int code) {
    switch (code) {
        case kInputNotOpen:
            return "The sound input is not open";
        case kInputAlreadyOpen:
            return "The sound input is already open";
        case kHeaderNotPrepared:
            return "The buffer is not prepared";
        case kNoReaderThread:
            return "No thread could be started to record";
        default:
            return pa_strerror(code);
    }
}

void CSoundInput::SetFilledNotifier(std::function<void()> notifier) {
    m_queue.SetNotifier(std::move(notifier));
}

bool CSoundInput::WaitForQueuedBuffer() {
    while (!m_stopReading) {
        if (m_queue.QueuedCount() > 0) {
            return true;
        }
        std::this_thread::sleep_for(kQueuePoll);
    }
    return false;
}

void CSoundInput::ReadUntilStopped() {
    std::array<uint8_t, kReadBytes> piece{};
    while (WaitForQueuedBuffer()) {
        int error = 0;
        if (pa_simple_read(m_stream, piece.data(), piece.size(), &error) < 0) {
            // Set before the buffers come back, so that giving them back fails.
            m_serverError = error != 0 ? error : PA_ERR_CONNECTIONTERMINATED;
            m_queue.ReturnAll();
            return;
        }
        m_queue.Fill(piece.data(), piece.size());
    }
}

void CSoundInput::StopReader() {
    m_stopReading = true;
    if (m_reader.joinable()) {
        m_reader.join();
    }
}
