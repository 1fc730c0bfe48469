// The source equaliser: the playback curve for turntables (RIAA or a bass shelf) and the treble
// correction for chrome tape, as second-order sections over 16-bit stereo samples.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace sondrel {

enum SourceFilterType : int {
    kSourceFilterNone = 0,      // normal tape
    kSourceFilterRiaa = 1,      // turntable: RIAA playback curve
    kSourceFilterChrome = 2,    // chrome tape: treble cut
    kSourceFilterBassShelf = 3  // turntable whose signal only needs the bass lifted
};

// One section: y = c0·x + c1·x1 + c2·x2 − c3·y1 − c4·y2, with the previous inputs and outputs
// kept as 16-bit samples.
struct CFilterSection {
    double c0 = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    std::int16_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    // Filters every stride-th sample of samples in place, count samples in all.
    void Run(std::int16_t* samples, std::size_t count, std::size_t stride);
};

// Threads: SetSourceFilter is called on the user-interface thread, possibly while the capture
// thread runs Process; it only publishes the wanted type through atomics and never blocks. The
// capture thread picks the change up at its next Process call and rebuilds its sections there
// (no allocation: the sections live inside the object). Process is for the capture thread only.
class CSourceEqualiser {
public:
    CSourceEqualiser() = default;
    CSourceEqualiser(const CSourceEqualiser&) = delete;
    CSourceEqualiser& operator=(const CSourceEqualiser&) = delete;

    // Chooses the filter (a SourceFilterType; any other value filters nothing). Calling it again,
    // even with the same type, restarts the sections from silence.
    void SetSourceFilter(int type);

    // frames stereo frames of interleaved 16-bit samples, left then right, filtered in place.
    void Process(std::int16_t* interleavedSamples, std::size_t frames);

    // The sections one channel of a type runs through, in order (0 to 2 of them).
    static int SectionsOf(int type, CFilterSection (&sections)[2]);

    // The type the next Process call will filter with.
    int Type() const { return m_requestedType.load(std::memory_order_relaxed); }

private:
    void Rebuild(int type);

    // Left first, left second, right first, right second.
    CFilterSection m_sections[4];
    int m_sectionsPerChannel = 0;

    // The type travels in m_requestedType; m_requestCount, bumped after it with release order,
    // tells the capture thread that a request is waiting.
    std::atomic<int> m_requestedType{kSourceFilterNone};
    std::atomic<std::uint32_t> m_requestCount{0};
    std::uint32_t m_appliedCount = 0;
};

}  // namespace sondrel
