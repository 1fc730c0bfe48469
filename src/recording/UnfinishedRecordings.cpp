#include "recording/UnfinishedRecordings.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <memory>

#include "audiofile/CFile.h"
#include "audiofile/CFileError.h"
#include "audiofile/CWaveWriter.h"
#include "base/WaveFormat.h"
#include "recording/CRecordingLock.h"
#include "recording/CTrackDetector.h"

namespace sondrel {

namespace {

std::uint32_t U32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint16_t U16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

// What the header of a recording says, read from its first bytes and its length.
struct HeaderFacts {
    std::string problem;
    std::uint64_t dataStartBytes = 0;
    std::uint64_t dataBytes = 0;  // whole frames, from the file's length
};

HeaderFacts ReadHeaderFacts(const std::filesystem::path& path, std::uint64_t fileBytes) {
    HeaderFacts facts;
    std::array<std::uint8_t, kWaveHeaderBytes> h{};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        facts.problem = "cannot be read";
        return facts;
    }
    in.read(reinterpret_cast<char*>(h.data()), h.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got >= 12 &&
        (std::memcmp(h.data(), "RIFF", 4) != 0 || std::memcmp(h.data() + 8, "WAVE", 4) != 0)) {
        facts.problem = "not a WAV file";
        return facts;
    }
    if (got < h.size()) {
        facts.problem = "its header is cut short";
        return facts;
    }
    // The recorder writes one canonical header; anything else did not come from a recording.
    const WAVEFORMATEX expected = CaptureFormat();
    if (std::memcmp(h.data() + 12, "fmt ", 4) != 0 || U32(h.data() + 16) != 16 ||
        std::memcmp(h.data() + 36, "data", 4) != 0 || U16(h.data() + 20) != expected.wFormatTag ||
        U16(h.data() + 22) != expected.nChannels || U32(h.data() + 24) != expected.nSamplesPerSec ||
        U16(h.data() + 32) != expected.nBlockAlign ||
        U16(h.data() + 34) != expected.wBitsPerSample) {
        facts.problem = "not a recording of this program";
        return facts;
    }
    facts.dataStartBytes = kWaveHeaderBytes;
    // The header may lag the data by up to its update interval after a kill: the file's
    // length tells what it holds.
    const std::uint64_t data = std::min(fileBytes - kWaveHeaderBytes, kWaveMaxDataBytes);
    facts.dataBytes = data / kCaptureBlockAlign * kCaptureBlockAlign;
    if (facts.dataBytes == 0)
        facts.problem = "holds no audio";
    return facts;
}

}  // namespace

UnfinishedRecording InspectRecording(const std::filesystem::path& path) {
    UnfinishedRecording recording;
    recording.path = path;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        recording.problem = "cannot be read";
        return recording;
    }
    recording.modified = info.st_mtime;
    const HeaderFacts facts = ReadHeaderFacts(path, static_cast<std::uint64_t>(info.st_size));
    recording.problem = facts.problem;
    recording.seconds =
        static_cast<double>(facts.dataBytes) / static_cast<double>(kCaptureBytesPerSecond);
    return recording;
}

std::vector<UnfinishedRecording> FindUnfinishedRecordings(const std::filesystem::path& folder) {
    std::vector<UnfinishedRecording> found;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        if (path.extension() != ".wav" || !it->is_regular_file(ec))
            continue;
        if (CRecordingLock::IsHeldElsewhere(path))
            continue;  // a running Sondrel is recording or exporting it
        found.push_back(InspectRecording(path));
    }
    std::stable_sort(
        found.begin(), found.end(), [](const UnfinishedRecording& a, const UnfinishedRecording& b) {
            return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
        });
    return found;
}

HRESULT DeleteUnfinishedRecording(const std::filesystem::path& path) {
    CRecordingLock lock;
    if (!lock.Take(path))
        return E_FAIL;
    std::error_code ec;
    return std::filesystem::remove(path, ec) ? S_OK : E_FAIL;
}

HRESULT RepairRecordingHeader(const std::filesystem::path& path) {
    const UnfinishedRecording recording = InspectRecording(path);
    if (!recording.CanBeRecovered())
        return E_FAIL;
    std::error_code ec;
    const std::uint64_t fileBytes = std::filesystem::file_size(path, ec);
    if (ec)
        return E_FAIL;
    const HeaderFacts facts = ReadHeaderFacts(path, fileBytes);
    if (!facts.problem.empty())
        return E_FAIL;
    // Plain opening: the caller's lock is on another opening of this file.
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file)
        return E_FAIL;
    const auto header = BuildWaveHeader(CaptureFormat(), facts.dataStartBytes + facts.dataBytes);
    file.write(reinterpret_cast<const char*>(header.data()), header.size());
    file.close();
    if (!file)
        return E_FAIL;
    if (fileBytes != facts.dataStartBytes + facts.dataBytes)
        std::filesystem::resize_file(path, facts.dataStartBytes + facts.dataBytes, ec);
    return ec ? E_FAIL : S_OK;
}

HRESULT DetectTrackMarks(const std::filesystem::path& path, std::vector<std::uint64_t>& marks) {
    marks.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return E_FAIL;
    in.seekg(kWaveHeaderBytes);
    std::vector<DetectedTrack> tracks;
    tracks.reserve(64);
    auto detector = std::make_unique<CTrackDetector>();
    if (Failed(detector->Prepare(static_cast<float>(kCaptureFramesPerSecond), &tracks)))
        return E_FAIL;
    std::vector<std::int16_t> chunk(kCaptureBytesPerSecond / sizeof(std::int16_t));
    std::uint64_t dataBytes = 0;
    bool sideEnded = false;
    for (;;) {
        in.read(reinterpret_cast<char*>(chunk.data()),
                static_cast<std::streamsize>(chunk.size() * sizeof(std::int16_t)));
        const auto bytes =
            static_cast<std::size_t>(in.gcount()) / kCaptureBlockAlign * kCaptureBlockAlign;
        if (bytes == 0)
            break;
        dataBytes += bytes;
        // Writing stops at the end of the side; what follows it would not have been recorded.
        if (detector->Feed(chunk.data(), bytes / sizeof(std::int16_t))) {
            sideEnded = true;
            break;
        }
    }
    if (in.bad())
        return E_FAIL;
    const HRESULT hr = detector->Segment();
    for (const DetectedTrack& track : tracks) {
        const std::int64_t endFrame = track.EndFrame();
        marks.push_back(endFrame > 0 ? static_cast<std::uint64_t>(endFrame) * kCaptureBlockAlign
                                     : 0);
    }
    // A recording cut short (the run was killed) has no quiet end for the cutting to drop:
    // what follows the last track found is the song that was playing, and is kept.
    if (!sideEnded && !marks.empty() && marks.back() < dataBytes)
        marks.push_back(dataBytes);
    return hr;
}

}  // namespace sondrel
