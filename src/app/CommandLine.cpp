#include "app/CommandLine.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

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

// One use of an option: its name as written (aliases share a handler), its value (null when
// it takes none, or an optional one was not given), the result so far and the error message.
struct OptionUse {
    std::string_view name;
    const std::string* value;
    CommandLine& out;
    std::string& error;

    HRESULT Fail(std::string message) const {
        error = std::move(message);
        return E_FAIL;
    }
};

enum class Takes { Nothing, Value, OptionalValue };

struct Option {
    std::string_view name;
    Takes takes;
    HRESULT (*apply)(const OptionUse&);
};

HRESULT ApplyUsbDevice(const OptionUse& use) {
    const std::string& text = *use.value;
    const auto ids = ParseUsbIdPair(text);
    if (!ids) {
        return use.Fail(std::string(use.name) + ": \"" + text +
                        "\" is not of the form VVVV:PPPP (hex)");
    }
    if (!FindKnownDevice(ids->first, ids->second))
        return use.Fail(std::string(use.name) + ": " + text + " is not a supported device");
    (use.name == "--fake-usb" ? use.out.fakeUsb : use.out.simulateDevice) = ids;
    return S_OK;
}

HRESULT ApplySource(const OptionUse& use) {
    const std::string& text = *use.value;
    HeadlessAnswers& answers = use.out.answers;
    answers.sourceGiven = true;
    if (text == "turntable") {
        answers.source = HeadlessSource::Turntable;
    } else if (text == "tape-normal") {
        answers.source = HeadlessSource::TapeNormal;
    } else if (text == "tape-chrome") {
        answers.source = HeadlessSource::TapeChrome;
    } else {
        return use.Fail("--source: \"" + text + "\" is not turntable, tape-normal or tape-chrome");
    }
    return S_OK;
}

HRESULT ApplySplit(const OptionUse& use) {
    const std::string& text = *use.value;
    if (text == "auto") {
        use.out.answers.split = HeadlessSplit::Auto;
    } else if (text == "manual") {
        use.out.answers.split = HeadlessSplit::Manual;
    } else {
        return use.Fail("--split: \"" + text + "\" is not auto or manual");
    }
    return S_OK;
}

// A recording time: above zero and at most a day.
HRESULT ReadSeconds(const OptionUse& use, double& seconds) {
    if (!ParseNumber(*use.value, seconds) || seconds <= 0 || seconds > 24 * 3600) {
        return use.Fail(std::string(use.name) + ": \"" + *use.value +
                        "\" is not a time in seconds");
    }
    return S_OK;
}

HRESULT ApplyMark(const OptionUse& use) {
    std::vector<double>& marks = use.out.answers.markSeconds;
    double seconds = 0;
    if (Failed(ReadSeconds(use, seconds)))
        return E_FAIL;
    if (!marks.empty() && seconds <= marks.back())
        return use.Fail("--mark: times must increase (" + *use.value + ")");
    if (marks.size() >= 39)
        return use.Fail("--mark: at most 39 marks (40 tracks)");
    marks.push_back(seconds);
    return S_OK;
}

HRESULT ApplyStopAfter(const OptionUse& use) {
    double seconds = 0;
    if (Failed(ReadSeconds(use, seconds)))
        return E_FAIL;
    use.out.answers.stopAfterSeconds = seconds;
    return S_OK;
}

HRESULT ApplyGain(const OptionUse& use) {
    double db = 0;
    if (!ParseNumber(*use.value, db) || db < -3.0 || db > 9.0) {
        return use.Fail("--gain: \"" + *use.value + "\" is not a level from -3.0 to +9.0 dB");
    }
    use.out.answers.gainDb = db;
    return S_OK;
}

template <bool CommandLine::*flag>
HRESULT SetFlag(const OptionUse& use) {
    use.out.*flag = true;
    return S_OK;
}

template <auto member>
HRESULT Store(const OptionUse& use) {
    use.out.*member = *use.value;
    return S_OK;
}

// Every option, in the order of the help text.
constexpr Option kOptions[] = {
    {"--headless", Takes::Nothing, SetFlag<&CommandLine::headless>},
    {"--demo", Takes::Nothing, SetFlag<&CommandLine::demo>},
    // The WAV file is optional: the next argument is taken unless it is an option.
    {"--simulate", Takes::OptionalValue,
     [](const OptionUse& use) {
         use.out.simulate = true;
         if (use.value != nullptr)
             use.out.simulateWav = *use.value;
         return S_OK;
     }},
    {"--simulate-device", Takes::Value, ApplyUsbDevice},
    {"--simulate-system", Takes::Value, Store<&CommandLine::simulateSystem>},
    {"--fake-usb", Takes::Value, ApplyUsbDevice},
    {"--real-time", Takes::Nothing, SetFlag<&CommandLine::realTime>},
    {"--source", Takes::Value, ApplySource},
    {"--split", Takes::Value, ApplySplit},
    {"--mark", Takes::Value, ApplyMark},
    {"--stop-after", Takes::Value, ApplyStopAfter},
    {"--gain", Takes::Value, ApplyGain},
    {"--artist", Takes::Value,
     [](const OptionUse& use) {
         use.out.answers.artist = *use.value;
         return S_OK;
     }},
    {"--album", Takes::Value,
     [](const OptionUse& use) {
         use.out.answers.album = *use.value;
         return S_OK;
     }},
    {"--title", Takes::Value,
     [](const OptionUse& use) {
         use.out.answers.titles.push_back(*use.value);
         return S_OK;
     }},
    {"--lookup", Takes::Nothing, SetFlag<&CommandLine::lookup>},
    {"--side", Takes::Value,
     [](const OptionUse& use) {
         const std::string& text = *use.value;
         if (text.size() != 1 || !std::isalpha(static_cast<unsigned char>(text[0])))
             return use.Fail("--side: \"" + text + "\" is not a side letter (A, B, ...)");
         use.out.side = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
         return S_OK;
     }},
    {"--export-folder", Takes::Value, Store<&CommandLine::exportFolder>},
    {"--format", Takes::Value,
     [](const OptionUse& use) {
         ExportFormat format = ExportFormat::Wav;
         if (!ParseFormatName(*use.value, format))
             return use.Fail("--format: \"" + *use.value + "\" is neither wav nor flac");
         use.out.format = format;
         return S_OK;
     }},
    // Listing needs no window: it prints and ends.
    {"--list-unfinished", Takes::Nothing,
     [](const OptionUse& use) {
         use.out.listUnfinished = true;
         use.out.headless = true;
         return S_OK;
     }},
    {"--recover", Takes::Value, Store<&CommandLine::recover>},
    {"--cut", Takes::Value,
     [](const OptionUse& use) {
         double seconds = 0;
         if (Failed(ReadSeconds(use, seconds)))
             return E_FAIL;
         use.out.cuts.push_back(seconds);
         return S_OK;
     }},
    {"--list-cuts", Takes::Nothing, SetFlag<&CommandLine::listCuts>},
    {"--verbose", Takes::Nothing, SetFlag<&CommandLine::verbose>},
    {"--version", Takes::Nothing, SetFlag<&CommandLine::version>},
    {"--help", Takes::Nothing, SetFlag<&CommandLine::help>},
    {"-h", Takes::Nothing, SetFlag<&CommandLine::help>},
};

constexpr bool NamesAreUnique() {
    for (std::size_t i = 0; i < std::size(kOptions); ++i) {
        for (std::size_t j = i + 1; j < std::size(kOptions); ++j) {
            if (kOptions[i].name == kOptions[j].name)
                return false;
        }
    }
    return true;
}
static_assert(NamesAreUnique(), "an option is in the table twice");

const Option* FindOption(std::string_view name) {
    for (const Option& option : kOptions) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
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
        const Option* option = FindOption(arg);
        if (option == nullptr)
            return fail("unknown argument \"" + arg + "\" (see --help)");
        const bool hasValue = i + 1 < args.size();
        const std::string* value = nullptr;
        if (option->takes == Takes::Value) {
            if (!hasValue)
                return fail(arg + " needs a value (see --help)");
            value = &args[++i];
        } else if (option->takes == Takes::OptionalValue && hasValue &&
                   args[i + 1].rfind("--", 0) != 0) {
            value = &args[++i];
        }
        if (Failed(option->apply({arg, value, out, error})))
            return E_FAIL;
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
  --lookup                   look the artist and album up in MusicBrainz and take the titles
                             of the best match's side; --title still wins (the service's
                             address: $SONDREL_MUSICBRAINZ_URL, default https://musicbrainz.org)
  --side LETTER              with --lookup: the side that was recorded (default A)
  --export-folder DIR        export into DIR for this run; the stored setting is kept
  --format wav|flac          the export's file format: WAV as recorded, or FLAC with artist,
                             album, title and track number tags (default: the choice made
                             last on a tag page, WAV when none)
  --list-unfinished          list the recordings that were never exported, one a line: the
                             path, then artist and album, tracks, length and date, and end
  --recover PATH|newest      with --headless: export an unfinished recording of the
                             recordings folder (the newest one, or the one at PATH) at its
                             cuts (cut as automatic splitting does when it has none), with
                             the names typed for it or given above, into the album folder
                             its tracks already went to, instead of recording
  --cut SECONDS              with --recover: export with a cut here instead of the recording's
                             own cuts (repeatable; each at least 1 s from the next and from
                             the recording's ends)
  --list-cuts                with --recover: print the recording's cuts (seconds, one a line)
                             and export nothing
  --verbose                  device diagnostics on standard error
  --version, --help

Headless answers to messages: OK where it is the only button; No to every question
(a failed export is not retried; the support page is not opened). The exit code is 0
only when every track was exported; 1 when the run ended without that (a failed
recording or export), 2 for a bad argument or unusable devices, 3 when Sondrel is
already running.

SIGINT (Ctrl+C) or SIGTERM stops a headless recording as "next" would: the recording is
cut into tracks and exported as usual. A second one ends the run at once and leaves the
recording for --list-unfinished and --recover.
)";
}

}  // namespace sondrel
