// The picture of a recording for the track page: per pixel column, the least and greatest
// sample of each channel over the frames that column covers. A worker thread reads the WAV
// file and fills the columns from left to right, so the page shows what is done while the rest
// is still being read.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/Result.h"

namespace sondrel {

struct OverviewColumn {
    std::int16_t minLeft = 0;
    std::int16_t maxLeft = 0;
    std::int16_t minRight = 0;
    std::int16_t maxRight = 0;
};

// Reduces frames of 16-bit stereo samples into column, which keeps what it already holds.
void WidenColumn(OverviewColumn& column, const std::int16_t* samples, std::size_t frames);

// Threads: Start, Stop and the destructor on one owner thread (the user-interface thread);
// Ready, Columns and Failed from that thread while the worker runs. The worker writes column
// i before it publishes Ready() > i with a release store; the owner reads Ready() with acquire
// and only the columns below it, so neither ever waits for the other.
class CWaveOverview {
public:
    CWaveOverview() = default;
    ~CWaveOverview();
    CWaveOverview(const CWaveOverview&) = delete;
    CWaveOverview& operator=(const CWaveOverview&) = delete;

    // Stops any earlier work and starts on frames [firstFrame, endFrame) of the 16-bit stereo
    // WAV file at path, in columnCount columns. Columns over frames outside the file's data
    // stay silent.
    void Start(const std::filesystem::path& path, std::uint64_t firstFrame, std::uint64_t endFrame,
               std::size_t columnCount);
    void Stop();

    std::size_t ColumnCount() const { return m_columns.size(); }
    std::size_t Ready() const { return m_ready.load(std::memory_order_acquire); }
    bool Done() const { return !m_columns.empty() && Ready() == m_columns.size(); }
    // True when the file could not be opened or read; the columns stop where it failed.
    bool ReadFailed() const { return m_failed.load(std::memory_order_acquire); }
    const OverviewColumn* Columns() const { return m_columns.data(); }
    std::uint64_t FirstFrame() const { return m_firstFrame; }
    std::uint64_t EndFrame() const { return m_endFrame; }
    // The first frame column i covers (i may be ColumnCount(): the end).
    std::uint64_t ColumnStart(std::size_t i) const;

    // Synchronous: the whole job on the calling thread (benchmarks, tests). E_FAIL when the
    // file cannot be read.
    HRESULT Compute(const std::filesystem::path& path, std::uint64_t firstFrame,
                    std::uint64_t endFrame, std::size_t columnCount);

private:
    // Stops a running picture and starts an empty one of these columns.
    void Restart(std::uint64_t firstFrame, std::uint64_t endFrame, std::size_t columnCount);
    HRESULT Run(const std::filesystem::path& path);

    std::vector<OverviewColumn> m_columns;
    std::uint64_t m_firstFrame = 0;
    std::uint64_t m_endFrame = 0;
    std::atomic<std::size_t> m_ready{0};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

}  // namespace sondrel
