// Test rig for recordings through the simulated devices: a platform that wraps the simulated
// one with fast, pausable sleeps (so the capture thread can be held still between polls) and a
// capture ring that can be made to hang, plus a scratch folder and WAV helpers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

#include "audiofile/CWaveReader.h"
#include "audiofile/WaveTestUtil.h"
#include "common/SignalKit.h"
#include "platform/sim/CSimPlatform.h"

namespace sondrel::test {

// Sleeps of 1 ms instead of 10 (the lossless ring lets the thread take a second per poll),
// and a gate: while paused, a sleeping capture thread waits, having processed everything.
class PausableThreads final : public IThreadServices {
public:
    explicit PausableThreads(IThreadServices& inner) : m_inner(inner) {}

    void SleepMs(std::uint32_t) override {
        std::unique_lock lock(m_mutex);
        ++m_sleeps;
        if (m_paused) {
            m_parked = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return !m_paused; });
            m_parked = false;
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::uint64_t MonotonicMs() override { return m_inner.MonotonicMs(); }
    bool RaiseCurrentThreadPriority() override { return m_inner.RaiseCurrentThreadPriority(); }
    HRESULT BeginTimerPeriod(std::uint32_t ms) override { return m_inner.BeginTimerPeriod(ms); }
    HRESULT EndTimerPeriod(std::uint32_t ms) override { return m_inner.EndTimerPeriod(ms); }

    // Holds the capture thread at its next sleep and waits until it is there.
    void PauseAndPark() {
        std::unique_lock lock(m_mutex);
        m_paused = true;
        ASSERT_TRUE(m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_parked; }));
    }
    void Resume() {
        std::lock_guard lock(m_mutex);
        m_paused = false;
        m_changed.notify_all();
    }
    std::uint64_t Sleeps() {
        std::lock_guard lock(m_mutex);
        return m_sleeps;
    }

private:
    IThreadServices& m_inner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_paused = false;
    bool m_parked = false;
    std::uint64_t m_sleeps = 0;
};

// A capture ring that can be made to hang in GetCurrentPosition, like a driver that stalls.
class HangableCaptureRing final : public ICaptureRing {
public:
    HangableCaptureRing(std::unique_ptr<ICaptureRing> inner, std::atomic<int>& hang)
        : m_inner(std::move(inner)), m_hang(hang) {}
    std::uint32_t SizeBytes() const override { return m_inner->SizeBytes(); }
    HRESULT StartLooping() override { return m_inner->StartLooping(); }
    HRESULT Stop() override { return m_inner->Stop(); }
    HRESULT GetCurrentPosition(std::uint32_t& capture, std::uint32_t& read) override {
        if (m_hang.load() == 1) {
            m_hang.store(2);  // hanging now
            while (m_hang.load() == 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return m_inner->GetCurrentPosition(capture, read);
    }
    HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, RingRegions& regions) override {
        return m_inner->Lock(offset, bytes, regions);
    }
    HRESULT Unlock(const RingRegions& regions) override { return m_inner->Unlock(regions); }
    bool WaitsForConsumer() const override { return m_inner->WaitsForConsumer(); }

private:
    std::unique_ptr<ICaptureRing> m_inner;
    std::atomic<int>& m_hang;
};

class HangableAudio final : public IAudioSystem {
public:
    explicit HangableAudio(IAudioSystem& inner) : m_inner(inner) {}
    HRESULT EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& d) override {
        return m_inner.EnumerateCaptureDevices(d);
    }
    HRESULT EnumerateOutputDevices(std::vector<AudioDeviceEntry>& d) override {
        return m_inner.EnumerateOutputDevices(d);
    }
    HRESULT CreateCaptureRing(const GUID& id, const WAVEFORMATEX& format, std::uint32_t bytes,
                              std::unique_ptr<ICaptureRing>& ring) override {
        std::unique_ptr<ICaptureRing> inner;
        const HRESULT hr = m_inner.CreateCaptureRing(id, format, bytes, inner);
        if (Succeeded(hr))
            ring = std::make_unique<HangableCaptureRing>(std::move(inner), hang);
        return hr;
    }
    HRESULT CreateOutputRing(const GUID& id, const WAVEFORMATEX& format, std::uint32_t bytes,
                             std::unique_ptr<IOutputRing>& ring) override {
        return m_inner.CreateOutputRing(id, format, bytes, ring);
    }
    // 1: hang at the next position query; 2: hanging; 0: go on.
    std::atomic<int> hang{0};

private:
    IAudioSystem& m_inner;
};

class TestPlatform final : public IPlatform {
public:
    TestPlatform()
        : sim(CSimPlatform::CreateDefault()), threads(sim->Threads()), audio(sim->Audio()) {}
    IUsbDeviceList& Usb() override { return sim->Usb(); }
    IAudioSystem& Audio() override { return audio; }
    IMixerSystem& Mixers() override { return sim->Mixers(); }
    ICaptureEndpoints& Endpoints() override { return sim->Endpoints(); }
    IThreadServices& Threads() override { return threads; }
    ISystemInfo& System() override { return sim->System(); }
    IShell& Shell() override { return sim->Shell(); }

    std::unique_ptr<CSimPlatform> sim;
    PausableThreads threads;
    HangableAudio audio;
};

// Interleaved stereo, both channels alike.
inline void AppendTone(std::vector<std::int16_t>& side, double hz, double amplitude,
                       double seconds) {
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v =
            hz == 0 ? amplitude : amplitude * std::sin(2 * std::numbers::pi * hz * i / 44100.0);
        const auto s = static_cast<std::int16_t>(std::lround(v));
        side.push_back(s);
        side.push_back(s);
    }
}

inline void AppendSilence(std::vector<std::int16_t>& side, double seconds) {
    side.insert(side.end(), static_cast<std::size_t>(seconds * 44100) * 2, 0);
}

}  // namespace sondrel::test
