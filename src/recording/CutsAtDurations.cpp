#include "recording/CutsAtDurations.h"

#include <algorithm>

#include "recording/CTrackCuts.h"
#include "recording/QuietestFrame.h"

namespace sondrel {

bool CanCutAtDurations(const std::vector<std::uint64_t>& lengthsMs) {
    return lengthsMs.size() > 1 &&
           std::find(lengthsMs.begin(), lengthsMs.end() - 1, 0u) == lengthsMs.end() - 1;
}

HRESULT PlaceCutsAtDurations(IPcmReader& reader, const std::vector<std::uint64_t>& lengthsMs,
                             std::uint64_t endFrame, std::vector<std::uint64_t>& cuts) {
    cuts.clear();
    constexpr std::uint64_t kGap = CTrackCuts::kMinTrackFrames;
    std::uint64_t listedMs = 0;
    for (std::size_t i = 0; i + 1 < lengthsMs.size() && lengthsMs[i] > 0; ++i) {
        listedMs += lengthsMs[i];
        const std::uint64_t listed = listedMs * 44100 / 1000;
        const std::uint64_t low = (cuts.empty() ? 0 : cuts.back()) + kGap;
        if (endFrame < 2 * kGap || low > endFrame - kGap)
            break;
        const std::uint64_t high = endFrame - kGap;
        const std::uint64_t from = std::clamp(
            listed > kDurationSnapFrames ? listed - kDurationSnapFrames : std::uint64_t{0}, low,
            high);
        const std::uint64_t to = std::clamp(listed + kDurationSnapFrames, low, high);
        if (listed > high + kDurationSnapFrames)
            break;
        std::uint64_t frame = from;
        if (Failed(FindQuietestFrame(reader, from, to, frame))) {
            cuts.clear();
            return E_FAIL;
        }
        cuts.push_back(frame);
    }
    return S_OK;
}

}  // namespace sondrel
