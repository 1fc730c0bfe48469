// The recordings folder: made private to the user (mode 0700) and proved writable
// before a recording starts, so that a recording never silently writes nothing.
#pragma once

#include <filesystem>
#include <string>

#include "base/Result.h"

namespace sondrel {

// Creates folder and its missing parents (mode 0700), then creates and removes a probe file
// in it. E_FAIL with the system's reason in problem when either cannot be done.
HRESULT PrepareRecordingsFolder(const std::filesystem::path& folder, std::string& problem);

}  // namespace sondrel
