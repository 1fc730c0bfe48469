#include "app/CommandLine.h"

#include <charconv>
#include <cmath>

namespace sondrel {

namespace {

bool ParseHex16(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 4)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

std::optional<UsbIdPair> ParseUsbIdPair(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!ParseHex16(std::string_view(text).substr(0, colon), vendor) ||
        !ParseHex16(std::string_view(text).substr(colon + 1), product)) {
        return std::nullopt;
    }
    return UsbIdPair{vendor, product};
}

HRESULT ParseCommandLine(const std::vector<std::string>& args, CommandLine& out,
                         std::string& error) {
    out = CommandLine{};
    const auto fail = [&error](const std::string& message) {
        error = message;
        return E_FAIL;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const auto value = [&]() -> const std::string& { return args[++i]; };
        const auto needValue = [&]() { return fail(arg + " needs a value (see --help)"); };
        if (arg == "--headless") {
            out.headless = true;
        } else if (arg == "--demo") {
            out.demo = true;
        } else if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--version") {
            out.version = true;
        } else if (arg == "--verbose") {
            out.verbose = true;
        } else if (arg == "--real-time") {
            out.realTime = true;
        } else if (arg == "--simulate") {
            out.simulate = true;
            // The WAV file is optional: take the next argument unless it is an option.
            if (hasValue && args[i + 1].rfind("--", 0) != 0)
                out.simulateWav = value();
        } else if (arg == "--simulate-device" || arg == "--fake-usb") {
            if (!hasValue)
                return needValue();
            const std::string& text = value();
            const auto ids = ParseUsbIdPair(text);
            if (!ids)
                return fail(arg + ": \"" + text + "\" is not of the form VVVV:PPPP (hex)");
            if (!FindKnownDevice(ids->first, ids->second)) {
                return fail(arg + ": " + text + " is not a supported device");
            }
            (arg == "--fake-usb" ? out.fakeUsb : out.simulateDevice) = ids;
        } else if (arg == "--simulate-system") {
            if (!hasValue)
                return needValue();
            out.simulateSystem = value();
        } else if (arg == "--source") {
            if (!hasValue)
                return needValue();
            const std::string& text = value();
            out.answers.sourceGiven = true;
            if (text == "turntable") {
                out.answers.source = HeadlessSource::Turntable;
            } else if (text == "tape-normal") {
                out.answers.source = HeadlessSource::TapeNormal;
            } else if (text == "tape-chrome") {
                out.answers.source = HeadlessSource::TapeChrome;
            } else {
                return fail("--source: \"" + text +
                            "\" is not turntable, tape-normal or tape-chrome");
            }
        } else if (arg == "--split") {
            if (!hasValue)
                return needValue();
            const std::string& text = value();
            if (text == "auto") {
                out.answers.split = HeadlessSplit::Auto;
            } else if (text == "manual") {
                out.answers.split = HeadlessSplit::Manual;
            } else {
                return fail("--split: \"" + text + "\" is not auto or manual");
            }
        } else if (arg == "--mark") {
            if (!hasValue)
                return needValue();
            const std::string& text = value();
            double seconds = 0;
            if (!ParseNumber(text, seconds) || seconds <= 0 || seconds > 24 * 3600) {
                return fail("--mark: \"" + text + "\" is not a time in seconds");
            }
            if (!out.answers.markSeconds.empty() && seconds <= out.answers.markSeconds.back()) {
                return fail("--mark: times must increase (" + text + ")");
            }
            if (out.answers.markSeconds.size() >= 39) {
                return fail("--mark: at most 39 marks (40 tracks)");
            }
            out.answers.markSeconds.push_back(seconds);
        } else if (arg == "--stop-after") {
            if (!hasValue)
                return needValue();
            const std::string& text = value();
            double seconds = 0;
            if (!ParseNumber(text, seconds) || seconds <= 0 || seconds > 24 * 3600) {
                return fail("--stop-after: \"" + text + "\" is not a time in seconds");
            }
            out.answers.stopAfterSeconds = seconds;
        } else if (arg == "--gain") {
            if (!hasValue)
                return needValue();
            const std::string& text = value();
            double db = 0;
            if (!ParseNumber(text, db) || db < -3.0 || db > 9.0) {
                return fail("--gain: \"" + text + "\" is not a level from -3.0 to +9.0 dB");
            }
            out.answers.gainDb = db;
        } else if (arg == "--artist") {
            if (!hasValue)
                return needValue();
            out.answers.artist = value();
        } else if (arg == "--album") {
            if (!hasValue)
                return needValue();
            out.answers.album = value();
        } else if (arg == "--title") {
            if (!hasValue)
                return needValue();
            out.answers.titles.push_back(value());
        } else if (arg == "--list-unfinished") {
            out.listUnfinished = true;
            out.headless = true;
        } else if (arg == "--recover") {
            if (!hasValue)
                return needValue();
            out.recover = value();
        } else if (arg == "--export-folder") {
            if (!hasValue)
                return needValue();
            out.exportFolder = value();
        } else {
            return fail("unknown argument \"" + arg + "\" (see --help)");
        }
    }
    if (!out.answers.markSeconds.empty() && out.answers.split != HeadlessSplit::Manual) {
        return fail("--mark needs --split manual");
    }
    if (out.headless && !out.UsesSimulation() && out.answers.split == HeadlessSplit::Manual &&
        out.answers.stopAfterSeconds <= 0) {
        return fail("--split manual on real devices needs --stop-after SECONDS");
    }
    if (out.fakeUsb && out.UsesSimulation()) {
        return fail(
            "--fake-usb uses the real audio devices; it cannot be combined with --simulate");
    }
    return S_OK;
}

std::string CommandLineUsage() {
    return R"(Usage: sondrel [options]

Without options Sondrel opens the wizard on the real devices. --demo opens it on the
simulated turntable with a demo side playing in real time. On a machine without a display
(and with --headless) the demo runs the whole wizard headless instead.

  --headless                 answer every page from the options below, print progress
  --demo                     the simulated demo turntable and its demo side
  --simulate [FILE.wav]      simulated devices; the deck plays FILE (16-bit PCM) or the demo
                             side; in the windows it starts playing when "record" is pressed
  --simulate-device VVVV:PPPP  which supported device the simulation presents (default 15E4:0174)
  --simulate-system FILE     a whole simulated system described in FILE
  --fake-usb VVVV:PPPP       real audio devices, presenting this supported USB device
  --real-time                simulated sides play in real time (default: as fast as possible)
  --source turntable|tape-normal|tape-chrome   the device-type and tape pages (default turntable)
  --split auto|manual        automatic track detection, or "new track" marks (default auto)
  --mark SECONDS             with --split manual: "new track" at this recording time (repeatable)
  --stop-after SECONDS       press "next" once this much has been recorded (with real
                             devices and --split manual the side's end cannot be seen)
  --gain DB                  the record level slider, -3.0 to +9.0 (default 0.0)
  --artist TEXT, --album TEXT, --title TEXT (repeatable, in track order)
  --export-folder DIR        export into DIR for this run; the stored setting is kept
  --list-unfinished          list the recordings that were never exported (path, length,
                             date) and end
  --recover PATH|newest      with --headless: export an unfinished recording (the newest
                             one, or the one at PATH), cut into tracks automatically, with
                             the tag options above, instead of recording
  --verbose                  device diagnostics on standard error
  --version, --help

Headless answers to messages: OK where it is the only button; No to every question
(a failed export is not retried; the support page is not opened). The exit code is 0
only when every track was exported; 1 when the run ended without that (a failed
recording or export), 2 for a bad argument or unusable devices, 3 when Sondrel is
already running.
)";
}

}  // namespace sondrel
