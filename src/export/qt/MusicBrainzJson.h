// Reads the MusicBrainz web service's JSON answers (ws/2, fmt=json): a release search and one
// release with its media and tracks. Anything that is not the shape the service sends is
// Malformed; an answer with nothing in it is NoMatch.
#pragma once

#include <QByteArray>
#include <vector>

#include "export/ITitleLookup.h"

namespace sondrel {

// {"releases": [{"id", "score", "title", "date", "country", "artist-credit": [{"name",
// "joinphrase"}], "media": [{"format", "track-count"}], "track-count"}]}; releases without an
// id are left out.
LookupStatus ParseReleaseSearch(const QByteArray& json, std::vector<ReleaseMatch>& matches);

// {"media": [{"position", "tracks": [{"number", "title", "length"}]}]}: every medium's tracks
// in the order of the media's positions.
LookupStatus ParseRelease(const QByteArray& json, std::vector<ReleaseTrack>& tracks);

}  // namespace sondrel
