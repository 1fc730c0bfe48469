// Loads a side for the simulated deck from a PCM WAV file into memory, as 16-bit stereo
// frames at 44100 Hz (mono files are spread to both channels).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

// E_FAIL with a message saying what is wrong for a missing, unreadable, truncated or
// unsupported file (other rates, sizes or encodings); samples is then left empty.
HRESULT LoadSimSideFromWav(const std::filesystem::path& path, std::vector<std::int16_t>& samples,
                           std::string& error);

}  // namespace sondrel
