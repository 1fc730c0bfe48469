// The root of the platform layer: every system service the engine calls on, handed to the
// engine at construction (the recorder, the device code and the flow take an IPlatform&).
//
// Backends: the simulated one (platform/sim/CSimPlatform.h, CreateSimPlatform) and the Linux
// one (ALSA and udev). The program picks one at start-up and keeps it alive for as long as
// any engine object holds the reference; the engine never chooses a backend itself.
#pragma once

#include "platform/IAudioSystem.h"
#include "platform/ICaptureEndpoints.h"
#include "platform/IMixerSystem.h"
#include "platform/IShell.h"
#include "platform/ISystemInfo.h"
#include "platform/IThreadServices.h"
#include "platform/IUsbDeviceList.h"

namespace sondrel {

// Threading: the accessors may be called from any thread and always return the same
// objects; each service states its own contract.
class IPlatform {
public:
    virtual ~IPlatform() = default;

    virtual IUsbDeviceList& Usb() = 0;
    virtual IAudioSystem& Audio() = 0;
    virtual IMixerSystem& Mixers() = 0;
    virtual ICaptureEndpoints& Endpoints() = 0;
    virtual IThreadServices& Threads() = 0;
    virtual ISystemInfo& System() = 0;
    virtual IShell& Shell() = 0;
};

}  // namespace sondrel
