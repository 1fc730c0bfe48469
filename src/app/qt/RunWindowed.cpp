#include "app/qt/RunWindowed.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/CSettings.h"
#include "app/ProgramSetup.h"
#include "app/qt/CQtWizardHost.h"
#include "base/StringTable.h"
#include "export/CWavExporter.h"
#include "platform/DebugOutput.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CRecorder.h"
#include "ui/SkinPicture.h"

namespace sondrel {

int RunWindowed(const CommandLine& cl, const HeadlessEnvironment& env,
                const std::function<void(CQtWizardHost*)>& hostReady) {
    SetDebugOutputVerbose(cl.verbose);
    InitSkinResources();

    std::unique_ptr<IPlatform> platform;
    CSimPlatform* sim = nullptr;
    std::function<void(std::ostream&)> reportDevice;
    std::string error;
    if (Failed(CreatePlatform(cl, env, platform, sim, reportDevice, error))) {
        QMessageBox::warning(nullptr, QString::fromStdString(LoadString(kIdsAppName)),
                             QString::fromStdString("Sondrel cannot start: " + error));
        return 2;
    }

    CSettings settings(*env.vendorStore, *env.profileStore, platform->Shell());
    std::filesystem::path forcedFolder;
    if (cl.exportFolder) {
        std::error_code ec;
        std::filesystem::create_directories(*cl.exportFolder, ec);
        if (!std::filesystem::is_directory(*cl.exportFolder, ec)) {
            QMessageBox::warning(nullptr, QString::fromStdString(LoadString(kIdsAppName)),
                                 QStringLiteral("The export folder %1 is not a usable folder.")
                                     .arg(QString::fromStdString(cl.exportFolder->string())));
            return 2;
        }
        forcedFolder = std::filesystem::absolute(*cl.exportFolder, ec);
    }
    const auto readExportFolder = [&]() {
        return forcedFolder.empty() ? settings.ReadExportFolder() : forcedFolder;
    };
    // Creates the folder, or repairs the setting, before anything needs it.
    readExportFolder();

    PageServices pageServices;
    pageServices.readExportFolder = readExportFolder;
    pageServices.writeExportFolder = [&settings](std::filesystem::path& folder) {
        settings.WriteExportFolder(folder);
    };
    pageServices.openUrl = [](const std::string& url) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    };
    pageServices.openFolder = [](const std::filesystem::path& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
    };
    CQtWizardHost host(pageServices);
    if (sim)
        host.recordingStarted = [sim] { sim->StartDeck(); };

    ComPtr<CRecorder> recorder =
        ComPtr<CRecorder>::Attach(new CRecorder(*platform, *env.profileStore));
    CWavExporter exporter(readExportFolder);
    WizardServices services = MakeWizardServices(*platform, *recorder, exporter);
    services.host = &host;
    if (hostReady)
        hostReady(&host);
    {
        CWizardFlow flow(services);
        CHostMonoQuestion question(host);
        flow.startRecordPage.monoCheck = MonoCheck(*platform, *recorder, question);
        flow.RunWizard();
    }
    if (hostReady)
        hostReady(nullptr);
    recorder.Reset();
    if (reportDevice && env.err)
        reportDevice(*env.err);
    return 0;
}

}  // namespace sondrel
