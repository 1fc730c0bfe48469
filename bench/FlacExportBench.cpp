// The FLAC export of an album as the wizard runs it: its tracks (WAV files, as the recorder
// cuts them) encoded, verified, tagged and put in a new album folder. A whole command, so that
// it can be timed beside `flac -5` on the same audio:
//
//   FlacExportBench --prepare side.wav TRACKS DIR   cut a 16-bit stereo WAV side into TRACKS
//                                                   equal track files in DIR (not timed)
//   FlacExportBench --export DIR OUT                export DIR's tracks as FLAC into OUT (the
//                                                   tracks are linked first: DIR stays whole)
//
// Prints the audio length, the wall time and the peak resident memory.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audiofile/CWaveReader.h"
#include "export/CWavExporter.h"
#include "recording/CutIntoTracks.h"

using namespace sondrel;
namespace fs = std::filesystem;

namespace {

int Prepare(const fs::path& side, int tracks, const fs::path& folder) {
    auto reader = ComPtr<CWaveReader>::Attach(new CWaveReader());
    WAVEFORMATEX format{};
    std::uint64_t bytes = 0;
    if (Failed(reader->Open(side, 0)) || Failed(reader->GetFormat(&format, nullptr)) ||
        Failed(reader->GetDataSize(&bytes)) || tracks < 1) {
        std::fprintf(stderr, "cannot read %s\n", side.c_str());
        return 2;
    }
    fs::create_directories(folder);
    std::vector<std::uint64_t> marks;
    std::vector<fs::path> names;
    const std::uint64_t frames = bytes / format.nBlockAlign;
    for (int i = 1; i <= tracks; ++i) {
        marks.push_back(frames * static_cast<std::uint64_t>(i) /
                        static_cast<std::uint64_t>(tracks) * format.nBlockAlign);
        char name[32];
        std::snprintf(name, sizeof name, "track%02d.wav", i);
        names.push_back(folder / name);
    }
    int writeError = 0;
    return Failed(CutIntoTracks(*reader, format, marks, names, writeError)) ? 1 : 0;
}

int Export(const fs::path& folder, const fs::path& out) {
    // The export removes the tracks it encoded: it gets links of its own to them.
    const fs::path work = out / ".tracks";
    fs::remove_all(out);
    fs::create_directories(work);
    std::vector<std::string> tracks;
    std::uint64_t audioBytes = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".wav")
            tracks.push_back(entry.path().string());
    }
    std::sort(tracks.begin(), tracks.end());
    std::vector<std::string> titles;
    for (auto& track : tracks) {
        const fs::path link = work / fs::path(track).filename();
        fs::create_hard_link(track, link);
        audioBytes += fs::file_size(track) - 44;
        track = link.string();
        titles.push_back(fs::path(track).stem().string());
    }
    const auto started = std::chrono::steady_clock::now();
    CWavExporter exporter([&out] { return out; });
    exporter.SetFormat(ExportFormat::Flac);
    ComPtr<IProgressStatus> progress;
    exporter.StartExport(tracks, "Bench", titles, "Album", "", progress);
    exporter.WaitForExport();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    fs::remove_all(work);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%zu tracks, %.1f min of audio: exported as FLAC in %.2f s; peak memory %ld MiB\n",
                tracks.size(), static_cast<double>(audioBytes) / 176400.0 / 60.0, seconds,
                usage.ru_maxrss / 1024);
    if (progress->GetResult() != S_OK) {
        std::fprintf(stderr, "the export failed: %s\n", exporter.FailureReason().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "--prepare")
        return Prepare(args[1], std::atoi(args[2].c_str()), args[3]);
    if (args.size() == 3 && args[0] == "--export")
        return Export(args[1], args[2]);
    std::fprintf(stderr,
                 "usage: FlacExportBench --prepare side.wav TRACKS DIR | --export DIR OUT\n");
    return 2;
}
