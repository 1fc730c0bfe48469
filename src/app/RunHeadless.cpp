#include "app/RunHeadless.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>

#include "app/CHeadlessHost.h"
#include "app/CSession.h"
#include "app/CutsArgument.h"
#include "app/HeadlessLookup.h"
#include "app/RecoveryChoice.h"
#include "app/RecoveryText.h"
#include "base/WaveFormat.h"
#include "export/CWavExporter.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CRecorder.h"

namespace sondrel {

namespace {

// The recording --recover names, with the cuts --cut gives; E_FAIL with a message.
HRESULT ChooseRecording(const CommandLine& cl, const std::filesystem::path& folder,
                        std::string& recoverPath, std::string& error) {
    if (cl.recover && Failed(ChooseRecovery(*cl.recover, folder, recoverPath, error)))
        return E_FAIL;
    if ((!cl.cuts.empty() || cl.listCuts) && !cl.recover) {
        error = "--cut and --list-cuts go with --recover";
        return E_FAIL;
    }
    if (!cl.cuts.empty() && Failed(ApplyCuts(recoverPath, cl.cuts, error)))
        return E_FAIL;
    return S_OK;
}

HeadlessDeck SimulatedDeck(CSimPlatform& sim, bool realTime) {
    HeadlessDeck deck;
    CSimDeck& d = sim.Deck();
    deck.start = [&sim] { sim.StartDeck(); };
    deck.sideFinished = [&d] { return d.IsSideRecorded(); };
    deck.sideSeconds = [&d] {
        return static_cast<double>(d.SideFrames()) / static_cast<double>(kCaptureFramesPerSecond);
    };
    if (!realTime) {
        // Lossless capture can wait at a frame, so marks land exactly where asked.
        deck.holdAt = [&d](std::uint64_t frame) { d.HoldAt(frame); };
        deck.heldAndDrained = [&d] { return d.IsHeldAndDrained(); };
        deck.release = [&d] { d.ReleaseHold(); };
    }
    return deck;
}

// The pages' answers: the command line's, with --lookup's titles where it gave none.
HeadlessAnswers PageAnswers(const CommandLine& cl, const SessionEnvironment& env) {
    HeadlessAnswers answers = cl.answers;
    if (cl.lookup) {
        const std::unique_ptr<ITitleLookup> lookup =
            env.createTitleLookup ? env.createTitleLookup() : nullptr;
        LookUpHeadlessTitles(lookup.get(), cl.side, answers, *env.out, *env.err);
    }
    return answers;
}

// Goes through the wizard, or exports the recording to recover, with every page answered
// from the command line.
void Run(CSession& session, CHeadlessHost& host, const std::string& recoverPath) {
    CRecorder& recorder = session.Recorder();
    host.stopRequested = [&session] { return session.StopRequested(); };
    host.recordedFrames = [&recorder] { return recorder.BytesWritten() / kCaptureBlockAlign; };
    host.fileLimitReached = [&recorder] { return recorder.FileLimitWasReached(); };
    host.albumFolder = [&session] { return session.Exporter().AlbumFolder(); };
    WizardServices services = session.Services(host);
    // Headless, the page ends as soon as the file is full: what is missing is what was asked.
    services.secondsNotRecorded = [&host, &recorder] {
        return std::max(host.SecondsNotRecorded(), recorder.SecondsPastFileLimit());
    };
    session.Run(services, recoverPath);
}

// How far the export got, and why it stopped.
void ReportExportFailure(CSession& session, const CHeadlessHost& host, std::ostream& err) {
    const std::filesystem::path album = session.Exporter().AlbumFolder();
    const std::size_t exported = host.ExportedTrackCount();
    // The exporter knows what the system said; the host only that the export failed.
    std::string why = session.Exporter().FailureReason();
    if (why.empty())
        why = host.FailureReason();
    why = why.empty() ? "" : ": " + why;
    if (exported > 0) {
        err << "sondrel: the export failed: " << exported << " of " << host.TrackCount()
            << " tracks are in " << album.string() << "; the other " << host.TrackCount() - exported
            << " were not exported" << why << "\n";
    } else {
        err << "sondrel: no tracks were exported" << why << "\n";
    }
}

// Says on standard error what went wrong or was left behind; the exit code.
int Report(CSession& session, const CHeadlessHost& host, std::ostream& err) {
    CRecorder& recorder = session.Recorder();
    if (!recorder.RecordingsFolderProblem().empty()) {
        err << "sondrel: recordings cannot be kept in " << session.RecordingsFolder().string()
            << " (" << recorder.RecordingsFolderProblem() << ")\n";
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
    if (const std::vector<std::string> kept = session.KeptFiles(); !kept.empty()) {
        err << "sondrel: not exported, kept for a later run (--list-unfinished, --recover):\n";
        for (const std::string& file : kept)
            err << "  " << file << "\n";
    }
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
    session.CloseDevices(err);

    if (!host.Succeeded()) {
        ReportExportFailure(session, host, err);
        return 1;
    }
    // Every track was exported, but of a recording that is not whole.
    return writeFailed || cutShort ? 1 : 0;
}

}  // namespace

int RunHeadless(const CommandLine& cl, const SessionEnvironment& env) {
    std::string error;
    if (cl.listUnfinished) {
        // Listing needs no devices, only the folder.
        std::filesystem::path folder;
        if (Failed(CSession::FindRecordingsFolder(cl, env, folder, error))) {
            *env.err << "sondrel: " << error << "\n";
            return 2;
        }
        ListUnfinished(folder, *env.out);
        return 0;
    }

    CSession session(cl, env);
    std::string recoverPath;
    if (Failed(session.Open(error)) ||
        Failed(ChooseRecording(cl, session.RecordingsFolder(), recoverPath, error))) {
        *env.err << "sondrel: " << error << "\n";
        return 2;
    }
    if (cl.listCuts)
        return Succeeded(ListCuts(recoverPath, *env.out)) ? 0 : 1;
    CSimPlatform* sim = session.Simulation();
    CHeadlessHost host(PageAnswers(cl, env),
                       sim ? SimulatedDeck(*sim, cl.realTime) : HeadlessDeck{}, *env.out);
    Run(session, host, recoverPath);
    return Report(session, host, *env.err);
}

}  // namespace sondrel
