// Names of the recorder's temporary WAV files: "temp<N>.wav" in the temporary folder, N from 0
// to 9999, taken by exclusive creation so that an existing file is never reused or truncated.
#pragma once

#include <filesystem>

#include "base/Result.h"

namespace sondrel {

inline constexpr int kTempFileNameCount = 10000;

// Creates the first free "temp<N>.wav" in folder (trying from N = 0 each time, so numbers freed
// by a clean-up are used again) and returns its path; the file exists, empty, on success. A
// name is free when nothing of that name exists; the creation itself decides (O_CREAT|O_EXCL),
// so a file that another process makes meanwhile is skipped, never opened. E_FAIL when all
// names are taken or the folder refuses new files.
HRESULT ReserveTempFileName(const std::filesystem::path& folder, std::filesystem::path& path);

}  // namespace sondrel
