#include "app/RunHeadless.h"

#include <cstring>
#include <ostream>

#include "app/CHeadlessHost.h"
#include "app/CSettings.h"
#include "app/CWizardFlow.h"
#include "app/StringTable.h"
#include "base/TextUtil.h"
#include "devices/IdentifyCaptureDevice.h"
#include "devices/StereoCheck.h"
#include "export/CWavExporter.h"
#include "platform/DebugOutput.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CRecorder.h"

#if SONDREL_HAVE_LINUX_BACKENDS
#include "platform/alsa/CAlsaAudioSystem.h"
#include "platform/linux/CLinuxPlatform.h"
#include "platform/linux/CLinuxShell.h"
#endif

namespace sondrel {

namespace {

HRESULT CreateSimulation(const CommandLine& cl, std::unique_ptr<CSimPlatform>& platform,
                         std::string& error) {
    if (cl.simulateSystem) {
        if (Failed(CSimPlatform::CreateFromFile(*cl.simulateSystem, platform, error))) {
            return E_FAIL;
        }
    } else {
        std::size_t row = SimSystemDescription::kDemoDeviceRow;
        if (cl.simulateDevice) {
            row = static_cast<std::size_t>(
                FindKnownDevice(cl.simulateDevice->first, cl.simulateDevice->second) -
                kKnownDevices.data());
        }
        SimSystemDescription description = SimSystemDescription::ForKnownDevice(row);
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

// The stereo check's question, asked through whatever host shows the pages.
class CHostMonoQuestion final : public IMonoRecordingQuestion {
public:
    explicit CHostMonoQuestion(IWizardHost& host) : m_host(host) {}
    bool AskVisitSupportPage() override {
        return m_host.MessageBox(LoadString(kIdsMsgMonoRecording), MessageButtons::YesNo,
                                 MessageIcon::Exclamation) == kAnswerYes;
    }

private:
    IWizardHost& m_host;
};

// The name of the capture device the recorder uses, which the stereo check looks for among
// the capture endpoints (whose names it cuts to 31 characters, so this one is cut alike);
// empty when none is selected.
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

HRESULT CreateLinuxPlatform(const CommandLine& cl, std::unique_ptr<IPlatform>& platform,
                            std::string& error, std::function<void(std::ostream&)>& report) {
#if SONDREL_HAVE_LINUX_BACKENDS
    LinuxPlatformOptions options;
    options.fakeUsb = cl.fakeUsb;
    std::unique_ptr<CLinuxPlatform> linuxPlatform;
    const HRESULT hr = CLinuxPlatform::Create(options, linuxPlatform, error);
    if (Succeeded(hr)) {
        // Lost audio must not go unnoticed: the device could not be read (or fed) in time.
        CAlsaAudioSystem& audio = linuxPlatform->AlsaAudio();
        report = [&audio](std::ostream& err) {
            if (audio.CaptureOverruns() > 0) {
                err << "sondrel: warning: the capture device overran " << audio.CaptureOverruns()
                    << " time(s); some audio was lost\n";
            }
            if (audio.OutputUnderruns() > 0) {
                err << "sondrel: the monitor output ran dry " << audio.OutputUnderruns()
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

int RunHeadless(const CommandLine& cl, const HeadlessEnvironment& env) {
    std::ostream& out = *env.out;
    std::ostream& err = *env.err;
    SetDebugOutputVerbose(cl.verbose);

    std::unique_ptr<IPlatform> platform;
    CSimPlatform* sim = nullptr;
    std::string error;
    std::function<void(std::ostream&)> reportDevice;
    if (cl.UsesSimulation()) {
        std::unique_ptr<CSimPlatform> simulation;
        if (Failed(CreateSimulation(cl, simulation, error))) {
            err << "sondrel: " << error << "\n";
            return 2;
        }
        sim = simulation.get();
#if SONDREL_HAVE_LINUX_BACKENDS
        if (env.simulationUsesUserFolders) {
            CLinuxShell userShell;
            std::filesystem::path folder;
            if (Succeeded(userShell.GetMusicFolder(folder)))
                sim->SetMusicFolder(folder);
            if (Succeeded(userShell.GetTempFolder(folder)))
                sim->SetTempFolder(folder);
        }
#endif
        platform = std::move(simulation);
    } else if (Failed(env.createRealPlatform
                          ? env.createRealPlatform(cl, platform, error)
                          : CreateLinuxPlatform(cl, platform, error, reportDevice))) {
        err << "sondrel: " << error << "\n";
        return 2;
    }

    CSettings settings(*env.vendorStore, *env.profileStore, platform->Shell());
    std::filesystem::path exportFolder;
    if (cl.exportFolder) {
        // Error-code forms throughout: a name too long or a loop of links is a bad argument,
        // not an exception that ends the program.
        std::error_code ec;
        std::filesystem::create_directories(*cl.exportFolder, ec);
        if (!std::filesystem::is_directory(*cl.exportFolder, ec)) {
            err << "sondrel: the export folder " << cl.exportFolder->string()
                << " cannot be created\n";
            return 2;
        }
        exportFolder = std::filesystem::absolute(*cl.exportFolder, ec);
        if (ec)
            exportFolder = *cl.exportFolder;
    } else {
        // Creates the folder, or repairs the setting, before anything needs it.
        settings.ReadExportFolder();
    }

    HeadlessDeck deck;
    if (sim) {
        CSimDeck& d = sim->Deck();
        deck.start = [sim] { sim->StartDeck(); };
        deck.sideFinished = [&d] { return d.IsSideFinished(); };
        deck.sideSeconds = [&d] { return static_cast<double>(d.SideFrames()) / 44100.0; };
        if (!cl.realTime) {
            // Lossless capture can wait at a frame, so marks land exactly where asked.
            deck.holdAt = [&d](std::uint64_t frame) { d.HoldAt(frame); };
            deck.heldAndDrained = [&d] { return d.IsHeldAndDrained(); };
            deck.release = [&d] { d.ReleaseHold(); };
        }
    }
    CHeadlessHost host(cl.answers, deck, out);

    ComPtr<CRecorder> recorder =
        ComPtr<CRecorder>::Attach(new CRecorder(*platform, *env.profileStore));
    CWavExporter exporter(
        [&]() { return exportFolder.empty() ? settings.ReadExportFolder() : exportFolder; });
    host.albumFolder = [&exporter] { return exporter.AlbumFolder(); };

    WizardServices services;
    services.host = &host;
    services.recorder = recorder.Get();
    services.recorderSetup = recorder.Get();
    services.findKnownDevices = [&] { return FindKnownDevices(platform->Usb()); };
    services.identifyCaptureDevice = [&](std::uint32_t vendor, std::uint32_t product) {
        return IdentifyCaptureDevice(platform->Audio(), vendor, product);
    };
    services.startExport = [&](const std::vector<std::string>& tracks, const std::string& artist,
                               const std::vector<std::string>& titles, const std::string& album,
                               const std::string& productTitle, ComPtr<IProgressStatus>& progress) {
        return exporter.StartExport(tracks, artist, titles, album, productTitle, progress);
    };
    services.waitForExport = [&exporter] { exporter.WaitForExport(); };

    {
        CWizardFlow flow(services);
        CHostMonoQuestion question(host);
        flow.startRecordPage.monoCheck = [&] {
            return CheckMonoRecording(platform->System(), platform->Endpoints(),
                                      CaptureDeviceInUse(*recorder), question);
        };
        flow.RunWizard();
    }
    int writeError = 0;
    if (recorder->GetWriteError(writeError) == S_OK) {
        err << "sondrel: writing the recording failed (" << std::strerror(writeError) << ")\n";
    }
    recorder.Reset();
    if (reportDevice)
        reportDevice(err);
    if (!host.Succeeded()) {
        err << "sondrel: no tracks were exported"
            << (host.FailureReason().empty() ? "" : ": " + host.FailureReason()) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace sondrel
