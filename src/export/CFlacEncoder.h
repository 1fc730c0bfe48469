// Encodes one finished track (a 16-bit PCM WAV file) into a tagged FLAC file with the reference
// library: compression level 5, the MD5 signature of the audio, and the encoder's verify mode,
// which decodes every frame again and compares it with what went in.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "base/Result.h"

namespace sondrel {

// The Vorbis comments of one file, as the user typed them.
struct FlacTags {
    std::string artist;
    std::string album;
    std::string title;
    unsigned trackNumber = 0;
    unsigned trackTotal = 0;
};

// Threads: one encoder per thread; encoders on different threads do not share anything.
class CFlacEncoder {
public:
    static constexpr unsigned kCompressionLevel = 5;

    // Counts the frames encoded so far, for progress; may be null.
    std::atomic<std::uint64_t>* framesDone = nullptr;
    // Ends the encoding (E_FAIL) at the next block once set; may be null.
    const std::atomic<bool>* cancel = nullptr;

    // Encodes source into a new file at output (whatever stands there, a leftover or a link,
    // is replaced, never written through) and puts it on the disk. S_OK when output is
    // complete; E_FAIL otherwise, with the reason in Problem() and output removed.
    HRESULT Encode(const std::filesystem::path& source, const std::filesystem::path& output,
                   const FlacTags& tags);

    const std::string& Problem() const { return m_problem; }

    // Whether path holds a complete FLAC stream of exactly frames frames (what a target left
    // by a run that ended before noting it must show to count as done).
    static bool HoldsFrames(const std::filesystem::path& path, std::uint64_t frames);

private:
    std::string m_problem;
};

}  // namespace sondrel
