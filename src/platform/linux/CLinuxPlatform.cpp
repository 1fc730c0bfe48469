#include "platform/linux/CLinuxPlatform.h"

#include <alsa/asoundlib.h>

#include <cstdio>

#include "platform/DebugOutput.h"
#include "platform/UsbHardwareId.h"
#include "platform/alsa/CAlsaAudioSystem.h"
#include "platform/alsa/CAlsaMixerSystem.h"
#include "platform/linux/CLinuxShell.h"
#include "platform/linux/CLinuxThreadServices.h"
#include "platform/pipewire/CPipeWireAudioSystem.h"
#include "platform/udev/CUdevUsbDeviceList.h"

namespace sondrel {

namespace {

// A version for which the mixer leaves the user's record level alone (only one older
// version gets a fixed line volume) and the stereo check runs (newer than major 5).
class CLinuxSystemInfo final : public ISystemInfo {
public:
    SystemVersion GetVersion() override { return SystemVersion{10, 0, kPlatformIdNt}; }
};

class CFakeUsbDeviceList final : public IUsbDeviceList {
public:
    explicit CFakeUsbDeviceList(std::string hardwareId) : m_hardwareId(std::move(hardwareId)) {}
    HRESULT EnumeratePresentDevices(std::vector<std::string>& hardwareIds) override {
        hardwareIds.assign(1, m_hardwareId);
        return S_OK;
    }

private:
    std::string m_hardwareId;
};

// How long a PipeWire server may take to answer before the ALSA devices are used directly.
constexpr int kPipeWireAnswerMs = 1000;

}  // namespace

struct CLinuxPlatform::Parts {
    std::unique_ptr<IUsbDeviceList> usb;
    CAlsaAudioSystem alsa;
    std::unique_ptr<CPipeWireAudioSystem> pipewire;
    std::unique_ptr<CAlsaMixerSystem> mixers;
    CLinuxThreadServices threads;
    CLinuxSystemInfo system;
    CLinuxShell shell;
};

// The user's PipeWire server when one answers (the sound cards are its), else ALSA's devices.
HRESULT CLinuxPlatform::ChooseAudio(Parts& parts, std::string& error) {
    std::string why;
    std::unique_ptr<CPipeWireConnection> connection;
    if (Succeeded(CPipeWireConnection::Connect(kPipeWireAnswerMs, connection, why))) {
        parts.pipewire = std::make_unique<CPipeWireAudioSystem>(std::move(connection));
        OutputDebugText("Audio: through " + parts.pipewire->ServerDescription() + "\n");
        CPipeWireAudioSystem* pipewire = parts.pipewire.get();
        parts.mixers = std::make_unique<CAlsaMixerSystem>(CAlsaMixerSystem::CardSource([pipewire] {
            std::vector<AlsaDeviceInfo> cards;
            for (auto& [description, card] : pipewire->CaptureCards())
                cards.push_back({description, {}, {}, card, -1, {}});
            return cards;
        }));
        return S_OK;
    }
    OutputDebugText("Audio: ALSA devices directly, since no PipeWire server answers (" + why +
                    ")\n");
    const int rc = snd_config_update();
    if (rc < 0) {
        error = std::string("ALSA cannot be used: its configuration cannot be read (") +
                snd_strerror(rc) + "). Check /usr/share/alsa/alsa.conf and ~/.asoundrc.";
        return E_FAIL;
    }
    parts.mixers = std::make_unique<CAlsaMixerSystem>();
    return S_OK;
}

HRESULT CLinuxPlatform::Create(const LinuxPlatformOptions& options,
                               std::unique_ptr<CLinuxPlatform>& platform, std::string& error) {
    platform.reset();
    error.clear();
    auto parts = std::make_unique<Parts>();
    if (Failed(ChooseAudio(*parts, error)))
        return E_FAIL;
    if (options.fakeUsb) {
        // The command line takes only ids of the known-device table.
        const auto [vendorId, productId] = *options.fakeUsb;
        parts->usb =
            std::make_unique<CFakeUsbDeviceList>(FormatHardwareId(vendorId, productId, 0x0100));
    } else {
        if (!CUdevUsbDeviceList::IsAvailable()) {
            error =
                "udev cannot be used, so USB devices cannot be listed. Is /sys mounted? "
                "(A device can be named by its USB ids instead.)";
            return E_FAIL;
        }
        parts->usb = std::make_unique<CUdevUsbDeviceList>();
    }
    platform.reset(new CLinuxPlatform(std::move(parts)));
    return S_OK;
}

CLinuxPlatform::CLinuxPlatform(std::unique_ptr<Parts> parts) : m_parts(std::move(parts)) {}
CLinuxPlatform::~CLinuxPlatform() = default;

IUsbDeviceList& CLinuxPlatform::Usb() {
    return *m_parts->usb;
}
IAudioSystem& CLinuxPlatform::Audio() {
    if (m_parts->pipewire)
        return *m_parts->pipewire;
    return m_parts->alsa;
}
IMixerSystem& CLinuxPlatform::Mixers() {
    return *m_parts->mixers;
}
ICaptureEndpoints& CLinuxPlatform::Endpoints() {
    if (m_parts->pipewire)
        return *m_parts->pipewire;
    return m_parts->alsa;
}
IThreadServices& CLinuxPlatform::Threads() {
    return m_parts->threads;
}
ISystemInfo& CLinuxPlatform::System() {
    return m_parts->system;
}
IShell& CLinuxPlatform::Shell() {
    return m_parts->shell;
}
CAlsaAudioSystem& CLinuxPlatform::AlsaAudio() {
    return m_parts->alsa;
}
bool CLinuxPlatform::UsesPipeWire() const {
    return m_parts->pipewire != nullptr;
}
std::uint64_t CLinuxPlatform::OutputUnderruns() const {
    return m_parts->pipewire ? m_parts->pipewire->OutputUnderruns()
                             : m_parts->alsa.OutputUnderruns();
}

}  // namespace sondrel
