// The program's command line: the headless wizard's answers, the choice between the simulated
// and the real devices, and the export folder for one run.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/CHeadlessHost.h"
#include "base/Result.h"
#include "devices/KnownDevices.h"
#include "export/ExportFormat.h"

namespace sondrel {

struct CommandLine {
    bool headless = false;
    bool demo = false;
    bool help = false;
    bool version = false;
    bool verbose = false;

    // Simulated devices: --simulate [FILE.wav], --simulate-device VVVV:PPPP,
    // --simulate-system FILE. Any of them selects the simulated backend.
    bool simulate = false;
    std::optional<std::filesystem::path> simulateWav;
    std::optional<UsbIdPair> simulateDevice;
    std::optional<std::filesystem::path> simulateSystem;
    // Real audio and mixer, with this one known USB device presented.
    std::optional<UsbIdPair> fakeUsb;
    // Sides play in real time instead of as fast as they can be recorded.
    bool realTime = false;

    std::optional<std::filesystem::path> exportFolder;
    // With --recover: --cut, the cuts to export with instead of the recording's own (seconds,
    // in any order); --list-cuts prints the recording's cuts and exports nothing.
    std::vector<double> cuts;
    bool listCuts = false;
    // --format: the export's file format for this run; the stored choice when not given.
    std::optional<ExportFormat> format;
    HeadlessAnswers answers;
    // --lookup: the titles of side --side (A when not given) of the best matching release.
    bool lookup = false;
    char side = 'A';
    // --list-unfinished: print the unfinished recordings and end. --recover PATH|newest:
    // export one of them instead of recording.
    bool listUnfinished = false;
    std::optional<std::string> recover;

    bool UsesSimulation() const { return simulate || demo || simulateDevice || simulateSystem; }
};

// S_OK, or E_FAIL with a one-line message naming the offending argument.
HRESULT ParseCommandLine(const std::vector<std::string>& args, CommandLine& out,
                         std::string& error);

// "VVVV:PPPP" in hexadecimal.
std::optional<UsbIdPair> ParseUsbIdPair(const std::string& text);

// The --help text.
std::string CommandLineUsage();

}  // namespace sondrel
