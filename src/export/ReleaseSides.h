// Which of a release's tracks belong to one side of a record, and how looked-up titles join
// the ones already typed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "export/ITitleLookup.h"

namespace sondrel {

// The match to take without asking: the highest score, the first among equals. Not for an
// empty list.
std::size_t BestMatch(const std::vector<ReleaseMatch>& matches);

// The side letters the release's track numbers use, upper case in order of first use ("AB",
// "ABCD"); empty when the tracks are numbered without them (a CD, a digital release).
std::string SideLetters(const std::vector<ReleaseTrack>& tracks);

// The tracks of side `side` (numbers "A", "A1", "a2": the letter, then only digits), in
// order; a release without side letters gives all its tracks whatever the side.
std::vector<ReleaseTrack> TracksOfSide(const std::vector<ReleaseTrack>& tracks, char side);

// Puts the side's titles into the titles that are still empty, position by position (typed
// titles stay); titles past the side's tracks stay as they are. The number filled.
std::size_t FillEmptyTitles(std::vector<std::string>& titles,
                            const std::vector<ReleaseTrack>& side);

}  // namespace sondrel
