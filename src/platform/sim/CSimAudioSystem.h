// The simulated audio devices: device lists from the system description, capture rings fed
// by the record deck (lossless or paced), and output rings that keep every byte they are
// given so that what the monitor played can be checked.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/IAudioSystem.h"
#include "platform/IThreadServices.h"
#include "platform/sim/CSimDeck.h"
#include "platform/sim/SimSystemDescription.h"

namespace sondrel {

// What one output device was given, in order. Appended to by the thread that unlocks the
// device's rings, within a capacity reserved up front (bytes beyond it are counted, not
// kept), so that thread never allocates.
struct SimOutputRecord {
    std::vector<std::uint8_t> bytes;
    std::atomic<std::uint64_t> droppedBytes{0};
};

class CSimAudioSystem final : public IAudioSystem {
public:
    // A byte limit per output device for what is kept; about six minutes of stereo audio.
    static constexpr std::size_t kDefaultOutputRecordBytes = 64u << 20;

    CSimAudioSystem(const SimSystemDescription& description, CSimDeck& deck,
                    IThreadServices& threads);

    HRESULT EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) override;
    HRESULT EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) override;
    HRESULT CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                              std::uint32_t bufferBytes,
                              std::unique_ptr<ICaptureRing>& ring) override;
    std::string CaptureDeviceHolder(const GUID& deviceId) override;
    HRESULT CreateOutputRing(const GUID& deviceId, const WAVEFORMATEX& format,
                             std::uint32_t bufferBytes,
                             std::unique_ptr<IOutputRing>& ring) override;

    // Main thread; applies to rings created afterwards.
    void SetCaptureMode(SimCaptureMode mode) { m_mode = mode; }
    SimCaptureMode CaptureMode() const { return m_mode; }
    void SetOutputRecordLimit(std::size_t bytes) { m_outputRecordLimit = bytes; }

    // The device an all-zero id opens, or null when there is none.
    GUID DefaultCaptureDevice() const;
    GUID DefaultOutputDevice() const;
    GUID DeckDevice() const { return m_deckDevice; }

    // What the output device (all zero: the default output) was given; empty when it was
    // never opened. Read it only while none of that device's rings is in use.
    const SimOutputRecord* OutputRecord(const GUID& deviceId) const;
    void ClearOutputRecords();

private:
    struct OutputState {
        GUID id;
        std::unique_ptr<SimOutputRecord> record;
    };

    const SimSystemDescription& m_description;
    CSimDeck& m_deck;
    IThreadServices& m_threads;
    SimCaptureMode m_mode;
    std::size_t m_outputRecordLimit = kDefaultOutputRecordBytes;
    GUID m_deckDevice;
    std::vector<OutputState> m_outputs;
};

}  // namespace sondrel
