// Audio-file benchmarks: 16-bit to float conversion throughput (Google Benchmark), and a
// command-line mode that records a WAV file through the processing writer with normalisation,
// so the whole pass can be timed and measured against other tools as one command:
//   AudioFileBench --make-file out.wav MINUTES     synthetic 16-bit stereo programme material
//   AudioFileBench --normalise in.wav out.wav      copy through CWaveProcessWriter, then normalise
// Anything else runs the Google Benchmark suite.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "audiofile/CFileError.h"
#include "audiofile/CPcmFmtConvertLite.h"
#include "audiofile/CPcmFmtConverter.h"
#include "audiofile/CWaveProcessWriter.h"
#include "audiofile/CWaveReader.h"
#include "audiofile/CWaveWriter.h"

using namespace sondrel;

namespace {

std::vector<std::uint8_t> NoiseBlock(std::size_t bytes) {
    std::vector<std::uint8_t> block(bytes);
    std::mt19937 rng(1);
    for (auto& b : block)
        b = static_cast<std::uint8_t>(rng());
    return block;
}

void BM_Int16ToFloat(benchmark::State& state) {
    const auto input = NoiseBlock(static_cast<std::size_t>(state.range(0)));
    std::vector<float> output(input.size() / 2);
    CPcmFmtConverter converter;
    converter.SetSourceFormat(CaptureFormat());
    converter.SetDestFormat(FloatStreamFormat());
    converter.ResetState();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            converter.Convert(input.data(), input.size(), output.data(), output.size() * 4));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_Int16ToFloat)->Arg(1764)->Arg(kChunkBytes);

void BM_FloatToInt16(benchmark::State& state) {
    const std::size_t samples = kChunkBytes / 2;
    std::vector<float> source(samples);
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> dist(-1.2f, 1.2f);
    for (float& f : source)
        f = dist(rng);
    std::vector<float> work(samples);
    std::vector<std::uint8_t> output(samples * 2);
    CPcmFmtConvertLite converter;
    converter.SetSourceFormat(FloatStreamFormat());
    converter.SetDestFormat(CaptureFormat());
    converter.ResetState();
    for (auto _ : state) {
        // The light converter scales its input in place, so each round starts from a copy.
        std::memcpy(work.data(), source.data(), samples * 4);
        benchmark::DoNotOptimize(
            converter.ConvertSimple(work.data(), samples * 4, output.data(), output.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * samples * 4));
}
BENCHMARK(BM_FloatToInt16);

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int MakeFile(const char* path, double minutes) {
    CWaveWriter writer;
    if (Failed(writer.Create(path, CaptureFormat()))) {
        std::fprintf(stderr, "cannot create %s\n", path);
        return 1;
    }
    const std::size_t totalFrames =
        static_cast<std::size_t>(minutes * 60 * kCaptureFramesPerSecond);
    std::vector<std::int16_t> block(kChunkBytes / 2);
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 300.0f);
    std::size_t frame = 0;
    try {
        while (frame < totalFrames) {
            const std::size_t frames = std::min(block.size() / 2, totalFrames - frame);
            for (std::size_t i = 0; i < frames; ++i, ++frame) {
                const double t = static_cast<double>(frame) / kCaptureFramesPerSecond;
                // A few partials with a slow swell, peaking near -6 dB.
                const double swell = 0.6 + 0.4 * std::sin(2 * M_PI * 0.05 * t);
                const double v = swell * (6000 * std::sin(2 * M_PI * 220 * t) +
                                          4000 * std::sin(2 * M_PI * 331 * t) +
                                          2500 * std::sin(2 * M_PI * 1250 * t));
                block[2 * i] = static_cast<std::int16_t>(v + noise(rng));
                block[2 * i + 1] = static_cast<std::int16_t>(0.8 * v + noise(rng));
            }
            writer.Write(block.data(), frames * 4);
        }
    } catch (const CFileError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return writer.Close() == S_OK ? 0 : 1;
}

// Reads in.wav in 1 MiB chunks, measuring the peak as the capture thread does, writes it through
// a processing writer and closes it with normalisation on.
int Normalise(const char* inPath, const char* outPath) {
    const auto start = std::chrono::steady_clock::now();
    ComPtr<CWaveReader> reader = ComPtr<CWaveReader>::Attach(new CWaveReader);
    WAVEFORMATEX format{};
    std::uint64_t dataBytes = 0;
    if (Failed(reader->Open(inPath, 0)) || Failed(reader->GetFormat(&format, nullptr)) ||
        Failed(reader->GetDataSize(&dataBytes)) || format.wBitsPerSample != 16) {
        std::fprintf(stderr, "cannot read %s as 16-bit PCM\n", inPath);
        return 1;
    }
    CWaveProcessWriter writer;
    if (Failed(writer.Create(outPath, format))) {
        std::fprintf(stderr, "cannot create %s\n", outPath);
        return 1;
    }
    std::vector<std::int16_t> block(kChunkBytes / 2);
    int peak = 0;
    try {
        for (std::uint64_t at = 0; at < dataBytes; at += kChunkBytes) {
            const auto bytes =
                static_cast<std::int32_t>(std::min<std::uint64_t>(kChunkBytes, dataBytes - at));
            if (Failed(reader->ReadAt(block.data(), static_cast<std::int64_t>(at), bytes)))
                return 1;
            for (std::int32_t i = 0; i < bytes / 2; ++i)
                peak = std::max(peak, std::abs(int{block[i]}));
            writer.Write(block.data(), static_cast<std::size_t>(bytes));
        }
        const double copySeconds = Seconds(start);
        const float peakDb =
            peak > 0 ? static_cast<float>(20 * std::log10(peak / 32768.0)) : -120.0f;
        writer.SetProcessing(true, false, peakDb, -120.0f);
        writer.SetRetryPause(std::chrono::milliseconds(100));
        const auto passStart = std::chrono::steady_clock::now();
        const HRESULT hr = writer.Close();
        std::fprintf(stderr, "copy %.2f s, header+pass+close %.2f s, peak %.2f dB\n", copySeconds,
                     Seconds(passStart), peakDb);
        return hr == S_OK ? 0 : 1;
    } catch (const CFileError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--make-file") == 0)
        return MakeFile(argv[2], std::atof(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "--normalise") == 0)
        return Normalise(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
