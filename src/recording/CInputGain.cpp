#include "recording/CInputGain.h"

#include <algorithm>
#include <cmath>

namespace sondrel {

HRESULT CInputGain::SetGainDb(float db) {
    const float factor = static_cast<float>(std::pow(10.0, static_cast<double>(db) / 20.0));
    if (!std::isfinite(factor)) {
        return E_FAIL;
    }
    m_factor.store(factor, std::memory_order_relaxed);
    return S_OK;
}

void CInputGain::Apply(std::int16_t* samples, std::size_t sampleCount) const {
    const float factor = Factor();
    if (factor == 1.0f || samples == nullptr) {
        return;
    }
    // A 16-bit sample times a float factor is exact in double, so the truncation sees the true
    // product.
    const double gain = factor;
    for (std::size_t i = 0; i < sampleCount; ++i) {
        const double scaled = std::clamp(samples[i] * gain, -32768.0, 32767.0);
        samples[i] = static_cast<std::int16_t>(static_cast<int>(scaled));
    }
}

}  // namespace sondrel
