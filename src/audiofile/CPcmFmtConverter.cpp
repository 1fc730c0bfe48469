#include "audiofile/CPcmFmtConverter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "audiofile/PcmPrimitives.h"

namespace sondrel {

namespace {

constexpr float kFloatScale = 1.0f / 32768.0f;

bool IsFloatAligned(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p) % alignof(float) == 0;
}

}  // namespace

bool CPcmFmtConverter::SetSourceFormat(const WAVEFORMATEX& format) {
    std::memcpy(&m_input, &format, sizeof(WAVEFORMATEX));
    return m_input.wFormatTag == WAVE_FORMAT_PCM || m_input.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
}

bool CPcmFmtConverter::SetDestFormat(const WAVEFORMATEX& format) {
    std::memcpy(&m_output, &format, sizeof(WAVEFORMATEX));
    return m_output.wFormatTag == WAVE_FORMAT_PCM || m_output.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
}

std::uint32_t CPcmFmtConverter::InputFramesPerSecond() const {
    return m_input.nSamplesPerSec ? m_input.nSamplesPerSec : 1;
}

std::uint32_t CPcmFmtConverter::OutputBlockAlign() const {
    return m_output.nBlockAlign ? m_output.nBlockAlign : 1;
}

std::uint32_t CPcmFmtConverter::OutputFramesPerSecond() const {
    return m_output.nSamplesPerSec ? m_output.nSamplesPerSec : 1;
}

bool CPcmFmtConverter::SameFormats() const {
    return m_input.wFormatTag == m_output.wFormatTag &&
           m_input.wBitsPerSample == m_output.wBitsPerSample &&
           m_input.nChannels == m_output.nChannels &&
           m_input.nSamplesPerSec == m_output.nSamplesPerSec;
}

std::size_t CPcmFmtConverter::Convert(const void* input, std::size_t inputBytes, void* output,
                                      std::size_t outputCapacityBytes) {
    if (!input || !output)
        return 0;
    if (SameFormats()) {
        const std::size_t bytes = std::min(inputBytes, outputCapacityBytes);
        std::memmove(output, input, bytes);
        return bytes / InputBlockAlign();
    }
    // Nothing resamples, and only 32-bit float is produced.
    if (InputFramesPerSecond() != OutputFramesPerSecond())
        return 0;
    if (m_output.wFormatTag != WAVE_FORMAT_IEEE_FLOAT || m_output.wBitsPerSample != 32)
        return 0;
    if (!IsFloatAligned(output))
        return 0;

    const std::size_t inChannels = InputChannels();
    const std::size_t outChannels = OutputChannels();
    const std::size_t outCapacityFrames = outputCapacityBytes / (4 * outChannels);
    auto* out = static_cast<float*>(output);

    const float* source = nullptr;
    std::size_t frames = 0;
    if (m_input.wFormatTag == WAVE_FORMAT_PCM) {
        frames = PcmToFloat(input, inputBytes, out, outputCapacityBytes, &source);
    } else if (m_input.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && m_input.wBitsPerSample == 32) {
        // Float on both sides: only the channel count differs, the input feeds the step.
        if (!IsFloatAligned(input))
            return 0;
        source = static_cast<const float*>(input);
        frames = std::min(inputBytes / InputBlockAlign(), inputBytes / (4 * inChannels));
    }
    if (frames == 0 || inChannels == outChannels)
        return frames;
    return ChangeChannels(source, frames, out, outCapacityFrames);
}

std::size_t CPcmFmtConverter::PcmToFloat(const void* input, std::size_t inputBytes, float* out,
                                         std::size_t outputCapacityBytes, const float** converted) {
    const std::size_t inChannels = InputChannels();
    const std::size_t sampleBytes = m_input.wBitsPerSample / 8u;
    if (sampleBytes == 0 || m_input.wBitsPerSample % 8 != 0 || sampleBytes > 4)
        return 0;
    // A block align smaller than the samples it claims to hold must not read past the input:
    // the sample count is limited by both.
    std::size_t samples = inChannels * (inputBytes / InputBlockAlign());
    samples = std::min(samples, inputBytes / sampleBytes);

    float* dest = out;
    if (inChannels == OutputChannels()) {
        samples = std::min(samples, outputCapacityBytes / 4);
    } else {
        // Only what the channel step can pass on is converted.
        samples = std::min(samples, outputCapacityBytes / (4 * OutputChannels()) * inChannels);
        try {
            if (m_intermediate.size() < samples)
                m_intermediate.resize(samples);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        dest = m_intermediate.data();
    }
    const auto* in = static_cast<const std::uint8_t*>(input);
    switch (m_input.wBitsPerSample) {
        case 8:
            pcm::U8ToFloat(in, dest, samples, kFloatScale);
            break;
        case 16:
            pcm::I16ToFloat(in, dest, samples, kFloatScale);
            break;
        case 24:
            pcm::I24ToFloat(in, dest, samples, kFloatScale);
            break;
        case 32:
            pcm::I32ToFloat(in, dest, samples, kFloatScale);
            break;
        default:
            return 0;
    }
    *converted = dest;
    return samples / inChannels;
}

std::size_t CPcmFmtConverter::ChangeChannels(const float* source, std::size_t frames, float* out,
                                             std::size_t outCapacityFrames) const {
    const std::size_t inChannels = InputChannels();
    const std::size_t outChannels = OutputChannels();
    frames = std::min(frames, outCapacityFrames);
    if (inChannels == 1) {
        for (std::size_t c = 0; c < outChannels; ++c) {
            pcm::StridedCopy(source, 1, out + c, outChannels, frames);
        }
    } else if (outChannels == 1) {
        pcm::StridedCopy(source, inChannels, out, 1, frames);
        for (std::size_t c = 1; c < inChannels; ++c) {
            pcm::StridedMultiplyAdd(source + c, inChannels, out, 1, frames, 1.0f);
        }
        pcm::Scale(out, frames, 1.0f / static_cast<float>(inChannels));
    } else {
        return 0;
    }
    return frames;
}

}  // namespace sondrel
