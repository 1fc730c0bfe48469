#include "recording/CInputGain.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    std::size_t i = 0;
#if defined(__SSE2__)
    // Eight samples at a time, with the same arithmetic: this runs over every captured sample.
    const __m128d g = _mm_set1_pd(gain);
    const __m128d low = _mm_set1_pd(-32768.0);
    const __m128d high = _mm_set1_pd(32767.0);
    const auto scale = [&](__m128i fourSamples) {
        const __m128d a = _mm_cvtepi32_pd(fourSamples);
        const __m128d b = _mm_cvtepi32_pd(_mm_shuffle_epi32(fourSamples, 0x4E));
        const __m128i ta = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_mul_pd(a, g), low), high));
        const __m128i tb = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_mul_pd(b, g), low), high));
        return _mm_unpacklo_epi64(ta, tb);
    };
    for (; i + 8 <= sampleCount; i += 8) {
        auto* at = reinterpret_cast<__m128i*>(samples + i);
        const __m128i v = _mm_loadu_si128(at);
        const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_si128(at, _mm_packs_epi32(scale(lo), scale(hi)));
    }
#endif
    for (; i < sampleCount; ++i) {
        const double scaled = std::clamp(samples[i] * gain, -32768.0, 32767.0);
        samples[i] = static_cast<std::int16_t>(static_cast<int>(scaled));
    }
}

}  // namespace sondrel
