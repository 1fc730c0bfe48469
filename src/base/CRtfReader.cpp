#include "base/CRtfReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "base/TextUtil.h"

namespace sondrel {

namespace {

// Bounds that keep hostile input cheap; real page texts stay far below them.
constexpr std::size_t kMaxGroupDepth = 200;
constexpr std::size_t kMaxTableEntries = 1024;
constexpr std::size_t kMaxFontNameBytes = 256;
constexpr std::size_t kMaxControlWordLetters = 32;
constexpr int kParameterLimit = 1'000'000'000;
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;
constexpr int kMaxUnicodeSkip = 16;
constexpr char32_t kReplacement = 0xFFFD;

// Destinations whose content is never shown; their whole group is skipped.
constexpr std::array<std::string_view, 28> kSkippedDestinations = {
    "info",         "stylesheet",
    "generator",    "pict",
    "object",       "header",
    "headerl",      "headerr",
    "headerf",      "footer",
    "footerl",      "footerr",
    "footerf",      "footnote",
    "listtable",    "listoverridetable",
    "rsidtbl",      "revtbl",
    "filetbl",      "xmlnsdecl",
    "themedata",    "colorschememapping",
    "latentstyles", "datastore",
    "fldinst",      "pntext",
    "bkmkstart",    "bkmkend"};

// Code page 1252 differs from Latin-1 only in 0x80-0x9F; its five unassigned bytes become U+FFFD.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

char32_t FromCp1252(std::uint8_t byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return kCp1252High[byte - 0x80];
    return byte;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

enum class Destination { Text, FontTable, ColourTable, Skip };

// Everything a '}' restores.
struct GroupState {
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    int fontNumber = 0;
    int colourIndex = 0;
    RtfAlign align = RtfAlign::Left;
    int unicodeSkip = 1;
};

class CRtfReader {
public:
    CRtfReader(std::string_view bytes, RtfDocument& doc) : m_in(bytes), m_doc(doc) {}

    void Read(std::size_t start) {
        m_pos = start;
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            if (c == '{') {
                OpenGroup();
            } else if (c == '}') {
                if (!CloseGroup())
                    return;
            } else if (c == '\\') {
                ReadControl();
            } else if (c == '\r' || c == '\n') {
                // Line ends in the file are layout of the file, not text.
            } else {
                Literal(FromCp1252(static_cast<std::uint8_t>(c)));
            }
        }
        // Truncated: the text simply ends here.
        if (!m_stack.empty())
            FinishDocument();
    }

private:
    bool Skipping() const {
        return m_droppedDepth > 0 || m_stack.back().destination == Destination::Skip;
    }

    void OpenGroup() {
        m_skipFallback = 0;
        if (m_droppedDepth > 0 || m_stack.size() >= kMaxGroupDepth) {
            ++m_droppedDepth;
        } else if (m_stack.empty()) {
            m_stack.emplace_back();
        } else {
            m_stack.push_back(m_stack.back());
        }
    }

    // Returns false when the outermost group closed, which ends the document.
    bool CloseGroup() {
        m_skipFallback = 0;
        if (m_droppedDepth > 0) {
            --m_droppedDepth;
            return true;
        }
        if (m_stack.back().destination == Destination::FontTable)
            CommitFont();
        if (m_stack.size() == 1) {
            FinishDocument();
            m_stack.pop_back();
            return false;
        }
        m_stack.pop_back();
        return true;
    }

    void ReadControl() {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (!IsLetter(c)) {
            ++m_pos;
            ControlSymbol(c);
            return;
        }
        const std::size_t nameStart = m_pos;
        while (m_pos < m_in.size() && IsLetter(m_in[m_pos]))
            ++m_pos;
        std::string_view name = m_in.substr(nameStart, m_pos - nameStart);
        std::optional<int> parameter;
        const bool negative =
            m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && IsDigit(m_in[m_pos + 1]);
        if (negative)
            ++m_pos;
        if (m_pos < m_in.size() && IsDigit(m_in[m_pos])) {
            int value = 0;
            // Saturates instead of overflowing; the digits are consumed either way.
            while (m_pos < m_in.size() && IsDigit(m_in[m_pos])) {
                const int digit = m_in[m_pos++] - '0';
                value =
                    value > (kParameterLimit - digit) / 10 ? kParameterLimit : value * 10 + digit;
            }
            parameter = negative ? -value : value;
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        if (name.size() > kMaxControlWordLetters)
            name = {};
        ControlWord(name, parameter);
    }

    void ControlSymbol(char c) {
        switch (c) {
            case '\\':
            case '{':
            case '}':
                Literal(static_cast<char32_t>(c));
                break;
            case '\'': {
                // A bad escape drops only the "\'", so what follows (a brace, say) still counts.
                if (m_pos + 1 >= m_in.size())
                    return;
                const int high = HexDigitValue(m_in[m_pos]);
                const int low = HexDigitValue(m_in[m_pos + 1]);
                if (high < 0 || low < 0)
                    return;
                m_pos += 2;
                Literal(FromCp1252(static_cast<std::uint8_t>(high * 16 + low)));
                break;
            }
            case '*':
                // We understand no optional destination, so the whole group goes.
                if (m_droppedDepth == 0)
                    m_stack.back().destination = Destination::Skip;
                break;
            case '~':
                Literal(0x00A0);
                break;
            case '_':
                Literal(0x2011);
                break;
            case '\n':
            case '\r':
                Word("par", std::nullopt);
                break;
            default:
                // "\-" (optional hyphen) and unknown symbols show nothing, but still count as
                // one fallback character after \u.
                if (!Skipping() && m_skipFallback > 0)
                    --m_skipFallback;
                break;
        }
    }

    void ControlWord(std::string_view name, std::optional<int> parameter) {
        if (name == "bin") {
            // Binary data is never text; skip it without reading it as RTF.
            const std::size_t count = parameter && *parameter > 0 ? *parameter : 0;
            m_pos += std::min(count, m_in.size() - m_pos);
            return;
        }
        Word(name, parameter);
    }

    void Word(std::string_view name, std::optional<int> parameter) {
        if (Skipping())
            return;
        if (m_skipFallback > 0) {
            --m_skipFallback;
            return;
        }
        GroupState& state = m_stack.back();
        if (CharacterWord(state, name, parameter) || FormatWord(state, name, parameter) ||
            TableWord(state, name, parameter)) {
            return;
        }
        if (std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), name) !=
            kSkippedDestinations.end()) {
            state.destination = Destination::Skip;
        }
        // Any other control word is ignored.
    }

    // The words that stand for text: paragraph and line ends, tabs, punctuation, \uN.
    bool CharacterWord(const GroupState& state, std::string_view name,
                       std::optional<int> parameter) {
        static constexpr std::pair<std::string_view, char32_t> kCharacters[] = {
            {"line", '\n'},     {"tab", '\t'},         {"emdash", 0x2014},
            {"endash", 0x2013}, {"bullet", 0x2022},    {"lquote", 0x2018},
            {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}};
        if (name == "par") {
            if (state.destination == Destination::Text)
                EndParagraph();
            return true;
        }
        if (name == "u") {
            if (parameter)
                Unicode(*parameter);
            return true;
        }
        for (const auto& [word, character] : kCharacters) {
            if (name == word) {
                Text(character);
                return true;
            }
        }
        return false;
    }

    // The words that set the character and paragraph format of the group.
    bool FormatWord(GroupState& state, std::string_view name, std::optional<int> parameter) {
        const bool on = !parameter || *parameter != 0;
        if (name == "b") {
            state.bold = on;
        } else if (name == "i") {
            state.italic = on;
        } else if (name == "ul") {
            state.underline = on;
        } else if (name == "ulnone") {
            state.underline = false;
        } else if (name == "fs") {
            const int halfPoints = parameter.value_or(24);
            if (halfPoints >= kMinHalfPoints && halfPoints <= kMaxHalfPoints)
                state.halfPoints = halfPoints;
        } else if (name == "cf") {
            if (parameter && *parameter >= 0)
                state.colourIndex = *parameter;
        } else if (name == "plain") {
            const GroupState defaults;
            state.bold = defaults.bold;
            state.italic = defaults.italic;
            state.underline = defaults.underline;
            state.halfPoints = defaults.halfPoints;
            state.colourIndex = defaults.colourIndex;
            state.fontNumber = m_defaultFont;
        } else if (name == "pard" || name == "ql") {
            state.align = RtfAlign::Left;
        } else if (name == "qr") {
            state.align = RtfAlign::Right;
        } else if (name == "qc") {
            state.align = RtfAlign::Centre;
        } else if (name == "qj") {
            state.align = RtfAlign::Justify;
        } else if (name == "uc") {
            if (parameter && *parameter >= 0 && *parameter <= kMaxUnicodeSkip)
                state.unicodeSkip = *parameter;
        } else {
            return false;
        }
        return true;
    }

    // The words of the font and colour tables and the default font.
    bool TableWord(GroupState& state, std::string_view name, std::optional<int> parameter) {
        if (name == "f" && parameter) {
            if (state.destination == Destination::FontTable) {
                CommitFont();
                m_fontNumber = *parameter;
                m_fontPending = true;
            } else {
                state.fontNumber = *parameter;
            }
        } else if (name == "deff") {
            if (parameter) {
                m_defaultFont = *parameter;
                state.fontNumber = *parameter;
            }
        } else if (name == "fonttbl") {
            state.destination = Destination::FontTable;
        } else if (name == "colortbl") {
            state.destination = Destination::ColourTable;
            m_colourPending = false;
            m_colour = {};
        } else if (name == "red" || name == "green" || name == "blue") {
            if (state.destination == Destination::ColourTable && parameter) {
                std::uint8_t& component = name == "red"     ? m_colour.red
                                          : name == "green" ? m_colour.green
                                                            : m_colour.blue;
                component = static_cast<std::uint8_t>(std::clamp(*parameter, 0, 255));
                m_colourPending = true;
            }
        } else {
            return false;
        }
        return true;
    }

    // \uN: a signed 16-bit UTF-16 unit, followed by \ucN fallback characters to skip.
    void Unicode(int value) {
        char32_t unit = kReplacement;
        if (value >= -32768 && value <= 65535)
            unit = static_cast<char32_t>(value < 0 ? value + 65536 : value);
        if (unit >= 0xDC00 && unit <= 0xDFFF && m_highSurrogate != 0) {
            const char32_t cp = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
            m_highSurrogate = 0;
            Text(cp);
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            FlushSurrogate();
            m_highSurrogate = unit;
        } else {
            Text(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit);
        }
        m_skipFallback = m_stack.back().unicodeSkip;
    }

    // A character written in the file: a byte, an escaped byte or an escaped brace. It may be
    // the fallback of a preceding \u, which is skipped.
    void Literal(char32_t cp) {
        if (Skipping())
            return;
        if (m_skipFallback > 0) {
            --m_skipFallback;
            return;
        }
        Text(cp);
    }

    void Text(char32_t cp) {
        if (cp != '\t' && cp != '\n' && cp < 0x20)
            return;
        if (cp < 0xD800 || cp > 0xDBFF)
            FlushSurrogate();
        const GroupState& state = m_stack.back();
        switch (state.destination) {
            case Destination::Text: {
                const RtfCharFormat format = Resolve(state);
                auto& runs = m_paragraph.runs;
                if (runs.empty() || !(runs.back().format == format))
                    runs.push_back(RtfRun{{}, format});
                AppendUtf8(runs.back().text, cp);
                break;
            }
            case Destination::FontTable:
                if (cp == ';') {
                    CommitFont();
                } else if (m_fontName.size() < kMaxFontNameBytes) {
                    AppendUtf8(m_fontName, cp);
                    m_fontPending = true;
                }
                break;
            case Destination::ColourTable:
                if (cp == ';') {
                    if (m_doc.colours.size() < kMaxTableEntries) {
                        m_doc.colours.push_back(m_colourPending ? std::optional(m_colour)
                                                                : std::nullopt);
                    }
                    m_colourPending = false;
                    m_colour = {};
                }
                break;
            case Destination::Skip:
                break;
        }
    }

    // A high surrogate not followed by its low half.
    void FlushSurrogate() {
        if (m_highSurrogate == 0)
            return;
        m_highSurrogate = 0;
        Text(kReplacement);
    }

    void CommitFont() {
        if (!m_fontPending)
            return;
        while (!m_fontName.empty() && m_fontName.back() == ' ')
            m_fontName.pop_back();
        // The first entry for a number wins, as a later duplicate cannot be told apart.
        if (m_doc.fonts.size() < kMaxTableEntries && !m_fontIndex.contains(m_fontNumber)) {
            m_fontIndex[m_fontNumber] = static_cast<int>(m_doc.fonts.size());
            m_doc.fonts.push_back(RtfFont{m_fontNumber, m_fontName});
        }
        m_fontName.clear();
        m_fontNumber = 0;
        m_fontPending = false;
    }

    RtfCharFormat Resolve(const GroupState& state) const {
        RtfCharFormat format;
        format.bold = state.bold;
        format.italic = state.italic;
        format.underline = state.underline;
        format.halfPoints = state.halfPoints;
        const auto font = m_fontIndex.find(state.fontNumber);
        format.font = font == m_fontIndex.end() ? -1 : font->second;
        if (static_cast<std::size_t>(state.colourIndex) < m_doc.colours.size())
            format.colour = m_doc.colours[state.colourIndex];
        return format;
    }

    void EndParagraph() {
        FlushSurrogate();
        m_paragraph.align = m_stack.back().align;
        m_paragraph.mark = Resolve(m_stack.back());
        m_doc.paragraphs.push_back(std::move(m_paragraph));
        m_paragraph = {};
    }

    // The text after the last \par is a paragraph of its own only if it has any characters,
    // so a document reads the same whether or not it ends with \par.
    void FinishDocument() {
        FlushSurrogate();
        if (!m_paragraph.runs.empty())
            EndParagraph();
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
    RtfDocument& m_doc;
    std::vector<GroupState> m_stack;
    std::size_t m_droppedDepth = 0;  // groups opened beyond kMaxGroupDepth
    int m_skipFallback = 0;
    char32_t m_highSurrogate = 0;
    int m_defaultFont = 0;
    RtfParagraph m_paragraph;
    std::map<int, int> m_fontIndex;  // \f number -> index into m_doc.fonts
    int m_fontNumber = 0;
    std::string m_fontName;
    bool m_fontPending = false;
    RtfColour m_colour;
    bool m_colourPending = false;
};

}  // namespace

HRESULT ParseRtf(std::string_view bytes, RtfDocument& out) {
    out = {};
    std::size_t start = 0;
    while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\t' ||
                                    bytes[start] == '\r' || bytes[start] == '\n')) {
        ++start;
    }
    if (bytes.substr(start, 5) != "{\\rtf")
        return E_FAIL;
    CRtfReader(bytes, out).Read(start);
    return S_OK;
}

}  // namespace sondrel
