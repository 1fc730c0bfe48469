#include "app/qt/RunWindowed.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/CSession.h"
#include "app/RecoveryChoice.h"
#include "app/RecoveryText.h"
#include "app/qt/CQtWizardHost.h"
#include "base/StringTable.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CRecorder.h"
#include "ui/SkinPicture.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

int CannotStart(const std::string& error) {
    QMessageBox::warning(nullptr, UiText(kIdsAppName),
                         QString::fromStdString(FormatCannotStartMessage(error)));
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

}  // namespace

int RunWindowed(const CommandLine& cl, const SessionEnvironment& env,
                const std::function<void(CQtWizardHost*)>& hostReady) {
    InitSkinResources();
    CSession session(cl, env);
    std::string error;
    if (Failed(session.Open(error)))
        return CannotStart(error);

    CSettings& settings = session.Settings();
    CQtWizardHost host(MakePageServices([&session] { return session.ExportFolder(); }, settings));
    if (CSimPlatform* sim = session.Simulation())
        host.recordingStarted = [sim] { sim->StartDeck(); };
    host.finishedNote = [&session] {
        const std::filesystem::path kept = session.KeptFolder();
        return kept.empty() ? QString() : QString::fromStdString(FormatKeptForLaterMessage(kept));
    };
    // While a busy device is tried again the window keeps painting and says to wait; clicks
    // wait until the device answers.
    session.Recorder().SetBusyWait([&host](std::uint32_t ms) { host.WaitShowingPleaseWait(ms); });
    host.makePlayer = [&session] {
        return std::make_unique<CSectionPlayer>(session.Platform().Audio(),
                                                session.Recorder().MonitorGuid());
    };
    if (hostReady)
        hostReady(&host);
    session.Run(session.Services(host), OfferRecovery(host, session.RecordingsFolder()));
    if (!session.KeptFiles().empty()) {
        host.MessageBox(FormatKeptForLaterMessage(session.KeptFolder()), MessageButtons::Ok,
                        MessageIcon::Information);
    }
    if (hostReady)
        hostReady(nullptr);
    if (env.err)
        session.CloseDevices(*env.err);
    return 0;
}

}  // namespace sondrel
