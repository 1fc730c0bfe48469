// The track page's picture with the mouse: dragging a cut (one edit, kept a second from its
// neighbours), double-clicking to add one, and clicking to listen from a place; and the tool
// that places the cuts at a looked-up side's track lengths.
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <random>
#include <vector>

#include "audiofile/CWaveWriter.h"
#include "base/WaveFormat.h"
#include "export/TrackPageState.h"
#include "export/qt/CTrackOverview.h"
#include "export/qt/CWizTrackPage.h"
#include "ui/SkinPicture.h"

using namespace sondrel;

class TrackPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitSkinResources(); }

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

    void theSideLengthsToolShowsAfterALookupAndPlacesTheCutsInOneStep() {
        constexpr std::uint64_t kRate = TrackPageState::kFramesPerSecond;
        // 30 s of loud noise with quiet gaps at 11 s and 19.5 s: the side lists 10 s, 9 s and
        // 11 s, and the record started a second late.
        QTemporaryDir folder;
        const std::filesystem::path side =
            folder.filePath(QStringLiteral("side.wav")).toStdString();
        std::vector<std::int16_t> samples(30 * kRate * 2);
        std::mt19937 noise(5);
        for (std::int16_t& sample : samples)
            sample = static_cast<std::int16_t>(static_cast<int>(noise() % 16001) - 8000);
        for (const std::uint64_t gap : {11 * kRate, 19 * kRate + kRate / 2}) {
            for (std::uint64_t f = gap - kRate / 10; f < gap + kRate / 10; ++f)
                samples[2 * f] = samples[2 * f + 1] = 0;
        }
        CWaveWriter writer;
        QCOMPARE(writer.Create(side, CaptureFormat()), S_OK);
        writer.Write(samples.data(), samples.size() * sizeof(std::int16_t));
        QCOMPARE(writer.Close(), S_OK);

        TrackPageState state;
        state.Reset(side, {}, 30 * kRate);
        CWizTrackPage page;
        page.SetState(&state);
        page.Prepare();
        QVERIFY(page.SideLengthsButton()->isHidden());  // nothing looked up
        page.EndPage(PageResult::Back);

        state.sideLengthsMs = {10000, 9000, 11000};
        page.Prepare();
        QVERIFY(!page.SideLengthsButton()->isHidden());
        page.SideLengthsButton()->click();
        QCOMPARE(state.cuts.Cuts().size(), std::size_t{2});
        QVERIFY(std::abs(static_cast<double>(state.cuts.Cuts()[0]) - 11.0 * kRate) <= kRate / 10);
        QVERIFY(std::abs(static_cast<double>(state.cuts.Cuts()[1]) - 19.5 * kRate) <= kRate / 10);
        QVERIFY(state.changed);
        QVERIFY(page.UndoButton()->isEnabled());
        page.UndoButton()->click();
        QVERIFY(state.cuts.Cuts().empty());
        page.EndPage(PageResult::Back);

        // A side with a length unknown before its last track cannot place every cut.
        state.sideLengthsMs = {10000, 0, 11000};
        page.Prepare();
        QVERIFY(page.SideLengthsButton()->isHidden());
        page.EndPage(PageResult::Back);
    }
};

QTEST_MAIN(TrackPageTest)
#include "TrackPageTest.moc"
