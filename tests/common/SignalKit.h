// The signals the tests record and export: deterministic noise (misplaced bytes show), noise
// without zero samples (silence around it shows), sides whose every frame carries its number
// (a lost, doubled or reordered frame shows), the check that a recording holds exactly the
// beginning of a side, and waiting for a condition another thread makes true.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace sondrel::test {

inline constexpr std::size_t kSideFramesPerSecond = 44100;

// count samples from a linear congruential sequence (the top 16 bits of each state).
inline std::vector<std::int16_t> Noise(std::size_t count, std::uint32_t seed) {
    std::vector<std::int16_t> samples(count);
    for (auto& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<std::int16_t>(seed >> 16);
    }
    return samples;
}

// A stereo side of noise, seconds long.
inline std::vector<std::int16_t> NoiseSide(double seconds, std::uint32_t seed = 12345) {
    return Noise(static_cast<std::size_t>(seconds * kSideFramesPerSecond) * 2, seed);
}

// The same with every zero sample made 1.
inline std::vector<std::int16_t> NoZeroNoiseSide(double seconds, std::uint32_t seed) {
    std::vector<std::int16_t> side = NoiseSide(seconds, seed);
    std::replace(side.begin(), side.end(), std::int16_t{0}, std::int16_t{1});
    return side;
}

// Frame i holds i: its low 16 bits on the left, the rest plus one on the right (never zero).
inline std::vector<std::int16_t> NumberedSide(std::uint32_t frames) {
    std::vector<std::int16_t> side(std::size_t{frames} * 2);
    for (std::uint32_t i = 0; i < frames; ++i) {
        side[2 * i] = static_cast<std::int16_t>(i & 0xFFFF);
        side[2 * i + 1] = static_cast<std::int16_t>((i >> 16) + 1);
    }
    return side;
}

inline std::uint32_t FrameNumber(const std::vector<std::int16_t>& samples, std::size_t frame) {
    return static_cast<std::uint16_t>(samples[2 * frame]) |
           (static_cast<std::uint32_t>(samples[2 * frame + 1] - 1) << 16);
}

// Whether the recording, from its first frame that is not silent on, is exactly the side's
// beginning; sideFrames is how much of the side it holds.
inline bool HoldsSidePrefix(const std::vector<std::int16_t>& recorded,
                            const std::vector<std::int16_t>& side, std::size_t& sideFrames) {
    std::size_t start = 0;
    while (start + 1 < recorded.size() && recorded[start] == 0 && recorded[start + 1] == 0)
        start += 2;
    const std::size_t count = std::min(recorded.size() - start, side.size());
    sideFrames = count / 2;
    return std::equal(recorded.begin() + static_cast<std::ptrdiff_t>(start),
                      recorded.begin() + static_cast<std::ptrdiff_t>(start + count), side.begin());
}

// Waits until done() holds; false after the timeout.
template <class Done>
bool WaitFor(Done done, std::chrono::seconds timeout = std::chrono::seconds(120)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace sondrel::test
