#include "recording/CutIntoTracks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "audiofile/CFileError.h"
#include "audiofile/CWaveWriter.h"
#include "recording/DurableStep.h"

namespace sondrel {

namespace {

HRESULT CutTrack(IPcmReader& reader, const WAVEFORMATEX& format, std::int64_t position,
                 std::int64_t end, const std::filesystem::path& name, std::uint8_t* buffer,
                 int& writeError) {
    ::unlink(name.c_str());
    CWaveWriter writer;
    errno = 0;
    if (Failed(writer.Create(name, format))) {
        writeError = errno != 0 ? errno : EIO;  // a full disk shows here first
        return E_FAIL;
    }
    try {
        while (position < end) {
            const auto bytes = static_cast<std::int32_t>(
                std::min<std::int64_t>(end - position, static_cast<std::int64_t>(kChunkBytes)));
            // A failed read must not write the previous chunk again as this one.
            if (Failed(reader.ReadAt(buffer, position, bytes)))
                return E_FAIL;
            writer.Write(buffer, static_cast<std::size_t>(bytes));
            position += bytes;
        }
        if (Failed(writer.Close()))
            return E_FAIL;
    } catch (const CFileError& error) {
        writeError = error.ErrorNumber() != 0 ? error.ErrorNumber() : EIO;
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace

HRESULT CutIntoTracks(IPcmReader& reader, const WAVEFORMATEX& format,
                      const std::vector<std::uint64_t>& marks,
                      const std::vector<std::filesystem::path>& names, int& writeError) {
    if (names.size() != marks.size())
        return E_FAIL;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kChunkBytes]);
    if (!buffer)
        return E_FAIL;
    std::int64_t start = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const auto end = static_cast<std::int64_t>(marks[i]);
        if (!names[i].empty()) {
            if (Failed(CutTrack(reader, format, start, end, names[i], buffer.get(), writeError))) {
                ::unlink(names[i].c_str());
                return E_FAIL;
            }
            PassDurableStep();
        }
        // A mark at or before the last one makes an empty track.
        start = std::max(start, end);
    }
    return S_OK;
}

}  // namespace sondrel
