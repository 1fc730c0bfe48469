// Helpers for the audio-file tests and the end-to-end tests that check exported files: byte
// images of RIFF files built chunk by chunk, little-endian field access, and the samples of a
// 16-bit WAV file read through the program's own reader.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "audiofile/CWaveReader.h"
#include "base/WaveFormat.h"
#include "common/TempFolder.h"

namespace sondrel::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline std::uint32_t GetU32(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | b.at(at + i);
    return v;
}

inline std::uint16_t GetU16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

inline void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

inline void AppendText(Bytes& b, const char* fourCc) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(fourCc[i]));
}

// A chunk: id, declared size (the payload's unless given), payload, pad byte if odd.
inline Bytes Chunk(const char* id, const Bytes& payload, std::int64_t declaredSize = -1) {
    Bytes b;
    AppendText(b, id);
    PutU32(b, declaredSize < 0 ? static_cast<std::uint32_t>(payload.size())
                               : static_cast<std::uint32_t>(declaredSize));
    Append(b, payload);
    if (payload.size() % 2)
        b.push_back(0);
    return b;
}

inline Bytes FormatPayload(const WAVEFORMATEX& format, std::size_t bytes) {
    Bytes b(sizeof(WAVEFORMATEXTENSIBLE) > bytes ? sizeof(WAVEFORMATEXTENSIBLE) : bytes, 0);
    std::memcpy(b.data(), &format, sizeof format);
    b.resize(bytes);
    return b;
}

inline Bytes ExtensiblePayload(const WAVEFORMATEX& base, const GUID& subFormat) {
    WAVEFORMATEXTENSIBLE ext{};
    ext.Format = base;
    ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    ext.Format.cbSize = kExtensibleExtraSize;
    ext.wValidBitsPerSample = base.wBitsPerSample;
    ext.dwChannelMask = 3;
    ext.SubFormat = subFormat;
    Bytes b(sizeof ext);
    std::memcpy(b.data(), &ext, sizeof ext);
    return b;
}

// "RIFF" <size> "WAVE" followed by the given chunks; the size is the real one unless given.
inline Bytes RiffWave(const std::vector<Bytes>& chunks, std::int64_t declaredSize = -1) {
    Bytes body;
    AppendText(body, "WAVE");
    for (const Bytes& c : chunks)
        Append(body, c);
    return Chunk("RIFF", body, declaredSize);
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Reproducible noise bytes.
inline Bytes NoiseBytes(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(count);
    for (auto& v : b)
        v = static_cast<std::uint8_t>(rng());
    return b;
}

// Interleaved 16-bit samples as little-endian bytes.
inline Bytes SamplesToBytes(const std::vector<std::int16_t>& samples) {
    Bytes b(samples.size() * 2);
    std::memcpy(b.data(), samples.data(), b.size());
    return b;
}

inline std::vector<std::int16_t> BytesToSamples(const Bytes& b, std::size_t offset = 0) {
    std::vector<std::int16_t> s((b.size() - offset) / 2);
    std::memcpy(s.data(), b.data() + offset, s.size() * 2);
    return s;
}

// The data chunk of a 16-bit WAV file as samples; a file that does not open or read fails the
// calling test.
inline std::vector<std::int16_t> ReadWaveSamples16(const std::filesystem::path& path) {
    ComPtr<IPcmReader> reader = ComPtr<IPcmReader>::Attach(new CWaveReader());
    EXPECT_EQ(reader->Open(path, 0), S_OK) << path;
    std::uint64_t bytes = 0;
    reader->GetDataSize(&bytes);
    std::vector<std::int16_t> samples(bytes / 2);
    if (bytes) {
        EXPECT_EQ(reader->ReadAt(samples.data(), 0, static_cast<std::int32_t>(bytes)), S_OK);
    }
    return samples;
}

}  // namespace sondrel::test
