#include "export/CFlacBatch.h"

#include <unistd.h>

#include <algorithm>

namespace sondrel {

CFlacBatch::~CFlacBatch() {
    m_cancel.store(true);
    for (auto& thread : m_threads)
        thread.join();
    for (std::size_t i = 0; i < m_jobs.size(); ++i) {
        if (!m_taken[i])
            ::unlink(m_jobs[i].output.c_str());
    }
}

void CFlacBatch::Start(std::vector<FlacJob> jobs, unsigned threads) {
    m_jobs = std::move(jobs);
    m_states.assign(m_jobs.size(), State::Waiting);
    m_problems.assign(m_jobs.size(), std::string());
    m_taken.assign(m_jobs.size(), false);
    for (const FlacJob& job : m_jobs)
        m_totalFrames += job.frames;
    const std::size_t count = std::min<std::size_t>(std::max(threads, 1u), m_jobs.size());
    for (std::size_t i = 0; i < count; ++i)
        m_threads.emplace_back([this] { Work(); });
}

void CFlacBatch::Work() {
    for (;;) {
        std::size_t index = 0;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_next == m_jobs.size() || m_cancel.load())
                return;
            index = m_next++;
            m_states[index] = State::Running;
        }
        CFlacEncoder encoder;
        encoder.framesDone = &m_framesDone;
        encoder.cancel = &m_cancel;
        HRESULT hr = E_FAIL;
        try {
            hr = encoder.Encode(m_jobs[index].source, m_jobs[index].output, m_jobs[index].tags);
        } catch (...) {
            // Nothing may escape the thread; an encoding that threw is a failed one.
        }
        std::lock_guard<std::mutex> hold(m_lock);
        m_states[index] = Succeeded(hr) ? State::Done : State::Failed;
        m_problems[index] = Succeeded(hr)               ? std::string()
                            : encoder.Problem().empty() ? std::string("FLAC encoding failed")
                                                        : encoder.Problem();
        // A failed track fails the export; the others need not be finished.
        if (Failed(hr))
            m_cancel.store(true);
        m_changed.notify_all();
    }
}

HRESULT CFlacBatch::Wait(std::size_t index, std::string& problem,
                         const std::function<void()>& whileWaiting) {
    std::unique_lock<std::mutex> hold(m_lock);
    if (index >= m_jobs.size())
        return E_FAIL;
    const auto ended = [&] {
        return m_states[index] == State::Done || m_states[index] == State::Failed ||
               (m_states[index] == State::Waiting && m_cancel.load());
    };
    while (!m_changed.wait_for(hold, std::chrono::milliseconds(100), ended)) {
        if (whileWaiting) {
            hold.unlock();
            whileWaiting();
            hold.lock();
        }
    }
    problem = m_problems[index];
    if (m_states[index] != State::Done && problem.empty())
        problem = "FLAC encoding was stopped";
    return m_states[index] == State::Done ? S_OK : E_FAIL;
}

void CFlacBatch::Taken(std::size_t index) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (index < m_taken.size())
        m_taken[index] = true;
}

std::size_t CFlacBatch::IndexOf(const std::filesystem::path& output) const {
    std::size_t index = 0;
    while (index < m_jobs.size() && m_jobs[index].output != output)
        ++index;
    return index;
}

double CFlacBatch::Progress() const {
    return m_totalFrames == 0
               ? 1.0
               : static_cast<double>(m_framesDone.load()) / static_cast<double>(m_totalFrames);
}

}  // namespace sondrel
