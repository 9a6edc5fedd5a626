#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The decoder's own history ring: non-virtual, no bounds checks, a power-of-two slot count so that
// a position is a mask, not a division. At(0) is the newest element, At(-k) the k-th before it.
// Callers keep -k below N and never reach before the first element pushed; CTapeDecoder turns
// these rings into RingBuffer records of the capacity the display expects when it captures them.
template <typename T, int32_t N>
class FastRing final {
    static_assert(N > 0 && (N & (N - 1)) == 0, "FastRing needs a power-of-two size");

public:
    void Push(const T& x) {
        m_storage[Slot(m_count)] = x;
        ++m_count;
    }

    T& At(int32_t i) { return m_storage[Slot(m_count - 1 + i)]; }
    const T& At(int32_t i) const { return m_storage[Slot(m_count - 1 + i)]; }
    T& Newest() { return At(0); }
    const T& Newest() const { return At(0); }

    // Number of elements ever pushed.
    int64_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    static constexpr int32_t Slots() { return N; }

private:
    static std::size_t Slot(int64_t position) {
        return static_cast<std::size_t>(position) & (N - 1);
    }

    std::array<T, N> m_storage{};
    int64_t m_count = 0;
};
