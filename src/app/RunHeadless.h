// Runs the whole wizard without a window from a parsed command line: picks the simulated or
// the real devices, wires recorder, exporter, settings and flow, and reports what was made.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "export/ITitleLookup.h"
#include "platform/IPlatform.h"
#include "platform/ISettingsStore.h"

namespace sondrel {

struct HeadlessEnvironment {
    ISettingsStore* vendorStore = nullptr;   // "UserExportFolder"
    ISettingsStore* profileStore = nullptr;  // record level, channel, device
    // Creates the real platform; when null, the Linux backends (ALSA, udev) where this build
    // has them.
    std::function<HRESULT(const CommandLine&, std::unique_ptr<IPlatform>&, std::string& error)>
        createRealPlatform;
    // The simulated computer keeps its files in the user's real music and temporary folders
    // (the program's demo); tests leave it in its own.
    bool simulationUsesUserFolders = false;
    // Where recordings are kept instead of the platform's working folder (tests keep theirs).
    std::filesystem::path recordingsFolder;
    // SIGINT and SIGTERM stop the recording as "next" would (the first) or end the run at
    // once (the second); the program sets this, tests that send themselves signals too.
    bool handleStopSignals = false;
    // The most a recording's file takes (0: the WAV format's limit); tests reach it with a
    // few seconds instead of 4 GiB.
    std::uint64_t recordingFileLimitBytes = 0;
    // The release database for --lookup (the program's network client; tests give their
    // own); when null, --lookup fails and the typed titles stay.
    std::function<std::unique_ptr<ITitleLookup>()> createTitleLookup;
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
};

// Exit code: 0 when every track was exported from a recording written whole, 1 otherwise
// (the wizard ended without an export, the export failed part-way, writing the recording
// failed, or the file filled up before the recording had all that was asked), 2 when an
// argument or the devices could not be used.
int RunHeadless(const CommandLine& commandLine, const HeadlessEnvironment& environment);

}  // namespace sondrel
