// Cuts placed from a release's track lengths: where a side's tracks would end if the recording
// started with the first, each moved to the quietest moment nearby, for the user to check.
#pragma once

#include <cstdint>
#include <vector>

#include "audiofile/IPcmReader.h"
#include "base/Result.h"

namespace sondrel {

// How far either side of a track's listed end the cut looks for the gap: listed lengths and
// a record's lead-in are rarely a few seconds off.
inline constexpr std::uint64_t kDurationSnapFrames = 3 * 44100;

// The cuts after each track of lengthsMs but the last (which ends with the recording) in a
// recording of endFrame frames read by `reader`: each at the sum of the lengths before it,
// snapped to the quietest frame within kDurationSnapFrames, kept a second from its neighbours
// and the ends as CTrackCuts requires. Cuts stop at a length the database does not know (0) or
// past the recording's end. E_FAIL when the audio cannot be read.
// Whether lengthsMs can place every cut of its side: more than one track, and every length
// but the last (which ends with the recording) known.
bool CanCutAtDurations(const std::vector<std::uint64_t>& lengthsMs);

HRESULT PlaceCutsAtDurations(IPcmReader& reader, const std::vector<std::uint64_t>& lengthsMs,
                             std::uint64_t endFrame, std::vector<std::uint64_t>& cuts);

}  // namespace sondrel
