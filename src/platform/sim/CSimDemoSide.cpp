#include "platform/sim/CSimDemoSide.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace sondrel {

namespace {

constexpr std::uint32_t kRate = CSimDemoSide::kFramesPerSecond;
constexpr double kLeadInSeconds = 1.0;
constexpr double kRunOutSeconds = 70.0;
// Four songs, each at least 50 s, with gaps of 3 to 5 s between them.
constexpr std::array<double, 4> kSongSeconds = {52.0, 61.5, 55.0, 58.0};
constexpr std::array<double, 3> kGapSeconds = {3.5, 4.0, 4.5};

constexpr int kSineBits = 12;
constexpr std::uint32_t kSineSize = 1u << kSineBits;

const std::array<float, kSineSize>& SineTable() {
    static const auto table = [] {
        std::array<float, kSineSize> t{};
        for (std::uint32_t i = 0; i < kSineSize; ++i) {
            t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * i / kSineSize));
        }
        return t;
    }();
    return table;
}

// Phase from the frame number alone: 32-bit fixed point turns per frame.
float Oscillator(double frequency, std::uint64_t frame) {
    const auto step = static_cast<std::uint64_t>(frequency * 4294967296.0 / kRate);
    const auto phase = static_cast<std::uint32_t>(frame * step);
    return SineTable()[phase >> (32 - kSineBits)];
}

// A bright tone: fundamental with two overtones.
float Voice(double frequency, std::uint64_t frame) {
    return Oscillator(frequency, frame) + 0.5f * Oscillator(frequency * 2, frame) +
           0.25f * Oscillator(frequency * 3, frame);
}

// Deterministic white noise in [-1, 1] from the frame number and channel.
float Noise(std::uint64_t frame, int channel) {
    std::uint64_t x = frame * 2 + static_cast<std::uint64_t>(channel) + 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<float>(x >> 40) / static_cast<float>(1u << 23) - 1.0f;
}

constexpr int kLowestNote = -48;
constexpr int kNoteCount = 96;

// Equal-tempered pitches, looked up rather than computed per sample.
double NoteFrequency(int semitonesFromA4) {
    static const auto table = [] {
        std::array<double, kNoteCount> t{};
        for (int i = 0; i < kNoteCount; ++i)
            t[i] = 440.0 * std::pow(2.0, (i + kLowestNote) / 12.0);
        return t;
    }();
    return table[static_cast<std::size_t>(
        std::clamp(semitonesFromA4 - kLowestNote, 0, kNoteCount - 1))];
}

std::uint64_t Frames(double seconds) {
    return static_cast<std::uint64_t>(seconds * kRate);
}

// Chord roots (semitones from A4) and qualities of a four-chord progression per song.
struct SongStyle {
    std::array<int, 4> roots;
    double beatSeconds;
};
constexpr std::array<SongStyle, 4> kStyles = {{
    {{-9, -4, -2, -7}, 0.50},  // C G A F
    {{-2, -7, -9, -4}, 0.42},
    {{-5, 0, -3, -10}, 0.55},
    {{-12, -5, -7, -9}, 0.46},
}};

}  // namespace

CSimDemoSide::CSimDemoSide() {
    std::uint64_t at = Frames(kLeadInSeconds);
    for (std::size_t i = 0; i < kSongSeconds.size(); ++i) {
        m_songs.push_back({at, Frames(kSongSeconds[i])});
        at += Frames(kSongSeconds[i]);
        if (i < kGapSeconds.size())
            at += Frames(kGapSeconds[i]);
    }
    m_totalFrames = at + Frames(kRunOutSeconds);
    // Lookup tables are built here, not on the capture thread.
    SineTable();
    NoteFrequency(0);
}

SimSideSection CSimDemoSide::RunOut() const {
    const SimSideSection& last = m_songs.back();
    const std::uint64_t start = last.startFrame + last.frames;
    return {start, m_totalFrames - start};
}

void CSimDemoSide::SongFrame(std::size_t song, std::uint64_t frameInSong, std::uint64_t songFrames,
                             float& left, float& right) const {
    const SongStyle& style = kStyles[song % kStyles.size()];
    const double t = static_cast<double>(frameInSong) / kRate;
    const auto beatFrames = static_cast<std::uint64_t>(style.beatSeconds * kRate);
    const std::uint64_t beat = frameInSong / beatFrames;
    const std::uint64_t inBeat = frameInSong % beatFrames;
    const int root = style.roots[(beat / 4) % 4];

    // Sustained pad: a major triad, softly swelling, panned slightly apart.
    const std::array<int, 3> triad = {root, root + 4, root + 7};
    float padLeft = 0.0f;
    float padRight = 0.0f;
    for (std::size_t v = 0; v < triad.size(); ++v) {
        const float pan = (static_cast<float>(v) - 1.0f) * 0.25f;
        const float voice = Voice(NoteFrequency(triad[v]), frameInSong);
        padLeft += (1.0f + pan) * voice;
        padRight += (1.0f - pan) * voice;
    }
    const auto swell = static_cast<float>(0.8 + 0.2 * std::sin(2 * std::numbers::pi * 0.25 * t));

    // Plucked melody: one note per beat from the chord an octave up, decaying.
    static constexpr std::array<int, 8> kPattern = {12, 16, 19, 16, 24, 19, 16, 12};
    const int note = root + kPattern[(beat + song) % kPattern.size()];
    const double sinceStrike = static_cast<double>(inBeat) / kRate;
    const double attack = std::min(1.0, sinceStrike / 0.005);
    const auto pluckEnvelope = static_cast<float>(attack * std::exp(-sinceStrike / 0.18));
    const float pluck = pluckEnvelope * Voice(NoteFrequency(note), frameInSong);

    // Bass on every other beat.
    const auto bassEnvelope = static_cast<float>(
        std::exp(-static_cast<double>(frameInSong % (2 * beatFrames)) / kRate / 0.35));
    const float bass = bassEnvelope * Oscillator(NoteFrequency(root - 24), frameInSong);

    // Fade in over 0.3 s and out over 1.5 s so each song has clean edges.
    const double fromEnd = static_cast<double>(songFrames - frameInSong) / kRate;
    const double fade = std::min({1.0, t / 0.3, fromEnd / 1.5});

    const auto gain = static_cast<float>(fade);
    const float common = 4500.0f * pluck + 5000.0f * bass;
    left = gain * (1500.0f * swell * padLeft + common);
    right = gain * (1500.0f * swell * padRight + common);
}

void CSimDemoSide::Render(std::uint64_t firstFrame, std::uint32_t frames, std::int16_t* out) const {
    for (std::uint32_t i = 0; i < frames; ++i) {
        const std::uint64_t frame = firstFrame + i;
        if (frame >= m_totalFrames) {
            out[2 * i] = 0;
            out[2 * i + 1] = 0;
            continue;
        }
        std::size_t song = m_songs.size();
        for (std::size_t s = 0; s < m_songs.size(); ++s) {
            if (frame >= m_songs[s].startFrame &&
                frame < m_songs[s].startFrame + m_songs[s].frames) {
                song = s;
                break;
            }
        }
        float music[2] = {0.0f, 0.0f};
        if (song < m_songs.size()) {
            SongFrame(song, frame - m_songs[song].startFrame, m_songs[song].frames, music[0],
                      music[1]);
        }
        for (int channel = 0; channel < 2; ++channel) {
            const float value =
                music[channel] + static_cast<float>(kNoisePeak) * Noise(frame, channel);
            out[2 * i + channel] =
                static_cast<std::int16_t>(std::clamp(value, -32768.0f, 32767.0f));
        }
    }
}

}  // namespace sondrel
