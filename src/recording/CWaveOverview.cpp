#include "recording/CWaveOverview.h"

#include <algorithm>
#include <limits>
#include <new>

#include "audiofile/CWaveReader.h"

namespace sondrel {

namespace {

constexpr std::uint32_t kFrameBytes = 4;
// Big reads keep the file system's read-ahead busy; 1 MiB fits the cache of any core.
constexpr std::uint64_t kBlockFrames = 256 * 1024;

// A column that nothing reduced into yet; one that stays so (more columns than frames) is
// silence.
constexpr OverviewColumn kUntouched{
    std::numeric_limits<std::int16_t>::max(), std::numeric_limits<std::int16_t>::min(),
    std::numeric_limits<std::int16_t>::max(), std::numeric_limits<std::int16_t>::min()};

void Settle(OverviewColumn& column) {
    if (column.minLeft > column.maxLeft)
        column = OverviewColumn{};
}

}  // namespace

void WidenColumn(OverviewColumn& column, const std::int16_t* samples, std::size_t frames) {
    // Plain int arithmetic in four independent lanes: the compiler keeps them in registers
    // and vectorises the loop.
    int minL = column.minLeft, maxL = column.maxLeft;
    int minR = column.minRight, maxR = column.maxRight;
    for (std::size_t i = 0; i < frames; ++i) {
        const int left = samples[2 * i];
        const int right = samples[2 * i + 1];
        minL = std::min(minL, left);
        maxL = std::max(maxL, left);
        minR = std::min(minR, right);
        maxR = std::max(maxR, right);
    }
    column.minLeft = static_cast<std::int16_t>(minL);
    column.maxLeft = static_cast<std::int16_t>(maxL);
    column.minRight = static_cast<std::int16_t>(minR);
    column.maxRight = static_cast<std::int16_t>(maxR);
}

CWaveOverview::~CWaveOverview() {
    Stop();
}

std::uint64_t CWaveOverview::ColumnStart(std::size_t i) const {
    const std::uint64_t span = m_endFrame - m_firstFrame;
    const std::size_t count = std::max<std::size_t>(m_columns.size(), 1);
    // Exact in 64 bits for any recording a WAV file can hold and any screen width.
    return m_firstFrame + span * i / count;
}

void CWaveOverview::Stop() {
    m_stop.store(true, std::memory_order_relaxed);
    if (m_worker.joinable())
        m_worker.join();
    m_stop.store(false, std::memory_order_relaxed);
}

void CWaveOverview::Restart(std::uint64_t firstFrame, std::uint64_t endFrame,
                            std::size_t columnCount) {
    Stop();
    m_firstFrame = firstFrame;
    m_endFrame = std::max(firstFrame, endFrame);
    m_columns.assign(columnCount, kUntouched);
    m_ready.store(0, std::memory_order_relaxed);
    m_failed.store(false, std::memory_order_relaxed);
}

void CWaveOverview::Start(const std::filesystem::path& path, std::uint64_t firstFrame,
                          std::uint64_t endFrame, std::size_t columnCount) {
    Restart(firstFrame, endFrame, columnCount);
    if (columnCount == 0)
        return;
    m_worker = std::thread([this, path] {
        HRESULT hr = E_FAIL;
        try {
            hr = Run(path);
        } catch (...) {
            hr = E_FAIL;
        }
        if (Failed(hr))
            m_failed.store(true, std::memory_order_release);
    });
}

HRESULT CWaveOverview::Compute(const std::filesystem::path& path, std::uint64_t firstFrame,
                               std::uint64_t endFrame, std::size_t columnCount) {
    Restart(firstFrame, endFrame, columnCount);
    const HRESULT hr = columnCount == 0 ? S_OK : Run(path);
    m_failed.store(Failed(hr), std::memory_order_release);
    return hr;
}

HRESULT CWaveOverview::Run(const std::filesystem::path& path) {
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    if (!reader || Failed(reader->Open(path, 0)))
        return E_FAIL;
    WAVEFORMATEX format{};
    if (Failed(reader->GetFormat(&format, nullptr)) || format.wFormatTag != WAVE_FORMAT_PCM ||
        format.nChannels != 2 || format.wBitsPerSample != 16)
        return E_FAIL;
    std::vector<std::int16_t> block(kBlockFrames * 2);
    std::size_t column = 0;
    std::uint64_t columnEnd = ColumnStart(1);
    const std::size_t count = m_columns.size();
    for (std::uint64_t at = m_firstFrame; at < m_endFrame && column < count;) {
        if (m_stop.load(std::memory_order_relaxed))
            return S_FALSE;
        const std::uint64_t frames = std::min(kBlockFrames, m_endFrame - at);
        // Past the file's data there is only silence to show (the reader refuses to start
        // there).
        if (at * kFrameBytes >= reader->DataSizeBytes()) {
            std::fill(block.begin(), block.end(), std::int16_t{0});
        } else if (Failed(reader->ReadAt(block.data(), static_cast<std::int64_t>(at * kFrameBytes),
                                         static_cast<std::int32_t>(frames * kFrameBytes)))) {
            return E_FAIL;
        }
        const std::uint64_t blockEnd = at + frames;
        while (at < blockEnd) {
            const std::uint64_t until = std::min(columnEnd, blockEnd);
            WidenColumn(m_columns[column], block.data() + 2 * (at - (blockEnd - frames)),
                        static_cast<std::size_t>(until - at));
            at = until;
            // Columns that cover no frame at all (more columns than frames) finish here too.
            while (column < count && columnEnd <= at) {
                Settle(m_columns[column]);
                ++column;
                columnEnd = ColumnStart(column + 1);
            }
        }
        m_ready.store(column, std::memory_order_release);
    }
    for (; column < count; ++column)
        Settle(m_columns[column]);
    m_ready.store(count, std::memory_order_release);
    return S_OK;
}

}  // namespace sondrel
