// The FLAC encodings of one export, made ahead of their placing on a few threads of their own:
// FLAC encoding is the slow part of an export, and tracks encode independently. The export
// takes each finished file in track order and puts it in place itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Result.h"
#include "export/CFlacEncoder.h"

namespace sondrel {

struct FlacJob {
    std::filesystem::path source;  // a 16-bit PCM WAV file
    std::filesystem::path output;  // made new; the caller moves it into place
    FlacTags tags;
    std::uint64_t frames = 0;  // for progress
};

// Threads: Start, Wait, Progress and destruction on one thread (the export's worker); the
// encoding threads share only the job states, under the lock, and atomic counters.
class CFlacBatch {
public:
    CFlacBatch() = default;
    CFlacBatch(const CFlacBatch&) = delete;
    CFlacBatch& operator=(const CFlacBatch&) = delete;
    // Stops the encodings still running and removes the outputs nobody took.
    ~CFlacBatch();

    // Encodes the jobs on up to threads threads, in job order.
    void Start(std::vector<FlacJob> jobs, unsigned threads);
    // Waits for job index: S_OK with its output complete, or E_FAIL with the reason in problem.
    // whileWaiting (may be empty) runs about every 100 ms meanwhile.
    HRESULT Wait(std::size_t index, std::string& problem,
                 const std::function<void()>& whileWaiting);
    // Marks job index's output as taken (moved away), so it is not removed at the end.
    void Taken(std::size_t index);
    // The job that makes output (past the last job when none does).
    std::size_t IndexOf(const std::filesystem::path& output) const;
    // Fraction of all the jobs' frames encoded so far.
    double Progress() const;

private:
    enum class State { Waiting, Running, Done, Failed };
    void Work();

    std::vector<FlacJob> m_jobs;
    std::vector<State> m_states;
    std::vector<std::string> m_problems;
    std::vector<bool> m_taken;
    std::size_t m_next = 0;
    std::uint64_t m_totalFrames = 0;
    std::atomic<std::uint64_t> m_framesDone{0};
    std::atomic<bool> m_cancel{false};
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::thread> m_threads;
};

}  // namespace sondrel
