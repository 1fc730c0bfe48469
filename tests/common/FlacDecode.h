// Decoding a FLAC file with the reference library, to check what an export wrote.
#pragma once

#include <FLAC/stream_decoder.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sondrel::test {

// Decodes a whole file with libFLAC; empty when it does not decode cleanly.
inline std::vector<std::int16_t> Decode(const std::filesystem::path& path) {
    struct Sink {
        std::vector<std::int16_t> samples;
        bool failed = false;
    } sink;
    const auto write = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                          const FLAC__int32* const buffer[], void* client) {
        auto& out = *static_cast<Sink*>(client);
        for (unsigned i = 0; i < frame->header.blocksize; ++i) {
            for (unsigned c = 0; c < frame->header.channels; ++c)
                out.samples.push_back(static_cast<std::int16_t>(buffer[c][i]));
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    };
    const auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus,
                          void* client) { static_cast<Sink*>(client)->failed = true; };
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    FLAC__stream_decoder_set_md5_checking(decoder, true);
    bool ok = FLAC__stream_decoder_init_file(decoder, path.c_str(), write, nullptr, error, &sink) ==
                  FLAC__STREAM_DECODER_INIT_STATUS_OK &&
              FLAC__stream_decoder_process_until_end_of_stream(decoder);
    // finish() checks the MD5 signature against what was decoded.
    ok = FLAC__stream_decoder_finish(decoder) && ok && !sink.failed;
    FLAC__stream_decoder_delete(decoder);
    return ok ? sink.samples : std::vector<std::int16_t>{};
}

}  // namespace sondrel::test
