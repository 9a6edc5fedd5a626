#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A stream of unsigned 8-bit mono samples at 22000 per second, silence at 128, read piece by
// piece so that an input of any length needs the same memory.
class CSampleSource {
public:
    virtual ~CSampleSource() = default;

    // Fills up to capacity samples. Returns how many were filled, 0 at the end of the input, or -1
    // when reading failed (ErrorText tells why).
    virtual int32_t Read(uint8_t* samples, int32_t capacity) = 0;
    virtual const std::string& ErrorText() const = 0;

    // How far reading has come, in the input's own units, out of Total (0 when unknown).
    virtual int64_t Done() const = 0;
    virtual int64_t Total() const = 0;

    // The input holds less than its header announces; it is read as far as it goes.
    virtual bool Truncated() const { return false; }

    // Stretches of the input that could not be read (stepped over, silence in their place).
    virtual bool Damaged() const { return false; }
    // What the user should know about the input once it is read: damage, clamped samples.
    virtual std::vector<std::string> Notes() const { return {}; }
};
