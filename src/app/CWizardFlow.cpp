#include "app/CWizardFlow.h"

#include <algorithm>
#include <array>

#include "app/RecoveryText.h"
#include "base/StringTable.h"
#include "platform/IAudioSystem.h"

namespace sondrel {

namespace {

constexpr const char* kInvalidConfiguration = "Invalid device configuration detected.";

// The one device whose turntable choice must not get the turntable equaliser.
constexpr std::uint32_t kFlatTurntableVendor = 0x0D8C;
constexpr std::uint32_t kFlatTurntableProduct = 0x0131;

bool IsBack(PageResult result) {
    return result == PageResult::Back;
}
bool IsClose(PageResult result) {
    return result == PageResult::Close;
}

}  // namespace

CWizardFlow::CWizardFlow(WizardServices services) : m_services(std::move(services)) {
    startRecordPage.recorder = m_services.recorder;
    recordingPage.recorder = m_services.recorder;
}

void CWizardFlow::Message(StringId stringId) {
    Message(LoadString(stringId));
}

void CWizardFlow::Message(const std::string& text) {
    m_services.host->MessageBox(text, MessageButtons::Ok, MessageIcon::Exclamation);
}

void CWizardFlow::Inform(const std::string& text) {
    m_services.host->MessageBox(text, MessageButtons::Ok, MessageIcon::Information);
}

void CWizardFlow::RunWizard() {
    m_recovered = false;
    Run(Stage::Connect);
}

void CWizardFlow::RunRecovered(const std::string& path) {
    m_recovered = true;
    m_tracks.clear();
    m_typed = TagSet{};
    m_side = LookedUpSide{};
    m_exportTried = m_exported = false;
    HRESULT hr = m_services.recorderSetup->RecoverRecording(path, m_tracks);
    if (Failed(hr) || m_tracks.empty()) {
        m_tracks.clear();
        if (!m_services.recorderSetup->CutProblem().empty()) {
            ReportCutFailure(path);
        } else {
            Message(kIdsMsgTracksNotMade);
        }
        Run(Stage::End);
        return;
    }
    m_format = StoredFormat();
    std::string format;
    if (m_services.recorderSetup->JournalTags(m_typed.artist, m_typed.album, m_typed.titles,
                                              format)) {
        ParseFormatName(format, m_format);
    }
    Run(Stage::Tag);
}

void CWizardFlow::KeepWhatIsNotExported() {
    if (m_tracks.empty() || m_exported)
        return;
    for (const std::string& kept : m_services.recorderSetup->KeepForLater(!m_exportTried)) {
        if (std::find(m_keptFiles.begin(), m_keptFiles.end(), kept) == m_keptFiles.end())
            m_keptFiles.push_back(kept);
    }
    m_tracks.clear();
}

ExportFormat CWizardFlow::StoredFormat() const {
    return m_services.storedFormat ? m_services.storedFormat() : ExportFormat::Wav;
}

bool CWizardFlow::ConfirmDiscard() {
    return m_services.host->MessageBox(LoadString(kIdsMsgDiscardRecording), MessageButtons::YesNo,
                                       MessageIcon::Question) == MessageAnswer::Yes;
}

void CWizardFlow::ReportCutFailure(const std::filesystem::path& recording) {
    const std::string problem = m_services.recorderSetup->CutProblem();
    // The run lets go of the recording (if it still holds it) so a later one can offer it.
    m_services.recorderSetup->KeepForLater(true);
    m_tracks.clear();
    if (!recording.empty() &&
        std::find(m_keptFiles.begin(), m_keptFiles.end(), recording.string()) == m_keptFiles.end())
        m_keptFiles.push_back(recording.string());
    Message(FormatCutFailedMessage(problem, recording.parent_path()));
}

void CWizardFlow::Run(Stage first) {
    m_productTitle = LoadString(kIdsProductTitle);
    m_deviceMatch = IdentifiedDevice{};
    Stage stage = first;
    while (stage != Stage::End) {
        switch (stage) {
            case Stage::Connect:
                stage = Connect();
                break;
            case Stage::Source:
                stage = Source();
                break;
            case Stage::Start:
                stage = Start();
                break;
            case Stage::Record:
                stage = Record();
                break;
            case Stage::Tag:
                stage = Tag();
                break;
            case Stage::Export:
                stage = Export();
                break;
            case Stage::Finish:
                stage = Finish();
                break;
            case Stage::End:
                break;
        }
    }
    // A closed exporting page may leave the worker moving files; it must be done before the
    // temporary files go away.
    if (m_services.waitForExport)
        m_services.waitForExport();
    exportingPage.progress.Reset();
    KeepWhatIsNotExported();
    m_services.recorder->CloseInput();
    m_services.recorderSetup->Shutdown();
}

CWizardFlow::Stage CWizardFlow::Connect() {
    IWizardHost& host = *m_services.host;
    m_devices.clear();
    while (m_devices.size() != 1) {
        if (IsClose(host.ShowConnect()))
            return Stage::End;
        m_devices = m_services.findKnownDevices();
        if (m_devices.empty()) {
            Message(kIdsMsgCannotConnect);
        } else if (m_devices.size() > 1) {
            Message(kIdsMsgSeveralDevices);
        } else {
            m_deviceMatch =
                m_services.identifyCaptureDevice(m_devices[0].first, m_devices[0].second);
            if (m_deviceMatch.row == nullptr) {
                Message(kIdsMsgCannotConnect);
                m_devices.clear();
            }
        }
    }
    if (m_services.recorderSetup->UseDevice(m_deviceMatch) != 0) {
        Message(kIdsMsgCannotConnect);
        return Stage::Connect;
    }
    return Stage::Source;
}

CWizardFlow::Stage CWizardFlow::Source() {
    IWizardHost& host = *m_services.host;
    const KnownDevice& e = *m_deviceMatch.row;
    m_sourceType = 0;
    if (e.offersTurntable && e.offersTape) {
        const PageResult deviceResult = host.ShowSelectDevice(selectDevicePage);
        if (IsBack(deviceResult))
            return Stage::Connect;
        if (IsClose(deviceResult))
            return Stage::End;
        if (selectDevicePage.TapePlayerChosen()) {
            tapeSelectPage.chrome = false;
            const PageResult tapeResult = host.ShowTapeSelect(tapeSelectPage);
            if (IsBack(tapeResult))
                return Stage::Connect;
            if (IsClose(tapeResult))
                return Stage::End;
            if (tapeSelectPage.chrome)
                m_sourceType = 2;
        } else if (!(e.vendorId == kFlatTurntableVendor && e.productId == kFlatTurntableProduct)) {
            m_sourceType = 1;
        }
    } else if (e.offersTurntable) {
        m_sourceType = 1;
    } else if (e.offersTape) {
        host.MessageBox(kInvalidConfiguration, MessageButtons::Ok, MessageIcon::Exclamation);
        return Stage::End;
    }
    if (m_sourceType == 1 && !e.turntableRiaa)
        m_sourceType = 3;
    return Stage::Start;
}

void CWizardFlow::BusyMessage() {
    Message(FormatDeviceBusyMessage(m_services.deviceHolder ? m_services.deviceHolder()
                                                            : std::string()));
}

CWizardFlow::Stage CWizardFlow::Start() {
    IWizardHost& host = *m_services.host;
    IRecorder& recorder = *m_services.recorder;
    const WindowHandle mainWindow = host.MainWindow();
    if (mainWindow) {
        // For the level meter. A device that another program holds is named now, not only
        // when "record" fails on it; the page still shows, and "record" tries again.
        const HRESULT opened = recorder.OpenInput(mainWindow, true);
        host.HidePleaseWait();  // shown by a host while a busy device was tried again
        if (opened == E_DEVICE_BUSY)
            BusyMessage();
        m_services.recorderSetup->SetSourceFilter(m_sourceType);
    }
    const PageResult result = host.ShowStartRecord(startRecordPage);
    if (IsBack(result))
        return Stage::Connect;
    if (IsClose(result))
        return Stage::End;
    m_tracks.clear();
    m_typed = TagSet{};
    m_side = LookedUpSide{};
    m_format = StoredFormat();
    m_exportTried = m_exported = false;
    if (mainWindow) {
        // Without a capture device or a file there would be nothing to record into.
        const HRESULT opened = recorder.OpenInput(mainWindow, startRecordPage.split);
        host.HidePleaseWait();
        if (opened == E_RECORDINGS_FOLDER) {
            Message(kIdsMsgRecordingsFolder);
            return Stage::Start;
        }
        if (opened == E_DEVICE_BUSY) {
            BusyMessage();
            return Stage::Start;
        }
        if (Failed(opened)) {
            Message(kIdsMsgCannotRecord);
            return Stage::Start;
        }
        m_services.recorderSetup->SetSourceFilter(m_sourceType);
    }
    recorder.StartRecording();
    recordingPage.split = startRecordPage.split;
    recordingPage.markCount = 0;
    return Stage::Record;
}

CWizardFlow::Stage CWizardFlow::Record() {
    IWizardHost& host = *m_services.host;
    recordingPage.resumed = false;
    PageResult result = host.ShowRecording(recordingPage);
    // Going back throws the recording away; the recording goes on while the user decides.
    while (IsBack(result) && !ConfirmDiscard()) {
        recordingPage.resumed = true;
        result = host.ShowRecording(recordingPage);
    }
    if (IsBack(result))
        return Stage::Start;
    if (IsClose(result))
        return Stage::End;
    host.ShowPleaseWait();
    m_tracks.clear();
    m_services.recorder->StopRecording();
    const HRESULT finished = m_services.recorder->FinishRecording(false, false, m_tracks);
    host.HidePleaseWait();
    // Without its track files there is nothing to tag or export; say so instead of going on.
    if (Failed(finished) || m_tracks.empty()) {
        m_tracks.clear();
        if (!m_services.recorderSetup->CutProblem().empty()) {
            ReportCutFailure(m_services.recorderSetup->RecordingPath());
        } else {
            Message(kIdsMsgTracksNotMade);
        }
        return Stage::End;
    }
    if (m_services.deviceLost && m_services.deviceLost())
        Inform(LoadString(kIdsMsgDeviceDisconnected));
    if (m_services.fileLimitReached && m_services.fileLimitReached()) {
        Inform(FormatFileFullMessage(m_services.secondsNotRecorded ? m_services.secondsNotRecorded()
                                                                   : 0.0));
    }
    const double lost = m_services.lostSeconds ? m_services.lostSeconds() : 0.0;
    if (lost > 0)
        Inform(FormatLostAudioMessage(lost));
    return Stage::Tag;
}

bool CWizardFlow::TracksEditable() const {
    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    return m_services.recorderSetup->EditableMarks(marks, frames);
}

PageResult CWizardFlow::CheckTracks() {
    IRecorderSetup& setup = *m_services.recorderSetup;
    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    if (!setup.EditableMarks(marks, frames))
        return PageResult::Back;
    trackPage.Reset(setup.RecordingPath(), marks, frames);
    trackPage.noteMarks = [&setup](const std::vector<std::uint64_t>& edited) {
        return setup.NoteMarks(edited);
    };
    trackPage.sideLengthsMs = m_side.lengthsMs;
    const PageResult result = m_services.host->ShowTracks(trackPage);
    trackPage.StopListening();
    // Closed, the run ends; the journal holds the edits and a later run cuts at them.
    if (IsClose(result))
        return PageResult::Close;
    if (!trackPage.changed)
        return PageResult::Back;
    // Noted after every edit; noted again here in case a write failed on the way.
    setup.NoteMarks(trackPage.Marks());
    m_services.host->ShowPleaseWait();
    const HRESULT recut = setup.RecutTracks(m_tracks);
    m_services.host->HidePleaseWait();
    if (Failed(recut) || m_tracks.empty()) {
        // The recording and its journal stay for a later run, which cuts at the edits.
        ReportCutFailure(setup.RecordingPath());
        return PageResult::Close;
    }
    return PageResult::Back;
}

PageResult CWizardFlow::RunSingleTrackTagging() {
    PageResult result;
    for (;;) {
        tagSinglePage.ClearTags();
        tagSinglePage.artist = m_typed.artist;
        tagSinglePage.album = m_typed.album;
        tagSinglePage.title = m_typed.titles.empty() ? std::string() : m_typed.titles[0];
        tagSinglePage.format = m_format;
        tagSinglePage.offerTrackCheck = TracksEditable();
        tagSinglePage.side = m_side;
        result = m_services.host->ShowTagSingle(tagSinglePage);
        m_side = tagSinglePage.side;
        m_format = tagSinglePage.format;
        m_typed.artist = tagSinglePage.artist;
        m_typed.album = tagSinglePage.album;
        if (m_typed.titles.empty())
            m_typed.titles.resize(1);
        m_typed.titles[0] = tagSinglePage.title;
        if (!IsBack(result) || m_recovered || ConfirmDiscard())
            break;
    }
    return result;
}

CWizardFlow::Stage CWizardFlow::Tag() {
    PageResult result;
    m_tags = TagSet{};
    for (;;) {
        result = m_tracks.size() == 1 ? RunSingleTrackTagging() : RunMultiTrackTagging();
        if (result != PageResult::CheckTracks)
            break;
        if (IsClose(CheckTracks()))
            return Stage::End;
    }
    m_tags = m_typed;
    // The pages name 40 tracks; any beyond them keep the placeholder title ("Track 41", ...).
    if (m_tags.titles.size() < m_tracks.size())
        m_tags.titles.resize(m_tracks.size());
    SanitizeTagSet(m_tags);
    if (IsBack(result)) {
        if (m_recovered) {
            // A recovered recording has no device to go back to: it stays unfinished, and the
            // wizard starts as usual.
            KeepWhatIsNotExported();
            m_recovered = false;
            return Stage::Connect;
        }
        m_tracks.clear();  // discarded: nothing of it is kept
        return Stage::Start;
    }
    if (IsClose(result))
        return Stage::End;
    m_services.recorderSetup->NoteTags(m_typed.artist, m_typed.album, m_typed.titles,
                                       FormatName(m_format));
    return Stage::Export;
}

namespace {

// A tag page takes the looked-up side's titles into its empty fields of the recording's
// tracks; what it took before and nobody changed follows a side chosen again. Typed titles
// stay.
void FillFromSide(TagMultiplePageState& page, const std::vector<std::string>& sideTitles,
                  std::array<std::string, 10>& filled) {
    for (std::size_t k = 0; k < page.titles.size(); ++k) {
        std::string& title = page.titles[k];
        if ((!title.empty() && title != filled[k]) || !page.TitleEnabled(static_cast<int>(k) + 1))
            continue;
        const std::size_t at = static_cast<std::size_t>(page.firstTrackOffset) + k;
        title = at < sideTitles.size() ? sideTitles[at] : std::string();
        filled[k] = title;
    }
}

}  // namespace

PageResult CWizardFlow::RunMultiTrackTagging() {
    IWizardHost& host = *m_services.host;
    TagMultiplePageState pages[4];
    const int trackCount = static_cast<int>(m_tracks.size());
    for (int i = 0; i < 4; ++i) {
        pages[i].trackCount = trackCount;
        pages[i].firstTrackOffset = 10 * i;
        pages[i].ClearTitles();
        for (std::size_t k = 0; k < 10; ++k) {
            const std::size_t at = static_cast<std::size_t>(10 * i) + k;
            if (at < m_typed.titles.size())
                pages[i].titles[k] = m_typed.titles[at];
        }
    }
    pages[0].artist = m_typed.artist;
    pages[0].album = m_typed.album;
    pages[0].format = m_format;
    pages[0].offerTrackCheck = TracksEditable();
    pages[0].side = m_side;
    const auto keepTyped = [&] {
        m_side = pages[0].side;
        m_format = pages[0].format;
        m_typed.artist = pages[0].artist;
        m_typed.album = pages[0].album;
        m_typed.titles.clear();
        for (const auto& p : pages) {
            for (const auto& title : p.titles)
                m_typed.titles.push_back(title);
        }
    };
    // Page i is shown when there are more than 10 * i tracks; back from page i shows page i-1.
    std::array<std::string, 10> filled[4];
    int page = 0;
    while (page < 4) {
        if (page > 0 && trackCount < 10 * page + 1)
            break;
        FillFromSide(pages[page], pages[0].side.titles, filled[page]);
        const PageResult result = host.ShowTagMultiple(page, pages[page]);
        if (IsClose(result) || result == PageResult::CheckTracks) {
            keepTyped();
            return result;
        }
        if (IsBack(result)) {
            if (page == 0 && (m_recovered || ConfirmDiscard())) {
                keepTyped();
                return PageResult::Back;
            }
            page = std::max(page - 1, 0);
            continue;
        }
        ++page;
    }
    keepTyped();
    return PageResult::Next;
}

CWizardFlow::Stage CWizardFlow::Export() {
    IWizardHost& host = *m_services.host;
    for (;;) {
        exportingPage.progress.Reset();
        if (m_services.prepareExport)
            m_services.prepareExport(m_format, m_typed);
        m_services.startExport(m_tracks, m_tags.artist, m_tags.titles, m_tags.album, m_productTitle,
                               exportingPage.progress);
        m_exportTried = true;
        const PageResult result = host.ShowExporting(exportingPage);
        m_exported = exportingPage.progress && exportingPage.progress->GetResult() == S_OK;
        HRESULT errorCode = S_OK;
        bool retry = false;
        if (exportingPage.progress && exportingPage.progress->GetResult() == E_FAIL &&
            exportingPage.progress->GetErrorCode(errorCode) == S_OK) {
            retry = host.MessageBox(LoadString(kIdsMsgExportFailed), MessageButtons::YesNo,
                                    MessageIcon::Exclamation) == MessageAnswer::Yes;
        }
        exportingPage.progress.Reset();
        if (retry)
            continue;
        // What did not reach the album folder stays, and the finished page can say where.
        if (!m_exported && !IsBack(result)) {
            if (m_services.waitForExport)
                m_services.waitForExport();
            KeepWhatIsNotExported();
        }
        if (IsBack(result))
            return Stage::Tag;
        if (IsClose(result))
            return Stage::End;
        return Stage::Finish;
    }
}

CWizardFlow::Stage CWizardFlow::Finish() {
    const PageResult result = m_services.host->ShowFinished(finishedPage);
    if (IsClose(result))
        return Stage::End;
    if (finishedPage.RecordSomethingElse()) {
        KeepWhatIsNotExported();
        m_services.recorder->CloseInput();
        if (m_recovered) {
            m_recovered = false;
            return Stage::Connect;
        }
        return Stage::Start;
    }
    return Stage::End;
}

}  // namespace sondrel
