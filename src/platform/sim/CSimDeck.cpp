#include "platform/sim/CSimDeck.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/SimWaveFile.h"

namespace sondrel {

void CSimDeck::UseDemoSide() {
    m_source = Source::Demo;
    m_samples.clear();
    m_file = SimSideFile{};
}

void CSimDeck::UseSilence() {
    m_source = Source::Silence;
    m_samples.clear();
    m_file = SimSideFile{};
}

void CSimDeck::UseSamples(std::vector<std::int16_t> interleavedStereo) {
    m_source = Source::Samples;
    m_samples = std::move(interleavedStereo);
    m_file = SimSideFile{};
    if (m_samples.size() % 2 != 0)
        m_samples.pop_back();
}

HRESULT CSimDeck::LoadWav(const std::filesystem::path& path, std::string& error) {
    SimSideFile file;
    if (Failed(OpenSimSideWav(path, file, error))) {
        UseSilence();
        return E_FAIL;
    }
    m_samples.clear();
    m_file = std::move(file);
    m_source = Source::File;
    return S_OK;
}

void CSimDeck::StartDeck() {
    m_startCount.fetch_add(1, std::memory_order_acq_rel);
    m_playing.store(true, std::memory_order_release);
}

void CSimDeck::StopDeck() {
    m_playing.store(false, std::memory_order_release);
}

std::uint64_t CSimDeck::SideFrames() const {
    switch (m_source) {
        case Source::Demo:
            return m_demo.TotalFrames();
        case Source::Samples:
            return m_samples.size() / 2;
        case Source::File:
            return m_file.frames;
        case Source::Silence:
            break;
    }
    return 0;
}

std::uint64_t CSimDeck::FramesPlayed() const {
    if (m_seenStartCount.load(std::memory_order_acquire) !=
        m_startCount.load(std::memory_order_acquire)) {
        return 0;  // a start the renderer has not picked up yet
    }
    return m_positionFrames.load(std::memory_order_acquire);
}

bool CSimDeck::IsSideFinished() const {
    return IsStarted() && FramesPlayed() >= SideFrames();
}

bool CSimDeck::IsSideRecorded() const {
    return IsSideFinished() && m_ringDrained.load(std::memory_order_acquire);
}

void CSimDeck::HoldAt(std::uint64_t sideFrame) {
    m_holdAtFrame.store(sideFrame, std::memory_order_release);
}

void CSimDeck::ReleaseHold() {
    m_holdAtFrame.store(kNoHold, std::memory_order_release);
}

std::uint64_t CSimDeck::RenderableFrames() const {
    const std::uint64_t sideFrames = SideFrames();
    const std::uint64_t hold = std::min({m_holdAtFrame.load(std::memory_order_acquire),
                                         m_vanishAtFrame, sideFrames > 0 ? sideFrames : kNoHold});
    if (hold == kNoHold || !IsStarted())
        return kNoHold;
    const std::uint64_t position = FramesPlayed();
    return hold > position ? hold - position : 0;
}

bool CSimDeck::IsHeldAndDrained() const {
    const std::uint64_t hold = m_holdAtFrame.load(std::memory_order_acquire);
    if (hold == kNoHold || !IsStarted())
        return false;
    const std::uint64_t played = FramesPlayed();
    return (played >= hold || played >= SideFrames()) &&
           m_ringDrained.load(std::memory_order_acquire);
}

std::uint32_t CSimDeck::Render(std::int16_t* out, std::uint32_t frames) {
    // Before the position moves: whoever sees the new position must not see a drained ring
    // that has not yet handed these frames on.
    if (frames > 0)
        m_ringDrained.store(false, std::memory_order_release);
    const std::uint32_t starts = m_startCount.load(std::memory_order_acquire);
    if (starts != m_seenStartCount.load(std::memory_order_relaxed)) {
        m_positionFrames.store(0, std::memory_order_relaxed);
        m_seenStartCount.store(starts, std::memory_order_release);
    }
    if (!m_playing.load(std::memory_order_acquire)) {
        std::memset(out, 0, static_cast<std::size_t>(frames) * 4);
        return 0;
    }
    const std::uint64_t position = m_positionFrames.load(std::memory_order_relaxed);
    const std::uint64_t sideFrames = SideFrames();
    const std::uint64_t end = std::min(sideFrames, m_vanishAtFrame);
    const std::uint64_t left = end > position ? end - position : 0;
    const auto fromSide = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, left));
    switch (m_source) {
        case Source::Demo:
            m_demo.Render(position, fromSide, out);
            break;
        case Source::Samples:
            std::memcpy(out, m_samples.data() + position * 2,
                        static_cast<std::size_t>(fromSide) * 4);
            break;
        case Source::File:
            m_file.Render(position, fromSide, out);
            break;
        case Source::Silence:
            break;
    }
    std::memset(out + static_cast<std::size_t>(fromSide) * 2, 0,
                static_cast<std::size_t>(frames - fromSide) * 4);
    m_positionFrames.store(position + fromSide, std::memory_order_release);
    return fromSide;
}

}  // namespace sondrel
