#include "recording/QuietestFrame.h"

#include <algorithm>
#include <vector>

#include "base/WaveFormat.h"

namespace sondrel {

HRESULT FindQuietestFrame(IPcmReader& reader, std::uint64_t from, std::uint64_t to,
                          std::uint64_t& frame) {
    frame = from;
    std::uint64_t dataBytes = 0;
    if (to < from || Failed(reader.GetDataSize(&dataBytes)))
        return E_FAIL;
    const std::uint64_t frames = dataBytes / kCaptureBlockAlign;
    const std::uint64_t half = kQuietWindowFrames / 2;
    const std::uint64_t first = from > half ? from - half : 0;
    const std::uint64_t last = std::min(frames, to + half + 1);
    if (first >= last)
        return E_FAIL;
    std::vector<std::int16_t> samples((last - first) * 2);
    if (Failed(reader.ReadAt(samples.data(), static_cast<std::int64_t>(first * kCaptureBlockAlign),
                             static_cast<std::int32_t>(samples.size() * sizeof(std::int16_t))))) {
        return E_FAIL;
    }
    // Energy before each frame, so that any window's sum is one subtraction.
    std::vector<std::uint64_t> before(last - first + 1, 0);
    for (std::size_t i = 0; i + 1 < before.size(); ++i) {
        const auto l = static_cast<std::int64_t>(samples[2 * i]);
        const auto r = static_cast<std::int64_t>(samples[2 * i + 1]);
        before[i + 1] = before[i] + static_cast<std::uint64_t>(l * l + r * r);
    }
    std::uint64_t best = UINT64_MAX;
    for (std::uint64_t centre = from; centre <= to; ++centre) {
        const std::uint64_t begin = (centre > half ? centre - half : 0) - first;
        const std::uint64_t end = std::min(last, centre + half + 1) - first;
        const std::uint64_t energy = before[end] - before[begin];
        if (energy < best) {
            best = energy;
            frame = centre;
        }
    }
    return S_OK;
}

}  // namespace sondrel
