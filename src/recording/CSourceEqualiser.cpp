#include "recording/CSourceEqualiser.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The fast cascade below adds a section's five products in its own order and relies on every
// sum being exact in double, which holds when the products of 16-bit samples with these
// single-precision coefficients together span no more than double's 53 bits.
constexpr int Exponent(double v) {
    int e = 0;
    for (; v >= 2.0; v /= 2.0)
        ++e;
    for (; v < 1.0; v *= 2.0)
        --e;
    return e;
}

constexpr bool SumsAreExact(const Coefficients& c) {
    const float all[] = {c.c0, c.c1, c.c2, c.c3, c.c4};
    double bound = 0.0;
    int lowestBit = 0;
    for (float f : all) {
        const double magnitude = f < 0 ? -double(f) : double(f);
        if (magnitude == 0.0)
            continue;
        bound += magnitude * 32768.0;
        lowestBit = std::min(lowestBit, Exponent(magnitude) - 23);  // a float's last bit
    }
    return bound == 0.0 || Exponent(bound) + 1 - lowestBit <= 53;
}

static_assert(SumsAreExact(kRiaaFirst) && SumsAreExact(kRiaaSecond) && SumsAreExact(kChrome) &&
              SumsAreExact(kBassShelf));

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

namespace {

// N sections per channel, run as a cascade over interleaved stereo frames in one pass. Within
// a frame each section needs the previous one's output, but the next frame's first section
// does not wait for this frame's last, so the processor overlaps them; the left and right
// recursions are independent too. The arithmetic per section is exactly that of Run.
template <int N>
void RunCascade(CFilterSection* left, CFilterSection* right, std::int16_t* frames,
                std::size_t frameCount) {
    struct State {
        double c0, c1, c2, c3, c4, x1, x2, y1, y2;
    };
    State st[2 * N];
    for (int i = 0; i < N; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            const CFilterSection& f = ch == 0 ? left[i] : right[i];
            st[2 * i + ch] = State{f.c0,         f.c1,         f.c2,         f.c3,        f.c4,
                                   double(f.x1), double(f.x2), double(f.y1), double(f.y2)};
        }
    }
    for (std::size_t n = 0; n < frameCount; ++n) {
        double in[2] = {double(frames[2 * n]), double(frames[2 * n + 1])};
        for (int i = 0; i < N; ++i) {
            for (int ch = 0; ch < 2; ++ch) {
                State& f = st[2 * i + ch];
                const double x = in[ch];
                const std::int16_t y =
                    ToSample(f.c0 * x + f.c1 * f.x1 + f.c2 * f.x2 - f.c3 * f.y1 - f.c4 * f.y2);
                f.x2 = f.x1;
                f.x1 = x;
                f.y2 = f.y1;
                f.y1 = y;
                in[ch] = y;
            }
        }
        frames[2 * n] = static_cast<std::int16_t>(in[0]);
        frames[2 * n + 1] = static_cast<std::int16_t>(in[1]);
    }
    for (int i = 0; i < N; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            CFilterSection& f = ch == 0 ? left[i] : right[i];
            const State& s = st[2 * i + ch];
            f.x1 = static_cast<std::int16_t>(s.x1);
            f.x2 = static_cast<std::int16_t>(s.x2);
            f.y1 = static_cast<std::int16_t>(s.y1);
            f.y2 = static_cast<std::int16_t>(s.y2);
        }
    }
}

#if defined(__SSE2__)
// The two 16-bit samples of a frame (left, right) in the low 32 bits, as two doubles.
inline __m128d FrameToDoubles(__m128i frame) {
    return _mm_cvtepi32_pd(_mm_srai_epi32(_mm_unpacklo_epi16(frame, frame), 16));
}

// Splits a register of the left and right channel's values back into the two sections.
inline void StorePair(__m128d pair, std::int16_t& left, std::int16_t& right) {
    double v[2];
    _mm_storeu_pd(v, pair);
    left = static_cast<std::int16_t>(v[0]);
    right = static_cast<std::int16_t>(v[1]);
}

// The same cascade with the left and right channel side by side in one SSE2 register, and with
// the terms summed in another order so that the feedback through y1, which every frame must
// wait for, passes through as few operations as possible. The results are still those of the
// scalar code bit for bit: each coefficient is a single-precision value and every x and y a
// 16-bit integer, so each product is exact in double, and so is every partial sum (they span
// under 46 bits), whatever the order of the additions.
template <int N>
void RunCascadeSse2(CFilterSection* left, CFilterSection* right, std::int16_t* frames,
                    std::size_t frameCount) {
    __m128d c0[N], c1[N], c2[N], c3[N], c4[N], x1[N], x2[N], y1[N], y2[N];
    for (int i = 0; i < N; ++i) {
        const CFilterSection& l = left[i];
        const CFilterSection& r = right[i];
        c0[i] = _mm_set_pd(r.c0, l.c0);
        c1[i] = _mm_set_pd(r.c1, l.c1);
        c2[i] = _mm_set_pd(r.c2, l.c2);
        c3[i] = _mm_set_pd(r.c3, l.c3);
        c4[i] = _mm_set_pd(r.c4, l.c4);
        x1[i] = _mm_set_pd(r.x1, l.x1);
        x2[i] = _mm_set_pd(r.x2, l.x2);
        y1[i] = _mm_set_pd(r.y1, l.y1);
        y2[i] = _mm_set_pd(r.y2, l.y2);
    }
    const __m128d overHigh = _mm_set1_pd(32768.0);
    const __m128d overLow = _mm_set1_pd(-32769.0);
    for (std::size_t n = 0; n < frameCount; ++n) {
        std::int32_t pair;
        std::memcpy(&pair, frames + 2 * n, sizeof pair);
        __m128i packed = _mm_cvtsi32_si128(pair);
        __m128d in = FrameToDoubles(packed);
        // Unrolled, so that the state stays in registers: through memory, every frame would
        // also wait for the store of the last frame's y1 to reach its load.
#pragma GCC unroll 2
        for (int i = 0; i < N; ++i) {
            __m128d acc = _mm_mul_pd(c0[i], in);
            acc = _mm_add_pd(acc, _mm_mul_pd(c1[i], x1[i]));
            acc = _mm_add_pd(acc, _mm_mul_pd(c2[i], x2[i]));
            acc = _mm_sub_pd(acc, _mm_mul_pd(c4[i], y2[i]));
            acc = _mm_sub_pd(acc, _mm_mul_pd(c3[i], y1[i]));
            // Truncate towards zero, then saturate to 16 bits: the same as ToSample's saturate
            // then truncate, since the sum stays far inside the 32-bit range. The saturated
            // value feeds back only when a channel overshoots; the test for that is off the
            // feedback path, and a predicted branch costs nothing while the signal is in range.
            const __m128i wide = _mm_cvttpd_epi32(acc);
            packed = _mm_packs_epi32(wide, wide);
            __m128d y = _mm_cvtepi32_pd(wide);
            if (__builtin_expect(_mm_movemask_pd(_mm_or_pd(_mm_cmpge_pd(acc, overHigh),
                                                           _mm_cmple_pd(acc, overLow))),
                                 0))
                y = FrameToDoubles(packed);
            x2[i] = x1[i];
            x1[i] = in;
            y2[i] = y1[i];
            y1[i] = y;
            in = y;
        }
        pair = _mm_cvtsi128_si32(packed);
        std::memcpy(frames + 2 * n, &pair, sizeof pair);
    }
    for (int i = 0; i < N; ++i) {
        StorePair(x1[i], left[i].x1, right[i].x1);
        StorePair(x2[i], left[i].x2, right[i].x2);
        StorePair(y1[i], left[i].y1, right[i].y1);
        StorePair(y2[i], left[i].y2, right[i].y2);
    }
}
#define SONDREL_CASCADE RunCascadeSse2
#else
#define SONDREL_CASCADE RunCascade
#endif

}  // namespace

void CSourceEqualiser::SetSourceFilter(int type) {
    m_requestedType.store(type, std::memory_order_relaxed);
    m_requestCount.fetch_add(1, std::memory_order_release);
}

int CSourceEqualiser::SectionsOf(int type, CFilterSection (&sections)[2]) {
    CSourceEqualiser equaliser;
    equaliser.Rebuild(type);
    sections[0] = equaliser.m_sections[0];
    sections[1] = equaliser.m_sections[1];
    return equaliser.m_sectionsPerChannel;
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
    if (m_sectionsPerChannel == 1) {
        SONDREL_CASCADE<1>(&m_sections[0], &m_sections[2], interleavedSamples, frames);
    } else if (m_sectionsPerChannel == 2) {
        SONDREL_CASCADE<2>(&m_sections[0], &m_sections[2], interleavedSamples, frames);
    }
}

}  // namespace sondrel
