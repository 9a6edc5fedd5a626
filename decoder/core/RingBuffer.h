#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

// Fixed-capacity ring holding the newest `capacity` elements ever pushed. At(0) is the newest
// element, At(-k) the k-th before it. Copies are deep (count, capacity and storage).
//
// At() does not check that -i stays below the capacity: every caller stays within it. An index
// above 0, or one reaching before the first element ever pushed, throws std::out_of_range.
template <typename T>
class RingBuffer {
public:
    explicit RingBuffer(int32_t capacity = 0) : m_storage(static_cast<size_t>(capacity)) {}
    RingBuffer(const RingBuffer&) = default;
    RingBuffer(RingBuffer&&) noexcept = default;
    RingBuffer& operator=(const RingBuffer&) = default;
    RingBuffer& operator=(RingBuffer&&) noexcept = default;
    virtual ~RingBuffer() = default;

    virtual T& At(int32_t i) {
        if (i > 0 || m_count - 1 + i < 0) {
            throw std::out_of_range("RingBuffer::At index out of range");
        }
        int64_t position = m_newest + i;
        if (position < 0) {
            position += Capacity();
        }
        return m_storage[static_cast<size_t>(position)];
    }

    const T& At(int32_t i) const { return const_cast<RingBuffer*>(this)->At(i); }

    virtual void Push(const T& x) {
        if (m_storage.empty()) {
            ++m_count;
            return;
        }
        m_newest = (m_count == 0 || m_newest + 1 == Capacity()) ? 0 : m_newest + 1;
        m_storage[static_cast<size_t>(m_newest)] = x;
        ++m_count;
    }

    // Counts n pushes whose elements are gone, as if they had been pushed and overwritten since;
    // a ring is rebuilt this way from a history kept elsewhere, then its reachable elements are
    // pushed. Slots the skipped pushes would have written keep their old contents.
    void SkipPushes(int64_t n) {
        if (n <= 0) {
            return;
        }
        if (!m_storage.empty()) {
            const int64_t last = m_count == 0 ? -1 : m_newest;
            m_newest = (last + n) % Capacity();
        }
        m_count += n;
    }

    // Number of elements ever pushed; it never decreases.
    int64_t Count() const { return m_count; }
    int32_t Capacity() const { return static_cast<int32_t>(m_storage.size()); }
    // Number of elements that At() can reach: the smaller of count and capacity.
    int32_t Size() const {
        return m_count < Capacity() ? static_cast<int32_t>(m_count) : Capacity();
    }
    bool Empty() const { return m_count == 0; }

private:
    std::vector<T> m_storage;
    int64_t m_count = 0;
    int64_t m_newest = 0;  // storage position of At(0) once count > 0
};
