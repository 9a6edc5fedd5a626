#include "decoder/core/BlockBuffer.h"

#include <stdexcept>

void CBlockBuffer::RejectBit() {
    throw std::invalid_argument("CBlockBuffer::AddBit takes 0 or 1");
}

void CBlockBuffer::CompleteByte() {
    AppendByte(m_currentByte);
    m_checksum = static_cast<uint8_t>(m_checksum ^ m_currentByte);
    m_bitCount = 0;
    m_currentByte = 0;
}

bool CBlockBuffer::IsComplete() const {
    return !m_data.empty() && m_bitCount <= 2 && m_checksum == 0;
}

void CBlockBuffer::Clear() {
    std::vector<uint8_t>().swap(m_data);
    m_bitCount = 0;
    m_currentByte = 0;
    m_checksum = 0;
}

void CBlockBuffer::AppendByte(uint8_t byte) {
    // Grow in fixed steps, so a long block reallocates once per thousand bytes, not per byte.
    if (m_data.size() == m_data.capacity()) {
        m_data.reserve(m_data.capacity() + kGrowthStep);
    }
    m_data.push_back(byte);
}
