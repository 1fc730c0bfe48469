#include "platform/alsa/CaptureHolder.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "platform/alsa/AlsaDeviceNames.h"

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
