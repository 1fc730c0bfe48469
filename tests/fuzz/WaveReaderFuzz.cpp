// Fuzz target for the WAV reader: every input is opened twice, from memory and through the
// file path (a file in /dev/shm where there is one, so nothing touches the disk), every query is
// asked, and reads at awkward positions must agree byte for byte between the two.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audiofile/CWaveReader.h"

using namespace sondrel;

namespace {

struct Outcome {
    HRESULT open = 0;
    std::vector<HRESULT> results;
    std::vector<std::uint8_t> bytes;
};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

Outcome Exercise(CWaveReader* reader, HRESULT openResult) {
    Outcome o;
    o.open = openResult;
    WAVEFORMATEXTENSIBLE ext{};
    ext.Format.cbSize = kExtensibleExtraSize;
    std::uint32_t bits = 0;
    o.results.push_back(reader->GetFormat(&ext.Format, &bits));
    WAVEFORMATEX plain{};
    o.results.push_back(reader->GetFormat(&plain, nullptr));
    o.results.push_back(reader->IsOpen());
    std::uint64_t size = 0, frames = 0;
    std::uint32_t rate = 0;
    o.results.push_back(reader->GetDataSize(&size));
    o.results.push_back(reader->GetFrameCount(&frames));
    o.results.push_back(reader->GetSampleRate(&rate));
    Check(reader->GetStreamCount() == 1);
    if (Failed(openResult)) {
        Check(reader->IsOpen() == S_FALSE);
        return o;
    }

    const std::int64_t dataEnd = static_cast<std::int64_t>(size);
    const std::int64_t positions[] = {-8,          0,        1,           dataEnd - 4,
                                      dataEnd - 1, dataEnd,  dataEnd + 1, 0xFFFFFFFFll - 8,
                                      INT64_MIN,   INT64_MAX};
    // The largest count crosses the reader's buffer size and takes the direct path.
    const std::int32_t counts[] = {0, 1, 17, 4096, 140000};
    constexpr std::size_t kGuardBytes = 64;
    for (std::int64_t pos : positions) {
        for (std::int32_t count : counts) {
            // Guard bytes after the count must stay as they were.
            std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count) + kGuardBytes, 0xA5);
            const HRESULT hr = reader->ReadAt(buffer.data(), pos, count);
            o.results.push_back(hr);
            for (std::size_t i = static_cast<std::size_t>(count); i < buffer.size(); ++i) {
                Check(buffer[i] == 0xA5);
            }
            // Only the small reads are compared; the large one differs only in its length.
            if (Succeeded(hr) && count <= 4096) {
                o.bytes.insert(o.bytes.end(), buffer.begin(), buffer.begin() + count);
            }
        }
    }
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CWaveReader* fromMemory = new CWaveReader;
    const Outcome a = Exercise(fromMemory, fromMemory->OpenMemory(data, size));
    fromMemory->Release();

    // A file in memory (tmpfs) under a plain name: the reader opens no path through a link,
    // so a memfd's /proc/self/fd link would not do.
    static const std::string path = [] {
        std::error_code ec;
        const bool shm = std::filesystem::is_directory("/dev/shm", ec);
        return ((shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
                ("wave-fuzz-" + std::to_string(::getpid()) + ".wav"))
            .string();
    }();
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (written == size) {
        CWaveReader* fromFile = new CWaveReader;
        const Outcome b = Exercise(fromFile, fromFile->Open(path, 0));
        fromFile->Release();
        Check(a.open == b.open && a.results == b.results && a.bytes == b.bytes);
    }
    ::unlink(path.c_str());
    return 0;
}
