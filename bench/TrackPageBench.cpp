// The track page's engine costs.
//   TrackPageBench --overview FILE COLUMNS   the whole-recording picture of FILE, once (timed
//                                            from outside against SoX by overview-vs-sox.sh)
//   TrackPageBench --listen-latency [RUNS]   from Space to the first sound on the simulated
//                                            output: median and largest, in ms (target 100)
//   TrackPageBench                           Google Benchmark: the column reduction per MB
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/sim/CSimPlatform.h"
#include "recording/CSectionPlayer.h"
#include "recording/CWaveOverview.h"

using namespace sondrel;

namespace {

using Clock = std::chrono::steady_clock;

int Overview(const char* path, long columns) {
    CWaveOverview overview;
    // The file's length decides the columns' spans (a plain 44-byte header).
    std::error_code ec;
    const std::uint64_t frames = (std::filesystem::file_size(path, ec) - 44) / 4;
    if (ec || Failed(overview.Compute(path, 0, frames, static_cast<std::size_t>(columns)))) {
        std::fprintf(stderr, "TrackPageBench: cannot read %s\n", path);
        return 1;
    }
    return 0;
}

// The output ring of the simulated system, timed: when the device was told to play and where
// the first bytes went, so the first sound's moment is known.
class TimedRing final : public IOutputRing {
public:
    explicit TimedRing(std::unique_ptr<IOutputRing> inner) : m_inner(std::move(inner)) {}
    std::uint32_t SizeBytes() const override { return m_inner->SizeBytes(); }
    HRESULT GetCurrentPosition(std::uint32_t& play, std::uint32_t& write) override {
        return m_inner->GetCurrentPosition(play, write);
    }
    HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, RingRegions& regions) override {
        if (!m_firstOffset)
            m_firstOffset = offset;
        return m_inner->Lock(offset, bytes, regions);
    }
    HRESULT Unlock(const RingRegions& regions) override { return m_inner->Unlock(regions); }
    HRESULT PlayLooping() override {
        if (m_playAt == Clock::time_point{})
            m_playAt = Clock::now();
        return m_inner->PlayLooping();
    }
    HRESULT Stop() override { return m_inner->Stop(); }

    static inline Clock::time_point m_playAt{};
    static inline std::uint32_t m_firstOffset = 0;

private:
    std::unique_ptr<IOutputRing> m_inner;
};

class TimedAudio final : public IAudioSystem {
public:
    explicit TimedAudio(IAudioSystem& inner) : m_inner(inner) {}
    HRESULT EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& d) override {
        return m_inner.EnumerateCaptureDevices(d);
    }
    HRESULT EnumerateOutputDevices(std::vector<AudioDeviceEntry>& d) override {
        return m_inner.EnumerateOutputDevices(d);
    }
    HRESULT CreateCaptureRing(const GUID& id, const WAVEFORMATEX& f, std::uint32_t b,
                              std::unique_ptr<ICaptureRing>& ring) override {
        return m_inner.CreateCaptureRing(id, f, b, ring);
    }
    HRESULT CreateOutputRing(const GUID& id, const WAVEFORMATEX& f, std::uint32_t b,
                             std::unique_ptr<IOutputRing>& ring) override {
        std::unique_ptr<IOutputRing> inner;
        const HRESULT hr = m_inner.CreateOutputRing(id, f, b, inner);
        if (Succeeded(hr))
            ring = std::make_unique<TimedRing>(std::move(inner));
        return hr;
    }

private:
    IAudioSystem& m_inner;
};

int ListenLatency(int runs) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "listen-bench.wav";
    {
        std::vector<std::int16_t> samples(10 * 44100 * 2, 1000);
        const std::uint32_t data = static_cast<std::uint32_t>(samples.size() * 2);
        const std::uint32_t header[] = {0x46464952, 36 + data,  0x45564157, 0x20746d66,
                                        16,         0x00020001, 44100,      44100 * 4,
                                        0x00100004, 0x61746164, data};
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header), sizeof header);
        out.write(reinterpret_cast<const char*>(samples.data()), data);
    }
    auto platform = CSimPlatform::CreateDefault();
    TimedAudio audio(platform->SimAudio());
    CSectionPlayer player(audio, platform->SimAudio().DefaultOutputDevice());
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        TimedRing::m_playAt = {};
        TimedRing::m_firstOffset = 0;
        platform->SimAudio().ClearOutputRecords();
        const Clock::time_point space = Clock::now();
        player.Play(path, 5 * 44100 - 3 * 44100, 5 * 44100 + 3 * 44100);
        while (TimedRing::m_playAt == Clock::time_point{})
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        // The device plays from the start of the ring: the lead before the first byte is
        // heard first.
        const double leadMs = TimedRing::m_firstOffset * 1000.0 / (44100 * 4);
        ms.push_back(
            std::chrono::duration<double, std::milli>(TimedRing::m_playAt - space).count() +
            leadMs);
        player.Stop();
    }
    std::filesystem::remove(path);
    std::sort(ms.begin(), ms.end());
    std::printf("first sound after Space: median %.1f ms, largest %.1f ms (%d runs)\n",
                ms[ms.size() / 2], ms.back(), runs);
    return 0;
}

void BM_WidenColumn(benchmark::State& state) {
    std::vector<std::int16_t> samples(262144 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(i * 2654435761u >> 16);
    for (auto _ : state) {
        OverviewColumn column{32767, -32768, 32767, -32768};
        WidenColumn(column, samples.data(), samples.size() / 2);
        benchmark::DoNotOptimize(column);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(samples.size() * 2));
}
BENCHMARK(BM_WidenColumn);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--overview") == 0)
        return Overview(argv[2], std::atol(argv[3]));
    if (argc >= 2 && std::strcmp(argv[1], "--listen-latency") == 0)
        return ListenLatency(argc > 2 ? std::max(1, std::atoi(argv[2])) : 50);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
