#include "export/CFlacEncoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <system_error>
#include <vector>

#include "audiofile/CWaveReader.h"

namespace sondrel {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFramesPerChunk = 4608;  // one block at level 5 is 4096 frames
constexpr std::uint32_t kPaddingBytes = 4096;    // room for tags edited later in place

// The stream the encoder writes: a FILE over the partial file, with the first write error kept.
struct Output {
    FILE* file = nullptr;
    int error = 0;
};

FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                     size_t bytes, uint32_t, uint32_t, void* client) {
    auto& out = *static_cast<Output*>(client);
    if (std::fwrite(buffer, 1, bytes, out.file) != bytes) {
        out.error = errno != 0 ? errno : EIO;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
    auto& out = *static_cast<Output*>(client);
    return ::fseeko(out.file, static_cast<off_t>(offset), SEEK_SET) == 0
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
               : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
    auto& out = *static_cast<Output*>(client);
    const off_t at = ::ftello(out.file);
    if (at < 0)
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* e) const { FLAC__stream_encoder_delete(e); }
};
struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* m) const { FLAC__metadata_object_delete(m); }
};
using MetadataPtr = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

bool AddComment(FLAC__StreamMetadata* block, const char* name, const std::string& value) {
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    return FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name,
                                                                          value.c_str()) &&
           FLAC__metadata_object_vorbiscomment_append_comment(block, entry, /*copy=*/false);
}

MetadataPtr MakeTags(const FlacTags& tags) {
    MetadataPtr block(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    if (!block || !AddComment(block.get(), "ARTIST", tags.artist) ||
        !AddComment(block.get(), "ALBUM", tags.album) ||
        !AddComment(block.get(), "TITLE", tags.title) ||
        !AddComment(block.get(), "TRACKNUMBER", std::to_string(tags.trackNumber)) ||
        !AddComment(block.get(), "TRACKTOTAL", std::to_string(tags.trackTotal))) {
        return nullptr;
    }
    return block;
}

std::string Reason(int errorNumber) {
    return std::generic_category().message(errorNumber);
}

// Creates the partial file at path (whatever stood there is gone first) as the encoder's
// stream; returns why not, or "".
std::string OpenOutput(const fs::path& path, Output& out) {
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    out.file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (out.file != nullptr)
        return {};
    std::string problem = Reason(errno) + " (" + path.string() + ")";
    if (fd >= 0)
        ::close(fd);
    ::unlink(path.c_str());
    return problem;
}

// One track's encoding, from the opened reader to the closed partial file. Each step keeps the
// first problem it meets and does nothing once one is kept.
struct EncodeRun {
    EncodeRun(CWaveReader& sourceReader, const WAVEFORMATEX& sourceFormat, std::uint64_t frameCount,
              const fs::path& sourcePath, const fs::path& partialPath, std::string& keptProblem)
        : reader(sourceReader),
          format(sourceFormat),
          frames(frameCount),
          source(sourcePath),
          partial(partialPath),
          problem(keptProblem) {}

    CWaveReader& reader;
    const WAVEFORMATEX& format;
    std::uint64_t frames;
    const fs::path& source;
    const fs::path& partial;
    std::string& problem;
    Output out{};
    std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder{FLAC__stream_encoder_new()};
    // The encoder holds only pointers to its metadata: these outlive its finish().
    MetadataPtr comments;
    MetadataPtr padding{FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING)};

    bool SetUp(const FlacTags& tags, unsigned compressionLevel) {
        comments = MakeTags(tags);
        bool ok = encoder && comments && padding;
        if (ok) {
            padding->length = kPaddingBytes;
            FLAC__StreamMetadata* blocks[] = {comments.get(), padding.get()};
            FLAC__StreamEncoder* e = encoder.get();
            ok = FLAC__stream_encoder_set_verify(e, true) &&
                 FLAC__stream_encoder_set_compression_level(e, compressionLevel) &&
                 FLAC__stream_encoder_set_channels(e, format.nChannels) &&
                 FLAC__stream_encoder_set_bits_per_sample(e, 16) &&
                 FLAC__stream_encoder_set_sample_rate(e, format.nSamplesPerSec) &&
                 FLAC__stream_encoder_set_total_samples_estimate(e, frames) &&
                 FLAC__stream_encoder_set_metadata(e, blocks, 2) &&
                 FLAC__stream_encoder_init_stream(e, Write, Seek, Tell, nullptr, &out) ==
                     FLAC__STREAM_ENCODER_INIT_STATUS_OK;
        }
        if (!ok && problem.empty())
            problem = "the FLAC encoder cannot be set up";
        return ok;
    }

    bool Feed(const std::atomic<bool>* cancel, std::atomic<std::uint64_t>* framesDone) {
        const unsigned channels = format.nChannels;
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(kFramesPerChunk) * channels);
        std::vector<FLAC__int32> wide(pcm.size());
        std::uint64_t done = 0;
        bool ok = true;
        while (ok && done < frames) {
            if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
                problem = "cancelled";
                return false;
            }
            const auto count =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(kFramesPerChunk, frames - done));
            const std::size_t samples = static_cast<std::size_t>(count) * channels;
            if (Failed(reader.ReadAt(pcm.data(),
                                     static_cast<std::int64_t>(done * format.nBlockAlign),
                                     static_cast<std::int32_t>(samples * sizeof(std::int16_t))))) {
                problem = source.string() + " cannot be read";
                return false;
            }
            for (std::size_t i = 0; i < samples; ++i)
                wide[i] = pcm[i];
            ok = FLAC__stream_encoder_process_interleaved(encoder.get(), wide.data(), count);
            done += count;
            if (framesDone != nullptr)
                framesDone->fetch_add(count, std::memory_order_relaxed);
        }
        return ok;
    }

    bool Finish(bool ok) {
        if (!encoder)
            return ok;
        const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(encoder.get());
        // finish() writes the last frames and the signature; it also reports a verify mismatch.
        const bool finished = FLAC__stream_encoder_finish(encoder.get());
        if (ok && !finished)
            ok = false;
        if (!ok && problem.empty()) {
            const FLAC__StreamEncoderState last = FLAC__stream_encoder_get_state(encoder.get());
            const bool mismatch = state == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA ||
                                  last == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA;
            problem = out.error != 0 ? Reason(out.error) + " (" + partial.string() + ")"
                      : mismatch     ? "the FLAC file did not decode to the recorded samples"
                                     : std::string("FLAC encoding failed: ") +
                                       FLAC__StreamEncoderStateString[last];
        }
        return ok;
    }

    bool Close(bool ok) {
        if (ok && (std::fflush(out.file) != 0 || ::fsync(::fileno(out.file)) != 0)) {
            ok = false;
            problem = Reason(errno) + " (" + partial.string() + ")";
        }
        if (std::fclose(out.file) != 0 && ok) {
            ok = false;
            problem = Reason(errno) + " (" + partial.string() + ")";
        }
        return ok;
    }
};

}  // namespace

bool CFlacEncoder::HoldsFrames(const fs::path& path, std::uint64_t frames) {
    FLAC__StreamMetadata info;
    return FLAC__metadata_get_streaminfo(path.c_str(), &info) &&
           info.data.stream_info.total_samples == frames;
}

HRESULT CFlacEncoder::Encode(const fs::path& source, const fs::path& output, const FlacTags& tags) {
    m_problem.clear();

    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    WAVEFORMATEX format{};
    std::uint64_t dataBytes = 0;
    if (!reader || Failed(reader->Open(source, 0)) || Failed(reader->GetFormat(&format, nullptr)) ||
        Failed(reader->GetDataSize(&dataBytes)) || format.wFormatTag != WAVE_FORMAT_PCM ||
        format.wBitsPerSample != 16 || format.nChannels == 0 || format.nChannels > 8) {
        m_problem = source.string() + " cannot be read as 16-bit PCM";
        return E_FAIL;
    }
    const std::uint64_t frames = dataBytes / format.nBlockAlign;

    const fs::path& partial = output;
    EncodeRun run(*reader, format, frames, source, partial, m_problem);
    m_problem = OpenOutput(partial, run.out);
    if (!m_problem.empty())
        return E_FAIL;
    bool ok = run.SetUp(tags, kCompressionLevel);
    ok = ok && run.Feed(cancel, framesDone);
    ok = run.Finish(ok);
    ok = run.Close(ok);
    if (!ok) {
        ::unlink(partial.c_str());
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace sondrel
