// The simulated platform: a whole computer with a supported USB turntable on it, described
// by a SimSystemDescription (built in or read from a file), its record deck and the
// simulated audio devices and mixers. It runs the demo and the tests.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/IPlatform.h"
#include "platform/sim/CSimAudioSystem.h"
#include "platform/sim/CSimDeck.h"
#include "platform/sim/CSimMixerSystem.h"
#include "platform/sim/SimSystemDescription.h"

namespace sondrel {

class CSimPlatform final : public IPlatform {
public:
    // The deck of a description is set up as it says, except that a WAV side that cannot be
    // read leaves a silent deck (use Create to be told about it).
    explicit CSimPlatform(SimSystemDescription description);
    ~CSimPlatform() override;

    // The built-in system with the demo turntable.
    static std::unique_ptr<CSimPlatform> CreateDefault();
    // E_FAIL with a message when the description's WAV side cannot be played.
    static HRESULT Create(SimSystemDescription description, std::unique_ptr<CSimPlatform>& platform,
                          std::string& error);
    // E_FAIL with a message when the file cannot be read or understood.
    static HRESULT CreateFromFile(const std::filesystem::path& file,
                                  std::unique_ptr<CSimPlatform>& platform, std::string& error);

    IUsbDeviceList& Usb() override;
    IAudioSystem& Audio() override { return m_audio; }
    IMixerSystem& Mixers() override { return m_mixers; }
    ICaptureEndpoints& Endpoints() override;
    IThreadServices& Threads() override;
    ISystemInfo& System() override;
    IShell& Shell() override;

    const SimSystemDescription& Description() const { return m_description; }
    CSimDeck& Deck() { return m_deck; }
    // Starts the record deck (the side plays from its first sample); any thread.
    void StartDeck() { m_deck.StartDeck(); }
    CSimAudioSystem& SimAudio() { return m_audio; }
    // Lossless capture also puts the capture thread's sleeps on simulated time. Main thread,
    // before rings are created.
    void SetCaptureMode(SimCaptureMode mode);
    // Puts the clock of Threads() on simulated time for tests: it stands still until a sleep
    // moves it on by exactly the time slept. Main thread, before rings are created.
    void UseSimulatedClock();
    CSimMixerSystem& SimMixers() { return m_mixers; }

    // Shell: where the simulated user's folders are, and what was asked to be opened. The
    // recordings are kept in <temp>/sondrel-sim/recordings, or in the temporary folder once
    // one is set (which is what tests want), or where SetRecordingsFolder says.
    static std::filesystem::path DefaultRecordingsFolder();
    void SetMusicFolder(const std::filesystem::path& folder);
    void SetTempFolder(const std::filesystem::path& folder);
    void SetRecordingsFolder(const std::filesystem::path& folder);
    std::vector<std::string> OpenedItems() const;

private:
    class Services;

    SimSystemDescription m_description;
    CSimDeck m_deck;
    std::unique_ptr<Services> m_services;
    CSimAudioSystem m_audio;
    CSimMixerSystem m_mixers;
};

}  // namespace sondrel
