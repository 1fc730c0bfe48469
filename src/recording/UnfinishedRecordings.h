// Recordings that were never exported: what a killed run, a failed export that was not
// retried or a wizard closed before its export leaves in the working folder. Finds them,
// mends their header and cuts them into tracks the way automatic splitting does.
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
    double seconds = 0;        // length of the audio the file holds
    std::time_t modified = 0;  // when it was last written
    // Empty for a recording that can be exported; otherwise why it cannot ("holds no audio",
    // "not a WAV file", ...).
    std::string problem;

    bool CanBeRecovered() const { return problem.empty(); }
};

// The WAV files of folder that no running program holds, newest first. A file that cannot be
// read or understood is listed with its problem, never skipped silently, and never stops the
// scan; a folder that does not exist holds none. Any thread.
std::vector<UnfinishedRecording> FindUnfinishedRecordings(const std::filesystem::path& folder);

// Reads one file as the scan does.
UnfinishedRecording InspectRecording(const std::filesystem::path& path);

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
