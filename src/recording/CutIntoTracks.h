// Cutting a recording into track files at byte marks: each track is a new WAV file beside the
// recording, holding exactly the bytes between two marks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "audiofile/IPcmReader.h"
#include "base/Result.h"
#include "base/WaveFormat.h"

namespace sondrel {

// Writes one file per mark: bytes [previous mark, mark) of the reader's data, in format, under
// names reserved in folder (appended to names as they are made, so a caller can remove them on
// failure). E_FAIL at the first read, create or write that fails; a failed write leaves its
// errno in writeError. Never writes a chunk that was not read.
HRESULT CutIntoTracks(IPcmReader& reader, const WAVEFORMATEX& format,
                      const std::vector<std::uint64_t>& marks, const std::filesystem::path& folder,
                      std::vector<std::filesystem::path>& names, int& writeError);

}  // namespace sondrel
