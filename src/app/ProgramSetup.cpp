#include "app/ProgramSetup.h"

#include "base/StringTable.h"
#include "devices/IdentifyCaptureDevice.h"
#include "export/CWavExporter.h"
#include "platform/sim/CSimPlatform.h"
#include "platform/sim/SimSystemDescription.h"
#include "recording/CRecorder.h"

#if SONDREL_HAVE_LINUX_BACKENDS
#include "platform/linux/CLinuxPlatform.h"
#include "platform/linux/CLinuxShell.h"
#endif

namespace sondrel {

HRESULT CreateSimulation(const CommandLine& cl, std::unique_ptr<CSimPlatform>& platform,
                         std::string& error) {
    if (cl.simulateSystem) {
        SimSystemDescription description;
        if (Failed(SimSystemDescription::Load(*cl.simulateSystem, description, error)))
            return E_FAIL;
        // Such a system could only ever end at the connect page; it is a mistake in the file.
        if (description.captureDevices.empty()) {
            error = cl.simulateSystem->string() + " describes no capture device";
            return E_FAIL;
        }
        if (Failed(CSimPlatform::Create(std::move(description), platform, error)))
            return E_FAIL;
    } else {
        SimSystemDescription description = SimSystemDescription::ForDemoDevice();
        if (cl.simulateDevice) {
            // The command line took only devices of the table; the capture device is named
            // after the row's first name.
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
        if (Failed(CSimPlatform::Create(std::move(description), platform, error)))
            return E_FAIL;
    }
    platform->SetCaptureMode(cl.realTime ? SimCaptureMode::Paced : SimCaptureMode::Lossless);
    return S_OK;
}

bool CHostMonoQuestion::AskVisitSupportPage() {
    return m_host.MessageBox(LoadString(kIdsMsgMonoRecording), MessageButtons::YesNo,
                             MessageIcon::Exclamation) == kAnswerYes;
}

std::string CaptureDeviceInUse(IRecorder& recorder) {
    std::uint32_t selected = 0;
    if (Failed(recorder.GetSelectedDevice(selected)))
        return {};
    std::uint32_t id = 0;
    std::string name;
    for (std::uint32_t i = 0; recorder.GetDeviceInfo(i, id, name) == S_OK; ++i) {
        if (id == selected)
            return name;
    }
    return {};
}

namespace {

HRESULT CreateLinuxPlatform(const CommandLine& cl, std::unique_ptr<IPlatform>& platform,
                            std::string& error, std::function<void(std::ostream&)>& report) {
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

}  // namespace

HRESULT CreatePlatform(const CommandLine& cl, const HeadlessEnvironment& env,
                       std::unique_ptr<IPlatform>& platform, CSimPlatform*& simulationOut,
                       std::function<void(std::ostream&)>& report, std::string& error) {
    if (cl.UsesSimulation()) {
        std::unique_ptr<CSimPlatform> simulation;
        if (Failed(CreateSimulation(cl, simulation, error)))
            return E_FAIL;
        CSimPlatform* sim = simulation.get();
#if SONDREL_HAVE_LINUX_BACKENDS
        if (env.simulationUsesUserFolders) {
            CLinuxShell userShell;
            std::filesystem::path folder;
            if (Succeeded(userShell.GetMusicFolder(folder)))
                sim->SetMusicFolder(folder);
            if (Succeeded(userShell.GetTempFolder(folder)))
                sim->SetTempFolder(folder);
            if (Succeeded(userShell.GetRecordingsFolder(folder)))
                sim->SetRecordingsFolder(folder);
        }
#endif
        simulationOut = sim;
        platform = std::move(simulation);
        return S_OK;
    }
    simulationOut = nullptr;
    return env.createRealPlatform ? env.createRealPlatform(cl, platform, error)
                                  : CreateLinuxPlatform(cl, platform, error, report);
}

HRESULT RecordingsFolder(const CommandLine& cl, const HeadlessEnvironment& env,
                         std::filesystem::path& folder, std::string& error) {
    if (!env.recordingsFolder.empty()) {
        folder = env.recordingsFolder;
        return S_OK;
    }
    if (cl.UsesSimulation() && !env.simulationUsesUserFolders) {
        std::unique_ptr<CSimPlatform> simulation;
        if (Failed(CreateSimulation(cl, simulation, error)))
            return E_FAIL;
        return simulation->Shell().GetRecordingsFolder(folder);
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

std::filesystem::path WorkingFolder(const HeadlessEnvironment& env, IPlatform& platform) {
    std::filesystem::path folder = env.recordingsFolder;
    if (folder.empty())
        platform.Shell().GetRecordingsFolder(folder);
    return folder;
}

WizardServices MakeWizardServices(IPlatform& platform, CRecorder& recorder,
                                  CWavExporter& exporter) {
    WizardServices services;
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
    services.lostSeconds = [&recorder] { return recorder.LostSeconds(); };
    services.deviceLost = [&recorder] { return recorder.DeviceWasLost(); };
    services.fileLimitReached = [&recorder] { return recorder.FileLimitWasReached(); };
    services.secondsNotRecorded = [&recorder] { return recorder.SecondsPastFileLimit(); };
    services.deviceHolder = [&recorder] { return recorder.DeviceHolder(); };
    return services;
}

std::function<bool()> MonoCheck(IPlatform& platform, IRecorder& recorder,
                                IMonoRecordingQuestion& question) {
    return [&platform, &recorder, &question] {
        return CheckMonoRecording(platform.System(), platform.Endpoints(),
                                  CaptureDeviceInUse(recorder), question);
    };
}

}  // namespace sondrel
