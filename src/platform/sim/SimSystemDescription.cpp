#include "platform/sim/SimSystemDescription.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/IMixerSystem.h"
#include "platform/UsbHardwareId.h"

namespace sondrel {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words and quoted strings; stops at a '#' outside quotes.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token{"", true};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    token.text.push_back(line[i + 1]);
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    token.text.push_back(line[i++]);
                }
            }
            if (!closed) {
                error = "unterminated quoted name";
                return false;
            }
            tokens.push_back(std::move(token));
        } else {
            Token token;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                token.text.push_back(line[i++]);
            }
            tokens.push_back(std::move(token));
        }
    }
    return true;
}

bool ParseNumber(std::string_view text, std::uint32_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The attributes after a statement's name: bare flags and key=value pairs.
class Attributes {
public:
    Attributes(const std::vector<Token>& tokens, std::size_t first) {
        for (std::size_t i = first; i < tokens.size(); ++i) {
            const std::string& t = tokens[i].text;
            const std::size_t eq = t.find('=');
            if (eq == std::string::npos) {
                m_items.push_back({t, "", false});
            } else {
                m_items.push_back({t.substr(0, eq), t.substr(eq + 1), false});
            }
        }
    }
    bool Flag(std::string_view key) {
        for (Item& item : m_items) {
            if (item.key == key && item.value.empty())
                return item.used = true;
        }
        return false;
    }
    const std::string* Value(std::string_view key) {
        for (Item& item : m_items) {
            if (item.key == key && !item.value.empty()) {
                item.used = true;
                return &item.value;
            }
        }
        return nullptr;
    }
    bool Number(std::string_view key, std::uint32_t& value, std::string& error) {
        const std::string* text = Value(key);
        if (text == nullptr)
            return true;
        if (!ParseNumber(*text, value)) {
            error = "bad number for " + std::string(key) + ": " + *text;
            return false;
        }
        return true;
    }
    // Anything not consumed is a mistake in the file.
    bool AllUsed(std::string& error) const {
        for (const Item& item : m_items) {
            if (!item.used) {
                error = "unknown attribute: " + item.key;
                return false;
            }
        }
        return true;
    }

private:
    struct Item {
        std::string key;
        std::string value;
        bool used;
    };
    std::vector<Item> m_items;
};

bool ParseId(Attributes& attributes, GUID& id, std::string& error) {
    const std::string* text = attributes.Value("id");
    if (text == nullptr)
        return true;
    const auto parsed = GUID::Parse(*text);
    if (!parsed) {
        error = "bad id: " + *text;
        return false;
    }
    id = *parsed;
    return true;
}

// Devices without an id of their own get a stable one from their place and name, so two
// devices with the same description still differ.
GUID MakeId(std::string_view kind, std::size_t index, std::string_view description) {
    return GUID::FromName(std::string("sim/") + std::string(kind) + "/" + std::to_string(index) +
                          "/" + std::string(description));
}

// One statement of the file: its words, and the folder relative paths are taken from.
struct Statement {
    const std::vector<Token>& tokens;
    const std::filesystem::path& baseFolder;

    // A name after the keyword, for the statements that describe a named thing.
    bool HasName(std::string& error) const {
        if (tokens.size() < 2) {
            error = tokens[0].text + " needs a name";
            return false;
        }
        return true;
    }
};

HRESULT ParseVersion(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (s.tokens.size() < 2) {
        error = "version needs major.minor";
        return E_FAIL;
    }
    const std::string& v = s.tokens[1].text;
    const std::size_t dot = v.find('.');
    std::uint32_t major = 0, minor = 0;
    if (!ParseNumber(v.substr(0, dot), major) ||
        (dot != std::string::npos && !ParseNumber(v.substr(dot + 1), minor))) {
        error = "bad version: " + v;
        return E_FAIL;
    }
    Attributes attributes(s.tokens, 2);
    std::uint32_t platform = kPlatformIdNt;
    if (!attributes.Number("platform", platform, error) || !attributes.AllUsed(error))
        return E_FAIL;
    d.version = {major, minor, platform};
    return S_OK;
}

HRESULT ParseUsb(const Statement& s, SimSystemDescription& d, std::string& error) {
    // Bare words keep their backslashes, so ids are written as the system shows them.
    if (s.tokens.size() != 2) {
        error = "usb needs one hardware id";
        return E_FAIL;
    }
    d.usbHardwareIds.push_back(s.tokens[1].text);
    return S_OK;
}

HRESULT ParseUsbFails(const Statement&, SimSystemDescription& d, std::string&) {
    d.usbFails = true;
    return S_OK;
}

HRESULT ParseEndpointsFail(const Statement&, SimSystemDescription& d, std::string&) {
    d.endpointsFail = true;
    return S_OK;
}

HRESULT ParseCapture(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (!s.HasName(error))
        return E_FAIL;
    SimCaptureDevice device;
    device.description = s.tokens[1].text;
    Attributes attributes(s.tokens, 2);
    std::uint32_t channels = 2;
    if (!attributes.Number("channels", channels, error))
        return E_FAIL;
    device.channels = static_cast<std::uint16_t>(channels);
    const bool isDefault = attributes.Flag("default");
    device.deck = attributes.Flag("deck");
    device.broken = attributes.Flag("broken");
    if (const std::string* holder = attributes.Value("held-by"))
        device.heldBy = *holder;
    device.id = isDefault ? GUID{} : MakeId("capture", d.captureDevices.size(), device.description);
    if (!ParseId(attributes, device.id, error) || !attributes.AllUsed(error))
        return E_FAIL;
    d.captureDevices.push_back(std::move(device));
    return S_OK;
}

HRESULT ParseOutput(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (!s.HasName(error))
        return E_FAIL;
    SimOutputDevice device;
    device.description = s.tokens[1].text;
    Attributes attributes(s.tokens, 2);
    const bool isDefault = attributes.Flag("default");
    device.broken = attributes.Flag("broken");
    device.id = isDefault ? GUID{} : MakeId("output", d.outputDevices.size(), device.description);
    if (!ParseId(attributes, device.id, error) || !attributes.AllUsed(error))
        return E_FAIL;
    d.outputDevices.push_back(std::move(device));
    return S_OK;
}

HRESULT ParseEndpoint(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (!s.HasName(error))
        return E_FAIL;
    CaptureEndpointInfo endpoint;
    endpoint.friendlyName = s.tokens[1].text;
    Attributes attributes(s.tokens, 2);
    std::uint32_t channels = 2;
    if (!attributes.Number("channels", channels, error) || !attributes.AllUsed(error))
        return E_FAIL;
    endpoint.formatChannels = static_cast<std::uint16_t>(channels);
    d.endpoints.push_back(std::move(endpoint));
    return S_OK;
}

HRESULT ParseMixer(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (!s.HasName(error))
        return E_FAIL;
    SimMixer mixer;
    mixer.name = s.tokens[1].text;
    Attributes attributes(s.tokens, 2);
    mixer.broken = attributes.Flag("broken");
    if (!attributes.AllUsed(error))
        return E_FAIL;
    d.mixers.push_back(std::move(mixer));
    return S_OK;
}

HRESULT ParseDestination(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (!s.HasName(error))
        return E_FAIL;
    if (d.mixers.empty()) {
        error = "destination before any mixer";
        return E_FAIL;
    }
    SimMixerDestination destination;
    destination.name = s.tokens[1].text;
    Attributes attributes(s.tokens, 2);
    if (!attributes.Number("component", destination.componentType, error) ||
        !attributes.Number("channels", destination.channels, error)) {
        return E_FAIL;
    }
    destination.hasMux = attributes.Flag("mux");
    if (const std::string* order = attributes.Value("mux-order")) {
        if (*order != "forward" && *order != "reversed") {
            error = "mux-order is forward or reversed";
            return E_FAIL;
        }
        destination.hasMux = true;
        destination.muxForward = *order == "forward";
    }
    if (!attributes.AllUsed(error))
        return E_FAIL;
    d.mixers.back().destinations.push_back(std::move(destination));
    return S_OK;
}

HRESULT ParseSource(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (!s.HasName(error))
        return E_FAIL;
    if (d.mixers.empty() || d.mixers.back().destinations.empty()) {
        error = "source before any destination";
        return E_FAIL;
    }
    SimMixerSource source;
    source.name = s.tokens[1].text;
    Attributes attributes(s.tokens, 2);
    if (!attributes.Number("component", source.componentType, error) ||
        !attributes.Number("target", source.targetType, error) ||
        !attributes.Number("channels", source.channels, error)) {
        return E_FAIL;
    }
    if (const std::string* range = attributes.Value("volume")) {
        const std::size_t dots = range->find("..");
        if (dots == std::string::npos ||
            !ParseNumber(range->substr(0, dots), source.volumeMinimum) ||
            !ParseNumber(range->substr(dots + 2), source.volumeMaximum) ||
            source.volumeMinimum > source.volumeMaximum) {
            error = "volume is MIN..MAX";
            return E_FAIL;
        }
        source.hasVolume = true;
        source.volumeValue = source.volumeMinimum;
    }
    if (!attributes.Number("value", source.volumeValue, error) || !attributes.AllUsed(error))
        return E_FAIL;
    d.mixers.back().destinations.back().sources.push_back(std::move(source));
    return S_OK;
}

HRESULT ParseDeck(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (s.tokens.size() < 2) {
        error = "deck needs demo, silence or wav";
        return E_FAIL;
    }
    const std::string& kind = s.tokens[1].text;
    if (kind == "demo" && s.tokens.size() == 2) {
        d.deckSource = SimDeckSource::Demo;
    } else if (kind == "silence" && s.tokens.size() == 2) {
        d.deckSource = SimDeckSource::Silence;
    } else if (kind == "wav" && s.tokens.size() == 3) {
        d.deckSource = SimDeckSource::WavFile;
        const std::filesystem::path path(s.tokens[2].text);
        d.deckWavPath = path.is_relative() ? s.baseFolder / path : path;
    } else {
        error = "deck needs demo, silence or wav \"path\"";
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ParseCaptureMode(const Statement& s, SimSystemDescription& d, std::string& error) {
    if (s.tokens.size() == 2 && s.tokens[1].text == "lossless") {
        d.captureMode = SimCaptureMode::Lossless;
    } else if (s.tokens.size() == 2 && s.tokens[1].text == "paced") {
        d.captureMode = SimCaptureMode::Paced;
    } else {
        error = "capture-mode is lossless or paced";
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ParseDeckVanishesAt(const Statement& s, SimSystemDescription& d, std::string& error) {
    std::uint32_t frame = 0;
    if (s.tokens.size() != 2 || !ParseNumber(s.tokens[1].text, frame) || frame == 0) {
        error = "deck-vanishes-at needs a frame number above 0";
        return E_FAIL;
    }
    d.deckVanishFrame = frame;
    return S_OK;
}

struct Keyword {
    std::string_view name;
    HRESULT (*parse)(const Statement&, SimSystemDescription&, std::string& error);
};

// Every statement of the file format, as the header lists them.
constexpr Keyword kKeywords[] = {
    {"version", ParseVersion},
    {"usb", ParseUsb},
    {"usb-fails", ParseUsbFails},
    {"capture", ParseCapture},
    {"output", ParseOutput},
    {"endpoint", ParseEndpoint},
    {"endpoints-fail", ParseEndpointsFail},
    {"mixer", ParseMixer},
    {"destination", ParseDestination},
    {"source", ParseSource},
    {"deck", ParseDeck},
    {"capture-mode", ParseCaptureMode},
    {"deck-vanishes-at", ParseDeckVanishesAt},
};

constexpr bool NamesAreUnique() {
    for (std::size_t i = 0; i < std::size(kKeywords); ++i) {
        for (std::size_t j = i + 1; j < std::size(kKeywords); ++j) {
            if (kKeywords[i].name == kKeywords[j].name)
                return false;
        }
    }
    return true;
}
static_assert(NamesAreUnique(), "a statement is in the table twice");

HRESULT ParseLine(const Statement& statement, SimSystemDescription& d, std::string& error) {
    const std::string& name = statement.tokens[0].text;
    for (const Keyword& keyword : kKeywords) {
        if (keyword.name == name)
            return keyword.parse(statement, d, error);
    }
    error = "unknown statement: " + name;
    return E_FAIL;
}

}  // namespace

SimSystemDescription SimSystemDescription::ForUsbDevice(std::uint32_t vendorId,
                                                        std::uint32_t productId,
                                                        const std::string& captureName) {
    SimSystemDescription d;
    d.usbHardwareIds = {"USB\\ROOT_HUB20&VID8086&PID2934&REV0003",
                        FormatHardwareId(vendorId, productId, 0x0100)};

    const std::string& deviceName = captureName;
    d.captureDevices.push_back({"Primary Sound Capture Driver", GUID{}, 2, false, false, {}});
    d.captureDevices.push_back(
        {deviceName, MakeId("capture", 1, deviceName), 2, /*deck=*/true, false, {}});
    d.outputDevices.push_back({"Primary Sound Driver", GUID{}, false});
    d.outputDevices.push_back(
        {"Speakers (Built-in Audio)", MakeId("output", 1, "Speakers (Built-in Audio)"), false});

    SimMixer mixer;
    mixer.name = deviceName;
    SimMixerDestination record{"Recording Control", kMixerDstWaveIn, 2, true, false, {}};
    record.sources.push_back({"Microphone", kMixerSrcMicrophone, 0, 1, true, 0, 65535, 65535});
    record.sources.push_back({"Line In", kMixerSrcLine, 0, 2, true, 0, 65535, 65535});
    mixer.destinations.push_back(std::move(record));
    d.mixers.push_back(std::move(mixer));
    return d;
}

HRESULT SimSystemDescription::Parse(std::string_view text, const std::filesystem::path& baseFolder,
                                    SimSystemDescription& description, std::string& error) {
    SimSystemDescription d;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;

        std::vector<Token> tokens;
        std::string lineError;
        if (!Tokenize(line, tokens, lineError)) {
            error = "line " + std::to_string(lineNumber) + ": " + lineError;
            return E_FAIL;
        }
        if (tokens.empty())
            continue;
        if (Failed(ParseLine({tokens, baseFolder}, d, lineError))) {
            error = "line " + std::to_string(lineNumber) + ": " + lineError;
            return E_FAIL;
        }
    }
    description = std::move(d);
    return S_OK;
}

HRESULT SimSystemDescription::Load(const std::filesystem::path& file,
                                   SimSystemDescription& description, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open the system description " + file.string();
        return E_FAIL;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string lineError;
    if (Failed(Parse(text.str(), file.parent_path(), description, lineError))) {
        error = file.string() + ": " + lineError;
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace sondrel
