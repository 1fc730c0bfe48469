// The simulated record deck behind the USB capture device: silence until it is started,
// then the side from its first sample (the generated demo side, a WAV file or given
// samples), then silence again.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Result.h"
#include "platform/sim/CSimDemoSide.h"
#include "platform/sim/SimWaveFile.h"

namespace sondrel {

// Threading: choosing the side (Use..., LoadWav) happens on the main thread while no capture
// ring of the deck's device is running. StartDeck, StopDeck and the queries may be called
// from any thread at any time. Render is called by one capture thread at a time; it never
// blocks and never allocates.
class CSimDeck {
public:
    CSimDeck() = default;

    void UseDemoSide();
    void UseSilence();
    // Interleaved 16-bit stereo frames.
    void UseSamples(std::vector<std::int16_t> interleavedStereo);
    // Plays the file from disk as it goes. E_FAIL with a message when the file cannot be
    // played; the side is then silence.
    HRESULT LoadWav(const std::filesystem::path& path, std::string& error);

    // Puts the needle down: the next rendered frame is the side's first. Starting again
    // restarts the side.
    void StartDeck();
    void StopDeck();

    bool IsStarted() const { return m_playing.load(std::memory_order_acquire); }
    std::uint64_t SideFrames() const;
    // Frames of the side rendered since the last start (at most SideFrames()).
    std::uint64_t FramesPlayed() const;
    bool IsSideFinished() const;
    // Started on a side that has frames (not endless silence) and played to its end.
    bool IsSideOver() const { return SideFrames() > 0 && IsSideFinished(); }
    // The side is finished and its capture ring has handed every frame of it on: a recording
    // that stops now holds the whole side.
    bool IsSideRecorded() const;

    // Holding: the deck plays up to the given frame of the side and no further until released,
    // and a lossless capture ring waits for it instead of filling in silence. Once the capture
    // side has taken everything up to that frame, a mark lands on exactly that frame.
    void HoldAt(std::uint64_t sideFrame);
    void ReleaseHold();
    // The deck's USB device disappears once the side has played to this frame (as if it were
    // unplugged there); its capture ring then reports the device lost. Main thread, before
    // rings are created.
    void SetVanishAt(std::uint64_t sideFrame) { m_vanishAtFrame = sideFrame; }
    bool HasVanished() const { return IsStarted() && FramesPlayed() >= m_vanishAtFrame; }
    // Frames the deck may render now: unlimited unless it is playing and held, vanishing or
    // on a side with an end (a side that is over has none left).
    std::uint64_t RenderableFrames() const;
    // Held at its frame, and the capture ring has handed every rendered frame on.
    bool IsHeldAndDrained() const;
    // Called by the capture ring: whether everything rendered so far was consumed.
    void NoteRingDrained(bool drained) { m_ringDrained.store(drained, std::memory_order_release); }
    const CSimDemoSide& DemoSide() const { return m_demo; }

    // Fills frames frames; returns how many of them came from the side (the rest is silence).
    std::uint32_t Render(std::int16_t* out, std::uint32_t frames);

private:
    enum class Source { Demo, Silence, Samples, File };

    Source m_source = Source::Demo;
    CSimDemoSide m_demo;
    std::vector<std::int16_t> m_samples;
    SimSideFile m_file;

    std::atomic<bool> m_playing{false};
    std::atomic<std::uint32_t> m_startCount{0};
    // Renderer's side of the start handshake and its position in the side.
    std::atomic<std::uint32_t> m_seenStartCount{0};
    std::atomic<std::uint64_t> m_positionFrames{0};
    static constexpr std::uint64_t kNoHold = ~std::uint64_t{0};
    std::atomic<std::uint64_t> m_holdAtFrame{kNoHold};
    std::atomic<bool> m_ringDrained{false};
    std::uint64_t m_vanishAtFrame = kNoHold;
};

}  // namespace sondrel
