#include "capture/SoundCapture.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr size_t kMaxErrorText = 255;  // the error text fits a buffer of 256 characters

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

}  // namespace

CSoundCapture::CSoundCapture(CSoundLayer& layer, CCaptureHost& host)
    : m_layer(layer), m_host(host) {}

CSoundCapture::~CSoundCapture() {
    CloseInput(Reporting::Quiet);
}

void CSoundCapture::OpenSoundInput() {
    OpenInput(Reporting::Show);
}

void CSoundCapture::CloseSoundInput() {
    CloseInput(Reporting::Show);
    m_state = CaptureState::Closed;
}

bool CSoundCapture::OpenInput(Reporting reporting) {
    m_buffersSetUp = 0;
    if (m_hWaveIn != nullptr) {
        return true;
    }
    const int opened = m_layer.Open();
    if (opened != 0) {
        Report(reporting,
               Format("Error %d for waveInOpen : %s\n", opened, ErrorText(opened).c_str()));
        CloseInput(reporting);
        return false;
    }
    m_hWaveIn = &m_layer;
    for (int slot = 0; slot < kBufferCount; ++slot) {
        if (!QueueNewBuffer(slot, reporting)) {
            CloseInput(reporting);
            return false;
        }
    }
    m_expectedBuffer = 1;
    const int started = m_layer.Start();
    if (started != 0) {
        Report(reporting,
               Format("Error %d for waveInStart : %s\n", started, ErrorText(started).c_str()));
        CloseInput(reporting);
        return false;
    }
    m_state = CaptureState::Recording;
    return true;
}

bool CSoundCapture::QueueNewBuffer(int slot, Reporting reporting) {
    WaveHeader& header = m_waveHeaders[static_cast<size_t>(slot)];
    std::vector<uint8_t>& block = m_dataBlocks[static_cast<size_t>(slot)];
    header = WaveHeader{};
    block.assign(kFullBufferBytes, 0);
    header.data = block.data();
    header.bufferLength = kFullBufferBytes;
    header.flags = 0;
    header.user = static_cast<uintptr_t>(++m_buffersSetUp);
    const int prepared = m_layer.PrepareHeader(header);
    if (prepared != 0) {
        Report(reporting, Format("Error %d for waveInPrepareHeader %d : %s\n", prepared, slot,
                                 ErrorText(prepared).c_str()));
        return false;
    }
    const int added = m_layer.AddBuffer(header);
    if (added != 0) {
        Report(reporting, Format("Error %d for waveInAddBuffer %d: %s\n", added, slot,
                                 ErrorText(added).c_str()));
        return false;
    }
    return true;
}

void CSoundCapture::CloseInput(Reporting reporting) {
    CSoundLayer* input = m_hWaveIn;
    m_hWaveIn = nullptr;
    if (input == nullptr) {
        return;
    }
    // Buffers handed back while this runs (an error shown here may run the owner's event loop)
    // must not reach a decoder that the owner may already have released.
    m_closing = true;
    if (const int reset = input->Reset(); reset != 0) {
        Report(reporting,
               Format("Error %d for waveInReset : %s\n", reset, ErrorText(reset).c_str()));
    }
    if (const int stopped = input->Stop(); stopped != 0) {
        Report(reporting,
               Format("Error %d for waveInStop : %s\n", stopped, ErrorText(stopped).c_str()));
    }
    if (const int closed = input->Close(); closed != 0) {
        Report(reporting,
               Format("Error %d for waveInClose : %s\n", closed, ErrorText(closed).c_str()));
    }
    for (int slot = 0; slot < kBufferCount; ++slot) {
        m_dataBlocks[static_cast<size_t>(slot)] = {};
        m_waveHeaders[static_cast<size_t>(slot)].data = nullptr;
        m_waveHeaders[static_cast<size_t>(slot)].bufferLength = 0;
    }
    m_closing = false;
}

void CSoundCapture::OnWimData(WaveHeader* header) {
    if (header == nullptr || header->data == nullptr || m_closing || m_failed) {
        return;
    }
    if (header->bytesRecorded == 0) {
        // An empty buffer still holds its place in the rotation: dropping it would leave the
        // next one out of sequence.
        if (m_hWaveIn == nullptr) {
            return;
        }
        ++m_emptyBuffers;
    } else {
        DecodeBuffer(*header);
    }
    if (m_hWaveIn == nullptr) {
        return;
    }
    if (!IsInSequence(*header)) {
        return;
    }
    const auto number = static_cast<uint32_t>(header->user);
    if (number < 2) {
        return;
    }
    GiveBackPrevious(number);
}

void CSoundCapture::DecodeBuffer(const WaveHeader& header) {
    m_host.ProcessBuffer(header.data, static_cast<int32_t>(header.bytesRecorded));
    m_host.UpdateSignalIndicator();
    m_host.CaptureSnapshot();
    m_host.RefreshSignal();
}

bool CSoundCapture::IsInSequence(const WaveHeader& header) {
    const uint32_t expected = m_expectedBuffer++;
    if (header.user == expected) {
        return true;
    }
    const auto address = static_cast<unsigned>(reinterpret_cast<uintptr_t>(&header));
    m_host.ShowCaptureError(Format("What buffer is that 0x%x : %d but expecting %d\n", address,
                                   static_cast<int>(header.user), static_cast<int>(expected)));
    m_failed = true;
    m_host.FatalCaptureError();
    return false;
}

void CSoundCapture::GiveBackPrevious(uint32_t number) {
    WaveHeader& previous = m_waveHeaders[(number - 2) % kBufferCount];
    previous.flags = 0;
    previous.user += kBufferCount;
    previous.bufferLength = m_host.FromFile() ? kReplayBufferBytes : kFullBufferBytes;
    const int prepared = m_layer.PrepareHeader(previous);
    if (prepared != 0) {
        LoseInput(Format("Error %d for waveInPrepareHeader : %s\n", prepared,
                         ErrorText(prepared).c_str()));
        return;
    }
    const int added = m_layer.AddBuffer(previous);
    if (added != 0) {
        LoseInput(Format("Error %d for waveInAddBuffer : %s\n", added, ErrorText(added).c_str()));
    }
}

void CSoundCapture::LoseInput(const std::string& message) {
    // The sound server went away. Ending the program here would lose every block not yet saved:
    // tell the user once and wait for a source to come back.
    m_host.ShowCaptureError(message);
    CloseInput(Reporting::Quiet);
    m_state = CaptureState::Lost;
    m_host.CaptureNotice("Sound input lost: capture starts again when a source is back");
}

bool CSoundCapture::RetryLostInput() {
    if (m_state != CaptureState::Lost || m_layer.CountInputDevices() <= 0) {
        return false;
    }
    if (!OpenInput(Reporting::Quiet)) {
        m_state = CaptureState::Lost;
        return false;
    }
    m_host.CaptureNotice("Sound input back: capture started again");
    return true;
}

void CSoundCapture::Report(Reporting reporting, const std::string& message) {
    if (reporting == Reporting::Show) {
        m_host.ShowCaptureError(message);
    }
}

std::string CSoundCapture::ErrorText(int code) {
    std::string text = m_layer.ErrorText(code);
    if (text.size() > kMaxErrorText) {
        text.resize(kMaxErrorText);
    }
    return text;
}
