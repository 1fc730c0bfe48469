// The track page's paint: the whole page (background, overview with its cuts, ruler and
// labels, close view, tools) rendered through the window's own paint path, as the median of
// many runs, once its pictures are complete (target: under 5 ms).
// Usage: TrackPagePaintBench [runs] [minutes]
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "export/qt/CWizTrackPage.h"
#include "ui/SkinPicture.h"

using namespace sondrel;

namespace {

// Programme-like noise with a quiet gap every three minutes.
bool WriteSide(const std::filesystem::path& path, std::uint64_t frames) {
    std::ofstream out(path, std::ios::binary);
    const auto data = static_cast<std::uint32_t>(frames * 4);
    const std::uint32_t header[] = {0x46464952, 36 + data, 0x45564157, 0x20746d66, 16,  0x00020001,
                                    44100,      44100 * 4, 0x00100004, 0x61746164, data};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    std::vector<std::int16_t> block(44100 * 2);
    std::uint32_t state = 7;
    for (std::uint64_t second = 0; second < frames / 44100; ++second) {
        const int level = second % 180 < 3 ? 50 : 4000 + static_cast<int>(second % 37) * 300;
        for (auto& s : block) {
            state = state * 1664525u + 1013904223u;
            s = static_cast<std::int16_t>(static_cast<int>(state >> 16) % level);
        }
        out.write(reinterpret_cast<const char*>(block.data()), block.size() * 2);
    }
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitSkinResources();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 45;
    QTemporaryDir work;
    const std::filesystem::path side = work.filePath(QStringLiteral("side.wav")).toStdString();
    const std::uint64_t frames = static_cast<std::uint64_t>(minutes) * 60 * 44100;
    if (!work.isValid() || !WriteSide(side, frames))
        return 1;
    std::vector<std::uint64_t> marks;
    for (std::uint64_t at = 180; at * 44100 < frames; at += 180)
        marks.push_back(at * 44100 * 4);
    marks.push_back(frames * 4);
    TrackPageState state;
    state.Reset(side, marks, frames);
    state.cuts.Select(3);
    CWizTrackPage page;
    page.SetState(&state);
    page.Prepare();
    page.Refresh();
    QElapsedTimer waited;
    waited.start();
    while (!(page.Overview()->PictureDone() && page.CloseUp()->PictureDone()) &&
           waited.elapsed() < 60000)
        page.OnTimer();
    page.OnTimer();
    std::printf("picture of %d minutes ready after %lld ms\n", minutes,
                static_cast<long long>(waited.elapsed()));

    QImage target(page.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        page.render(&target);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("track page paint at %dx%d: median %.3f ms, slowest %.3f ms (target < 5 ms)\n",
                page.width(), page.height(), median, times.back());
    return median < 5.0 ? 0 : 1;
}
