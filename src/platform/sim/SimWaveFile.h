// Sides for the simulated deck from PCM WAV files: 16-bit at 44100 Hz, mono or stereo. A side
// is streamed from its file (a long side costs no memory); mono is spread to both channels.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audiofile/CWaveReader.h"
#include "base/CUnknownStandAlone.h"
#include "base/Result.h"

namespace sondrel {

// An open side file, read on demand.
struct SimSideFile {
    ComPtr<CWaveReader> reader;
    std::uint16_t channels = 0;
    std::uint64_t frames = 0;

    // Writes frames [firstFrame, firstFrame + frameCount) as interleaved stereo into out (room
    // for frameCount frames); what cannot be read becomes silence. Never allocates.
    void Render(std::uint64_t firstFrame, std::uint32_t frameCount, std::int16_t* out) const;
};

// Opens and checks a side file; E_FAIL with a message as for LoadSimSideFromWav.
HRESULT OpenSimSideWav(const std::filesystem::path& path, SimSideFile& side, std::string& error);

// E_FAIL with a message saying what is wrong for a missing, unreadable, truncated or
// unsupported file (other rates, sizes or encodings); samples is then left empty.
HRESULT LoadSimSideFromWav(const std::filesystem::path& path, std::vector<std::int16_t>& samples,
                           std::string& error);

}  // namespace sondrel
