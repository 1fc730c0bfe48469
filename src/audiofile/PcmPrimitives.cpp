#include "audiofile/PcmPrimitives.h"

#include <cmath>
#include <cstring>

namespace sondrel::pcm {

namespace {

constexpr float kClipLimit = 32767.0f;

// Adding and removing 1.5 * 2^23 rounds any |x| < 2^22 to the nearest integer, ties to even,
// in the default rounding mode; unlike nearbyint it vectorises without SSE4.1. Every value
// that reaches it has already passed the clip test, so |x| <= 32767. (-ffast-math would fold
// it away; this file must not be built with it.)
inline float RoundSmall(float x) {
    constexpr float kMagic = 12582912.0f;
    return (x + kMagic) - kMagic;
}

inline bool Clips(float x) {
    return !(std::fabs(x) <= kClipLimit);
}

// The integer-to-float loops and the scale run in blocks of kBlock with restrict pointers: at
// -O2 GCC only vectorises loops whose trip count is fixed and that need no aliasing check.
constexpr std::size_t kBlock = 8;

template <class One>
inline void ForEachBlocked(std::size_t count, One one) {
    std::size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k)
            one(i + k);
    }
    for (; i < count; ++i)
        one(i);
}

// Float (16-bit scale) to a kBytes-wide little-endian integer: the clip test, else the value
// widened by 2^(8 * (kBytes - 2)) and rounded to nearest.
template <int kBytes>
std::size_t FloatToWide(const float* in, std::uint8_t* out, std::size_t samples) {
    constexpr double kWiden = static_cast<double>(1u << (8 * (kBytes - 2)));
    constexpr std::int32_t kLargest =
        static_cast<std::int32_t>((std::uint32_t{1} << (8 * kBytes - 1)) - 1);
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const float x = in[i];
        std::int32_t v;
        if (Clips(x)) {
            v = std::signbit(x) ? -kLargest : kLargest;
            ++clipped;
        } else {
            v = static_cast<std::int32_t>(std::nearbyint(static_cast<double>(x) * kWiden));
        }
        const auto u = static_cast<std::uint32_t>(v);
        for (int b = 0; b < kBytes; ++b)
            out[kBytes * i + b] = static_cast<std::uint8_t>(u >> (8 * b));
    }
    return clipped;
}

}  // namespace

void U8ToFloat(const std::uint8_t* __restrict in, float* __restrict out, std::size_t samples,
               float factor) {
    ForEachBlocked(samples, [&](std::size_t i) {
        out[i] = static_cast<float>((static_cast<int>(in[i]) - 128) * 256) * factor;
    });
}

void I16ToFloat(const std::uint8_t* __restrict in, float* __restrict out, std::size_t samples,
                float factor) {
    ForEachBlocked(samples, [&](std::size_t i) {
        std::int16_t v;
        std::memcpy(&v, in + 2 * i, 2);
        out[i] = static_cast<float>(v) * factor;
    });
}

void I24ToFloat(const std::uint8_t* in, float* out, std::size_t samples, float factor) {
    const float scale = factor * (1.0f / 256.0f);
    for (std::size_t i = 0; i < samples; ++i) {
        const std::uint8_t* p = in + 3 * i;
        // Place the 3 bytes in the top of a 32-bit word, then shift back to sign-extend.
        const std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                         static_cast<std::uint32_t>(p[1]) << 16 |
                                                         static_cast<std::uint32_t>(p[2]) << 24) >>
                               8;
        out[i] = static_cast<float>(v) * scale;
    }
}

void I32ToFloat(const std::uint8_t* __restrict in, float* __restrict out, std::size_t samples,
                float factor) {
    ForEachBlocked(samples, [&](std::size_t i) {
        std::int32_t v;
        std::memcpy(&v, in + 4 * i, 4);
        out[i] = static_cast<float>(v) * (1.0f / 65536.0f) * factor;
    });
}

std::size_t FloatToI16(const float* in, std::uint8_t* out, std::size_t samples) {
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const float x = in[i];
        const bool clips = Clips(x);
        const float limited = std::copysign(kClipLimit, x);
        const std::int16_t v = static_cast<std::int16_t>(clips ? limited : RoundSmall(x));
        std::memcpy(out + 2 * i, &v, 2);
        clipped += clips;
    }
    return clipped;
}

std::size_t FloatToI24(const float* in, std::uint8_t* out, std::size_t samples) {
    return FloatToWide<3>(in, out, samples);
}

std::size_t FloatToI32(const float* in, std::uint8_t* out, std::size_t samples) {
    return FloatToWide<4>(in, out, samples);
}

void Scale(float* samples, std::size_t count, float factor) {
    ForEachBlocked(count, [&](std::size_t i) { samples[i] *= factor; });
}

void StridedCopy(const float* in, std::size_t inStride, float* out, std::size_t outStride,
                 std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        out[k * outStride] = in[k * inStride];
}

void StridedMultiplyAdd(const float* in, std::size_t inStride, float* out, std::size_t outStride,
                        std::size_t count, float factor) {
    for (std::size_t k = 0; k < count; ++k)
        out[k * outStride] += factor * in[k * inStride];
}

}  // namespace sondrel::pcm
