// The cuts between the tracks of a recording as the user mends them: frame positions inside
// the recording, every track at least a second long, one of them selected, and every change
// undoable. The recorder's marks (byte offsets of track ends) convert to and from it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace sondrel {

// Threads: one owner (the user-interface thread).
class CTrackCuts {
public:
    static constexpr std::uint64_t kMinTrackFrames = 44100;  // one second

    // The tracks of a recording whose last track ends at endFrame, cut at cuts (ascending,
    // each inside (0, endFrame)). Cuts that break the limits are dropped.
    CTrackCuts(std::uint64_t endFrame, const std::vector<std::uint64_t>& cuts);
    // From the recorder's marks: each the byte offset at which a track ends (none: one track
    // that ends at recordingFrames).
    static CTrackCuts FromMarks(const std::vector<std::uint64_t>& marks,
                                std::uint64_t recordingFrames);
    // The marks for these cuts: the cuts, then the end of the last track.
    std::vector<std::uint64_t> ToMarks() const;

    const std::vector<std::uint64_t>& Cuts() const { return m_cuts; }
    std::uint64_t EndFrame() const { return m_endFrame; }
    std::size_t TrackCount() const { return m_cuts.size() + 1; }
    // Frames of track index (0-based).
    std::uint64_t TrackFrames(std::size_t index) const;

    // The selected cut, or -1 when there is none.
    int Selected() const { return m_selected; }
    void Select(int index);
    // Selects the next or previous cut (wrapping), for Tab and the arrow keys.
    void SelectNext(int step);

    // Each returns whether anything changed; a change can be undone.
    // Moves the selected cut by deltaFrames, stopping a second short of its neighbours.
    bool MoveSelected(std::int64_t deltaFrames);
    // Moves the selected cut to frame, within the same limits.
    bool MoveSelectedTo(std::uint64_t frame);
    // Adds a cut at frame and selects it; refused closer than a second to a cut or an end.
    bool Add(std::uint64_t frame);
    bool RemoveSelected();
    // Puts cuts (kept as the constructor keeps them) in place of all the cuts, as one change,
    // and selects the first.
    bool ReplaceAll(const std::vector<std::uint64_t>& cuts);
    // Moves the selected cut to quietest(from, to): the quietest frame within a second either
    // side (within the limits).
    bool SnapSelected(
        const std::function<std::uint64_t(std::uint64_t from, std::uint64_t to)>& quietest);
    bool Undo();
    bool CanUndo() const { return !m_history.empty(); }

private:
    struct Snapshot {
        std::vector<std::uint64_t> cuts;
        int selected;
    };
    // The range the selected cut may take.
    void Limits(std::uint64_t& low, std::uint64_t& high) const;
    void Remember();

    std::uint64_t m_endFrame;
    std::vector<std::uint64_t> m_cuts;
    int m_selected = -1;
    std::vector<Snapshot> m_history;
};

}  // namespace sondrel
