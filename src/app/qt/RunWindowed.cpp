#include "app/qt/RunWindowed.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/CSettings.h"
#include "app/ProgramSetup.h"
#include "app/RecoveryText.h"
#include "app/qt/CQtWizardHost.h"
#include "base/StringTable.h"
#include "export/CWavExporter.h"
#include "platform/DebugOutput.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CRecorder.h"
#include "recording/UnfinishedRecordings.h"
#include "ui/SkinPicture.h"

namespace sondrel {

namespace {

// Offers each recording an earlier run left unexported, newest first, once; the first one the
// user wants is exported now, the others stay for a later start. Empty when none was chosen.
// What holds no audio is cleared away first, so it is neither offered nor announced.
std::string AskToRecover(IWizardHost& host, const std::filesystem::path& workingFolder) {
    if (workingFolder.empty())
        return {};
    RemoveLeftovers(workingFolder);
    for (const UnfinishedRecording& recording : FindUnfinishedRecordings(workingFolder)) {
        if (!recording.CanBeRecovered()) {
            OutputDebugText("not offered: " + recording.path.string() + " (" + recording.problem +
                            ")\n");
            continue;
        }
        if (host.MessageBox(FormatUnfinishedQuestion(recording), MessageButtons::YesNo,
                            MessageIcon::Question) == kAnswerYes) {
            return recording.path.string();
        }
    }
    return {};
}

int CannotStart(const std::string& error) {
    QMessageBox::warning(nullptr, QString::fromStdString(LoadString(kIdsAppName)),
                         QString::fromStdString("Sondrel cannot start: " + error));
    return 2;
}

PageServices MakePageServices(const std::function<std::filesystem::path()>& readExportFolder,
                              CSettings& settings) {
    PageServices pageServices;
    pageServices.readExportFolder = readExportFolder;
    pageServices.writeExportFolder = [&settings](std::filesystem::path& folder) {
        settings.WriteExportFolder(folder);
    };
    pageServices.writeExportFormat = [&settings](const std::string& name) {
        ExportFormat format = ExportFormat::Wav;
        if (ParseFormatName(name, format))
            settings.WriteExportFormat(format);
    };
    pageServices.openUrl = [](const std::string& url) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    };
    pageServices.openFolder = [](const std::filesystem::path& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
    };
    return pageServices;
}

// The wizard in its windows, after the offer to recover what an earlier run left.
void RunFlow(const WizardServices& services, CQtWizardHost& host, IPlatform& platform,
             CRecorder& recorder, const std::filesystem::path& workingFolder) {
    CWizardFlow flow(services);
    CHostMonoQuestion question(host);
    flow.startRecordPage.monoCheck = MonoCheck(platform, recorder, question);
    host.finishedNote = [&flow] {
        const std::filesystem::path kept = flow.KeptFolder();
        return kept.empty() ? QString() : QString::fromStdString(FormatKeptForLaterMessage(kept));
    };
    const std::string recovered = AskToRecover(host, workingFolder);
    if (recovered.empty())
        flow.RunWizard();
    else
        flow.RunRecovered(recovered);
    if (!flow.KeptFiles().empty()) {
        host.MessageBox(FormatKeptForLaterMessage(flow.KeptFolder()), MessageButtons::Ok,
                        MessageIcon::Information);
    }
}

}  // namespace

int RunWindowed(const CommandLine& cl, const HeadlessEnvironment& env,
                const std::function<void(CQtWizardHost*)>& hostReady) {
    SetDebugOutputVerbose(cl.verbose);
    InitSkinResources();

    std::unique_ptr<IPlatform> platform;
    CSimPlatform* sim = nullptr;
    std::function<void(std::ostream&)> reportDevice;
    std::string error;
    if (Failed(CreatePlatform(cl, env, platform, sim, reportDevice, error)))
        return CannotStart(error);

    CSettings settings(*env.vendorStore, *env.profileStore, platform->Shell());
    std::filesystem::path forcedFolder;
    if (cl.exportFolder && Failed(UseExportFolderArgument(*cl.exportFolder, forcedFolder, error)))
        return CannotStart(error);
    const std::function<std::filesystem::path()> readExportFolder = [&]() {
        return forcedFolder.empty() ? settings.ReadExportFolder() : forcedFolder;
    };
    // Creates the folder, or repairs the setting, before anything needs it.
    readExportFolder();

    PageServices pageServices = MakePageServices(readExportFolder, settings);
    CQtWizardHost host(pageServices);
    if (sim)
        host.recordingStarted = [sim] { sim->StartDeck(); };

    ComPtr<CRecorder> recorder =
        ComPtr<CRecorder>::Attach(new CRecorder(*platform, *env.profileStore));
    // Recordings go where unfinished ones are looked for.
    recorder->SetTempFolder(env.recordingsFolder);
    // While a busy device is tried again the window keeps painting and says to wait; clicks
    // wait until the device answers.
    recorder->SetBusyWait([&host](std::uint32_t ms) { host.WaitShowingPleaseWait(ms); });
    host.makePlayer = [&platform, &recorder] {
        return std::make_unique<CSectionPlayer>(platform->Audio(), recorder->MonitorGuid());
    };
    CWavExporter exporter(readExportFolder);
    WizardServices services = MakeWizardServices(*platform, *recorder, exporter);
    services.host = &host;
    services.storedFormat = [&cl, &settings] {
        return cl.format ? *cl.format : settings.ReadExportFormat();
    };
    if (hostReady)
        hostReady(&host);
    RunFlow(services, host, *platform, *recorder, WorkingFolder(env, *platform));
    if (hostReady)
        hostReady(nullptr);
    recorder.Reset();
    if (reportDevice && env.err)
        reportDevice(*env.err);
    return 0;
}

}  // namespace sondrel
