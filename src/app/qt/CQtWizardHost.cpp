#include "app/qt/CQtWizardHost.h"

#include <QEventLoop>
#include <QTimer>

#include "app/qt/CWizConnectDlg.h"
#include "app/qt/CWizRecordingDlg.h"
#include "app/qt/CWizSelectDeviceDlg.h"
#include "app/qt/CWizStartRecordDlg.h"
#include "app/qt/CWizTapeSelectDlg.h"
#include "app/qt/MessageBoxes.h"
#include "base/StringTable.h"
#include "export/qt/CPleaseWait.h"
#include "export/qt/CWizExportingDlg.h"
#include "export/qt/CWizFinishedDlg.h"
#include "export/qt/CWizTagMultiple.h"
#include "export/qt/CWizTagMultipleMore.h"
#include "export/qt/CWizTagSingle.h"
#include "export/qt/CWizTrackPage.h"
#include "ui/SkinPicture.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

// Pages are made when first shown and then live for the run, so their controls keep their
// values between showings as the flow expects.
template <typename Page, typename... Args>
Page& Lazy(std::unique_ptr<Page>& page, Args&&... args) {
    if (!page)
        page = std::make_unique<Page>(std::forward<Args>(args)...);
    return *page;
}

}  // namespace

CQtWizardHost::CQtWizardHost(PageServices services)
    : m_services(std::move(services)), m_mainWindow(std::make_unique<QWidget>()) {
    // Never shown: the pages are the program's windows; this one carries its title and icon.
    m_mainWindow->setWindowTitle(UiText(kIdsProductTitle));
    m_mainWindow->setWindowIcon(ApplicationIcon());
}

CQtWizardHost::~CQtWizardHost() = default;

PageResult CQtWizardHost::Run(CWizardDlg& page) {
    m_current = &page;
    const PageResult result = page.RunModal();
    m_current = nullptr;
    return result;
}

void CQtWizardHost::BringToFront() {
    if (!m_current)
        return;
    m_current->showNormal();
    m_current->raise();
    m_current->activateWindow();
}

PageResult CQtWizardHost::ShowConnect() {
    return Run(Lazy(m_connect));
}

PageResult CQtWizardHost::ShowSelectDevice(SelectDevicePageState& state) {
    auto& page = Lazy(m_selectDevice);
    page.SetState(&state);
    return Run(page);
}

PageResult CQtWizardHost::ShowTapeSelect(TapeSelectPageState& state) {
    auto& page = Lazy(m_tapeSelect);
    page.SetState(&state);
    return Run(page);
}

PageResult CQtWizardHost::ShowStartRecord(StartRecordPageState& state) {
    auto& page = Lazy(m_startRecord, m_services);
    page.SetState(&state);
    return Run(page);
}

PageResult CQtWizardHost::ShowRecording(RecordingPageState& state) {
    auto& page = Lazy(m_recording);
    page.SetState(&state);
    // The user starts the deck right after "record".
    if (recordingStarted && !state.resumed)
        recordingStarted();
    return Run(page);
}

PageResult CQtWizardHost::ShowTagSingle(TagSinglePageState& state) {
    auto& page = Lazy(m_tagSingle, m_services);
    page.SetState(&state);
    return Run(page);
}

PageResult CQtWizardHost::ShowTagMultiple(int pageIndex, TagMultiplePageState& state) {
    // A tagging pass makes its own pages; their texts live in the flow's page states.
    std::unique_ptr<CWizTagMultiple> page;
    if (pageIndex == 0)
        page = std::make_unique<CWizTagMultiple>(m_services);
    else
        page = std::make_unique<CWizTagMultipleMore>(m_services);
    page->SetState(&state);
    return Run(*page);
}

PageResult CQtWizardHost::ShowTracks(TrackPageState& state) {
    // Made for each showing: its pictures belong to the recording it shows.
    CWizTrackPage page;
    std::unique_ptr<CSectionPlayer> player = makePlayer ? makePlayer() : nullptr;
    state.player = player.get();
    page.SetState(&state);
    const PageResult result = Run(page);
    state.StopListening();
    state.player = nullptr;
    return result;
}

PageResult CQtWizardHost::ShowExporting(ExportingPageState& state) {
    auto& page = Lazy(m_exporting);
    page.SetState(&state);
    return Run(page);
}

PageResult CQtWizardHost::ShowFinished(FinishedPageState& state) {
    auto& page = Lazy(m_finished, m_services);
    page.SetState(&state);
    page.SetNote(finishedNote ? finishedNote() : QString());
    return Run(page);
}

void CQtWizardHost::ShowPleaseWait() {
    Lazy(m_pleaseWait).ShowNow(CWizardDlg::LastPageRect());
}

void CQtWizardHost::HidePleaseWait() {
    if (m_pleaseWait)
        m_pleaseWait->hide();
}

void CQtWizardHost::WaitShowingPleaseWait(std::uint32_t ms) {
    ShowPleaseWait();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

MessageAnswer CQtWizardHost::MessageBox(const std::string& text, MessageButtons buttons,
                                        MessageIcon icon) {
    return AskMessage(m_current, text, buttons, icon, LoadString(kIdsAppName));
}

}  // namespace sondrel
