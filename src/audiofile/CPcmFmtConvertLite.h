// The way back: 32-bit float (1.0 = 16-bit full scale) to 16, 24 or 32-bit PCM with symmetric
// clipping, for the normalisation pass. Channel counts must match; nothing is resampled.
#pragma once

#include <cstddef>

#include "audiofile/CPcmFmtConverter.h"

namespace sondrel {

class CPcmFmtConvertLite : public CPcmFmtConverter {
public:
    ~CPcmFmtConvertLite() override = default;

    // Returns the frames produced (0 for an unsupported pair). Scales the caller's floats in
    // place by 32768, so they are not reusable afterwards. Identical layouts (tag, width, channels)
    // are copied (at most outputCapacityBytes); the same tag at another width gives 0. Never writes
    // more than outputCapacityBytes.
    std::size_t ConvertSimple(float* input, std::size_t inputBytes, void* output,
                              std::size_t outputCapacityBytes);

    // Samples clipped by the last ConvertSimple.
    std::size_t ClippedSamples() const { return m_clippedSamples; }

private:
    std::size_t m_clippedSamples = 0;
};

}  // namespace sondrel
