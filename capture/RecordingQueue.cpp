#include "capture/RecordingQueue.h"

#include <algorithm>
#include <cstring>

void CRecordingQueue::Add(WaveHeader& header) {
    std::lock_guard lock(m_mutex);
    header.bytesRecorded = 0;
    header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    m_queued.push_back(&header);
}

void CRecordingQueue::Fill(const uint8_t* bytes, size_t count) {
    bool filledAny = false;
    {
        std::lock_guard lock(m_mutex);
        while (count > 0 && !m_queued.empty()) {
            WaveHeader& header = *m_queued.front();
            const size_t room = header.bufferLength - header.bytesRecorded;
            const size_t taken = std::min(room, count);
            std::memcpy(header.data + header.bytesRecorded, bytes, taken);
            header.bytesRecorded += static_cast<uint32_t>(taken);
            bytes += taken;
            count -= taken;
            if (header.bytesRecorded == header.bufferLength) {
                MoveFrontToFilled();
                filledAny = true;
            }
        }
    }
    if (filledAny) {
        Notify();
    }
}

void CRecordingQueue::ReturnAll() {
    bool returnedAny = false;
    {
        std::lock_guard lock(m_mutex);
        returnedAny = !m_queued.empty();
        while (!m_queued.empty()) {
            MoveFrontToFilled();
        }
    }
    if (returnedAny) {
        Notify();
    }
}

void CRecordingQueue::Clear() {
    std::lock_guard lock(m_mutex);
    m_queued.clear();
    m_filled.clear();
}

WaveHeader* CRecordingQueue::TakeFilled() {
    return WaitFilled(std::chrono::milliseconds(0));
}

WaveHeader* CRecordingQueue::WaitFilled(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_filledChanged.wait_for(lock, timeout, [this] { return !m_filled.empty(); })) {
        return nullptr;
    }
    WaveHeader* header = m_filled.front();
    m_filled.pop_front();
    return header;
}

void CRecordingQueue::SetNotifier(std::function<void()> notifier) {
    std::lock_guard lock(m_mutex);
    m_notifier = std::move(notifier);
}

size_t CRecordingQueue::QueuedCount() const {
    std::lock_guard lock(m_mutex);
    return m_queued.size();
}

void CRecordingQueue::MoveFrontToFilled() {
    WaveHeader* header = m_queued.front();
    m_queued.pop_front();
    header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    m_filled.push_back(header);
}

void CRecordingQueue::Notify() {
    std::function<void()> notifier;
    {
        std::lock_guard lock(m_mutex);
        notifier = m_notifier;
    }
    m_filledChanged.notify_all();
    if (notifier) {
        notifier();
    }
}
