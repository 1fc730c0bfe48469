#include "app/CSession.h"

#include <ostream>

#include "app/CHostMonoQuestion.h"
#include "devices/IdentifyCaptureDevice.h"
#include "export/CWavExporter.h"
#include "platform/DebugOutput.h"
#include "platform/sim/CSimPlatform.h"
#include "platform/sim/SimSystemDescription.h"
#include "recording/CRecorder.h"
#include "recording/UnfinishedRecordings.h"

#if SONDREL_HAVE_LINUX_BACKENDS
#include "platform/linux/CLinuxPlatform.h"
#include "platform/linux/CLinuxShell.h"
#endif

namespace sondrel {

namespace {

// The simulated computer the command line describes: a system file, else the demo turntable
// or a row of the device table, playing the demo side or a WAV file.
HRESULT DescribeSimulation(const CommandLine& cl, SimSystemDescription& description,
                           std::string& error) {
    if (cl.simulateSystem) {
        if (Failed(SimSystemDescription::Load(*cl.simulateSystem, description, error)))
            return E_FAIL;
        // Such a system could only ever end at the connect page; it is a mistake in the file.
        if (description.captureDevices.empty()) {
            error = cl.simulateSystem->string() + " describes no capture device";
            return E_FAIL;
        }
        return S_OK;
    }
    description = SimSystemDescription::ForDemoDevice();
    if (cl.simulateDevice) {
        // The command line took only devices of the table; the capture device is named after
        // the row's first name.
        const KnownDevice* row =
            FindKnownDevice(cl.simulateDevice->first, cl.simulateDevice->second);
        if (row != nullptr) {
            description = SimSystemDescription::ForUsbDevice(row->vendorId, row->productId,
                                                             row->captureNames[0]);
        }
    }
    if (cl.simulateWav) {
        description.deckSource = SimDeckSource::WavFile;
        description.deckWavPath = *cl.simulateWav;
    }
    return S_OK;
}

HRESULT CreateLinuxPlatform(const CommandLine& cl, std::unique_ptr<IPlatform>& platform,
                            std::function<void(std::ostream&)>& report, std::string& error) {
#if SONDREL_HAVE_LINUX_BACKENDS
    LinuxPlatformOptions options;
    options.fakeUsb = cl.fakeUsb;
    std::unique_ptr<CLinuxPlatform> linuxPlatform;
    const HRESULT hr = CLinuxPlatform::Create(options, linuxPlatform, error);
    if (Succeeded(hr)) {
        // The monitor's gaps are told at the end; what overruns cost a recording is counted
        // in its lost seconds.
        CLinuxPlatform& devices = *linuxPlatform;
        report = [&devices](std::ostream& err) {
            if (devices.OutputUnderruns() > 0) {
                err << "sondrel: the monitor output ran dry " << devices.OutputUnderruns()
                    << " time(s)\n";
            }
        };
    }
    platform = std::move(linuxPlatform);
    return hr;
#else
    (void)cl;
    (void)platform;
    (void)report;
    error = "this build has no real audio devices; use --simulate or --demo";
    return E_FAIL;
#endif
}

// The folder of --export-folder, created when missing and made absolute; E_FAIL with a
// message when it names a file or cannot be created.
HRESULT UseExportFolderArgument(const std::filesystem::path& argument,
                                std::filesystem::path& folder, std::string& error) {
    // Error-code forms throughout: a name too long or a loop of links is a bad argument, not
    // an exception that ends the program.
    std::error_code ec;
    if (std::filesystem::exists(argument, ec) && !std::filesystem::is_directory(argument, ec)) {
        error = "the export folder " + argument.string() + " is a file, not a folder";
        return E_FAIL;
    }
    std::filesystem::create_directories(argument, ec);
    if (!std::filesystem::is_directory(argument, ec)) {
        error = "the export folder " + argument.string() + " cannot be created";
        return E_FAIL;
    }
    folder = std::filesystem::absolute(argument, ec);
    if (ec)
        folder = argument;
    return S_OK;
}

}  // namespace

CSession::CSession(const CommandLine& commandLine, const SessionEnvironment& environment)
    : m_cl(commandLine), m_env(environment), m_previousVerbose(IsDebugOutputVerbose()) {
    SetDebugOutputVerbose(m_cl.verbose);
}

CSession::~CSession() {
    m_flow.reset();
    m_recorder.Reset();
    m_exporter.reset();
    m_platform.reset();
    SetDebugOutputVerbose(m_previousVerbose);
}

HRESULT CSession::FindRecordingsFolder(const CommandLine& cl, const SessionEnvironment& env,
                                       std::filesystem::path& folder, std::string& error) {
    if (!env.recordingsFolder.empty()) {
        folder = env.recordingsFolder;
        return S_OK;
    }
    if (cl.UsesSimulation() && !env.simulationUsesUserFolders) {
        folder = CSimPlatform::DefaultRecordingsFolder();
        return S_OK;
    }
#if SONDREL_HAVE_LINUX_BACKENDS
    if (Succeeded(CLinuxShell().GetRecordingsFolder(folder)))
        return S_OK;
    error = "no home folder is known for the recordings";
#else
    error = "this build keeps recordings only for the simulation; use --simulate";
#endif
    return E_FAIL;
}

HRESULT CSession::CreateSimulation(std::string& error) {
    SimSystemDescription description;
    std::unique_ptr<CSimPlatform> simulation;
    if (Failed(DescribeSimulation(m_cl, description, error)) ||
        Failed(CSimPlatform::Create(std::move(description), simulation, error))) {
        return E_FAIL;
    }
    simulation->SetCaptureMode(m_cl.realTime ? SimCaptureMode::Paced : SimCaptureMode::Lossless);
#if SONDREL_HAVE_LINUX_BACKENDS
    if (m_env.simulationUsesUserFolders) {
        CLinuxShell userShell;
        std::filesystem::path folder;
        if (Succeeded(userShell.GetMusicFolder(folder)))
            simulation->SetMusicFolder(folder);
        if (Succeeded(userShell.GetTempFolder(folder)))
            simulation->SetTempFolder(folder);
    }
#endif
    simulation->SetRecordingsFolder(m_recordingsFolder);
    m_simulation = simulation.get();
    m_platform = std::move(simulation);
    return S_OK;
}

HRESULT CSession::CreatePlatform(std::string& error) {
    if (m_cl.UsesSimulation())
        return CreateSimulation(error);
    return m_env.createRealPlatform ? m_env.createRealPlatform(m_cl, m_platform, error)
                                    : CreateLinuxPlatform(m_cl, m_platform, m_reportDevices, error);
}

HRESULT CSession::Open(std::string& error) {
    if (Failed(FindRecordingsFolder(m_cl, m_env, m_recordingsFolder, error)) ||
        Failed(CreatePlatform(error))) {
        return E_FAIL;
    }
    // What holds no audio is neither offered nor recovered.
    RemoveLeftovers(m_recordingsFolder);
    m_settings.emplace(*m_env.vendorStore, *m_env.profileStore, m_platform->Shell());
    if (m_cl.exportFolder &&
        Failed(UseExportFolderArgument(*m_cl.exportFolder, m_exportFolder, error))) {
        return E_FAIL;
    }
    // Creates the folder, or repairs the setting, before anything needs it.
    ExportFolder();

    m_stopSignals.emplace(m_env.handleStopSignals);
    m_recorder = ComPtr<CRecorder>::Attach(new CRecorder(*m_platform, *m_env.profileStore));
    m_recorder->SetRecordingsFolder(m_recordingsFolder);
    m_recorder->SetFileLimitBytes(m_env.recordingFileLimitBytes);
    m_exporter = std::make_unique<CWavExporter>([this] { return ExportFolder(); });
    return S_OK;
}

std::filesystem::path CSession::ExportFolder() {
    return m_exportFolder.empty() ? m_settings->ReadExportFolder() : m_exportFolder;
}

WizardServices CSession::Services(IWizardHost& host) {
    WizardServices services;
    CRecorder& recorder = *m_recorder;
    CWavExporter& exporter = *m_exporter;
    IPlatform& platform = *m_platform;
    services.host = &host;
    services.recorder = &recorder;
    services.recorderSetup = &recorder;
    services.findKnownDevices = [&platform] { return FindKnownDevices(platform.Usb()); };
    services.identifyCaptureDevice = [&platform](std::uint32_t vendor, std::uint32_t product) {
        return IdentifyCaptureDevice(platform.Audio(), vendor, product);
    };
    services.startExport = [&exporter, &recorder](
                               const std::vector<std::string>& tracks, const std::string& artist,
                               const std::vector<std::string>& titles, const std::string& album,
                               const std::string& productTitle, ComPtr<IProgressStatus>& progress) {
        // Each step of the export goes into the recording's journal.
        exporter.UseJournal(recorder.Journal());
        return exporter.StartExport(tracks, artist, titles, album, productTitle, progress);
    };
    services.prepareExport = [&exporter](ExportFormat format, const TagSet& typed) {
        exporter.SetFormat(format);
        exporter.UseTagTexts(typed.artist, typed.album, typed.titles);
    };
    services.waitForExport = [&exporter] { exporter.WaitForExport(); };
    services.storedFormat = [this] {
        return m_cl.format ? *m_cl.format : m_settings->ReadExportFormat();
    };
    services.lostSeconds = [&recorder] { return recorder.LostSeconds(); };
    services.deviceLost = [&recorder] { return recorder.DeviceWasLost(); };
    services.fileLimitReached = [&recorder] { return recorder.FileLimitWasReached(); };
    services.secondsNotRecorded = [&recorder] { return recorder.SecondsPastFileLimit(); };
    services.deviceHolder = [&recorder] { return recorder.DeviceHolder(); };
    return services;
}

void CSession::Run(const WizardServices& services, const std::string& recoverPath) {
    m_flow = std::make_unique<CWizardFlow>(services);
    m_monoQuestion = std::make_unique<CHostMonoQuestion>(*services.host);
    m_flow->startRecordPage.monoCheck = MonoCheck(*m_platform, *m_recorder, *m_monoQuestion);
    if (recoverPath.empty())
        m_flow->RunWizard();
    else
        m_flow->RunRecovered(recoverPath);
}

std::vector<std::string> CSession::KeptFiles() const {
    return m_flow ? m_flow->KeptFiles() : std::vector<std::string>{};
}

std::filesystem::path CSession::KeptFolder() const {
    return m_flow ? m_flow->KeptFolder() : std::filesystem::path{};
}

void CSession::CloseDevices(std::ostream& err) {
    m_recorder.Reset();
    if (m_reportDevices)
        m_reportDevices(err);
}

}  // namespace sondrel
