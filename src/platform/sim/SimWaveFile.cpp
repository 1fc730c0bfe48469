#include "platform/sim/SimWaveFile.h"

#include <cstring>
#include <fstream>

namespace sondrel {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

HRESULT LoadSimSideFromWav(const std::filesystem::path& path, std::vector<std::int16_t>& samples,
                           std::string& error) {
    samples.clear();
    const std::string name = path.string();
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec)) {
        error = "cannot open the side file " + name;
        return E_FAIL;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = name + " is not a RIFF/WAVE file";
        return E_FAIL;
    }

    // Walk the chunks; sizes are checked against what is left so a lying size cannot
    // reach past the file.
    const std::uint8_t* format = nullptr;
    std::uint32_t formatBytes = 0;
    const std::uint8_t* data = nullptr;
    std::uint64_t dataBytes = 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint8_t* chunk = bytes.data() + at;
        const std::uint64_t size = Le32(chunk + 4);
        const std::uint64_t available = bytes.size() - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && format == nullptr) {
            if (size > available)
                break;
            format = chunk + 8;
            formatBytes = static_cast<std::uint32_t>(size);
        } else if (std::memcmp(chunk, "data", 4) == 0 && data == nullptr) {
            data = chunk + 8;
            dataBytes = std::min(size, available);  // a truncated file keeps what it has
        }
        if (size > available)
            break;
        at += 8 + static_cast<std::size_t>(size) + (size & 1);
    }
    if (format == nullptr || formatBytes < 16) {
        error = name + " has no format chunk";
        return E_FAIL;
    }
    if (data == nullptr) {
        error = name + " has no data chunk";
        return E_FAIL;
    }
    std::uint16_t tag = Le16(format);
    const std::uint16_t channels = Le16(format + 2);
    const std::uint32_t rate = Le32(format + 4);
    const std::uint16_t bits = Le16(format + 14);
    if (tag == 0xFFFE && formatBytes >= 40)
        tag = Le16(format + 24);  // extensible: sub-format
    if (tag != 1 || bits != 16 || rate != 44100 || (channels != 1 && channels != 2)) {
        error = name + ": only 16-bit PCM at 44100 Hz, mono or stereo, can be played (found tag " +
                std::to_string(tag) + ", " + std::to_string(channels) + " channels, " +
                std::to_string(rate) + " Hz, " + std::to_string(bits) + " bits)";
        return E_FAIL;
    }
    const std::uint64_t frames = dataBytes / (2u * channels);
    samples.resize(frames * 2);
    for (std::uint64_t f = 0; f < frames; ++f) {
        const std::uint8_t* frame = data + f * 2 * channels;
        const auto left = static_cast<std::int16_t>(Le16(frame));
        const auto right = channels == 2 ? static_cast<std::int16_t>(Le16(frame + 2)) : left;
        samples[2 * f] = left;
        samples[2 * f + 1] = right;
    }
    return S_OK;
}

}  // namespace sondrel
