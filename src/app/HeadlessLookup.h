// --lookup: the headless run's track titles from the release database. The best match for the
// artist and album is taken without asking, and its side's titles fill what --title left out.
#pragma once

#include <iosfwd>

#include "app/CHeadlessHost.h"
#include "export/ITitleLookup.h"

namespace sondrel {

// Fills answers.titles from side `side` of the best release for answers.artist and
// answers.album (titles given stay) and records the side's track count; prints the release
// chosen to `out`. A failed lookup says why on `err` and leaves the answers as they were.
// Returns whether titles were looked up; without a lookup (null) it fails.
bool LookUpHeadlessTitles(ITitleLookup* lookup, char side, HeadlessAnswers& answers,
                          std::ostream& out, std::ostream& err);

// Why a lookup gave nothing, for the headless run's line.
const char* LookupFailureReason(LookupStatus status);

}  // namespace sondrel
