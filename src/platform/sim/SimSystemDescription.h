// A simulated computer: its USB devices, capture and output devices, capture endpoints,
// mixers, system version and record deck, read from a small text file or built for one row
// of the known-device table.
//
// File format (one statement a line; '#' starts a comment outside quotes; names with blanks
// are written in double quotes, where \" and \\ stand for " and \; numbers are decimal or
// 0x-hex; a later statement of a kind adds to the earlier ones):
//
//   version 6.1 [platform=2]            system version (platform 2 is NT); default 10.0
//   usb USB\VID_15E4&PID_0174&REV_0100  a present USB device by hardware id (rest of line);
//   usb ""                              ... one whose id cannot be read
//   usb-fails                           the USB device list cannot be had at all
//   capture "Desc" [channels=2] [id={GUID}] [deck] [default] [broken] [held-by=NAME]
//                                       a capture device; "default" marks the system's entry
//                                       without an id; "deck" carries the record deck (else
//                                       the first capture device with an id does); "broken"
//                                       devices are listed but cannot be opened; channels is
//                                       what its endpoint is set to; a device held by another
//                                       program refuses to open as busy
//   output "Desc" [id={GUID}] [default] [broken]
//                                       an output device (same meaning); an all-zero id opens
//                                       the first output device with an id
//   endpoint "Friendly name" [channels=1]
//                                       capture endpoints for the stereo check; without any,
//                                       every capture device with an id is one
//   endpoints-fail                      the endpoints cannot be listed
//   mixer "Name" [broken]               a mixer device; the lines below belong to it
//   destination "Name" [component=7] [channels=2] [mux] [mux-order=forward]
//                                       a destination line (7 = wave-in); "mux" gives it a
//                                       record-source multiplexer whose items list the sources
//                                       last-first, as systems do (mux-order=forward: first-first)
//   source "Name" [component=0x1003] [target=0] [channels=2] [volume=0..65535] [value=N]
//                                       a source line of the last destination, with an optional
//                                       volume control (bounds, starting value; default min)
//   deck demo | deck silence | deck wav "side.wav"
//                                       what the record deck plays (default demo); a relative
//                                       path is taken from the file's folder
//   capture-mode lossless | paced       how the capture ring runs (default lossless)
//   deck-vanishes-at FRAME              the deck's device disappears (is unplugged) once the
//                                       side has played to this frame
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Guid.h"
#include "base/Result.h"
#include "platform/ICaptureEndpoints.h"
#include "platform/ISystemInfo.h"

namespace sondrel {

enum class SimCaptureMode {
    // The ring fills only as fast as it is drained: nothing is lost, whatever the consumer's
    // pace, so recordings run as fast as the capture thread polls.
    Lossless,
    // The ring fills in real time and overwrites what the consumer did not take in time.
    Paced,
};

enum class SimDeckSource { Demo, Silence, WavFile };

struct SimCaptureDevice {
    std::string description;
    GUID id;  // null for the system's default entry
    std::uint16_t channels = 2;
    bool deck = false;
    bool broken = false;
    std::string heldBy;  // another program holds the device: opening it is refused as busy
};

struct SimOutputDevice {
    std::string description;
    GUID id;
    bool broken = false;
};

struct SimMixerSource {
    std::string name;
    std::uint32_t componentType = 0x1002;
    std::uint32_t targetType = 0;
    std::uint32_t channels = 2;
    bool hasVolume = false;
    std::uint32_t volumeMinimum = 0;
    std::uint32_t volumeMaximum = 0;
    std::uint32_t volumeValue = 0;
};

struct SimMixerDestination {
    std::string name;
    std::uint32_t componentType = 7;
    std::uint32_t channels = 2;
    bool hasMux = false;
    bool muxForward = false;
    std::vector<SimMixerSource> sources;
};

struct SimMixer {
    std::string name;
    bool broken = false;
    std::vector<SimMixerDestination> destinations;
};

struct SimSystemDescription {
    SystemVersion version{10, 0, kPlatformIdNt};
    std::vector<std::string> usbHardwareIds;
    bool usbFails = false;
    std::vector<SimCaptureDevice> captureDevices;
    std::vector<SimOutputDevice> outputDevices;
    std::vector<CaptureEndpointInfo> endpoints;
    bool endpointsFail = false;
    std::vector<SimMixer> mixers;
    SimDeckSource deckSource = SimDeckSource::Demo;
    std::filesystem::path deckWavPath;
    SimCaptureMode captureMode = SimCaptureMode::Lossless;
    std::uint64_t deckVanishFrame = 0;  // 0: the deck stays

    // The turntable the demo runs with: the maker's own.
    static constexpr std::uint32_t kDemoVendorId = 0x15E4;
    static constexpr std::uint32_t kDemoProductId = 0x0174;
    static constexpr const char* kDemoCaptureName = "USB PnP Audio Device";

    // One USB device with these ids behind a root hub, its capture device under the given
    // name, the system's default entries, one ordinary output device and a mixer with
    // microphone and line sources.
    static SimSystemDescription ForUsbDevice(std::uint32_t vendorId, std::uint32_t productId,
                                             const std::string& captureName);
    static SimSystemDescription ForDemoDevice() {
        return ForUsbDevice(kDemoVendorId, kDemoProductId, kDemoCaptureName);
    }

    // E_FAIL with a message naming the line for anything it does not understand.
    static HRESULT Parse(std::string_view text, const std::filesystem::path& baseFolder,
                         SimSystemDescription& description, std::string& error);
    static HRESULT Load(const std::filesystem::path& file, SimSystemDescription& description,
                        std::string& error);
};

}  // namespace sondrel
