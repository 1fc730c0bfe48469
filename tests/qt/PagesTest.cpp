// What the windowed pages add to the page logic: real scroll actions on the level bar, the
// recording page's texts and "new track" limit, tag fields enabled by track count and kept over
// next and back, the finished page's choices, the exporting page's end, the abort question;
// on every page Enter, the Tab order and a focus that shows.
#include <QTextLayout>
#include <QtTest>

#include "app/IWizardHost.h"
#include "app/RecoveryText.h"
#include "app/qt/CQtWizardHost.h"
#include "app/qt/CWizConnectDlg.h"
#include "app/qt/CWizRecordingDlg.h"
#include "app/qt/CWizSelectDeviceDlg.h"
#include "app/qt/CWizStartRecordDlg.h"
#include "app/qt/CWizTapeSelectDlg.h"
#include "app/qt/MessageBoxes.h"
#include "base/StringTable.h"
#include "export/CProgressStatus.h"
#include "export/qt/CPleaseWait.h"
#include "export/qt/CWizExportingDlg.h"
#include "export/qt/CWizFinishedDlg.h"
#include "export/qt/CWizTagMultiple.h"
#include "export/qt/CWizTagMultipleMore.h"
#include "export/qt/CWizTagSingle.h"
#include "tests/qt/FakePageRecorder.h"
#include "ui/CCloseButton.h"
#include "ui/CKxButton.h"
#include "ui/SkinPicture.h"

using namespace sondrel;

namespace {

// Ends a page that a key should have ended but did not, so that the test fails instead of
// waiting for ever.
void EndIfStillOpen(CWizardDlg& page) {
    if (!QTest::qWaitFor([&page] { return !page.isVisible(); }, 1000))
        page.done(-1);
}

// How the page ended, as the dialog code QCOMPARE can print.
template <typename Page, typename Action>
int RunWith(Page& page, Action action) {
    QTimer::singleShot(0, &page, [&page, action] { action(page); });
    return static_cast<int>(page.RunModal());
}

// The controls that Tab visits, from the close button on.
QList<QWidget*> TabChain(CWizardDlg& page) {
    QList<QWidget*> chain;
    QWidget* widget = page.CloseButton();
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&page) &&
            widget->isEnabled())
            chain << widget;
        widget = widget->nextInFocusChain();
    } while (widget != page.CloseButton());
    return chain;
}

// Whether going from `a` to `b` reads on, top left to bottom right: to the right in the same
// row, down, or up only into a new column to the right.
bool ReadsOn(const QRect& a, const QRect& b) {
    const bool sameRow = a.top() <= b.bottom() && b.top() <= a.bottom();
    if (sameRow)
        return b.left() > a.left();
    return b.top() > a.top() || b.left() > a.right();
}

QString Name(const QWidget* widget) {
    return QString::fromLatin1(widget->metaObject()->className()) + " '" +
           (widget->accessibleName().isEmpty() ? widget->property("text").toString()
                                               : widget->accessibleName()) +
           "'";
}

// Tab runs from the close button through the fields as they are read to back and next, and
// each control it stops at shows that it has the focus.
void CheckTabOrderAndFocus(CWizardDlg& p) {
    const QString pageName = QString::fromLatin1(p.metaObject()->className());
    QVERIFY(QTest::qWaitForWindowActive(&p));
    const QList<QWidget*> chain = TabChain(p);
    QVERIFY2(chain.size() >= 2, qPrintable(pageName));
    if (p.NextButton())
        QCOMPARE(chain.last(), static_cast<QWidget*>(p.NextButton()));
    const auto place = [&p](QWidget* w) { return QRect(w->mapTo(&p, QPoint(0, 0)), w->size()); };
    for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
        QVERIFY2(ReadsOn(place(chain[i]), place(chain[i + 1])),
                 qPrintable(pageName + ": " + Name(chain[i]) + " then " + Name(chain[i + 1])));
    }
    // Focus shows: the picture around a control changes when it takes the focus.
    for (qsizetype i = 0; i < chain.size(); ++i) {
        QWidget* control = chain[i];
        chain[(i + 1) % chain.size()]->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        const QRect around = place(control).adjusted(-3, -3, 3, 3);
        const QImage without = p.grab(around).toImage();
        control->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        QVERIFY2(control->hasFocus(), qPrintable(Name(control)));
        QVERIFY2(p.grab(around).toImage() != without,
                 qPrintable(pageName + ": no focus seen on " + Name(control)));
    }
}

}  // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitSkinResources(); }

    void levelBarFollowsTheScrollTable() {
        PageServices services;
        FakePageRecorder recorder;
        StartRecordPageState state;
        state.recorder = &recorder;
        CWizStartRecordDlg page(services);
        page.SetState(&state);
        page.Prepare();
        QScrollBar* bar = page.LevelBar();
        const auto act = [&](QAbstractSlider::SliderAction action) {
            bar->triggerAction(action);
            return page.LevelReadout()->text();
        };
        QCOMPARE(page.LevelReadout()->text(), QStringLiteral("+0.0"));
        QCOMPARE(act(QAbstractSlider::SliderSingleStepSub), QStringLiteral("+0.1"));  // line up
        QCOMPARE(recorder.lastGainDb, 0.1f);
        QCOMPARE(act(QAbstractSlider::SliderSingleStepAdd), QStringLiteral("+0.0"));
        state.levelTenthsDb = 85;
        QCOMPARE(act(QAbstractSlider::SliderPageStepSub), QStringLiteral("+9.0"));  // not +9.5
        QCOMPARE(bar->value(), -30);                                                // at the top
        QCOMPARE(act(QAbstractSlider::SliderPageStepSub), QStringLiteral("+9.0"));
        QCOMPARE(act(QAbstractSlider::SliderToMaximum), QStringLiteral("-3.0"));  // bottom
        QCOMPARE(bar->value(), 90);
        QCOMPARE(act(QAbstractSlider::SliderSingleStepAdd), QStringLiteral("-3.0"));
        QCOMPARE(recorder.lastGainDb, -3.0f);
        QCOMPARE(act(QAbstractSlider::SliderToMinimum), QStringLiteral("+9.0"));  // top
        bar->setSliderPosition(40);  // dragging the thumb
        QCOMPARE(page.LevelReadout()->text(), QStringLiteral("+2.0"));
        QTest::keyClick(bar, Qt::Key_Up);  // the keyboard scrolls too
        QCOMPARE(page.LevelReadout()->text(), QStringLiteral("+2.1"));

        page.OnTimer();  // the first tick runs the mono check, then reads levels
        QCOMPARE(page.Meter()->LevelLeft(), -12.0f);
    }

    void recordingPageTextsAndNewTrackLimit() {
        FakePageRecorder recorder;
        RecordingPageState state;
        state.recorder = &recorder;
        CWizRecordingDlg page;
        page.SetState(&state);
        page.Prepare();
        QVERIFY(!page.NewTrackButton()->isHidden());
        recorder.seconds = 3725;
        page.OnTimer();
        QCOMPARE(page.TimeText()->text(), QStringLiteral("01:02:05"));
        QCOMPARE(page.TrackText()->text(), QStringLiteral("1"));
        for (int i = 0; i < 45; ++i) {
            page.NewTrackButton()->click();
            page.OnTimer();
        }
        QCOMPARE(recorder.markCount, 39u);
        QCOMPARE(page.TrackText()->text(), QStringLiteral("40"));
        recorder.writing = false;
        page.OnTimer();
        QCOMPARE(page.TimeText()->text(), QStringLiteral("Recording Finished"));

        RecordingPageState automatic;
        automatic.recorder = &recorder;
        automatic.split = true;
        page.SetState(&automatic);
        page.Prepare();
        QVERIFY(page.NewTrackButton()->isHidden());
        page.OnTimer();
        QCOMPARE(page.TrackText()->text(), QStringLiteral("Automatic"));
    }

    void abortQuestionAnsweredNoKeepsRecording() {
        FakePageRecorder recorder;
        RecordingPageState state;
        state.recorder = &recorder;
        CWizRecordingDlg page;
        page.SetState(&state);
        int asked = 0;
        MessageAnswer answer = MessageAnswer::No;
        page.askAbort = [&] {
            ++asked;
            return answer;
        };
        const int result = RunWith(page, [&](CWizRecordingDlg& p) {
            p.CloseButton()->click();
            QTest::keyClick(&p, Qt::Key_Escape);
            QVERIFY(p.isVisible());  // both asked, both answered No
            answer = MessageAnswer::Yes;
            p.close();  // the window manager's close request asks as well
        });
        QCOMPARE(asked, 3);
        QCOMPARE(result, int(PageResult::Close));
    }

    void tagFieldsFollowTheTrackCountAndKeepTheirText() {
        PageServices services;
        const auto enabled = [&](int count, int offset) {
            TagMultiplePageState state;
            state.trackCount = count;
            state.firstTrackOffset = offset;
            std::unique_ptr<CWizTagMultiple> page =
                offset == 0 ? std::make_unique<CWizTagMultiple>(services)
                            : std::make_unique<CWizTagMultipleMore>(services);
            page->SetState(&state);
            page->Prepare();
            QString pattern;
            QStringList labels;
            for (int p = 1; p <= 10; ++p) {
                pattern += page->TitleField(p)->isEnabled() ? '+' : '-';
                labels << page->NumberLabel(p)->text();
            }
            return pattern + " " + labels.first() + ".." + labels.last();
        };
        QCOMPARE(enabled(3, 0), QStringLiteral("+++------- 1..10"));
        QCOMPARE(enabled(11, 10), QStringLiteral("+--------- 11..20"));
        QCOMPARE(enabled(35, 30), QStringLiteral("+++++----- 31..40"));

        TagMultiplePageState kept;
        kept.trackCount = 3;
        {
            CWizTagMultiple page(services);
            page.SetState(&kept);
            QCOMPARE(RunWith(page,
                             [](CWizTagMultiple& p) {
                                 p.TitleField(2)->setText(QStringLiteral("Zwei / ½ 🎵"));
                                 p.Artist()->setText(QString(300, QChar(0x05D0)));
                                 p.NextButton()->click();
                             }),
                     int(PageResult::Next));
        }
        QCOMPARE(kept.titles[1], std::string("Zwei / ½ 🎵"));
        CWizTagMultiple again(services);
        again.SetState(&kept);
        QCOMPARE(RunWith(again, [](CWizTagMultiple& p) { p.BackButton()->click(); }),
                 int(PageResult::Back));
        QCOMPARE(again.TitleField(2)->text(), QStringLiteral("Zwei / ½ 🎵"));
        QCOMPARE(again.Artist()->text().size(), 300);
    }

    void choosingASaveLocationStoresItAndShowsWhatTheSettingsMadeOfIt() {
        std::filesystem::path stored = "/music";
        PageServices services;
        services.readExportFolder = [&] { return stored; };
        services.writeExportFolder = [&](std::filesystem::path& folder) {
            stored = folder.string().size() > 130 ? "/music" : folder;
        };
        TagSinglePageState state;
        CWizTagSingle page(services);
        page.SetState(&state);
        page.Prepare();
        QCOMPARE(page.SaveLocation().FolderText()->text(), QStringLiteral("/music"));
        QString offered;
        page.SaveLocation().chooseFolder = [&](const QString& current) {
            offered = current;
            return QStringLiteral("/data/vinyl");
        };
        page.SaveLocation().BrowseButton()->click();
        QCOMPARE(offered, QStringLiteral("/music"));  // the chooser starts on the current one
        QCOMPARE(stored, std::filesystem::path("/data/vinyl"));
        QCOMPARE(page.SaveLocation().FolderText()->text(), QStringLiteral("/data/vinyl"));
        page.SaveLocation().chooseFolder = [](const QString&) { return QString(); };
        page.SaveLocation().BrowseButton()->click();  // cancelled: nothing changes
        QCOMPARE(stored, std::filesystem::path("/data/vinyl"));
        page.SaveLocation().chooseFolder = [](const QString&) { return QString(200, 'x'); };
        page.SaveLocation().BrowseButton()->click();
        QCOMPARE(page.SaveLocation().FolderText()->text(), QStringLiteral("/music"));
    }

    void theExportFormatIsChosenByKeyboardAndRemembered() {
        std::string stored;
        PageServices services;
        services.writeExportFormat = [&](const std::string& format) { stored = format; };
        TagSinglePageState state;
        state.format = ExportFormat::Flac;  // as the flow hands it over: the stored choice
        CWizTagSingle page(services);
        page.SetState(&state);
        QComboBox* chooser = page.SaveLocation().FormatChooser();
        QCOMPARE(chooser->accessibleName(), QString::fromStdString(LoadString(kIdsExportFormat)));
        QCOMPARE(RunWith(page,
                         [&](CWizTagSingle& p) {
                             QCOMPARE(chooser->currentText(), QStringLiteral("FLAC"));
                             chooser->setFocus();
                             QTest::keyClick(chooser, Qt::Key_Up);
                             p.NextButton()->click();
                         }),
                 int(PageResult::Next));
        QCOMPARE(state.format, ExportFormat::Wav);
        QCOMPARE(stored, std::string("wav"));
    }

    void finishedPageChoices() {
        int opened = 0;
        PageServices services;
        services.readExportFolder = [] { return std::filesystem::path("/music"); };
        services.openFolder = [&](const std::filesystem::path& folder) {
            QCOMPARE(folder, std::filesystem::path("/music"));
            ++opened;
        };
        FinishedPageState state;
        CWizFinishedDlg page(services);
        page.SetState(&state);
        QCOMPARE(RunWith(page,
                         [](CWizFinishedDlg& p) {
                             p.OpenSaveLocation()->click();
                             QVERIFY(p.isVisible());  // the page stays open
                             p.CloseProgram()->click();
                         }),
                 int(PageResult::Next));
        QCOMPARE(opened, 1);
        QCOMPARE(state.choice, 0);
        QCOMPARE(RunWith(page, [](CWizFinishedDlg& p) { p.RecordSomethingElse()->click(); }),
                 int(PageResult::Next));
        QCOMPARE(state.choice, 1);
    }

    // Enter presses a focused push button; on anything else it ends the page as next.
    void enterGoesOnUnlessAPushButtonHasTheFocus() {
        SelectDevicePageState device;
        device.deviceTypeIndex = 1;
        CWizSelectDeviceDlg select;
        select.SetState(&device);
        QCOMPARE(RunWith(select,
                         [](CWizSelectDeviceDlg& p) {
                             QCOMPARE(p.focusWidget(), p.TapePlayer());
                             QTest::keyClick(p.focusWidget(), Qt::Key_Return);
                             EndIfStillOpen(p);
                         }),
                 1);
        QCOMPARE(device.deviceTypeIndex, 1);

        TapeSelectPageState tape;
        CWizTapeSelectDlg tapeSelect;
        tapeSelect.SetState(&tape);
        QCOMPARE(RunWith(tapeSelect,
                         [](CWizTapeSelectDlg& p) {
                             p.Chrome()->setFocus();
                             QTest::keyClick(p.Chrome(), Qt::Key_Space);  // Space chooses
                             QTest::keyClick(p.Chrome(), Qt::Key_Return);
                             EndIfStillOpen(p);
                         }),
                 1);
        QVERIFY(tape.chrome);

        PageServices services;
        FinishedPageState finished;
        CWizFinishedDlg finishedPage(services);
        finishedPage.SetState(&finished);
        QCOMPARE(RunWith(finishedPage,
                         [](CWizFinishedDlg& p) {
                             p.CloseProgram()->setFocus();
                             QTest::keyClick(p.CloseProgram(), Qt::Key_Return);
                             EndIfStillOpen(p);
                         }),
                 int(PageResult::Next));
        QCOMPARE(finished.choice, 0);
    }

    void tabOrderReadsOnAndFocusShows() {
        PageServices services;
        FakePageRecorder recorder;
        SelectDevicePageState device;
        TapeSelectPageState tape;
        StartRecordPageState start;
        start.recorder = &recorder;
        RecordingPageState recording;
        recording.recorder = &recorder;
        TagSinglePageState single;
        TagMultiplePageState multiple;
        multiple.trackCount = 13;
        TagMultiplePageState more = multiple;
        more.firstTrackOffset = 10;
        more.trackCount = 20;
        FinishedPageState finished;

        CWizConnectDlg connectPage;
        CWizSelectDeviceDlg selectPage;
        selectPage.SetState(&device);
        CWizTapeSelectDlg tapePage;
        tapePage.SetState(&tape);
        CWizStartRecordDlg startPage(services);
        startPage.SetState(&start);
        CWizRecordingDlg recordingPage;
        recordingPage.SetState(&recording);
        CWizTagSingle singlePage(services);
        singlePage.SetState(&single);
        CWizTagMultiple multiplePage(services);
        multiplePage.SetState(&multiple);
        CWizTagMultipleMore morePage(services);
        morePage.SetState(&more);
        CWizFinishedDlg finishedPage(services);
        finishedPage.SetState(&finished);
        for (CWizardDlg* page : std::initializer_list<CWizardDlg*>{
                 &connectPage, &selectPage, &tapePage, &startPage, &recordingPage, &singlePage,
                 &multiplePage, &morePage, &finishedPage}) {
            RunWith(*page, [](CWizardDlg& p) {
                CheckTabOrderAndFocus(p);
                p.EndPage(PageResult::Close);
            });
        }
    }

    // A date in a message stays on one line however narrow the box.
    void messageDatesAreNotBrokenAcrossLines() {
        std::tm when{};
        when.tm_year = 126;
        when.tm_mon = 11;
        when.tm_mday = 8;
        when.tm_hour = 13;
        when.tm_min = 59;
        when.tm_isdst = -1;
        UnfinishedRecording recording;
        recording.seconds = 4.0;
        recording.modified = std::mktime(&when);
        recording.tagged = true;
        recording.artist = "The Band";
        recording.album = "Live";
        recording.trackCount = 13;
        const QString text = MessageBoxText(FormatUnfinishedQuestion(recording));
        const qsizetype date = text.indexOf(QStringLiteral("December"));
        QVERIFY(date > 2);
        QFont font;
        for (int width = 60; width <= 600; width += 7) {
            QTextLayout layout(text, font);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
                line.setLineWidth(width);
            layout.endLayout();
            for (int i = 0; i < layout.lineCount(); ++i) {
                const int end = layout.lineAt(i).textStart() + layout.lineAt(i).textLength();
                QVERIFY2(end <= date - 2 || end >= date + 13,
                         qPrintable(QStringLiteral("broken at %1 of %2 at width %3")
                                        .arg(end)
                                        .arg(text)
                                        .arg(width)));
            }
        }
    }

    // Waiting for a busy device: timers and painting go on and the please-wait window shows
    // until the flow hides it.
    void busyWaitKeepsTheScreenAlive() {
        CQtWizardHost host{PageServices{}};
        bool timerRan = false;
        QTimer::singleShot(0, [&] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        host.WaitShowingPleaseWait(120);
        QVERIFY(clock.elapsed() >= 100);
        QVERIFY(timerRan);
        const auto shown = [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (qobject_cast<CPleaseWait*>(widget) && widget->isVisible())
                    return true;
            }
            return false;
        };
        QVERIFY(shown());
        host.HidePleaseWait();
        QVERIFY(!shown());
    }

    void exportingPageEndsOnDoneAndOnFailure() {
        for (bool fail : {false, true}) {
            ComPtr<CProgressStatus> progress = ComPtr<CProgressStatus>::Attach(new CProgressStatus);
            ExportingPageState state;
            state.progress = ComPtr<IProgressStatus>(progress.Get());
            CWizExportingDlg page;
            page.SetState(&state);
            page.Prepare();
            progress->SetProgress(0.5f);
            page.OnTimer();
            QCOMPARE(page.Bar()->value(), 128);
            QVERIFY(page.isHidden() || page.result() == 0);
            const int result = RunWith(page, [&](CWizExportingDlg&) {
                if (fail)
                    progress->SetError(E_FAIL);
                progress->SetProgress(1.0f);
                progress->SetDone();
            });
            QCOMPARE(result, int(PageResult::Next));
            QCOMPARE(page.Bar()->value(), 256);
        }
    }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
