#include "audiofile/CWaveProcessWriter.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "audiofile/CPcmFmtConvertLite.h"
#include "audiofile/CPcmFmtConverter.h"
#include "audiofile/PcmPrimitives.h"

namespace sondrel {

namespace {

// Only formats that survive the trip to float and back: 16, 24 and 32-bit PCM with frames
// packed as the width says (8-bit would come back as nothing).
bool SurvivesFloatTrip(const WAVEFORMATEX& format) {
    const std::uint32_t sampleBytes = format.wBitsPerSample / 8u;
    return format.nChannels != 0 && format.wFormatTag == WAVE_FORMAT_PCM &&
           format.wBitsPerSample % 8 == 0 && sampleBytes >= 2 && sampleBytes <= 4 &&
           format.nBlockAlign == format.nChannels * sampleBytes;
}

// format with 32-bit float samples.
WAVEFORMATEX FloatFormatOf(const WAVEFORMATEX& format) {
    WAVEFORMATEX floatFormat = format;
    floatFormat.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    floatFormat.wBitsPerSample = 32;
    floatFormat.nBlockAlign = static_cast<std::uint16_t>(format.nChannels * 4);
    floatFormat.nAvgBytesPerSec = floatFormat.nBlockAlign * format.nSamplesPerSec;
    floatFormat.cbSize = 0;
    return floatFormat;
}

// The converters to float and back for one format.
struct FloatTrip {
    explicit FloatTrip(const WAVEFORMATEX& format) : floatFormat(FloatFormatOf(format)) {
        toFloat.SetSourceFormat(format);
        toFloat.SetDestFormat(floatFormat);
        toFloat.ResetState();
        fromFloat.SetSourceFormat(floatFormat);
        fromFloat.SetDestFormat(format);
        fromFloat.ResetState();
    }

    const WAVEFORMATEX floatFormat;
    CPcmFmtConverter toFloat;
    CPcmFmtConvertLite fromFloat;
};

}  // namespace

void CWaveProcessWriter::SetProcessing(bool normalise, bool secondFlag, float peakLevelDb,
                                       float secondLevelDb) {
    m_normalise = normalise;
    m_secondFlag = secondFlag;
    m_peakLevelDb = peakLevelDb;
    m_secondLevelDb = secondLevelDb;
}

void CWaveProcessWriter::Process() {
    if (!m_normalise && !m_secondFlag)
        return;
    const float gain = static_cast<float>(
        kTargetPeak * std::pow(10.0, -static_cast<double>(m_peakLevelDb) / 20.0));

    // A peak of -inf (or garbage) would turn silence into NaN and then into full-scale clicks.
    if (m_normalise && !std::isfinite(gain))
        return;

    const WAVEFORMATEX& format = Format();
    if (!SurvivesFloatTrip(format))
        return;
    FloatTrip trip(format);
    const WAVEFORMATEX& floatFormat = trip.floatFormat;

    std::unique_ptr<std::uint8_t[]> samples(new (std::nothrow) std::uint8_t[kBufferBytes]);
    std::unique_ptr<float[]> floats(new (std::nothrow) float[kBufferBytes / sizeof(float)]);
    if (!samples || !floats)
        return;

    CFile& file = File();
    const std::uint64_t dataStart = DataStartBytes();
    // The writer's own count bounds the region; a file cut short (a failed write) bounds it too.
    const std::uint64_t regionEnd = std::min(dataStart + BytesWritten(), file.GetLength());
    if (file.Seek(dataStart) != dataStart)
        return;

    // Whole frames per chunk, so every chunk is written back exactly over what it came from.
    const std::uint64_t chunkBytes = kChunkBytes / format.nBlockAlign * format.nBlockAlign;
    // Each chunk is written back over exactly the bytes it was read from (both conversions keep
    // the frame count), so one position serves for reading and writing.
    std::uint64_t pos = dataStart;
    while (pos < regionEnd) {
        const std::uint64_t chunk = std::min<std::uint64_t>(regionEnd - pos, chunkBytes);
        file.Seek(pos);
        const std::size_t got = file.Read(samples.get(), static_cast<std::size_t>(chunk));
        std::size_t frames = trip.toFloat.Convert(samples.get(), got, floats.get(), kBufferBytes);
        if (m_normalise) {
            pcm::Scale(floats.get(), frames * format.nChannels, gain);
        }
        frames = trip.fromFloat.ConvertSimple(floats.get(), frames * floatFormat.nBlockAlign,
                                              samples.get(), kBufferBytes);
        const std::uint64_t bytes = frames * format.nBlockAlign;
        // A chunk that gives nothing back (a trailing partial frame, or a file that ends early)
        // ends the pass instead of looping on it forever.
        if (bytes == 0)
            break;
        file.Seek(pos);
        file.Write(samples.get(), static_cast<std::size_t>(bytes));
        pos += bytes;
    }
}

}  // namespace sondrel
