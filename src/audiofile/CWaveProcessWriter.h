// The writer the capture input records into: a CWaveWriter that can normalise the whole
// recording in place while it is closed, so that its measured peak lands at 0.97 of full scale.
// The pass reads and rewrites the data in 1 MiB chunks through two 2 MiB buffers, so its
// memory does not grow with the recording. It runs on the thread that calls Close.
#pragma once

#include <cstdint>

#include "audiofile/CWaveWriter.h"

namespace sondrel {

class CWaveProcessWriter : public CWaveWriter {
public:
    static constexpr double kTargetPeak = 0.97;
    static constexpr std::uint32_t kBufferBytes = 0x200000;

    // Called right before Close. peakLevelDb is the largest peak measured while writing (dB
    // relative to full scale, at most 0); secondLevelDb is passed along and not used here.
    // With the second flag alone the data goes through float and back unchanged.
    void SetProcessing(bool normalise, bool secondFlag, float peakLevelDb, float secondLevelDb);

protected:
    // The pass. Skipped for formats the converters cannot do both ways (only 16, 24 and 32-bit
    // PCM), when the buffers cannot be had, or when the data start cannot be reached; read and
    // write errors raise CFileError to the caller of Close.
    void Process() override;

private:
    std::int32_t m_normalise = 0;
    std::int32_t m_secondFlag = 0;
    float m_peakLevelDb = 0.0f;
    float m_secondLevelDb = 0.0f;
};

}  // namespace sondrel
