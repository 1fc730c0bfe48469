#include "app/CutsArgument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "base/WaveFormat.h"
#include "recording/CRecordingJournal.h"
#include "recording/CTrackCuts.h"
#include "recording/UnfinishedRecordings.h"

namespace sondrel {

namespace {

// A recording's marks (its journal's, else what the track detector finds) and its frames.
HRESULT RecordingMarks(const std::string& path, std::vector<std::uint64_t>& marks,
                       std::uint64_t& frames, std::size_t& exported) {
    frames = static_cast<std::uint64_t>(std::llround(InspectRecording(path).seconds *
                                                     static_cast<double>(kCaptureFramesPerSecond)));
    CRecordingJournal journal(path);
    if (Failed(journal.Load()))
        return E_FAIL;
    const RecordingJournalData data = journal.Data();
    exported = data.ExportedCount();
    if (data.marks) {
        marks = *data.marks;
        return S_OK;
    }
    return DetectTrackMarks(path, marks);
}

std::string Seconds(std::uint64_t frame) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f",
                  static_cast<double>(frame) / static_cast<double>(kCaptureFramesPerSecond));
    return text;
}

}  // namespace

HRESULT ApplyCuts(const std::string& path, std::vector<double> seconds, std::string& error) {
    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    std::size_t exported = 0;
    if (Failed(RecordingMarks(path, marks, frames, exported))) {
        error = path + ": its cuts cannot be read";
        return E_FAIL;
    }
    if (exported > 0) {
        error = "--cut: tracks of " + path + " are already exported; its cuts stay";
        return E_FAIL;
    }
    const std::uint64_t end = marks.empty() ? frames : marks.back() / kCaptureBlockAlign;
    std::sort(seconds.begin(), seconds.end());
    std::vector<std::uint64_t> cuts;
    for (const double at : seconds) {
        const auto frame = static_cast<std::uint64_t>(
            std::llround(at * static_cast<double>(kCaptureFramesPerSecond)));
        const std::uint64_t previous = cuts.empty() ? 0 : cuts.back();
        if (frame == 0 || frame >= end) {
            error = "--cut " + Seconds(frame) + ": outside the recording (0.000 to " +
                    Seconds(end) + " s)";
            return E_FAIL;
        }
        if (frame < previous + CTrackCuts::kMinTrackFrames ||
            frame + CTrackCuts::kMinTrackFrames > end) {
            const std::uint64_t near =
                frame < previous + CTrackCuts::kMinTrackFrames ? previous : end;
            error = "--cut " + Seconds(frame) + ": closer than 1 s to " +
                    (near == 0     ? std::string("the start")
                     : near == end ? "the end (" + Seconds(end) + " s)"
                                   : Seconds(near));
            return E_FAIL;
        }
        cuts.push_back(frame);
    }
    CRecordingJournal journal(path);
    journal.Load();
    RecordingJournalData data = journal.Data();
    data.marks = CTrackCuts(end, cuts).ToMarks();
    data.cut = false;
    if (Failed(journal.Update(data))) {
        error = path + ": its journal cannot be written";
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ListCuts(const std::string& path, std::ostream& out) {
    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    std::size_t exported = 0;
    if (Failed(RecordingMarks(path, marks, frames, exported)))
        return E_FAIL;
    for (std::size_t i = 0; i + 1 < marks.size(); ++i)
        out << Seconds(marks[i] / kCaptureBlockAlign) << "\n";
    return S_OK;
}

}  // namespace sondrel
