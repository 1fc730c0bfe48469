#include "recording/CSourceEqualiser.h"

#include <cmath>

namespace sondrel {

namespace {

// The coefficients are single-precision values, widened for the arithmetic.
struct Coefficients {
    float c0, c1, c2, c3, c4;
};

// RIAA playback as two sections: +19.6 dB at 0 Hz, +12.8 dB at 100 Hz, -0.2 dB at 1 kHz,
// -8.4 dB at 5 kHz, -19.9 dB at 20 kHz (44100 Hz).
constexpr Coefficients kRiaaFirst{0.225f, 0.232103199f, 0.052797012f, 0.914727628f, 0.165721491f};
constexpr Coefficients kRiaaSecond{1.0f, -0.871537983f, -0.0555097125f, -1.73179007f, 0.73366189f};
// Chrome tape: flat in the bass, -0.8 dB at 1 kHz, -4.5 dB at 5 kHz, -5.0 dB from 10 kHz.
constexpr Coefficients kChrome{0.601347804f, -0.884726107f, 0.331756026f, -1.59211588f,
                               0.640493631f};
// Bass shelf: +20 dB at 0 Hz, +13.2 dB at 100 Hz, +3 dB at 500 Hz, +1 dB at 1 kHz, flat above
// 5 kHz.
constexpr Coefficients kBassShelf{1.03197432f, -0.960920274f, 0.0f, -0.99289459f, 0.0f};

CFilterSection MakeSection(const Coefficients& c) {
    CFilterSection section;
    section.c0 = c.c0;
    section.c1 = c.c1;
    section.c2 = c.c2;
    section.c3 = c.c3;
    section.c4 = c.c4;
    return section;
}

// Truncates towards zero and saturates at the 16-bit limits. Keeping only the low 16 bits
// instead would turn an overshoot into a full-scale jump of the opposite sign and feed it back
// through y1 and y2, where it can ring on as an overflow oscillation.
std::int16_t ToSample(double y) {
    if (y >= 32767.0) {
        return 32767;
    }
    if (y <= -32768.0) {
        return -32768;
    }
    return static_cast<std::int16_t>(static_cast<int>(y));
}

}  // namespace

void CFilterSection::Run(std::int16_t* samples, std::size_t count, std::size_t stride) {
    double px1 = x1, px2 = x2, py1 = y1, py2 = y2;
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t& sample = samples[i * stride];
        const double x = sample;
        const std::int16_t y = ToSample(c0 * x + c1 * px1 + c2 * px2 - c3 * py1 - c4 * py2);
        px2 = px1;
        px1 = x;
        py2 = py1;
        py1 = y;
        sample = y;
    }
    x1 = static_cast<std::int16_t>(px1);
    x2 = static_cast<std::int16_t>(px2);
    y1 = static_cast<std::int16_t>(py1);
    y2 = static_cast<std::int16_t>(py2);
}

void CFilterSection::RunStereo(CFilterSection& left, CFilterSection& right, std::int16_t* frames,
                               std::size_t frameCount) {
    const CFilterSection& l = left;
    const CFilterSection& r = right;
    double lx1 = l.x1, lx2 = l.x2, ly1 = l.y1, ly2 = l.y2;
    double rx1 = r.x1, rx2 = r.x2, ry1 = r.y1, ry2 = r.y2;
    for (std::size_t i = 0; i < frameCount; ++i) {
        const double lx = frames[2 * i];
        const double rx = frames[2 * i + 1];
        const std::int16_t ly =
            ToSample(l.c0 * lx + l.c1 * lx1 + l.c2 * lx2 - l.c3 * ly1 - l.c4 * ly2);
        const std::int16_t ry =
            ToSample(r.c0 * rx + r.c1 * rx1 + r.c2 * rx2 - r.c3 * ry1 - r.c4 * ry2);
        lx2 = lx1;
        lx1 = lx;
        ly2 = ly1;
        ly1 = ly;
        rx2 = rx1;
        rx1 = rx;
        ry2 = ry1;
        ry1 = ry;
        frames[2 * i] = ly;
        frames[2 * i + 1] = ry;
    }
    left.x1 = static_cast<std::int16_t>(lx1);
    left.x2 = static_cast<std::int16_t>(lx2);
    left.y1 = static_cast<std::int16_t>(ly1);
    left.y2 = static_cast<std::int16_t>(ly2);
    right.x1 = static_cast<std::int16_t>(rx1);
    right.x2 = static_cast<std::int16_t>(rx2);
    right.y1 = static_cast<std::int16_t>(ry1);
    right.y2 = static_cast<std::int16_t>(ry2);
}

void CSourceEqualiser::SetSourceFilter(int type) {
    m_requestedType.store(type, std::memory_order_relaxed);
    m_requestCount.fetch_add(1, std::memory_order_release);
}

void CSourceEqualiser::Rebuild(int type) {
    for (CFilterSection& section : m_sections) {
        section = CFilterSection{};
    }
    switch (type) {
        case kSourceFilterRiaa:
            m_sections[0] = m_sections[2] = MakeSection(kRiaaFirst);
            m_sections[1] = m_sections[3] = MakeSection(kRiaaSecond);
            m_sectionsPerChannel = 2;
            break;
        case kSourceFilterChrome:
            m_sections[0] = m_sections[2] = MakeSection(kChrome);
            m_sectionsPerChannel = 1;
            break;
        case kSourceFilterBassShelf:
            m_sections[0] = m_sections[2] = MakeSection(kBassShelf);
            m_sectionsPerChannel = 1;
            break;
        default:
            m_sectionsPerChannel = 0;
            break;
    }
}

void CSourceEqualiser::Process(std::int16_t* interleavedSamples, std::size_t frames) {
    const std::uint32_t requests = m_requestCount.load(std::memory_order_acquire);
    if (requests != m_appliedCount) {
        m_appliedCount = requests;
        Rebuild(m_requestedType.load(std::memory_order_relaxed));
    }
    if (interleavedSamples == nullptr) {
        return;
    }
    for (int i = 0; i < m_sectionsPerChannel; ++i) {
        CFilterSection::RunStereo(m_sections[i], m_sections[2 + i], interleavedSamples, frames);
    }
}

}  // namespace sondrel
