// Where a cut falls best: the quietest moment near it, as the track page's "snap" finds it.
#pragma once

#include <cstdint>

#include "audiofile/IPcmReader.h"
#include "base/Result.h"

namespace sondrel {

// The length of the window whose energy decides: 10 ms.
inline constexpr std::uint64_t kQuietWindowFrames = 441;

// The frame in [from, to] at the middle of the quietest window (the least sum of squares of
// both channels) of the reader's 16-bit stereo data; the earliest among equals. E_FAIL when
// the data cannot be read.
HRESULT FindQuietestFrame(IPcmReader& reader, std::uint64_t from, std::uint64_t to,
                          std::uint64_t& frame);

}  // namespace sondrel
