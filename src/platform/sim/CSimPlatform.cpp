#include "platform/sim/CSimPlatform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace sondrel {

namespace {

std::filesystem::path SystemTempFolder() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    return ec ? std::filesystem::path("/tmp") : folder;
}

}  // namespace

// The small services in one object: USB list, endpoints, threads, version and shell.
class CSimPlatform::Services final : public IUsbDeviceList,
                                     public ICaptureEndpoints,
                                     public IThreadServices,
                                     public ISystemInfo,
                                     public IShell {
public:
    std::atomic<bool> m_fastSleep{false};
    std::atomic<bool> m_simulatedClock{false};
    std::atomic<std::uint64_t> m_simulatedMs{0};

    explicit Services(const SimSystemDescription& description) : m_description(description) {
        m_fastSleep = description.captureMode == SimCaptureMode::Lossless;
        m_tempFolder = SystemTempFolder();
        m_musicFolder = m_tempFolder / "sondrel-sim" / "Music";
        m_recordingsFolder = DefaultRecordingsFolder();
    }

    HRESULT EnumeratePresentDevices(std::vector<std::string>& hardwareIds) override {
        hardwareIds.clear();
        if (m_description.usbFails)
            return E_FAIL;
        hardwareIds = m_description.usbHardwareIds;
        return S_OK;
    }

    HRESULT EnumerateActiveCaptureEndpoints(std::vector<CaptureEndpointInfo>& endpoints) override {
        endpoints.clear();
        if (m_description.endpointsFail)
            return E_FAIL;
        if (!m_description.endpoints.empty()) {
            endpoints = m_description.endpoints;
            return S_OK;
        }
        for (const SimCaptureDevice& device : m_description.captureDevices) {
            if (!device.id.IsNull())
                endpoints.push_back({device.description, device.channels});
        }
        return S_OK;
    }

    // Lossless capture runs on simulated time: a 10 ms poll need not wait 10 ms of wall
    // clock, which lets a side record many times faster than real time.
    // On the simulated clock a sleep moves the clock on by exactly its length and gives up
    // the processor only briefly.
    void SleepMs(std::uint32_t milliseconds) override {
        if (m_simulatedClock.load(std::memory_order_relaxed)) {
            m_simulatedMs.fetch_add(milliseconds, std::memory_order_relaxed);
            std::this_thread::yield();
            return;
        }
        if (m_fastSleep.load(std::memory_order_relaxed))
            milliseconds = std::min(milliseconds, 1u);
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void SetFastSleep(bool fast) { m_fastSleep.store(fast, std::memory_order_relaxed); }
    void UseSimulatedClock() { m_simulatedClock.store(true, std::memory_order_relaxed); }
    std::uint64_t MonotonicMs() override {
        if (m_simulatedClock.load(std::memory_order_relaxed))
            return m_simulatedMs.load(std::memory_order_relaxed);
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    // The simulated computer leaves scheduling alone: tests must not need real-time rights.
    bool RaiseCurrentThreadPriority() override { return false; }
    HRESULT BeginTimerPeriod(std::uint32_t) override { return S_OK; }
    HRESULT EndTimerPeriod(std::uint32_t) override { return S_OK; }

    SystemVersion GetVersion() override { return m_description.version; }

    HRESULT GetMusicFolder(std::filesystem::path& folder) override {
        std::lock_guard lock(m_mutex);
        folder = m_musicFolder;
        return S_OK;
    }
    HRESULT GetTempFolder(std::filesystem::path& folder) override {
        std::lock_guard lock(m_mutex);
        folder = m_tempFolder;
        return S_OK;
    }
    HRESULT GetRecordingsFolder(std::filesystem::path& folder) override {
        std::lock_guard lock(m_mutex);
        folder = m_recordingsFolder;
        return S_OK;
    }
    HRESULT OpenFolder(const std::filesystem::path& folder) override {
        std::lock_guard lock(m_mutex);
        m_opened.push_back(folder.string());
        return S_OK;
    }
    HRESULT OpenWebAddress(const std::string& url) override {
        std::lock_guard lock(m_mutex);
        m_opened.push_back(url);
        return S_OK;
    }

    const SimSystemDescription& m_description;
    mutable std::mutex m_mutex;
    std::filesystem::path m_musicFolder;
    std::filesystem::path m_tempFolder;
    std::filesystem::path m_recordingsFolder;
    std::vector<std::string> m_opened;
};

CSimPlatform::CSimPlatform(SimSystemDescription description)
    : m_description(std::move(description)),
      m_services(std::make_unique<Services>(m_description)),
      m_audio(m_description, m_deck, *m_services),
      m_mixers(m_description) {
    if (m_description.deckVanishFrame > 0)
        m_deck.SetVanishAt(m_description.deckVanishFrame);
    switch (m_description.deckSource) {
        case SimDeckSource::Demo:
            m_deck.UseDemoSide();
            break;
        case SimDeckSource::Silence:
            m_deck.UseSilence();
            break;
        case SimDeckSource::WavFile: {
            std::string ignored;
            m_deck.LoadWav(m_description.deckWavPath, ignored);
            break;
        }
    }
}

CSimPlatform::~CSimPlatform() = default;

std::unique_ptr<CSimPlatform> CSimPlatform::CreateDefault() {
    return std::make_unique<CSimPlatform>(SimSystemDescription::ForDemoDevice());
}

HRESULT CSimPlatform::Create(SimSystemDescription description,
                             std::unique_ptr<CSimPlatform>& platform, std::string& error) {
    platform.reset();
    const bool wantsWav = description.deckSource == SimDeckSource::WavFile;
    const std::filesystem::path wav = description.deckWavPath;
    description.deckSource = wantsWav ? SimDeckSource::Silence : description.deckSource;
    auto created = std::make_unique<CSimPlatform>(std::move(description));
    if (wantsWav) {
        if (Failed(created->m_deck.LoadWav(wav, error)))
            return E_FAIL;
        created->m_description.deckSource = SimDeckSource::WavFile;
        created->m_description.deckWavPath = wav;
    }
    platform = std::move(created);
    return S_OK;
}

HRESULT CSimPlatform::CreateFromFile(const std::filesystem::path& file,
                                     std::unique_ptr<CSimPlatform>& platform, std::string& error) {
    platform.reset();
    SimSystemDescription description;
    if (Failed(SimSystemDescription::Load(file, description, error)))
        return E_FAIL;
    return Create(std::move(description), platform, error);
}

IUsbDeviceList& CSimPlatform::Usb() {
    return *m_services;
}
ICaptureEndpoints& CSimPlatform::Endpoints() {
    return *m_services;
}
IThreadServices& CSimPlatform::Threads() {
    return *m_services;
}
ISystemInfo& CSimPlatform::System() {
    return *m_services;
}
IShell& CSimPlatform::Shell() {
    return *m_services;
}

std::filesystem::path CSimPlatform::DefaultRecordingsFolder() {
    return SystemTempFolder() / "sondrel-sim" / "recordings";
}

void CSimPlatform::SetMusicFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(m_services->m_mutex);
    m_services->m_musicFolder = folder;
}

void CSimPlatform::SetTempFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(m_services->m_mutex);
    m_services->m_tempFolder = folder;
    m_services->m_recordingsFolder = folder;
}

void CSimPlatform::SetRecordingsFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(m_services->m_mutex);
    m_services->m_recordingsFolder = folder;
}

std::vector<std::string> CSimPlatform::OpenedItems() const {
    std::lock_guard lock(m_services->m_mutex);
    return m_services->m_opened;
}

void CSimPlatform::SetCaptureMode(SimCaptureMode mode) {
    m_audio.SetCaptureMode(mode);
    m_services->SetFastSleep(mode == SimCaptureMode::Lossless);
}

void CSimPlatform::UseSimulatedClock() {
    m_services->UseSimulatedClock();
}

}  // namespace sondrel
