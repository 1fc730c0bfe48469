// The file format of an export: WAV, as recorded, or FLAC, lossless and tagged.
#pragma once

#include <string>
#include <string_view>

namespace sondrel {

enum class ExportFormat { Wav, Flac };

inline const char* FormatExtension(ExportFormat format) {
    return format == ExportFormat::Flac ? ".flac" : ".wav";
}

// "wav" / "flac", as the settings, the journal and the command line spell them.
inline const char* FormatName(ExportFormat format) {
    return format == ExportFormat::Flac ? "flac" : "wav";
}

// False, leaving format alone, for any other spelling.
inline bool ParseFormatName(std::string_view name, ExportFormat& format) {
    if (name == "wav" || name == "flac") {
        format = name == "flac" ? ExportFormat::Flac : ExportFormat::Wav;
        return true;
    }
    return false;
}

}  // namespace sondrel
