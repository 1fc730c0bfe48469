#include "recording/CutIntoTracks.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "audiofile/CFileError.h"
#include "audiofile/CWaveWriter.h"
#include "recording/TempFileName.h"

namespace sondrel {

HRESULT CutIntoTracks(IPcmReader& reader, const WAVEFORMATEX& format,
                      const std::vector<std::uint64_t>& marks, const std::filesystem::path& folder,
                      std::vector<std::filesystem::path>& names, int& writeError) {
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kChunkBytes]);
    if (!buffer)
        return E_FAIL;
    std::int64_t position = 0;
    for (const std::uint64_t mark : marks) {
        std::int64_t length = static_cast<std::int64_t>(mark) - position;
        std::filesystem::path name;
        if (Failed(ReserveTempFileName(folder, name)))
            return E_FAIL;
        names.push_back(name);
        CWaveWriter writer;
        if (Failed(writer.Create(name, format)))
            return E_FAIL;
        try {
            while (length > 0) {
                const auto bytes = static_cast<std::int32_t>(
                    std::min<std::int64_t>(length, static_cast<std::int64_t>(kChunkBytes)));
                // A failed read must not write the previous chunk again as this one.
                if (Failed(reader.ReadAt(buffer.get(), position, bytes)))
                    return E_FAIL;
                writer.Write(buffer.get(), static_cast<std::size_t>(bytes));
                position += bytes;
                length -= bytes;
            }
            if (Failed(writer.Close()))
                return E_FAIL;
        } catch (const CFileError& error) {
            writeError = error.ErrorNumber() != 0 ? error.ErrorNumber() : EIO;
            return E_FAIL;
        }
    }
    return S_OK;
}

}  // namespace sondrel
