#include "recording/PeakSearch.h"

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sondrel {

namespace {

inline float MaxOf(float a, float b) {
    return b > a ? b : a;
}

inline void RaiseScalar(StereoPeak& peak, const float* frame) {
    peak.left = MaxOf(peak.left, std::fabs(frame[0]));
    peak.right = MaxOf(peak.right, std::fabs(frame[1]));
}

#if defined(__SSE2__)
// Lanes hold L R L R, so lanes 0 and 2 gather the left channel and 1 and 3 the right.
template <bool kAligned>
StereoPeak VectorPeak(const float* p, std::size_t frames, StereoPeak peak) {
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 m0 = _mm_setzero_ps();
    __m128 m1 = _mm_setzero_ps();
    auto load = [](const float* q) { return kAligned ? _mm_load_ps(q) : _mm_loadu_ps(q); };
    for (; frames >= 4; frames -= 4, p += 8) {
        m0 = _mm_max_ps(m0, _mm_and_ps(load(p), absMask));
        m1 = _mm_max_ps(m1, _mm_and_ps(load(p + 4), absMask));
    }
    if (frames >= 2) {
        m0 = _mm_max_ps(m0, _mm_and_ps(load(p), absMask));
        frames -= 2;
        p += 4;
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, _mm_max_ps(m0, m1));
    peak.left = MaxOf(peak.left, MaxOf(lanes[0], lanes[2]));
    peak.right = MaxOf(peak.right, MaxOf(lanes[1], lanes[3]));
    if (frames > 0) {
        RaiseScalar(peak, p);
    }
    return peak;
}
#endif

}  // namespace

StereoPeak FindStereoPeakPortable(const float* interleaved, std::size_t frames) {
    StereoPeak peak;
    for (std::size_t i = 0; i < frames; ++i) {
        RaiseScalar(peak, interleaved + 2 * i);
    }
    return peak;
}

StereoPeak FindStereoPeak(const float* interleaved, std::size_t frames) {
#if defined(__SSE2__)
    StereoPeak peak;
    const float* p = interleaved;
    // Frames on an 8-byte boundary can reach a 16-byte boundary by taking the first frame on
    // its own; otherwise every load has to be an unaligned one.
    if (reinterpret_cast<std::uintptr_t>(p) % 8 != 0) {
        return VectorPeak<false>(p, frames, peak);
    }
    if (frames > 0 && reinterpret_cast<std::uintptr_t>(p) % 16 != 0) {
        RaiseScalar(peak, p);
        p += 2;
        --frames;
    }
    return VectorPeak<true>(p, frames, peak);
#else
    return FindStereoPeakPortable(interleaved, frames);
#endif
}

}  // namespace sondrel
