// The sample loops both PCM converters are built on. Float samples use the 16-bit scale here
// (the converters apply the 2^-15 factor): 16-bit full scale is 32768.0. Integer input is read
// byte-wise little-endian, so buffers need no alignment. The float-to-integer loops clip
// symmetrically (magnitude above 32767.0 in the 16-bit scale, or NaN, becomes the largest value
// of the width with the input's sign; the most negative integer never appears) and return how
// many values they clipped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sondrel::pcm {

// Integer to float, each value multiplied by factor on the way (the 16-bit scaled value times
// factor: 8-bit (u8 - 128) * 256, 16-bit i16, 24-bit i24 / 256, 32-bit i32 / 65536). Input and
// output must not overlap.
void U8ToFloat(const std::uint8_t* in, float* out, std::size_t samples, float factor);
void I16ToFloat(const std::uint8_t* in, float* out, std::size_t samples, float factor);
void I24ToFloat(const std::uint8_t* in, float* out, std::size_t samples, float factor);
void I32ToFloat(const std::uint8_t* in, float* out, std::size_t samples, float factor);

// Float (16-bit scale) to little-endian integers, rounded to nearest, ties to even.
std::size_t FloatToI16(const float* in, std::uint8_t* out, std::size_t samples);
std::size_t FloatToI24(const float* in, std::uint8_t* out, std::size_t samples);
std::size_t FloatToI32(const float* in, std::uint8_t* out, std::size_t samples);

// samples[k] *= factor, in place.
void Scale(float* samples, std::size_t count, float factor);
// out[k * outStride] = in[k * inStride]
void StridedCopy(const float* in, std::size_t inStride, float* out, std::size_t outStride,
                 std::size_t count);
// out[k * outStride] += factor * in[k * inStride]
void StridedMultiplyAdd(const float* in, std::size_t inStride, float* out, std::size_t outStride,
                        std::size_t count, float factor);

}  // namespace sondrel::pcm
