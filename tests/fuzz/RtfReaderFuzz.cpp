// Fuzz target for the RTF reader: any bytes must parse without fault, and the document must
// keep its invariants: valid UTF-8 text, sizes in range, resolvable fonts, no empty or
// needlessly split runs, and a size bounded by the input's.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/CRtfReader.h"
#include "base/TextUtil.h"

using namespace sondrel;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckFormat(const RtfDocument& doc, const RtfCharFormat& format) {
    Check(format.halfPoints >= 2 && format.halfPoints <= 3276);
    Check(format.font >= -1 && format.font < static_cast<int>(doc.fonts.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RtfDocument doc;
    const HRESULT hr = ParseRtf(bytes, doc);
    if (Failed(hr)) {
        Check(doc.fonts.empty() && doc.colours.empty() && doc.paragraphs.empty());
        return 0;
    }
    Check(doc.fonts.size() <= 1024 && doc.colours.size() <= 1024);
    Check(doc.paragraphs.size() <= size);
    std::size_t textBytes = 0;
    for (const RtfFont& font : doc.fonts)
        Check(Utf32ToUtf8(Utf8ToUtf32(font.name)) == font.name);
    for (const RtfParagraph& paragraph : doc.paragraphs) {
        CheckFormat(doc, paragraph.mark);
        for (std::size_t i = 0; i < paragraph.runs.size(); ++i) {
            const RtfRun& run = paragraph.runs[i];
            Check(!run.text.empty());
            Check(Utf32ToUtf8(Utf8ToUtf32(run.text)) == run.text);
            CheckFormat(doc, run.format);
            Check(i == 0 || !(paragraph.runs[i - 1].format == run.format));
            textBytes += run.text.size();
        }
    }
    // A UTF-8 character is at most four bytes and each takes at least one input byte.
    Check(textBytes <= 4 * size);
    return 0;
}
