// Converts blocks of interleaved integer PCM (8, 16, 24, 32 bits) to 32-bit float, where float
// 1.0 is 16-bit full scale, and turns mono into several channels or several channels into mono
// on the float side. No resampling. Used by the capture input (16-bit stereo to float for the
// level meter) and the normalisation pass. One thread per converter; no locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/WaveFormat.h"

namespace sondrel {

class CPcmFmtConverter {
public:
    CPcmFmtConverter() = default;
    CPcmFmtConverter(const CPcmFmtConverter&) = delete;
    CPcmFmtConverter& operator=(const CPcmFmtConverter&) = delete;
    virtual ~CPcmFmtConverter() = default;

    // Copy the first 18 bytes of the record; true when its tag is PCM or IEEE float.
    bool SetSourceFormat(const WAVEFORMATEX& format);
    bool SetDestFormat(const WAVEFORMATEX& format);
    // The converters carry nothing from one block to the next (they never resample), so there
    // is nothing to reset; callers still call it once after setting the formats.
    void ResetState() {}

    // Converts as much of the input as fits and returns the number of frames produced, 0 when
    // the pair of formats is not supported. Identical formats are copied (at most
    // outputCapacityBytes). Input and output must not overlap. A float output buffer must be
    // aligned for float; so must a float input. Grows an intermediate buffer only when the
    // channel count changes.
    std::size_t Convert(const void* input, std::size_t inputBytes, void* output,
                        std::size_t outputCapacityBytes);

protected:
    // The stored values, or 1 where a stored value is 0.
    std::uint32_t InputChannels() const { return m_input.nChannels ? m_input.nChannels : 1; }
    std::uint32_t InputBlockAlign() const { return m_input.nBlockAlign ? m_input.nBlockAlign : 1; }
    std::uint32_t InputFramesPerSecond() const;
    std::uint32_t OutputChannels() const { return m_output.nChannels ? m_output.nChannels : 1; }
    std::uint32_t OutputBlockAlign() const;
    std::uint32_t OutputFramesPerSecond() const;
    bool SameFormats() const;

    WAVEFORMATEX m_input{};
    WAVEFORMATEX m_output{};

private:
    // Turns the PCM input into float samples, into out when the channel count stays, else
    // into the intermediate buffer; returns the frames converted and where they are.
    std::size_t PcmToFloat(const void* input, std::size_t inputBytes, float* out,
                           std::size_t outputCapacityBytes, const float** converted);
    // Spreads mono over every output channel or mixes every input channel into mono.
    std::size_t ChangeChannels(const float* source, std::size_t frames, float* out,
                               std::size_t outCapacityFrames) const;

    std::vector<float> m_intermediate;
};

}  // namespace sondrel
