#include "audiofile/CPcmFmtConvertLite.h"

#include <algorithm>
#include <cstring>

#include "audiofile/PcmPrimitives.h"

namespace sondrel {

std::size_t CPcmFmtConvertLite::ConvertSimple(float* input, std::size_t inputBytes, void* output,
                                              std::size_t outputCapacityBytes) {
    m_clippedSamples = 0;
    if (!input || !output)
        return 0;
    if (m_input.wFormatTag == m_output.wFormatTag) {
        // A copy is only a conversion when the frames are laid out alike; 16 to 24 bits is not.
        if (m_input.wBitsPerSample != m_output.wBitsPerSample ||
            m_input.nChannels != m_output.nChannels || m_input.nBlockAlign != m_output.nBlockAlign)
            return 0;
        const std::size_t bytes = std::min(inputBytes, outputCapacityBytes);
        std::memmove(output, input, bytes);
        return bytes / OutputBlockAlign();
    }
    if (m_input.wFormatTag != WAVE_FORMAT_IEEE_FLOAT || m_input.wBitsPerSample != 32 ||
        m_output.wFormatTag != WAVE_FORMAT_PCM) {
        return 0;
    }
    const std::size_t channels = InputChannels();
    // Frames are written one for one, so the channel counts must agree.
    if (channels != OutputChannels())
        return 0;
    const std::size_t sampleBytes = m_output.wBitsPerSample / 8u;
    if (sampleBytes < 2 || sampleBytes > 4 || m_output.wBitsPerSample % 8 != 0)
        return 0;

    std::size_t frames = std::min(inputBytes / InputBlockAlign(), inputBytes / (4 * channels));
    // The output is bounded too: a caller that gives too little room gets fewer frames rather
    // than a write past its buffer.
    frames = std::min(frames, outputCapacityBytes / (sampleBytes * channels));
    const std::size_t samples = frames * channels;

    pcm::Scale(input, samples, 32768.0f);
    auto* out = static_cast<std::uint8_t*>(output);
    switch (sampleBytes) {
        case 2:
            m_clippedSamples = pcm::FloatToI16(input, out, samples);
            break;
        case 3:
            m_clippedSamples = pcm::FloatToI24(input, out, samples);
            break;
        default:
            m_clippedSamples = pcm::FloatToI32(input, out, samples);
            break;
    }
    return frames;
}

}  // namespace sondrel
