// What the pages ask of the program beyond their own state: the export folder setting and the
// desktop's shell. The windowed host fills it; tests give their own.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace sondrel {

// Pages refer to one instance held by whoever shows them; what the functions capture (the
// settings, the session) must outlive it.
struct PageServices {
    std::function<std::filesystem::path()> readExportFolder;
    // Stores a chosen folder; may replace it (a name too long becomes the music folder).
    std::function<void(std::filesystem::path&)> writeExportFolder;
    // Remembers the export format chosen on a tag page ("wav" or "flac").
    std::function<void(const std::string& format)> writeExportFormat;
    std::function<void(const std::string& url)> openUrl;
    std::function<void(const std::filesystem::path& folder)> openFolder;
};

}  // namespace sondrel
