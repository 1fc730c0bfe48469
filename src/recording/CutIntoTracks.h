// Cutting a recording into track files at byte marks: each track is a new WAV file holding
// exactly the bytes between two marks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "audiofile/IPcmReader.h"
#include "base/Result.h"
#include "base/WaveFormat.h"

namespace sondrel {

// Writes track i, bytes [mark i-1, mark i) of the reader's data, in format, to names[i]; a
// track whose name is empty is passed over. Whatever stands at a name (a partial file of an
// earlier cut, a link) is replaced, never written through. E_FAIL at the first read, create
// or write that fails; a failed write leaves its errno in writeError, and the partial file is
// removed. Never writes a chunk that was not read.
HRESULT CutIntoTracks(IPcmReader& reader, const WAVEFORMATEX& format,
                      const std::vector<std::uint64_t>& marks,
                      const std::vector<std::filesystem::path>& names, int& writeError);

}  // namespace sondrel
