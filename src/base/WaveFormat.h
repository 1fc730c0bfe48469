// The format record: the published WAVEFORMATEX layout (18 bytes) and its 40-byte extensible
// form, plus the capture and float stream formats every recording uses.
#pragma once

#include <cstdint>

#include "base/Guid.h"

namespace sondrel {

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
inline constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
// An extra size of 22 marks the extensible form.
inline constexpr std::uint16_t kExtensibleExtraSize = 22;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};

struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    std::uint16_t wValidBitsPerSample;
    std::uint32_t dwChannelMask;
    GUID SubFormat;
};
#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

// 00000001-0000-0010-8000-00AA00389B71 and 00000003-...: the PCM and IEEE-float sub-formats.
inline constexpr GUID KSDATAFORMAT_SUBTYPE_PCM{
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID KSDATAFORMAT_SUBTYPE_IEEE_FLOAT{
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

inline constexpr std::uint32_t kCaptureFramesPerSecond = 44100;
inline constexpr std::uint16_t kCaptureChannels = 2;
inline constexpr std::uint16_t kCaptureBlockAlign = 4;
inline constexpr std::uint32_t kCaptureBytesPerSecond = 176400;
// Audio is moved in chunks of 1 MiB.
inline constexpr std::uint32_t kChunkBytes = 0x100000;

// PCM, 2 channels, 44100 Hz, 16-bit little-endian: the temporary recording, every track file.
constexpr WAVEFORMATEX CaptureFormat() {
    return WAVEFORMATEX{WAVE_FORMAT_PCM,
                        kCaptureChannels,
                        kCaptureFramesPerSecond,
                        kCaptureBytesPerSecond,
                        kCaptureBlockAlign,
                        16,
                        0};
}

// The same with 32-bit IEEE float samples; float 1.0 is 16-bit full scale.
constexpr WAVEFORMATEX FloatStreamFormat() {
    return WAVEFORMATEX{WAVE_FORMAT_IEEE_FLOAT,
                        kCaptureChannels,
                        kCaptureFramesPerSecond,
                        kCaptureFramesPerSecond * 8,
                        8,
                        32,
                        0};
}

}  // namespace sondrel
