// --cut and --list-cuts on a recording to recover: the cuts it is exported with, as seconds on
// the command line and as frames in its journal.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

// Puts exactly these cuts (each at frame round(seconds x 44100)) into the recording's journal,
// so that its tracks are made at them. E_FAIL with a message naming the cut that lies outside
// the recording or closer than 1 s to another, or when tracks were already exported.
HRESULT ApplyCuts(const std::string& path, std::vector<double> seconds, std::string& error);

// Prints the recording's cuts (its journal's, else the detected ones), seconds with three
// decimals, one a line; E_FAIL when they cannot be read.
HRESULT ListCuts(const std::string& path, std::ostream& out);

}  // namespace sondrel
