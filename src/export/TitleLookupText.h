// The lines a title lookup shows on the tag page, from the string table so that language packs
// translate them.
#pragma once

#include <cstddef>
#include <string>

#include "export/ITitleLookup.h"

namespace sondrel {

// The one line that says why a lookup gave nothing; empty for Found.
std::string LookupFailureText(LookupStatus status);

// "Title – Artist (1973, GB, 12" Vinyl, 10 tracks)", leaving out what the database lacks.
std::string DescribeRelease(const ReleaseMatch& match);

// "{count} found: pick the release and the side ..."
std::string FormatPickText(std::size_t matchCount);
// "The empty titles were filled in from {release}."
std::string FormatFilledText(const ReleaseMatch& release);
// The side has a different number of tracks than the recording; cutsOffered: the track page
// can cut the recording at the side's lengths, and the line says so.
std::string FormatCountDiffersText(std::size_t sideTracks, std::size_t recordingTracks,
                                   bool cutsOffered = false);
// "This release has no side {side}."
std::string FormatNoSideText(char side);

}  // namespace sondrel
