#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "capture/WaveHeader.h"

// The buffers of a sound input on their way through it: queued headers are filled in queue
// order, each to its own bufferLength, by the recording thread; filled headers wait, in the same
// order, until the thread that owns the capture takes them. Every header comes out once.
//
// Thread-safe. The notifier, if set, is called on the recording thread after headers have been
// filled or handed back, outside the lock: the desktop program turns it into a queued signal.
class CRecordingQueue {
public:
    // Puts a header behind the queued ones, with no bytes recorded yet.
    void Add(WaveHeader& header);
    // Spreads the bytes over the queued headers in order; a header that is full goes to the
    // filled ones. Bytes for which no header is queued are dropped, as a device would.
    void Fill(const uint8_t* bytes, size_t count);
    // Hands back every queued header as done, with what it recorded so far.
    void ReturnAll();
    // Forgets every header, queued or filled; nothing more comes out.
    void Clear();

    // The oldest filled header, or null.
    WaveHeader* TakeFilled();
    // The oldest filled header, waiting for one at most `timeout`; null when none came.
    WaveHeader* WaitFilled(std::chrono::milliseconds timeout);

    void SetNotifier(std::function<void()> notifier);
    size_t QueuedCount() const;

private:
    void MoveFrontToFilled();
    void Notify();

    mutable std::mutex m_mutex;
    std::condition_variable m_filledChanged;
    std::deque<WaveHeader*> m_queued;
    std::deque<WaveHeader*> m_filled;
    std::function<void()> m_notifier;
};
