// The track page's picture with the mouse: dragging a cut (one edit, kept a second from its
// neighbours), double-clicking to add one, and clicking to listen from a place.
#include <QtTest>
#include <vector>

#include "export/TrackPageState.h"
#include "export/qt/CTrackOverview.h"

using namespace sondrel;

class TrackPageTest : public QObject {
    Q_OBJECT
private slots:
    void theMouseMovesAddsAndListens() {
        constexpr std::uint64_t kRate = TrackPageState::kFramesPerSecond;
        constexpr std::uint64_t kFrames = 60 * kRate;
        TrackPageState state;
        state.Reset("no-recording.wav", {20 * kRate * 4, 40 * kRate * 4, kFrames * 4}, kFrames);
        int notes = 0;
        state.noteMarks = [&notes](const std::vector<std::uint64_t>&) {
            ++notes;
            return S_OK;
        };
        CTrackOverview overview;
        overview.SetState(&state);
        overview.resize(700, 140);
        overview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&overview));
        const int y = overview.WaveRect().center().y();
        const auto at = [&](std::uint64_t seconds) {
            return QPoint(overview.FrameToX(seconds * kRate), y);
        };
        const auto drag = [&](QPoint from, QPoint to) {
            QTest::mousePress(&overview, Qt::LeftButton, {}, from);
            QTest::mouseMove(&overview, (from + to) / 2);
            QTest::mouseMove(&overview, to);
            QTest::mouseRelease(&overview, Qt::LeftButton, {}, to);
        };

        // The second cut dragged to 30 s: one move, noted once.
        drag(at(40), at(30));
        QCOMPARE(state.cuts.Cuts().size(), std::size_t{2});
        QCOMPARE(state.cuts.Cuts()[1], overview.XToFrame(at(30).x()));
        QCOMPARE(notes, 1);

        // The first dragged past the second stops a second before it.
        drag(at(20), at(45));
        QCOMPARE(state.cuts.Cuts()[0] + CTrackCuts::kMinTrackFrames, state.cuts.Cuts()[1]);
        QCOMPARE(notes, 2);

        // A double-click where there is no cut adds one there.
        QTest::mouseDClick(&overview, Qt::LeftButton, {}, at(50));
        QCOMPARE(state.cuts.Cuts().size(), std::size_t{3});
        QCOMPARE(state.cuts.Cuts()[2], overview.XToFrame(at(50).x()));

        // A click away from the markers listens from there and changes no cut.
        const std::vector<std::uint64_t> before = state.cuts.Cuts();
        QTest::mouseClick(&overview, Qt::LeftButton, {}, at(10));
        QCOMPARE(state.ListeningFrame(), overview.XToFrame(at(10).x()));
        QCOMPARE(state.cuts.Cuts(), before);

        // Each drag and the add are one undo step each.
        QVERIFY(state.Undo() && state.Undo() && state.Undo());
        QCOMPARE(state.cuts.Cuts(), (std::vector<std::uint64_t>{20 * kRate, 40 * kRate}));
    }
};

QTEST_MAIN(TrackPageTest)
#include "TrackPageTest.moc"
