// What the track page works on, without a window: the recording's cuts as the user mends them
// (each edit noted in the recording's journal at once), where the user is listening, and the
// times the page shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "recording/CTrackCuts.h"

namespace sondrel {

class CSectionPlayer;

struct TrackPageState {
    static constexpr std::uint64_t kFramesPerSecond = 44100;
    // Left and Right move the selected cut this far; with Shift ten times as far.
    static constexpr std::int64_t kStepFrames = kFramesPerSecond / 10;
    static constexpr std::int64_t kBigStepFrames = kFramesPerSecond;
    // Listening to a cut plays this long before and after it.
    static constexpr std::uint64_t kListenAroundFrames = 3 * kFramesPerSecond;

    std::filesystem::path recording;
    std::uint64_t recordingFrames = 0;
    CTrackCuts cuts{0, {}};
    // Notes the marks of each edit (the recorder's journal); may be empty.
    std::function<HRESULT(const std::vector<std::uint64_t>& marks)> noteMarks;
    // The track lengths of a side looked up online, in milliseconds; empty when none was.
    std::vector<std::uint64_t> sideLengthsMs;
    // Plays through the listen-through output; null when there is none.
    CSectionPlayer* player = nullptr;
    // Something was edited since Reset: the track files must be made again.
    bool changed = false;
    // A journal write failed: the edits are on screen only.
    bool noteFailed = false;

    // A new showing for a recording of recordingFrames with the journal's marks (empty: one
    // track). The first cut is selected; the listening position is the middle of the longest
    // track, where a missing cut most likely belongs.
    void Reset(const std::filesystem::path& path, const std::vector<std::uint64_t>& marks,
               std::uint64_t frames);
    // The marks for the journal: as the recorder writes them, empty for one whole track.
    std::vector<std::uint64_t> Marks() const;

    // Each returns whether the cuts changed; a change is noted at once.
    bool Move(std::int64_t deltaFrames);
    bool MoveTo(std::uint64_t frame);
    bool Add(std::uint64_t frame);
    bool AddAtListening() { return Add(ListeningFrame()); }
    bool Remove();
    // Moves the selected cut to the quietest moment within a second of it.
    bool Snap();
    bool Undo();
    // Whether there is a looked-up side to place the cuts by: more than one track, each but
    // the last with a known length.
    bool CanPlaceAtSideLengths() const;
    // Puts the cuts where the side's tracks end, each at the quietest moment near its listed
    // end (one undo step).
    bool PlaceAtSideLengths();

    // Space: plays from 3 s before to 3 s after the selected cut, or stops what plays.
    void ToggleListenAroundCut();
    // Plays from frame to the end of the recording.
    void ListenFrom(std::uint64_t frame);
    void StopListening();
    bool Listening() const;
    // Where the user is listening, or stopped listening last.
    std::uint64_t ListeningFrame() const;

    // What the selection is, for the page's status line and assistive tools: "Cut 2 of 3 at
    // 1:02.500, 4 tracks".
    std::string SelectionText() const;

    // "3:07" for a track's length, "1:02:07" past an hour.
    static std::string LengthText(std::uint64_t frames);
    // "3:07.250" for where a cut is.
    static std::string PositionText(std::uint64_t frame);

private:
    bool Changed(bool changed);
    void Play(std::uint64_t from, std::uint64_t to);

    std::uint64_t m_listenFrame = 0;
    bool m_played = false;
};

}  // namespace sondrel
