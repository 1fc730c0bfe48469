#include "platform/sim/SimWaveFile.h"

#include <algorithm>
#include <cstring>

#include "audiofile/CWaveReader.h"
#include "base/CUnknownStandAlone.h"

namespace sondrel {

HRESULT LoadSimSideFromWav(const std::filesystem::path& path, std::vector<std::int16_t>& samples,
                           std::string& error) {
    samples.clear();
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

    ComPtr<CWaveReader> reader = ComPtr<CWaveReader>::Attach(new CWaveReader());
    if (Failed(reader->Open(path, 0))) {
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
    // A data size that claims more than the file holds must not make us allocate it.
    dataBytes = std::min(dataBytes, fileBytes);
    const std::uint64_t frames = dataBytes / format.nBlockAlign;
    samples.resize(frames * 2);

    std::vector<std::int16_t> chunk(kChunkBytes / 2);
    std::uint64_t frame = 0;
    while (frame < frames) {
        const std::uint64_t chunkFrames =
            std::min<std::uint64_t>(frames - frame, kChunkBytes / format.nBlockAlign);
        const auto bytes = static_cast<std::int32_t>(chunkFrames * format.nBlockAlign);
        if (Failed(reader->ReadAt(chunk.data(),
                                  static_cast<std::int64_t>(frame * format.nBlockAlign), bytes))) {
            samples.clear();
            error = "cannot read the samples of " + name;
            return E_FAIL;
        }
        for (std::uint64_t i = 0; i < chunkFrames; ++i) {
            const std::int16_t left = chunk[i * channels];
            samples[2 * (frame + i)] = left;
            samples[2 * (frame + i) + 1] = channels == 2 ? chunk[i * 2 + 1] : left;
        }
        frame += chunkFrames;
    }
    return S_OK;
}

}  // namespace sondrel
