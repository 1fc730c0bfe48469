#include "recording/UnfinishedRecordings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>

#include "audiofile/CFile.h"
#include "audiofile/CFileError.h"
#include "audiofile/CWaveReader.h"
#include "audiofile/CWaveWriter.h"
#include "base/ComPtr.h"
#include "base/WaveFormat.h"
#include "recording/CRecordingJournal.h"
#include "recording/CRecordingLock.h"
#include "recording/CTrackDetector.h"

namespace sondrel {

namespace {

// What the header of a recording says, read once through the WAV reader, and what its length
// holds.
struct HeaderFacts {
    std::string problem;
    std::uint64_t fileBytes = 0;
    std::uint64_t dataStartBytes = 0;
    std::uint64_t dataBytes = 0;  // whole frames, from the file's length
};

bool IsCaptureFormat(const WAVEFORMATEX& format) {
    const WAVEFORMATEX expected = CaptureFormat();
    return format.wFormatTag == expected.wFormatTag && format.nChannels == expected.nChannels &&
           format.nSamplesPerSec == expected.nSamplesPerSec &&
           format.nBlockAlign == expected.nBlockAlign &&
           format.wBitsPerSample == expected.wBitsPerSample;
}

// Reads the header of the recording open on fd (which stays open).
HeaderFacts ReadHeaderFacts(int fd) {
    HeaderFacts facts;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        facts.problem = "cannot be read";
        return facts;
    }
    facts.fileBytes = static_cast<std::uint64_t>(info.st_size);
    auto reader = ComPtr<CWaveReader>::Attach(new CWaveReader);
    const HRESULT opened = reader->OpenDescriptor(fd);
    WAVEFORMATEX format{};
    if (facts.fileBytes >= 12 && !reader->StartsWithWaveForm()) {
        facts.problem = "not a WAV file";
    } else if (facts.fileBytes < kWaveHeaderBytes) {
        facts.problem = "its header is cut short";
    } else if (Failed(opened) || Failed(reader->GetFormat(&format, nullptr)) ||
               !IsCaptureFormat(format) || reader->DataOffsetBytes() != kWaveHeaderBytes) {
        // The recorder writes one canonical header; anything else did not come from a
        // recording.
        facts.problem = "not a recording of this program";
    }
    if (!facts.problem.empty())
        return facts;
    facts.dataStartBytes = kWaveHeaderBytes;
    // The header may lag the data by up to its update interval after a kill: the file's
    // length tells what it holds.
    const std::uint64_t data = std::min(facts.fileBytes - kWaveHeaderBytes, kWaveMaxDataBytes);
    facts.dataBytes = data / kCaptureBlockAlign * kCaptureBlockAlign;
    if (facts.dataBytes == 0)
        facts.problem = "holds no audio";
    return facts;
}

// Opens path without following a link: O_NONBLOCK so that a pipe in a recording's name is
// refused at once instead of waiting for a writer.
int OpenRecording(const std::filesystem::path& path, int access, std::string& problem) {
    const int fd = ::open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        problem = errno == ELOOP ? "a link, skipped" : "cannot be read";
    return fd;
}

// The recording a file of the recordings folder belongs to ("temp3.wav" for "temp3.wav",
// "temp3.journal", "temp3.journal.tmp", "temp3.reserve" and "temp3.track2.wav"); empty for
// any other name.
std::string RecordingNameOf(const std::string& name) {
    if (name.rfind("temp", 0) != 0)
        return {};
    std::size_t end = 4;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end == 4 || end > 12)
        return {};
    const std::string stem = name.substr(0, end);
    const std::string rest = name.substr(end);
    if (rest == ".wav" || rest == ".journal" || rest == ".journal.tmp" || rest == ".reserve")
        return stem + ".wav";
    if (rest.rfind(".track", 0) == 0 && rest.size() > 10 &&
        rest.compare(rest.size() - 4, 4, ".wav") == 0) {
        const std::string number = rest.substr(6, rest.size() - 10);
        if (!number.empty() && number.size() <= 4 &&
            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return stem + ".wav";
    }
    return {};
}

bool Exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsRegularFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool IsRecordingFileName(const std::filesystem::path& name) {
    const std::string text = name.filename().string();
    return RecordingNameOf(text) == text;
}

UnfinishedRecording InspectRecording(const std::filesystem::path& path) {
    UnfinishedRecording recording;
    recording.path = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        recording.problem = "cannot be read";
        return recording;
    }
    if (S_ISLNK(info.st_mode)) {
        recording.problem = "a link, skipped";
        return recording;
    }
    if (!S_ISREG(info.st_mode)) {
        recording.problem = "cannot be read";
        return recording;
    }
    recording.modified = info.st_mtime;
    const int fd = OpenRecording(path, O_RDONLY, recording.problem);
    if (fd >= 0) {
        const HeaderFacts facts = ReadHeaderFacts(fd);
        ::close(fd);
        recording.problem = facts.problem;
        recording.seconds =
            static_cast<double>(facts.dataBytes) / static_cast<double>(kCaptureBytesPerSecond);
    }
    CRecordingJournal journal(path);
    const HRESULT loaded = journal.Load();
    if (Failed(loaded)) {
        if (recording.problem.empty())
            recording.problem = "its journal cannot be read";
        return recording;
    }
    const RecordingJournalData data = journal.Data();
    recording.tagged = data.tagged;
    recording.artist = data.artist;
    recording.album = data.album;
    recording.trackCount = data.TrackCount();
    recording.exportedCount = data.ExportedCount();
    return recording;
}

std::vector<UnfinishedRecording> FindUnfinishedRecordings(const std::filesystem::path& folder) {
    std::vector<UnfinishedRecording> found;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        if (!IsRecordingFileName(path.filename()))
            continue;
        const bool link = it->is_symlink(ec);
        if (!link && !it->is_regular_file(ec))
            continue;
        if (!link && CRecordingLock::IsHeldElsewhere(path))
            continue;  // a running Sondrel is recording or exporting it
        found.push_back(InspectRecording(path));
    }
    std::stable_sort(
        found.begin(), found.end(), [](const UnfinishedRecording& a, const UnfinishedRecording& b) {
            return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
        });
    return found;
}

bool IsRecordingIn(const std::filesystem::path& path, const std::filesystem::path& folder) {
    if (!IsRecordingFileName(path.filename()) || !IsRegularFile(path))
        return false;
    std::error_code ec;
    const std::filesystem::path parent =
        std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec).parent_path(), ec);
    const std::filesystem::path own = std::filesystem::weakly_canonical(folder, ec);
    return !ec && !own.empty() && parent == own;
}

void RemoveRecordingFiles(const std::filesystem::path& path) {
    const std::string recording = path.filename().string();
    const std::filesystem::path journal = CRecordingJournal::JournalPathOf(path);
    std::vector<std::filesystem::path> tracks;
    std::error_code ec;
    std::filesystem::directory_iterator it(path.parent_path(), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name != recording && RecordingNameOf(name) == recording && it->path() != journal) {
            tracks.push_back(it->path());
        }
    }
    ::unlink(path.c_str());
    for (const auto& track : tracks)
        ::unlink(track.c_str());
    CRecordingJournal(path).Remove();
}

std::vector<std::filesystem::path> RemoveLeftovers(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> removed;
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string recording = RecordingNameOf(name);
        if (!recording.empty() && std::find(names.begin(), names.end(), recording) == names.end())
            names.push_back(recording);
    }
    for (const std::string& name : names) {
        const std::filesystem::path path = folder / name;
        struct stat info {};
        const bool present = ::lstat(path.c_str(), &info) == 0;
        if (present && !S_ISREG(info.st_mode))
            continue;  // a link or a folder in a recording's name: never ours to touch
        const bool journalled = Exists(CRecordingJournal::JournalPathOf(path));
        if (present) {
            CRecordingLock lock;
            if (!lock.Take(path))
                continue;  // held by a running program
            const UnfinishedRecording recording = InspectRecording(path);
            const bool empty = recording.problem == "holds no audio" ||
                               recording.problem == "its header is cut short";
            // A recording with a journal stays until its export ends; one without keeps its
            // track files only while they are being made (it has a journal by then).
            const bool exported =
                recording.trackCount > 0 && recording.exportedCount == recording.trackCount;
            if ((empty && recording.exportedCount == 0) || exported) {
                RemoveRecordingFiles(path);
                removed.push_back(path);
            } else if (!journalled) {
                // Track files appear only after the journal; without one they are a discard
                // that was cut short.
                std::filesystem::directory_iterator files(folder, ec);
                for (; !ec && files != std::filesystem::directory_iterator(); files.increment(ec)) {
                    const std::filesystem::path& file = files->path();
                    if (file != path && file.extension() != ".reserve" &&
                        RecordingNameOf(file.filename().string()) == name &&
                        ::unlink(file.c_str()) == 0) {
                        removed.push_back(file);
                    }
                }
            }
            continue;
        }
        // No recording: its export ended, or it was discarded, while the run was ended.
        RemoveRecordingFiles(path);
        removed.push_back(CRecordingJournal::JournalPathOf(path));
    }
    return removed;
}

HRESULT DeleteUnfinishedRecording(const std::filesystem::path& path) {
    CRecordingLock lock;
    if (!lock.Take(path))
        return E_FAIL;
    RemoveRecordingFiles(path);
    return Exists(path) ? E_FAIL : S_OK;
}

HRESULT RepairRecordingHeader(const std::filesystem::path& path) {
    // Plain opening: the caller's lock is on another opening of this file.
    std::string problem;
    const int fd = OpenRecording(path, O_RDWR, problem);
    if (fd < 0)
        return E_FAIL;
    const HeaderFacts facts = ReadHeaderFacts(fd);
    const std::uint64_t length = facts.dataStartBytes + facts.dataBytes;
    const auto header = BuildWaveHeader(CaptureFormat(), length);
    HRESULT hr = E_FAIL;
    if (facts.problem.empty() &&
        ::pwrite(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size()) &&
        (facts.fileBytes == length || ::ftruncate(fd, static_cast<off_t>(length)) == 0) &&
        ::fdatasync(fd) == 0) {
        hr = S_OK;
    }
    ::close(fd);
    return hr;
}

HRESULT DetectTrackMarks(const std::filesystem::path& path, std::vector<std::uint64_t>& marks) {
    marks.clear();
    std::ifstream in;
    {
        // Checked first: the stream would follow a link.
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return E_FAIL;
    }
    in.open(path, std::ios::binary);
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
