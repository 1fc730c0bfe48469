#include "devices/StereoCheck.h"

#include <vector>

#include "base/TextUtil.h"
#include "platform/ICaptureEndpoints.h"
#include "platform/ISystemInfo.h"

namespace sondrel {

namespace {

// Endpoint names are compared the way the system's 32-character device names are stored.
constexpr std::size_t kNameCharacters = 31;

std::string FirstCharacters(std::string_view text, std::size_t count) {
    std::u32string chars = Utf8ToUtf32(text);
    if (chars.size() > count)
        chars.resize(count);
    return Utf32ToUtf8(chars);
}

}  // namespace

bool IsCaptureEndpointMono(ICaptureEndpoints& endpoints, std::string_view name) {
    if (name.empty())
        return false;
    std::vector<CaptureEndpointInfo> list;
    if (Failed(endpoints.EnumerateActiveCaptureEndpoints(list)))
        return false;
    // The device name may be the whole name (ALSA names a USB card "<card>, USB Audio"), which
    // the stored endpoint name never matches once it is longer: both are cut alike.
    const std::string wanted = FirstCharacters(name, kNameCharacters);
    for (const CaptureEndpointInfo& endpoint : list) {
        if (FirstCharacters(endpoint.friendlyName, kNameCharacters) == wanted) {
            return endpoint.formatChannels == 1;
        }
    }
    return false;
}

bool CheckMonoRecording(ISystemInfo& system, ICaptureEndpoints& endpoints, std::string_view name,
                        IMonoRecordingQuestion& question) {
    const SystemVersion version = system.GetVersion();
    if (version.platformId != kPlatformIdNt || version.major <= 5)
        return false;
    if (!IsCaptureEndpointMono(endpoints, name))
        return false;
    return question.AskVisitSupportPage();
}

}  // namespace sondrel
