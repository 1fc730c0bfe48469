#include "export/TrackPageState.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "audiofile/CWaveReader.h"
#include "base/StringTable.h"
#include "recording/CSectionPlayer.h"
#include "recording/CutsAtDurations.h"
#include "recording/QuietestFrame.h"

namespace sondrel {

void TrackPageState::Reset(const std::filesystem::path& path,
                           const std::vector<std::uint64_t>& marks, std::uint64_t frames) {
    StopListening();
    recording = path;
    recordingFrames = frames;
    cuts = CTrackCuts::FromMarks(marks, frames);
    cuts.Select(cuts.Cuts().empty() ? -1 : 0);
    changed = false;
    noteFailed = false;
    m_played = false;
    std::size_t longest = 0;
    for (std::size_t i = 1; i < cuts.TrackCount(); ++i) {
        if (cuts.TrackFrames(i) > cuts.TrackFrames(longest))
            longest = i;
    }
    const std::uint64_t start = longest == 0 ? 0 : cuts.Cuts()[longest - 1];
    m_listenFrame = start + cuts.TrackFrames(longest) / 2;
}

std::vector<std::uint64_t> TrackPageState::Marks() const {
    // One track over the whole recording is the recording itself, as the recorder notes it.
    if (cuts.Cuts().empty() && cuts.EndFrame() == recordingFrames)
        return {};
    return cuts.ToMarks();
}

bool TrackPageState::Changed(bool edited) {
    if (!edited)
        return false;
    changed = true;
    if (noteMarks && Failed(noteMarks(Marks())))
        noteFailed = true;
    return true;
}

bool TrackPageState::Move(std::int64_t deltaFrames) {
    return Changed(cuts.MoveSelected(deltaFrames));
}

bool TrackPageState::MoveTo(std::uint64_t frame) {
    return Changed(cuts.MoveSelectedTo(frame));
}

bool TrackPageState::Add(std::uint64_t frame) {
    return Changed(cuts.Add(frame));
}

bool TrackPageState::Remove() {
    return Changed(cuts.RemoveSelected());
}

bool TrackPageState::Undo() {
    return Changed(cuts.Undo());
}

bool TrackPageState::Snap() {
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    if (!reader || Failed(reader->Open(recording, 0)))
        return false;
    bool readable = true;
    const bool moved = cuts.SnapSelected([&](std::uint64_t from, std::uint64_t to) {
        std::uint64_t frame = from;
        readable = Succeeded(FindQuietestFrame(*reader, from, to, frame));
        return readable ? frame : cuts.Cuts()[static_cast<std::size_t>(cuts.Selected())];
    });
    return Changed(moved && readable);
}

bool TrackPageState::CanPlaceAtSideLengths() const {
    return CanCutAtDurations(sideLengthsMs);
}

bool TrackPageState::PlaceAtSideLengths() {
    if (!CanPlaceAtSideLengths())
        return false;
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    std::vector<std::uint64_t> placed;
    if (!reader || Failed(reader->Open(recording, 0)) ||
        Failed(PlaceCutsAtDurations(*reader, sideLengthsMs, cuts.EndFrame(), placed)))
        return false;
    return Changed(cuts.ReplaceAll(placed));
}

void TrackPageState::Play(std::uint64_t from, std::uint64_t to) {
    m_listenFrame = from;
    m_played = false;
    if (player && Succeeded(player->Play(recording, from, std::min(to, recordingFrames))))
        m_played = true;
}

void TrackPageState::ToggleListenAroundCut() {
    if (Listening()) {
        StopListening();
        return;
    }
    if (cuts.Selected() < 0)
        return;
    const std::uint64_t cut = cuts.Cuts()[static_cast<std::size_t>(cuts.Selected())];
    Play(cut > kListenAroundFrames ? cut - kListenAroundFrames : 0, cut + kListenAroundFrames);
}

void TrackPageState::ListenFrom(std::uint64_t frame) {
    StopListening();
    Play(std::min(frame, recordingFrames), recordingFrames);
}

void TrackPageState::StopListening() {
    if (!player)
        return;
    m_listenFrame = ListeningFrame();
    player->Stop();
}

bool TrackPageState::Listening() const {
    return player && player->IsPlaying();
}

std::uint64_t TrackPageState::ListeningFrame() const {
    // Once this showing played something, the player knows where the sound is or stopped.
    return player && m_played ? player->PositionFrame() : m_listenFrame;
}

std::string TrackPageState::SelectionText() const {
    const std::size_t tracks = cuts.TrackCount();
    const std::string trackText = tracks == 1 ? LoadString(kIdsOneTrack)
                                              : FormatNumberText(LoadString(kIdsTrackCountFormat),
                                                                 static_cast<long long>(tracks));
    if (cuts.Selected() < 0)
        return FillField(LoadString(kIdsNoCut), "tracks", trackText);
    const auto selected = static_cast<std::size_t>(cuts.Selected());
    std::string text = LoadString(kIdsCutPosition);
    text = FillField(text, "cut", std::to_string(selected + 1));
    text = FillField(text, "count", std::to_string(cuts.Cuts().size()));
    text = FillField(text, "time", PositionText(cuts.Cuts()[selected]));
    return FillField(text, "tracks", trackText);
}

std::string TrackPageState::LengthText(std::uint64_t frames) {
    const std::uint64_t seconds = (frames + kFramesPerSecond / 2) / kFramesPerSecond;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                      static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>(seconds / 60 % 60),
                      static_cast<unsigned long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu",
                      static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
    }
    return text;
}

std::string TrackPageState::PositionText(std::uint64_t frame) {
    const std::uint64_t ms = (frame * 1000 + kFramesPerSecond / 2) / kFramesPerSecond;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

}  // namespace sondrel
