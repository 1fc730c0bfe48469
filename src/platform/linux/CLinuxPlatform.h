// The Linux platform: USB devices from udev, audio devices, rings and endpoints from the
// user's PipeWire server when one answers and otherwise straight from ALSA, the mixers from
// ALSA, and the thread, system and shell services of the desktop. Optionally one known USB
// device is simulated (fakeUsb) while audio and mixers stay real, for trying a capture device
// whose USB ids are not in the table and for tests on machines without USB.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/IPlatform.h"

namespace sondrel {

class CAlsaAudioSystem;

struct LinuxPlatformOptions {
    // (vendorId, productId) of the one USB device to present instead of udev's list.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> fakeUsb;
};

class CLinuxPlatform final : public IPlatform {
public:
    // E_FAIL with a message for the user when neither PipeWire nor ALSA (or udev, unless
    // fakeUsb is given) can be used, or when fakeUsb names a device that is not in the table.
    static HRESULT Create(const LinuxPlatformOptions& options,
                          std::unique_ptr<CLinuxPlatform>& platform, std::string& error);
    ~CLinuxPlatform() override;

    IUsbDeviceList& Usb() override;
    IAudioSystem& Audio() override;
    IMixerSystem& Mixers() override;
    ICaptureEndpoints& Endpoints() override;
    IThreadServices& Threads() override;
    ISystemInfo& System() override;
    IShell& Shell() override;

    bool UsesPipeWire() const;
    // The direct ALSA backend (in use when UsesPipeWire is false), for its overrun counts and
    // last error text.
    CAlsaAudioSystem& AlsaAudio();
    // Times the listen-through output ran dry since start-up.
    std::uint64_t OutputUnderruns() const;

private:
    struct Parts;
    static HRESULT ChooseAudio(Parts& parts, std::string& error);
    explicit CLinuxPlatform(std::unique_ptr<Parts> parts);

    std::unique_ptr<Parts> m_parts;
};

}  // namespace sondrel
