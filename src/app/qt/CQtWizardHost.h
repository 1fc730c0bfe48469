// The wizard on the desktop: each page a modal skinned window, message boxes with the string
// table's texts, the please-wait window, and the invisible main window that stands for the
// program (title and icon) and owns the monitor output.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "app/IWizardHost.h"
#include "recording/CSectionPlayer.h"
#include "ui/CWizardDlg.h"
#include "ui/PageServices.h"

namespace sondrel {

class CWizConnectDlg;
class CWizSelectDeviceDlg;
class CWizTapeSelectDlg;
class CWizStartRecordDlg;
class CWizRecordingDlg;
class CWizTagSingle;
class CWizExportingDlg;
class CWizFinishedDlg;
class CPleaseWait;
class CWizardDlg;

// Lifetimes: each page is made on its first showing and kept until the host goes, so a page
// shown again keeps its window position and pictures. A page holds a pointer to the state the
// flow passes to Show...; the pointer is valid only while that call runs (the page is modal),
// and the next showing sets it again. The pages refer to the host's copy of the page services,
// which is declared before them and so outlives every page.
class CQtWizardHost : public IWizardHost {
public:
    explicit CQtWizardHost(PageServices services);
    ~CQtWizardHost() override;

    // Brings the page on screen to the front (a second start of the program asks for this).
    void BringToFront();
    // Called when the recording page opens: the simulated deck starts playing there.
    std::function<void()> recordingStarted;
    // A note for the finished page (tracks kept aside); empty: none.
    std::function<QString()> finishedNote;
    // The player the track page listens through (the listen-through output); empty or a null
    // result: the page shows and edits, silent.
    std::function<std::unique_ptr<CSectionPlayer>()> makePlayer;

    WindowHandle MainWindow() override { return m_mainWindow.get(); }
    PageResult ShowConnect() override;
    PageResult ShowSelectDevice(SelectDevicePageState& page) override;
    PageResult ShowTapeSelect(TapeSelectPageState& page) override;
    PageResult ShowStartRecord(StartRecordPageState& page) override;
    PageResult ShowRecording(RecordingPageState& page) override;
    PageResult ShowTagSingle(TagSinglePageState& page) override;
    PageResult ShowTagMultiple(int pageIndex, TagMultiplePageState& page) override;
    PageResult ShowTracks(TrackPageState& page) override;
    PageResult ShowExporting(ExportingPageState& page) override;
    PageResult ShowFinished(FinishedPageState& page) override;
    void ShowPleaseWait() override;
    void HidePleaseWait() override;
    MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                             MessageIcon icon) override;

    // Passes ms with the please-wait window up and the screen painting, holding back clicks
    // and keys (the time between tries for a busy device).
    void WaitShowingPleaseWait(std::uint32_t ms);

    // The page being shown, if any (tests, the second-start request).
    CWizardDlg* CurrentPage() const { return m_current; }

private:
    PageResult Run(CWizardDlg& page);

    PageServices m_services;
    std::unique_ptr<QWidget> m_mainWindow;
    std::unique_ptr<CWizConnectDlg> m_connect;
    std::unique_ptr<CWizSelectDeviceDlg> m_selectDevice;
    std::unique_ptr<CWizTapeSelectDlg> m_tapeSelect;
    std::unique_ptr<CWizStartRecordDlg> m_startRecord;
    std::unique_ptr<CWizRecordingDlg> m_recording;
    std::unique_ptr<CWizTagSingle> m_tagSingle;
    std::unique_ptr<CWizExportingDlg> m_exporting;
    std::unique_ptr<CWizFinishedDlg> m_finished;
    std::unique_ptr<CPleaseWait> m_pleaseWait;
    QPointer<CWizardDlg> m_current;
};

}  // namespace sondrel
