#include "platform/CaptureHolder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace sondrel {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string SubstreamHolder(const std::filesystem::path& pcm) {
    for (int sub = 0; sub < 32; ++sub) {
        const std::filesystem::path status = pcm / ("sub" + std::to_string(sub)) / "status";
        std::error_code ec;
        if (!std::filesystem::exists(status, ec))
            break;
        const std::optional<int> pid = ParseProcStatusOwnerPid(ReadAll(status));
        if (!pid)
            continue;
        std::ifstream comm("/proc/" + std::to_string(*pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        return (name.empty() ? "process" : name) + " (process " + std::to_string(*pid) + ")";
    }
    return {};
}

}  // namespace

std::optional<std::uint32_t> ParseProcNumber(std::string_view text, std::string_view key,
                                             std::uint32_t largest) {
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        const std::size_t lineEnd = std::min(text.find('\n', lineStart), text.size());
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.substr(0, key.size()) != key)
            continue;
        line.remove_prefix(key.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() != ':')
            return std::nullopt;
        line.remove_prefix(1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        std::uint64_t value = 0;
        std::size_t digits = 0;
        for (; digits < line.size() && line[digits] >= '0' && line[digits] <= '9'; ++digits) {
            value = value * 10 + static_cast<std::uint64_t>(line[digits] - '0');
            if (value > largest)
                return std::nullopt;
        }
        if (digits == 0 || value == 0)
            return std::nullopt;
        return static_cast<std::uint32_t>(value);
    }
    return std::nullopt;
}

std::optional<int> ParseProcStatusOwnerPid(std::string_view text) {
    const std::optional<std::uint32_t> pid = ParseProcNumber(text, "owner_pid", 99999999);
    return pid ? std::optional<int>(static_cast<int>(*pid)) : std::nullopt;
}

std::string FindCaptureHolder(const std::filesystem::path& procAsound, int card, int device) {
    if (card < 0)
        return {};
    const std::filesystem::path cardFolder = procAsound / ("card" + std::to_string(card));
    if (device >= 0)
        return SubstreamHolder(cardFolder / ("pcm" + std::to_string(device) + "c"));
    // The card's capture devices in number order, so that the answer does not depend on the
    // order the folder lists them in.
    for (int number = 0; number < 32; ++number) {
        std::string holder = SubstreamHolder(cardFolder / ("pcm" + std::to_string(number) + "c"));
        if (!holder.empty())
            return holder;
    }
    return {};
}

}  // namespace sondrel
