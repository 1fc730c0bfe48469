#include "platform/sim/SimWaveFile.h"

#include <algorithm>
#include <cstring>

#include "audiofile/CWaveReader.h"
#include "base/CUnknownStandAlone.h"

namespace sondrel {

HRESULT OpenSimSideWav(const std::filesystem::path& path, SimSideFile& side, std::string& error) {
    side = SimSideFile{};
    const std::string name = path.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot open the side file " + name;
        return E_FAIL;
    }
    const std::uint64_t fileBytes = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot read the side file " + name;
        return E_FAIL;
    }

    // The side is the user's own file, named on purpose: a link to it is followed here, as
    // the reader itself follows none.
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    ComPtr<CWaveReader> reader = ComPtr<CWaveReader>::Attach(new CWaveReader());
    if (ec || Failed(reader->Open(resolved, 0))) {
        error = name + " is not a readable RIFF/WAVE file";
        return E_FAIL;
    }
    WAVEFORMATEX format{};
    std::uint64_t dataBytes = 0;
    if (Failed(reader->GetFormat(&format, nullptr)) || Failed(reader->GetDataSize(&dataBytes))) {
        error = name + " has no usable format";
        return E_FAIL;
    }
    const std::uint16_t channels = format.nChannels;
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.wBitsPerSample != 16 ||
        format.nSamplesPerSec != 44100 || (channels != 1 && channels != 2) ||
        format.nBlockAlign != 2 * channels) {
        error = name + ": only 16-bit PCM at 44100 Hz, mono or stereo, can be played (found tag " +
                std::to_string(format.wFormatTag) + ", " + std::to_string(channels) +
                " channels, " + std::to_string(format.nSamplesPerSec) + " Hz, " +
                std::to_string(format.wBitsPerSample) + " bits)";
        return E_FAIL;
    }
    // A data size that claims more than the file holds is cut to what the file has.
    side.reader = reader;
    side.channels = channels;
    side.frames = std::min(dataBytes, fileBytes) / format.nBlockAlign;
    return S_OK;
}

void SimSideFile::Render(std::uint64_t firstFrame, std::uint32_t frameCount,
                         std::int16_t* out) const {
    const std::uint64_t available = firstFrame < frames ? frames - firstFrame : 0;
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(frameCount, available));
    if (n > 0 && reader) {
        const std::int64_t position = static_cast<std::int64_t>(firstFrame * channels * 2);
        if (Failed(reader->ReadAt(out, position, static_cast<std::int32_t>(n * channels * 2)))) {
            std::memset(out, 0, static_cast<std::size_t>(n) * 4);
        } else if (channels == 1) {
            // Spread in place from the end, so no sample is overwritten before it is read.
            for (std::uint32_t i = n; i-- > 0;) {
                out[2 * i] = out[2 * i + 1] = out[i];
            }
        }
    }
    std::memset(out + static_cast<std::size_t>(n) * 2, 0,
                static_cast<std::size_t>(frameCount - n) * 4);
}

HRESULT LoadSimSideFromWav(const std::filesystem::path& path, std::vector<std::int16_t>& samples,
                           std::string& error) {
    samples.clear();
    SimSideFile side;
    if (Failed(OpenSimSideWav(path, side, error)))
        return E_FAIL;
    samples.resize(side.frames * 2);
    const std::uint32_t chunkFrames = kChunkBytes / 4;
    for (std::uint64_t frame = 0; frame < side.frames; frame += chunkFrames) {
        const auto n =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkFrames, side.frames - frame));
        side.Render(frame, n, samples.data() + frame * 2);
    }
    return S_OK;
}

}  // namespace sondrel
