// Entry point: start-up in its order (language, single instance, settings, export folder),
// then the wizard — in its windows on a desktop, headless from the command line, or the
// headless demo on a machine without a display.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "app/CommandLine.h"
#include "app/LanguageResources.h"
#include "app/RunHeadless.h"
#include "app/qt/CQtSettingsStore.h"
#include "app/qt/CQtWizardHost.h"
#include "app/qt/CSingleInstance.h"
#include "app/qt/LanguagePack.h"
#include "app/qt/RunWindowed.h"
#include "base/StringTable.h"
#include "export/qt/CMusicBrainzLookup.h"

namespace {

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Parses the command line; the exit code when it asks for no run (help, version) or is wrong.
std::optional<int> ParseArguments(int argc, char** argv, sondrel::CommandLine& cl) {
    using namespace sondrel;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (Failed(ParseCommandLine(args, cl, error))) {
        std::cerr << "sondrel: " << error << "\n";
        return 2;
    }
    if (cl.help) {
        std::cout << CommandLineUsage();
        return 0;
    }
    if (cl.version) {
        std::cout << "Sondrel " SONDREL_VERSION "\n";
        return 0;
    }
    return std::nullopt;
}

// The run without windows: as asked, or the demo where there is no display.
int RunWithoutWindows(sondrel::CommandLine& cl, const sondrel::SessionEnvironment& env) {
    using namespace sondrel;
    if (!cl.headless) {
        std::cout << "No display: running the demo headless.\n";
        cl.demo = true;
        cl.headless = true;
    }
    if (cl.demo) {
        cl.simulate = true;
        if (cl.answers.artist.empty())
            cl.answers.artist = "Sondrel Demo";
        if (cl.answers.album.empty())
            cl.answers.album = "Side A";
    }
    return RunHeadless(cl, env);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sondrel;
    CommandLine cl;
    if (const std::optional<int> exitCode = ParseArguments(argc, argv, cl))
        return *exitCode;

    const bool windowed = !cl.headless && HasDisplay();
    std::unique_ptr<QCoreApplication> app;
    if (windowed)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    LoadLanguageResources(QCoreApplication::applicationDirPath(),
                          QString::fromStdString(UserUiLocale()));

    const QString applicationName = QFileInfo(QCoreApplication::applicationFilePath()).baseName();
    CSingleInstance instance;
    if (!instance.TakeLock()) {
        instance.BringRunningInstanceForward();
        std::cerr << "sondrel: " << LoadString(kIdsProductTitle)
                  << " is already running; this start ends without recording.\n";
        return 3;
    }
    CQtWizardHost* runningHost = nullptr;
    instance.Listen([&runningHost] {
        if (runningHost)
            runningHost->BringToFront();
        else
            std::cout << "[another start of Sondrel asked for this window]\n" << std::flush;
    });

    CQtSettingsStore vendorStore(CQtSettingsStore::VendorStorePath());
    CQtSettingsStore profileStore(CQtSettingsStore::ProfileStorePath(applicationName));
    SessionEnvironment env;
    env.vendorStore = &vendorStore;
    env.profileStore = &profileStore;
    env.out = &std::cout;
    env.err = &std::cerr;
    env.simulationUsesUserFolders = true;
    env.handleStopSignals = true;
    env.createTitleLookup = [] { return std::make_unique<CMusicBrainzLookup>(); };

    if (windowed) {
        if (cl.demo) {
            // The demo side plays as a record would, so every page can be tried at its pace.
            cl.simulate = true;
            cl.realTime = true;
        }
        return RunWindowed(cl, env, [&runningHost](CQtWizardHost* host) { runningHost = host; });
    }
    return RunWithoutWindows(cl, env);
}
