// The whole per-region chain of a recording (gain, RIAA equaliser, file write, meter, monitor,
// track detector) run by the capture thread over a simulated side in lossless mode, as fast
// as it can go. A whole command, so that it can be timed beside other programs:
//
//   RecordingChainBench --file side.wav [--out out.wav]   record a WAV side (16-bit stereo)
//   RecordingChainBench --demo-minutes N [--out out.wav]  N minutes of the demo side, then
//                                                         silence, without detection
//
// Prints the audio length, the wall time, the speed as a multiple of real time and the peak
// resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/sim/CSimPlatform.h"
#include "recording/CRecordInputDSound.h"
#include "recording/CSourceEqualiser.h"

using namespace sondrel;

namespace {

// The simulated ring hands over up to a second per poll, so the thread need not sleep.
class NoSleepThreads final : public IThreadServices {
public:
    explicit NoSleepThreads(IThreadServices& inner) : m_inner(inner) {}
    void SleepMs(std::uint32_t) override { std::this_thread::yield(); }
    std::uint64_t MonotonicMs() override { return m_inner.MonotonicMs(); }
    bool RaiseCurrentThreadPriority() override { return m_inner.RaiseCurrentThreadPriority(); }
    HRESULT BeginTimerPeriod(std::uint32_t ms) override { return m_inner.BeginTimerPeriod(ms); }
    HRESULT EndTimerPeriod(std::uint32_t ms) override { return m_inner.EndTimerPeriod(ms); }

private:
    IThreadServices& m_inner;
};

int Usage() {
    std::fprintf(
        stderr,
        "usage: RecordingChainBench (--file side.wav | --demo-minutes N) [--out out.wav]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    double demoMinutes = 0;
    std::string out = "/tmp/recording-chain-bench.wav";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--file") == 0)
            file = argv[i + 1];
        else if (std::strcmp(argv[i], "--demo-minutes") == 0)
            demoMinutes = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
        else
            return Usage();
    }
    if (file.empty() == (demoMinutes <= 0))
        return Usage();

    auto platform = CSimPlatform::CreateDefault();
    platform->SimAudio().SetOutputRecordLimit(0);  // keep no log of the monitor
    const bool detect = !file.empty();
    std::uint64_t targetBytes = 0;
    if (detect) {
        std::string error;
        if (Failed(platform->Deck().LoadWav(file, error))) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        targetBytes = platform->Deck().SideFrames() * kCaptureBlockAlign;
    } else {
        targetBytes = static_cast<std::uint64_t>(demoMinutes * 60) * kCaptureBytesPerSecond;
    }

    NoSleepThreads threads(platform->Threads());
    auto input = ComPtr<CRecordInputDSound>::Attach(new CRecordInputDSound(
        platform->Audio(), threads, platform->SimAudio().DeckDevice(), GUID{}));
    if (Failed(input->OpenFile(out)) || Failed(input->OpenCapture(nullptr))) {
        std::fprintf(stderr, "cannot open the input on %s\n", out.c_str());
        return 1;
    }
    input->SetSourceFilter(kSourceFilterRiaa);
    input->SetGain(3.0f);
    input->SetDetection(detect);
    input->SetProcessingFlags(false, false);

    const auto start = std::chrono::steady_clock::now();
    input->StartWriting();
    platform->StartDeck();
    // Writing may also end by itself at a quiet end of the side.
    while (input->BytesWritten() < targetBytes && input->IsWriting())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    input->StopWriting();
    const HRESULT closed = input->CloseCapture();
    std::vector<std::uint64_t> marks;
    input->TakeMarks(marks);
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const double audioSeconds = static_cast<double>(input->BytesWritten()) / kCaptureBytesPerSecond;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("audio %.1f s, wall %.3f s, %.1f x real time, %zu marks, peak RSS %ld KiB%s\n",
                audioSeconds, wallSeconds, audioSeconds / wallSeconds, marks.size(),
                usage.ru_maxrss, Succeeded(closed) ? "" : " (closing failed)");
    return Succeeded(closed) ? 0 : 1;
}
