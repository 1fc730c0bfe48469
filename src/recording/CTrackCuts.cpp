#include "recording/CTrackCuts.h"

#include <algorithm>

#include "base/WaveFormat.h"

namespace sondrel {

namespace {

// The undo history keeps this many changes; older ones fall away.
constexpr std::size_t kHistoryLimit = 1000;

}  // namespace

CTrackCuts::CTrackCuts(std::uint64_t endFrame, const std::vector<std::uint64_t>& cuts)
    : m_endFrame(endFrame) {
    std::uint64_t last = 0;
    for (const std::uint64_t cut : cuts) {
        if (cut >= last + kMinTrackFrames && cut + kMinTrackFrames <= endFrame) {
            m_cuts.push_back(cut);
            last = cut;
        }
    }
}

CTrackCuts CTrackCuts::FromMarks(const std::vector<std::uint64_t>& marks,
                                 std::uint64_t recordingFrames) {
    if (marks.empty())
        return CTrackCuts(recordingFrames, {});
    std::vector<std::uint64_t> cuts;
    for (std::size_t i = 0; i + 1 < marks.size(); ++i)
        cuts.push_back(marks[i] / kCaptureBlockAlign);
    return CTrackCuts(std::min(marks.back() / kCaptureBlockAlign, recordingFrames), cuts);
}

std::vector<std::uint64_t> CTrackCuts::ToMarks() const {
    std::vector<std::uint64_t> marks;
    for (const std::uint64_t cut : m_cuts)
        marks.push_back(cut * kCaptureBlockAlign);
    marks.push_back(m_endFrame * kCaptureBlockAlign);
    return marks;
}

std::uint64_t CTrackCuts::TrackFrames(std::size_t index) const {
    const std::uint64_t start = index == 0 ? 0 : m_cuts[index - 1];
    const std::uint64_t end = index < m_cuts.size() ? m_cuts[index] : m_endFrame;
    return end - start;
}

void CTrackCuts::Select(int index) {
    m_selected = index >= 0 && static_cast<std::size_t>(index) < m_cuts.size() ? index : -1;
}

void CTrackCuts::SelectNext(int step) {
    if (m_cuts.empty()) {
        m_selected = -1;
        return;
    }
    const int count = static_cast<int>(m_cuts.size());
    m_selected =
        m_selected < 0 ? (step > 0 ? 0 : count - 1) : ((m_selected + step) % count + count) % count;
}

void CTrackCuts::Limits(std::uint64_t& low, std::uint64_t& high) const {
    const auto index = static_cast<std::size_t>(m_selected);
    low = (index == 0 ? 0 : m_cuts[index - 1]) + kMinTrackFrames;
    const std::uint64_t next = index + 1 < m_cuts.size() ? m_cuts[index + 1] : m_endFrame;
    high = next >= kMinTrackFrames ? next - kMinTrackFrames : 0;
}

void CTrackCuts::Remember() {
    if (m_history.size() == kHistoryLimit)
        m_history.erase(m_history.begin());
    m_history.push_back({m_cuts, m_selected});
}

bool CTrackCuts::ReplaceAll(const std::vector<std::uint64_t>& cuts) {
    CTrackCuts replaced(m_endFrame, cuts);
    if (replaced.m_cuts == m_cuts)
        return false;
    Remember();
    m_cuts = std::move(replaced.m_cuts);
    m_selected = m_cuts.empty() ? -1 : 0;
    return true;
}

bool CTrackCuts::MoveSelectedTo(std::uint64_t frame) {
    if (m_selected < 0)
        return false;
    std::uint64_t low = 0, high = 0;
    Limits(low, high);
    const std::uint64_t target = std::clamp(frame, low, std::max(low, high));
    std::uint64_t& cut = m_cuts[static_cast<std::size_t>(m_selected)];
    if (target == cut || low > high)
        return false;
    Remember();
    cut = target;
    return true;
}

bool CTrackCuts::MoveSelected(std::int64_t deltaFrames) {
    if (m_selected < 0)
        return false;
    const auto cut = static_cast<std::int64_t>(m_cuts[static_cast<std::size_t>(m_selected)]);
    return MoveSelectedTo(static_cast<std::uint64_t>(std::max<std::int64_t>(cut + deltaFrames, 0)));
}

bool CTrackCuts::Add(std::uint64_t frame) {
    if (frame < kMinTrackFrames || frame + kMinTrackFrames > m_endFrame)
        return false;
    const auto at = std::lower_bound(m_cuts.begin(), m_cuts.end(), frame);
    if ((at != m_cuts.end() && *at < frame + kMinTrackFrames) ||
        (at != m_cuts.begin() && *(at - 1) + kMinTrackFrames > frame)) {
        return false;
    }
    Remember();
    m_selected = static_cast<int>(at - m_cuts.begin());
    m_cuts.insert(at, frame);
    return true;
}

bool CTrackCuts::RemoveSelected() {
    if (m_selected < 0)
        return false;
    Remember();
    m_cuts.erase(m_cuts.begin() + m_selected);
    m_selected = std::min(m_selected, static_cast<int>(m_cuts.size()) - 1);
    return true;
}

bool CTrackCuts::SnapSelected(
    const std::function<std::uint64_t(std::uint64_t from, std::uint64_t to)>& quietest) {
    if (m_selected < 0 || !quietest)
        return false;
    std::uint64_t low = 0, high = 0;
    Limits(low, high);
    const std::uint64_t cut = m_cuts[static_cast<std::size_t>(m_selected)];
    const std::uint64_t from = std::max(low, cut > kMinTrackFrames ? cut - kMinTrackFrames : 0);
    const std::uint64_t to = std::min(high, cut + kMinTrackFrames);
    if (from > to)
        return false;
    return MoveSelectedTo(quietest(from, to));
}

bool CTrackCuts::Undo() {
    if (m_history.empty())
        return false;
    m_cuts = std::move(m_history.back().cuts);
    m_selected = m_history.back().selected;
    m_history.pop_back();
    return true;
}

}  // namespace sondrel
