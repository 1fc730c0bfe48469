// The spine of the program: shows one page at a time and decides from each page's result, the
// device checks and the recorder's and exporter's answers what comes next, from connecting the
// device to the finished page. Runs on the main thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/IWizardHost.h"
#include "app/TagText.h"
#include "app/WizardPageState.h"
#include "base/CUnknownStandAlone.h"
#include "base/StringTable.h"
#include "devices/KnownDevices.h"
#include "export/IProgressStatus.h"
#include "recording/IRecorder.h"

namespace sondrel {

// Everything the flow calls on; the program's start-up wires the real parts, tests their own.
struct WizardServices {
    IWizardHost* host = nullptr;
    IRecorder* recorder = nullptr;
    IRecorderSetup* recorderSetup = nullptr;
    // Present USB devices that are in the known-device table.
    std::function<std::vector<UsbIdPair>()> findKnownDevices;
    // Maps a known device to its capture device; the row is none when it has none.
    std::function<IdentifiedDevice(std::uint32_t vendorId, std::uint32_t productId)>
        identifyCaptureDevice;
    // Starts an export on a worker thread and hands back its progress object.
    std::function<HRESULT(const std::vector<std::string>& tracks, const std::string& artist,
                          const std::vector<std::string>& titles, const std::string& album,
                          const std::string& productTitle, ComPtr<IProgressStatus>& progress)>
        startExport;
    // Waits until the export worker no longer touches the track files (before they are deleted).
    std::function<void()> waitForExport;
    // Seconds of audio the last recording lost (the disk could not keep up); may be empty.
    std::function<double()> lostSeconds;
    // The export format last chosen (WAV when empty), shown first on the tag pages.
    std::function<ExportFormat()> storedFormat;
    // Hands the export its format and the names as typed (for its tags) before it starts; may
    // be empty.
    std::function<void(ExportFormat format, const TagSet& typed)> prepareExport;
    // True when the capture device disappeared during the last recording; may be empty.
    std::function<bool()> deviceLost;
    // True when the last recording ended because its file was full, and how many seconds
    // that followed were not recorded; may be empty.
    std::function<bool()> fileLimitReached;
    std::function<double()> secondsNotRecorded;
    // The program holding the capture device after opening it found it busy; may be empty.
    std::function<std::string()> deviceHolder;
};

class CWizardFlow {
public:
    explicit CWizardFlow(WizardServices services);

    // Runs the whole page sequence and returns when the user is done.
    void RunWizard();
    // Exports an unfinished recording found in the recordings folder: makes its tracks (at
    // its journal's cuts, else with the track detector) and runs the pages from tagging on,
    // with what was typed for it before. "back" on the first tag page keeps the recording for
    // later and goes on to connecting the device, as "Record Something Else" does. Returns
    // when the user is done.
    void RunRecovered(const std::string& path);

    // What this run left in the recordings folder unexported (a recording closed before its
    // export, the tracks a failed export left): it is offered again at the next start. Known
    // from the finished page on (of a failed export) or when the run has ended.
    const std::vector<std::string>& KeptFiles() const { return m_keptFiles; }
    // The folder they are in (the recordings folder), for FormatKeptForLaterMessage; empty when
    // nothing was kept.
    std::filesystem::path KeptFolder() const {
        return m_keptFiles.empty() ? std::filesystem::path()
                                   : std::filesystem::path(m_keptFiles.front()).parent_path();
    }

    // The source equaliser type chosen last (0..3); for the host's reports and tests.
    int SourceType() const { return m_sourceType; }
    const std::vector<std::string>& Tracks() const { return m_tracks; }

    // Page states live for the whole run, so their values survive between showings.
    SelectDevicePageState selectDevicePage;
    TapeSelectPageState tapeSelectPage;
    StartRecordPageState startRecordPage;
    RecordingPageState recordingPage;
    TagSinglePageState tagSinglePage;
    TrackPageState trackPage;
    ExportingPageState exportingPage;
    FinishedPageState finishedPage;

private:
    enum class Stage { Connect, Source, Start, Record, Tag, Export, Finish, End };

    void Run(Stage first);
    Stage Connect();
    Stage Source();
    Stage Start();
    Stage Record();
    Stage Tag();
    Stage Export();
    Stage Finish();
    PageResult RunSingleTrackTagging();
    PageResult RunMultiTrackTagging();
    // "check tracks": the track page, then the track files made again from its cuts.
    // PageResult::Back to go on tagging; PageResult::Close when the page was closed or the files
    // could not be made (said so; the recording is kept).
    PageResult CheckTracks();
    bool TracksEditable() const;
    // The capture device is held by another program: says which.
    void BusyMessage();
    void Message(StringId stringId);
    void Message(const std::string& text);
    // A message that reports and does not warn: the run goes on as usual.
    void Inform(const std::string& text);
    // Closes the input, keeping what was recorded and not exported.
    void KeepWhatIsNotExported();
    ExportFormat StoredFormat() const;
    // "back" would throw the recording away: true when the user says so.
    bool ConfirmDiscard();
    // The cut of recording failed: says why and that the recording is kept, and keeps it.
    void ReportCutFailure(const std::filesystem::path& recording);

    WizardServices m_services;
    std::string m_productTitle;
    std::vector<UsbIdPair> m_devices;
    IdentifiedDevice m_deviceMatch{};
    int m_sourceType = 0;
    std::vector<std::string> m_tracks;
    TagSet m_tags;
    // As typed, before cleaning: shown again when the tag pages come back, and noted in the
    // recording's journal so that a later run can show them too.
    TagSet m_typed;
    // The side a lookup on the first tag page named the tracks from: it names the tracks of
    // the later pages and places cuts on the track page.
    LookedUpSide m_side;
    ExportFormat m_format = ExportFormat::Wav;
    bool m_recovered = false;
    bool m_exportTried = false;
    bool m_exported = false;
    std::vector<std::string> m_keptFiles;
};

}  // namespace sondrel
