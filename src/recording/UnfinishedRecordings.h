// Recordings that were never exported: what a killed run, a failed export that was not
// retried or a wizard closed before its export leaves in the recordings folder. Each is one
// album in the making: "temp3.wav" with its journal and track files beside it (see
// CRecordingJournal). Finds them, mends their header, cuts them the way automatic splitting
// does, and clears away what holds no audio.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

struct UnfinishedRecording {
    std::filesystem::path path;
    double seconds = 0;        // length of the audio the recording holds
    std::time_t modified = 0;  // when it was last written
    // Empty for a recording that can be exported; otherwise why it cannot ("holds no audio",
    // "not a WAV file", "a link, skipped", ...).
    std::string problem;
    // From its journal: what the user typed (tagged), the tracks once it was cut (0 before)
    // and how many of them already reached the album folder.
    bool tagged = false;
    std::string artist;
    std::string album;
    std::size_t trackCount = 0;
    std::size_t exportedCount = 0;

    bool CanBeRecovered() const { return problem.empty(); }
};

// Whether name is one a recording gets: "temp<N>.wav".
bool IsRecordingFileName(const std::filesystem::path& name);

// The recordings of folder that no running program holds, newest first, one per recording
// (track files and journals are part of theirs). A recording that cannot be read or
// understood is listed with its problem, never skipped silently, and never stops the scan; a
// link in a recording's name is listed as one and never followed. A folder that does not
// exist holds none. Any thread.
std::vector<UnfinishedRecording> FindUnfinishedRecordings(const std::filesystem::path& folder);

// Reads one recording (and its journal) as the scan does.
UnfinishedRecording InspectRecording(const std::filesystem::path& path);

// Whether path names a recording in folder: a file (not a link) of a recording's name right
// inside it. What --recover accepts.
bool IsRecordingIn(const std::filesystem::path& path, const std::filesystem::path& folder);

// Clears what no running program holds and no export needs: recordings that hold no audio,
// journals whose recording is gone (its export ended or it was discarded), track files and
// temporary journals without a journal. Returns what was removed.
std::vector<std::filesystem::path> RemoveLeftovers(const std::filesystem::path& folder);

// Removes a recording with every file that belongs to it, its journal last, so that a kill
// part-way leaves a journal without a recording, which the next start clears away.
void RemoveRecordingFiles(const std::filesystem::path& path);

// Deletes an unfinished recording the user confirmed giving up. E_FAIL, leaving it, while a
// running program holds it.
HRESULT DeleteUnfinishedRecording(const std::filesystem::path& path);

// Writes the header's sizes for the whole frames the file holds and cuts off a partial last
// frame, so that a recording whose run was killed reads back complete. The caller holds the
// file's lock. E_FAIL, with the file left alone, for anything but a recording in the
// program's own format.
HRESULT RepairRecordingHeader(const std::filesystem::path& path);

// Runs the track detector over a recording as the capture thread does while recording with
// automatic splitting, and returns the track ends as byte offsets into its data (empty when
// it found no tracks). A recording that stops before the side's quiet end keeps its last
// part as a track of its own. E_FAIL when the file cannot be read.
HRESULT DetectTrackMarks(const std::filesystem::path& path, std::vector<std::uint64_t>& marks);

}  // namespace sondrel
