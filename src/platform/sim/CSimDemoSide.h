// The generated demo side: a short lead-in, several songs of synthetic music (chords and
// plucked notes with envelopes over surface noise) separated by gaps of near-silence, then
// 70 seconds of run-out groove. Every sample is a pure function of its frame number, so the
// side needs no memory and renders identically every time.
#pragma once

#include <cstdint>
#include <vector>

namespace sondrel {

struct SimSideSection {
    std::uint64_t startFrame = 0;
    std::uint64_t frames = 0;
};

class CSimDemoSide {
public:
    static constexpr std::uint32_t kFramesPerSecond = 44100;
    // Surface noise stays within this amplitude outside the songs.
    static constexpr int kNoisePeak = 40;

    CSimDemoSide();

    std::uint64_t TotalFrames() const { return m_totalFrames; }
    const std::vector<SimSideSection>& Songs() const { return m_songs; }
    // The quiet run-out after the last song.
    SimSideSection RunOut() const;

    // Writes frames [firstFrame, firstFrame + frames) as interleaved 16-bit stereo;
    // past the end of the side it writes silence. Never allocates.
    void Render(std::uint64_t firstFrame, std::uint32_t frames, std::int16_t* out) const;

private:
    void SongFrame(std::size_t song, std::uint64_t frameInSong, std::uint64_t songFrames,
                   float& left, float& right) const;

    std::vector<SimSideSection> m_songs;
    std::uint64_t m_totalFrames = 0;
};

}  // namespace sondrel
