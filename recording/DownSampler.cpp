#include "recording/DownSampler.h"

namespace {
// How often the rate can be halved with the half still at or above the target.
int32_t Halvings(int32_t inputRate, int32_t targetRate) {
    int32_t halvings = 0;
    for (int32_t rate = inputRate; rate / 2 >= targetRate; rate /= 2) {
        ++halvings;
    }
    return halvings;
}
}  // namespace

bool CDownSampler::Serves(int32_t inputRate, int32_t targetRate) {
    if (targetRate <= 0 || inputRate <= targetRate) {
        return false;
    }
    const int32_t rate = inputRate >> Halvings(inputRate, targetRate);
    return rate == targetRate || CSincResampler::Serves(rate, targetRate);
}

CDownSampler::CDownSampler(int32_t inputRate, int32_t targetRate) {
    const int32_t halvings = Halvings(inputRate, targetRate);
    m_halvings.resize(static_cast<size_t>(halvings));
    m_halved.resize(static_cast<size_t>(halvings));
    const int32_t rate = inputRate >> halvings;
    if (rate != targetRate) {
        m_sinc.emplace(rate, targetRate);
    }
}

void CDownSampler::Feed(const float* in, int32_t count, std::vector<float>& out) {
    Pass(in, count, false, out);
}

void CDownSampler::Finish(std::vector<float>& out) {
    Pass(nullptr, 0, true, out);
}

void CDownSampler::Pass(const float* in, int32_t count, bool ended, std::vector<float>& out) {
    for (size_t i = 0; i < m_halvings.size(); ++i) {
        std::vector<float>& halved = m_halved[i];
        halved.clear();
        m_halvings[i].Feed(in, count, halved);
        if (ended) {
            m_halvings[i].Finish(halved);
        }
        in = halved.data();
        count = static_cast<int32_t>(halved.size());
    }
    if (!m_sinc) {
        out.insert(out.end(), in, in + count);
        return;
    }
    m_sinc->Feed(in, count, out);
    if (ended) {
        m_sinc->Finish(out);
    }
}
