// One run of the program, whichever host shows its pages: decides once where recordings are
// kept, opens the devices, reads the settings and builds the recorder, exporter and wizard flow
// over them. The windowed and the headless run each make a host, run a session and report.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CHostMonoQuestion.h"
#include "app/CSettings.h"
#include "app/CStopSignals.h"
#include "app/CWizardFlow.h"
#include "app/CommandLine.h"
#include "base/ComPtr.h"
#include "platform/IPlatform.h"
#include "platform/ISettingsStore.h"

namespace sondrel {

class CSimPlatform;
class CRecorder;
class CWavExporter;

// What the program (or a test) hands a session besides the command line.
struct SessionEnvironment {
    ISettingsStore* vendorStore = nullptr;   // export folder and format
    ISettingsStore* profileStore = nullptr;  // record level, channel, device
    // Creates the real platform; when null, the Linux backends (ALSA, udev) where this build
    // has them.
    std::function<HRESULT(const CommandLine&, std::unique_ptr<IPlatform>&, std::string& error)>
        createRealPlatform;
    // The simulated computer keeps its files in the user's real music and temporary folders
    // (the program's demo); tests leave it in its own.
    bool simulationUsesUserFolders = false;
    // Where recordings are kept instead of the user's recordings folder (tests keep theirs).
    std::filesystem::path recordingsFolder;
    // SIGINT and SIGTERM stop the recording as "next" would (the first) or end the run at
    // once (the second); the program sets this, tests that send themselves signals too.
    bool handleStopSignals = false;
    // The most a recording's file takes (0: the WAV format's limit); tests reach it with a
    // few seconds instead of 4 GiB.
    std::uint64_t recordingFileLimitBytes = 0;
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
};

// Main thread only. Members are made in Open in the order they depend on each other and torn
// down in reverse: the recorder lets go of the devices before the platform goes.
class CSession {
public:
    CSession(const CommandLine& commandLine, const SessionEnvironment& environment);
    ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // Where the recordings of such a run are kept, decided without opening any device: the
    // environment's folder, else the simulation's own, else the user's.
    static HRESULT FindRecordingsFolder(const CommandLine& commandLine,
                                        const SessionEnvironment& environment,
                                        std::filesystem::path& folder, std::string& error);

    // Opens the devices, clears what earlier runs left without audio, reads the settings and
    // settles the export folder; E_FAIL with a message when an argument or the devices cannot
    // be used.
    HRESULT Open(std::string& error);

    const std::filesystem::path& RecordingsFolder() const { return m_recordingsFolder; }
    IPlatform& Platform() { return *m_platform; }
    CSimPlatform* Simulation() { return m_simulation; }  // null on real devices
    CSettings& Settings() { return *m_settings; }
    CRecorder& Recorder() { return *m_recorder; }
    CWavExporter& Exporter() { return *m_exporter; }
    // --export-folder, else the stored setting (created or repaired on reading).
    std::filesystem::path ExportFolder();
    // A stop signal arrived during the run.
    bool StopRequested() const { return CStopSignals::Requested(); }

    // The services the flow calls on, wired to this session's devices, recorder and exporter;
    // the host shows the pages.
    WizardServices Services(IWizardHost& host);
    // Runs the wizard, or exports the recording at recoverPath, with these services (the host
    // may have adjusted them).
    void Run(const WizardServices& services, const std::string& recoverPath);
    // What the run left unexported and where; see CWizardFlow. Valid during and after Run.
    std::vector<std::string> KeptFiles() const;
    std::filesystem::path KeptFolder() const;

    // Lets go of the devices and tells what they have to report (the monitor running dry).
    void CloseDevices(std::ostream& err);

private:
    HRESULT CreatePlatform(std::string& error);
    HRESULT CreateSimulation(std::string& error);

    const CommandLine& m_cl;
    const SessionEnvironment& m_env;
    bool m_previousVerbose;
    std::filesystem::path m_recordingsFolder;
    std::unique_ptr<IPlatform> m_platform;
    CSimPlatform* m_simulation = nullptr;
    std::function<void(std::ostream&)> m_reportDevices;
    std::optional<CSettings> m_settings;
    std::filesystem::path m_exportFolder;  // --export-folder; empty: the stored setting
    std::optional<CStopSignals> m_stopSignals;
    ComPtr<CRecorder> m_recorder;
    std::unique_ptr<CWavExporter> m_exporter;
    std::unique_ptr<CWizardFlow> m_flow;
    std::unique_ptr<CHostMonoQuestion> m_monoQuestion;
};

}  // namespace sondrel
