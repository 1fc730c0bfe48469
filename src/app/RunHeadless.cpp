#include "app/RunHeadless.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <ostream>

#include "app/CHeadlessHost.h"
#include "app/CSettings.h"
#include "app/CWizardFlow.h"
#include "app/ProgramSetup.h"
#include "app/RecoveryText.h"
#include "base/StringTable.h"
#include "base/TextUtil.h"
#include "export/CWavExporter.h"
#include "platform/DebugOutput.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CRecorder.h"
#include "recording/CRecordingJournal.h"
#include "recording/CRecordingLock.h"
#include "recording/CTrackCuts.h"
#include "recording/UnfinishedRecordings.h"

namespace sondrel {

namespace {

std::atomic<int> g_stopSignals{0};

void OnStopSignal(int signalNumber) {
    // The first signal asks the recording to stop as "next" would; a second one ends the run
    // at once. Only async-signal-safe calls here.
    if (g_stopSignals.fetch_add(1, std::memory_order_relaxed) > 0) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
}

// SIGINT and SIGTERM for the length of one run; the previous handlers come back afterwards.
class CStopSignals {
public:
    explicit CStopSignals(bool install) : m_installed(install) {
        g_stopSignals.store(0);
        if (!m_installed)
            return;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_previousInt);
        ::sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~CStopSignals() {
        if (!m_installed)
            return;
        ::sigaction(SIGINT, &m_previousInt, nullptr);
        ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    static bool Requested() { return g_stopSignals.load(std::memory_order_relaxed) > 0; }

private:
    bool m_installed;
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

int ListUnfinished(const std::filesystem::path& folder, std::ostream& out) {
    const auto found = FindUnfinishedRecordings(folder);
    if (found.empty())
        out << "No unfinished recordings in " << folder.string() << "\n";
    for (const UnfinishedRecording& recording : found) {
        out << recording.path.string();
        if (recording.CanBeRecovered()) {
            out << "\t" << DescribeUnfinished(recording);
        } else {
            out << "\t(" << recording.problem << ")";
        }
        out << "\n";
    }
    return 0;
}

HRESULT ChooseRecovery(const std::string& which, const std::filesystem::path& folder,
                       std::string& path, std::string& error) {
    if (which == "newest") {
        for (const UnfinishedRecording& recording : FindUnfinishedRecordings(folder)) {
            if (recording.CanBeRecovered()) {
                path = recording.path.string();
                return S_OK;
            }
        }
        error = "no unfinished recording in " + folder.string();
        return E_FAIL;
    }
    // Only the program's own recordings: never a file of an album or of the user's elsewhere,
    // which the export would move away.
    if (!IsRecordingIn(which, folder)) {
        error = which + " is not an unfinished recording in " + folder.string() +
                " (see --list-unfinished)";
        return E_FAIL;
    }
    const UnfinishedRecording recording = InspectRecording(which);
    if (!recording.CanBeRecovered()) {
        error = which + " cannot be recovered: " + recording.problem;
        return E_FAIL;
    }
    if (CRecordingLock::IsHeldElsewhere(which)) {
        error = which + " is in use by another run of Sondrel";
        return E_FAIL;
    }
    path = which;
    return S_OK;
}

// A recording's marks (its journal's, else what the track detector finds) and its frames.
HRESULT RecordingMarks(const std::string& path, std::vector<std::uint64_t>& marks,
                       std::uint64_t& frames, std::size_t& exported) {
    frames = static_cast<std::uint64_t>(std::llround(InspectRecording(path).seconds * 44100.0));
    CRecordingJournal journal(path);
    if (Failed(journal.Load()))
        return E_FAIL;
    const RecordingJournalData data = journal.Data();
    exported = data.ExportedCount();
    if (data.marks) {
        marks = *data.marks;
        return S_OK;
    }
    return DetectTrackMarks(path, marks);
}

std::string Seconds(std::uint64_t frame) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(frame) / 44100.0);
    return text;
}

// --cut: the recording is exported with exactly these cuts, which its journal then holds.
HRESULT ApplyCuts(const std::string& path, std::vector<double> seconds, std::string& error) {
    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    std::size_t exported = 0;
    if (Failed(RecordingMarks(path, marks, frames, exported))) {
        error = path + ": its cuts cannot be read";
        return E_FAIL;
    }
    if (exported > 0) {
        error = "--cut: tracks of " + path + " are already exported; its cuts stay";
        return E_FAIL;
    }
    const std::uint64_t end = marks.empty() ? frames : marks.back() / kCaptureBlockAlign;
    std::sort(seconds.begin(), seconds.end());
    std::vector<std::uint64_t> cuts;
    for (const double at : seconds) {
        const auto frame = static_cast<std::uint64_t>(std::llround(at * 44100.0));
        const std::uint64_t previous = cuts.empty() ? 0 : cuts.back();
        if (frame == 0 || frame >= end) {
            error = "--cut " + Seconds(frame) + ": outside the recording (0.000 to " +
                    Seconds(end) + " s)";
            return E_FAIL;
        }
        if (frame < previous + CTrackCuts::kMinTrackFrames ||
            frame + CTrackCuts::kMinTrackFrames > end) {
            const std::uint64_t near =
                frame < previous + CTrackCuts::kMinTrackFrames ? previous : end;
            error = "--cut " + Seconds(frame) + ": closer than 1 s to " +
                    (near == 0     ? std::string("the start")
                     : near == end ? "the end (" + Seconds(end) + " s)"
                                   : Seconds(near));
            return E_FAIL;
        }
        cuts.push_back(frame);
    }
    CRecordingJournal journal(path);
    journal.Load();
    RecordingJournalData data = journal.Data();
    data.marks = CTrackCuts(end, cuts).ToMarks();
    data.cut = false;
    if (Failed(journal.Update(data))) {
        error = path + ": its journal cannot be written";
        return E_FAIL;
    }
    return S_OK;
}

int ListCuts(const std::string& path, std::ostream& out) {
    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    std::size_t exported = 0;
    if (Failed(RecordingMarks(path, marks, frames, exported)))
        return 1;
    for (std::size_t i = 0; i + 1 < marks.size(); ++i)
        out << Seconds(marks[i] / kCaptureBlockAlign) << "\n";
    return 0;
}

// What one run holds from set-up to report. Each member may refer to the ones above it, so
// they are made in this order and torn down in reverse.
struct HeadlessRun {
    std::unique_ptr<IPlatform> platform;
    CSimPlatform* sim = nullptr;  // the simulation in `platform`, null on real devices
    std::function<void(std::ostream&)> reportDevice;
    std::filesystem::path workingFolder;
    std::string recoverPath;  // empty: record a side
    std::optional<CSettings> settings;
    std::filesystem::path exportFolder;  // --export-folder; empty: the stored setting
    std::optional<CHeadlessHost> host;
    std::optional<CStopSignals> stopSignals;
    ComPtr<CRecorder> recorder;
    std::optional<CWavExporter> exporter;
    std::vector<std::string> kept;  // recordings not exported, left for a later run
};

// Opens the devices, picks the recording to recover and settles the export folder; E_FAIL
// with a message when an argument or the devices cannot be used.
HRESULT SetUp(const CommandLine& cl, const HeadlessEnvironment& env, HeadlessRun& run,
              std::string& error) {
    if (Failed(CreatePlatform(cl, env, run.platform, run.sim, run.reportDevice, error)))
        return E_FAIL;

    run.workingFolder = WorkingFolder(env, *run.platform);
    // What holds no audio is neither offered nor recovered.
    if (!run.workingFolder.empty())
        RemoveLeftovers(run.workingFolder);
    if (cl.recover &&
        Failed(ChooseRecovery(*cl.recover, run.workingFolder, run.recoverPath, error))) {
        return E_FAIL;
    }
    if ((!cl.cuts.empty() || cl.listCuts) && !cl.recover) {
        error = "--cut and --list-cuts go with --recover";
        return E_FAIL;
    }
    if (!cl.cuts.empty() && Failed(ApplyCuts(run.recoverPath, cl.cuts, error)))
        return E_FAIL;

    run.settings.emplace(*env.vendorStore, *env.profileStore, run.platform->Shell());
    if (cl.exportFolder)
        return UseExportFolderArgument(*cl.exportFolder, run.exportFolder, error);
    // Creates the folder, or repairs the setting, before anything needs it.
    run.settings->ReadExportFolder();
    return S_OK;
}

HeadlessDeck SimulatedDeck(CSimPlatform& sim, bool realTime) {
    HeadlessDeck deck;
    CSimDeck& d = sim.Deck();
    deck.start = [&sim] { sim.StartDeck(); };
    deck.sideFinished = [&d] { return d.IsSideRecorded(); };
    deck.sideSeconds = [&d] { return static_cast<double>(d.SideFrames()) / 44100.0; };
    if (!realTime) {
        // Lossless capture can wait at a frame, so marks land exactly where asked.
        deck.holdAt = [&d](std::uint64_t frame) { d.HoldAt(frame); };
        deck.heldAndDrained = [&d] { return d.IsHeldAndDrained(); };
        deck.release = [&d] { d.ReleaseHold(); };
    }
    return deck;
}

// Goes through the wizard, or exports the recording to recover, with every page answered
// from the command line.
void Run(const CommandLine& cl, const HeadlessEnvironment& env, HeadlessRun& run) {
    CHeadlessHost& host = run.host.emplace(
        cl.answers, run.sim ? SimulatedDeck(*run.sim, cl.realTime) : HeadlessDeck{}, *env.out);
    run.stopSignals.emplace(env.handleStopSignals);
    host.stopRequested = [] { return CStopSignals::Requested(); };

    run.recorder = ComPtr<CRecorder>::Attach(new CRecorder(*run.platform, *env.profileStore));
    CRecorder& recorder = *run.recorder;
    recorder.SetTempFolder(env.recordingsFolder);
    recorder.SetFileLimitBytes(env.recordingFileLimitBytes);
    host.recordedFrames = [&recorder] { return recorder.BytesWritten() / kCaptureBlockAlign; };
    host.fileLimitReached = [&recorder] { return recorder.FileLimitWasReached(); };
    CWavExporter& exporter = run.exporter.emplace([&run] {
        return run.exportFolder.empty() ? run.settings->ReadExportFolder() : run.exportFolder;
    });
    host.albumFolder = [&exporter] { return exporter.AlbumFolder(); };

    WizardServices services = MakeWizardServices(*run.platform, recorder, exporter);
    services.host = &host;
    services.storedFormat = [&run, &cl] {
        return cl.format ? *cl.format : run.settings->ReadExportFormat();
    };
    // Headless, the page ends as soon as the file is full: what is missing is what was asked.
    services.secondsNotRecorded = [&host, &recorder] {
        return std::max(host.SecondsNotRecorded(), recorder.SecondsPastFileLimit());
    };
    CWizardFlow flow(services);
    CHostMonoQuestion question(host);
    flow.startRecordPage.monoCheck = MonoCheck(*run.platform, recorder, question);
    if (run.recoverPath.empty())
        flow.RunWizard();
    else
        flow.RunRecovered(run.recoverPath);
    run.kept = flow.KeptFiles();
}

// How far the export got, and why it stopped.
void ReportExportFailure(const HeadlessRun& run, std::ostream& err) {
    const CHeadlessHost& host = *run.host;
    const std::filesystem::path album = run.exporter->AlbumFolder();
    const std::size_t exported = host.ExportedTrackCount();
    if (exported > 0) {
        err << "sondrel: the export failed: " << exported << " of " << host.TrackCount()
            << " tracks are in " << album.string() << "; the other " << host.TrackCount() - exported
            << " were not exported"
            << (host.FailureReason().empty() ? "" : ": " + host.FailureReason()) << "\n";
    } else {
        err << "sondrel: no tracks were exported"
            << (host.FailureReason().empty() ? "" : ": " + host.FailureReason()) << "\n";
    }
    if (!run.exporter->FailureReason().empty())
        err << "sondrel: the export failed: " << run.exporter->FailureReason() << "\n";
}

// Says on standard error what went wrong or was left behind; the exit code.
int Report(HeadlessRun& run, std::ostream& err) {
    CRecorder& recorder = *run.recorder;
    if (!recorder.WorkingFolderProblem().empty()) {
        err << "sondrel: recordings cannot be kept in " << run.workingFolder.string() << " ("
            << recorder.WorkingFolderProblem() << ")\n";
    }
    if (recorder.DeviceWasLost()) {
        const std::string reason = recorder.DeviceLossReason();
        err << "sondrel: the capture device was disconnected during the recording"
            << (reason.empty() ? "" : " (" + reason + ")")
            << "; what was recorded until then is kept\n";
    }
    if (recorder.LostSeconds() > 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", recorder.LostSeconds());
        err << "sondrel: " << seconds
            << " seconds of audio were lost: the computer could not keep up with the recording\n";
    }
    if (!run.kept.empty()) {
        err << "sondrel: not exported, kept for a later run (--list-unfinished, --recover):\n";
        for (const std::string& file : run.kept)
            err << "  " << file << "\n";
    }
    const CHeadlessHost& host = *run.host;
    const bool cutShort = recorder.FileLimitWasReached() && host.SecondsNotRecorded() > 0;
    if (recorder.FileLimitWasReached()) {
        err << "sondrel: the recording reached the largest size a WAV file can hold and ended "
               "there";
        if (cutShort) {
            err << "; " << FormatLengthText(host.SecondsNotRecorded())
                << " of what was asked were not recorded";
        }
        err << "\n";
    }
    int writeError = 0;
    const bool writeFailed = recorder.GetWriteError(writeError) == S_OK;
    if (writeFailed) {
        err << "sondrel: writing the recording failed (" << std::strerror(writeError)
            << "); the recording ends where writing stopped\n";
    }
    // The devices' own report comes once the recorder has let go of them.
    run.recorder.Reset();
    if (run.reportDevice)
        run.reportDevice(err);

    if (!host.Succeeded()) {
        ReportExportFailure(run, err);
        return 1;
    }
    // Every track was exported, but of a recording that is not whole.
    return writeFailed || cutShort ? 1 : 0;
}

}  // namespace

int RunHeadless(const CommandLine& cl, const HeadlessEnvironment& env) {
    SetDebugOutputVerbose(cl.verbose);
    std::string error;
    if (cl.listUnfinished) {
        // Listing needs no devices, only the folder.
        std::filesystem::path folder;
        if (Failed(RecordingsFolder(cl, env, folder, error))) {
            *env.err << "sondrel: " << error << "\n";
            return 2;
        }
        return ListUnfinished(folder, *env.out);
    }

    HeadlessRun run;
    if (Failed(SetUp(cl, env, run, error))) {
        *env.err << "sondrel: " << error << "\n";
        return 2;
    }
    if (cl.listCuts)
        return ListCuts(run.recoverPath, *env.out);
    Run(cl, env, run);
    return Report(run, *env.err);
}

}  // namespace sondrel
