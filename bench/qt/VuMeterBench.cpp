// The level meter's cost: one paint at design size, and the start-record page's 50 ms timer
// tick with the meter repainted, each as the median of many runs (targets: 1 ms and 2 ms).
// Usage: VuMeterBench [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/qt/CWizStartRecordDlg.h"
#include "tests/qt/FakePageRecorder.h"
#include "ui/CVuMeters.h"
#include "ui/SkinPicture.h"

using namespace sondrel;

namespace {

// Levels that move every call, as a playing record's do.
class MovingLevels : public FakePageRecorder {
public:
    HRESULT GetLevels(float& l, float& r, float& hl, float& hr, bool&) override {
        m_phase = (m_phase + 7) % 39;
        l = -36.0f + static_cast<float>(m_phase);
        r = l - 2.0f;
        hl = l + 1.0f;
        hr = r + 1.0f;
        return S_OK;
    }

private:
    int m_phase = 0;
};

template <typename F>
double MedianMs(int runs, F&& work) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(runs));
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        work(i);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitSkinResources();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    PageServices services;
    MovingLevels recorder;
    StartRecordPageState state;
    state.recorder = &recorder;
    state.monoCheckPending = false;
    CWizStartRecordDlg page(services);
    page.SetState(&state);
    page.Prepare();
    page.show();
    for (int i = 0; i < 100 && !(page.windowHandle() && page.windowHandle()->isExposed()); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    CVuMeters* meter = page.Meter();

    QImage target(meter->size(), QImage::Format_ARGB32_Premultiplied);
    const double paintMs = MedianMs(runs, [&](int i) {
        meter->SetLevels(-30.0f + i % 30, -28.0f + i % 25, -3.0f, -2.0f);
        QPainter painter(&target);
        meter->Render(painter);
    });
    const double tickMs = MedianMs(runs, [&](int) {
        page.OnTimer();
        // The paint the tick asks for, done at once through the window's backing store.
        QApplication::processEvents();
    });
    std::printf("meter paint at %dx%d: median %.3f ms (target < 1 ms)\n", meter->width(),
                meter->height(), paintMs);
    std::printf("start-record page tick with the meter: median %.3f ms (target < 2 ms)\n", tickMs);
    return paintMs < 1.0 && tickMs < 2.0 ? 0 : 1;
}
