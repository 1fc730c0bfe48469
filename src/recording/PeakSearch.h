// Peak search for the level meter: the largest absolute left and right values of a run of
// interleaved stereo float frames, with SSE2 where the processor has it.
#pragma once

#include <cstddef>

namespace sondrel {

struct StereoPeak {
    float left = 0.0f;
    float right = 0.0f;
};

// Any alignment and length. The samples must be finite (they come from 16-bit PCM): with a NaN
// the vector and the portable search may disagree.
StereoPeak FindStereoPeak(const float* interleaved, std::size_t frames);

// The same with plain scalar code; used where SSE2 is missing and to check the vector search.
StereoPeak FindStereoPeakPortable(const float* interleaved, std::size_t frames);

}  // namespace sondrel
