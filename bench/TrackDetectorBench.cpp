// Throughput of the track detector's Feed on the capture path: band-pass filtering of every
// frame plus the activity pass over each half-second block. The "x_realtime" counter says how
// many seconds of audio one second of processing handles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "recording/CTrackDetector.h"

namespace {

constexpr int kRate = 44100;

// Ten seconds of music-like stereo audio with a little noise, fed in 10 ms regions as the
// capture thread does.
std::vector<std::int16_t> MakeSide() {
    std::vector<std::int16_t> samples(2 * 10 * kRate);
    std::uint32_t seed = 1;
    for (int i = 0; i < 10 * kRate; ++i) {
        const double t = static_cast<double>(i) / kRate;
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<int>(seed >> 20) - 2048;
        const double v = 6000 * std::sin(2 * std::numbers::pi * 440 * t) +
                         3000 * std::sin(2 * std::numbers::pi * 523 * t) + noise;
        samples[2 * i] = static_cast<std::int16_t>(v);
        samples[2 * i + 1] = static_cast<std::int16_t>(0.8 * v);
    }
    return samples;
}

void BM_TrackDetectorFeed(benchmark::State& state) {
    const std::vector<std::int16_t> side = MakeSide();
    const std::size_t regionFrames = static_cast<std::size_t>(state.range(0));
    std::vector<sondrel::DetectedTrack> tracks;
    sondrel::CTrackDetector detector;
    std::size_t framesFed = 0;
    for (auto _ : state) {
        // Start over now and then so the activity list stays within its reservation.
        if (detector.Activities().size() > 20000 || framesFed == 0) {
            state.PauseTiming();
            detector.Prepare(44100.0f, &tracks);
            state.ResumeTiming();
        }
        const std::size_t frames = side.size() / 2;
        for (std::size_t at = 0; at < frames; at += regionFrames) {
            const std::size_t n = std::min(regionFrames, frames - at);
            benchmark::DoNotOptimize(detector.Feed(side.data() + 2 * at, 2 * n));
        }
        framesFed += frames;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(framesFed));
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(framesFed) / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TrackDetectorFeed)->Arg(441)->Arg(4410)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
