// Audio devices and rings: capture and output device lists, the capture ring the capture
// thread drains and the output ring the listen-through monitor fills.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Guid.h"
#include "base/Result.h"
#include "base/WaveFormat.h"

namespace sondrel {

// One entry of a device list. A null id marks the system's default entry, which stands for
// whatever device the system prefers (capture lists skip it, output lists keep it).
struct AudioDeviceEntry {
    std::string description;  // UTF-8, as the system reports it
    GUID id;
};

// The result of locking a span of a ring: the span itself when it does not wrap, otherwise
// its part up to the end of the ring (first) and its part from the start (second).
struct RingRegions {
    std::uint8_t* first = nullptr;
    std::uint32_t firstBytes = 0;
    std::uint8_t* second = nullptr;
    std::uint32_t secondBytes = 0;
};

// What a capture ring answers once its device is gone for good (unplugged, or an error the
// driver cannot mend); nothing more will come from it.
inline constexpr HRESULT E_DEVICE_LOST = static_cast<HRESULT>(0x88890004u);

// What creating a capture ring answers while another program holds the device exclusively
// (typically a sound server, which lets go of an idle device after a few seconds).
inline constexpr HRESULT E_DEVICE_BUSY = static_cast<HRESULT>(0x800700AAu);

// A looping capture ring of a fixed byte size. The device writes at the capture position;
// everything from the consumer's offset up to the read position is complete and may be
// locked, processed in place and unlocked.
//
// Threading: created and destroyed on the main thread while no other thread uses it; between
// those, every call comes from the one capture thread. Calls never block and never allocate.
class ICaptureRing {
public:
    virtual ~ICaptureRing() = default;

    virtual std::uint32_t SizeBytes() const = 0;
    // Starts capturing, wrapping at the end of the ring.
    virtual HRESULT StartLooping() = 0;
    virtual HRESULT Stop() = 0;
    // Byte offsets in the ring, both below SizeBytes(). E_DEVICE_LOST once the device is gone.
    virtual HRESULT GetCurrentPosition(std::uint32_t& captureOffsetBytes,
                                       std::uint32_t& readOffsetBytes) = 0;
    // offsetBytes < SizeBytes(), bytes <= SizeBytes(). On failure regions are all empty.
    virtual HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) = 0;
    // Hands back what Lock gave; the locked span counts as consumed from then on.
    virtual HRESULT Unlock(const RingRegions& regions) = 0;
    // Frames the device captured since the last call that never reached the ring (overruns),
    // and so are missing between the bytes handed out.
    virtual std::uint64_t TakeLostFrames() { return 0; }
    // True for a ring that never overwrites what was not taken (the simulated lossless one):
    // its consumer may leave audio in it for later instead of losing it.
    virtual bool WaitsForConsumer() const { return false; }
    // True once a ring whose source has an end (the simulated deck's side, played faster than
    // real time) has handed out the source's last frame and nothing after it: what the ring
    // gives from then on is no part of the recording.
    virtual bool SourceEnded() const { return false; }
};

// A looping output ring of a fixed byte size. The device plays at the play cursor; the bytes
// from the play cursor to the write cursor are committed and must not be touched.
//
// Threading: as ICaptureRing (created on the main thread, used by the capture thread).
class IOutputRing {
public:
    virtual ~IOutputRing() = default;

    virtual std::uint32_t SizeBytes() const = 0;
    virtual HRESULT GetCurrentPosition(std::uint32_t& playCursorBytes,
                                       std::uint32_t& writeCursorBytes) = 0;
    virtual HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) = 0;
    // The bytes written into the regions are queued for playing when they are handed back.
    virtual HRESULT Unlock(const RingRegions& regions) = 0;
    virtual HRESULT PlayLooping() = 0;
    virtual HRESULT Stop() = 0;
};

// Threading: enumeration and ring creation on the main thread only; they may block.
class IAudioSystem {
public:
    virtual ~IAudioSystem() = default;

    // Replace devices with the system's capture devices / output devices in its order,
    // default entries (null id) included. E_FAIL leaves the list empty.
    virtual HRESULT EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) = 0;
    virtual HRESULT EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) = 0;

    // A null deviceId selects the system's default device. The ring is created stopped;
    // E_DEVICE_BUSY while another program holds the device, E_FAIL when it is absent or
    // cannot take the format.
    virtual HRESULT CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                      std::uint32_t bufferBytes,
                                      std::unique_ptr<ICaptureRing>& ring) = 0;
    virtual HRESULT CreateOutputRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                     std::uint32_t bufferBytes,
                                     std::unique_ptr<IOutputRing>& ring) = 0;
    // The program that holds a capture device ("pulseaudio (process 1234)"), as far as the
    // system tells; empty when it does not.
    virtual std::string CaptureDeviceHolder(const GUID& /*deviceId*/) { return {}; }
    // The capture device of a USB device, for a system that knows which capture device
    // belongs to which USB device: by the USB ids, failing them by a name that begins with one
    // of names. An all-zero id when none does; nullopt when the system cannot tell (the
    // device is then looked up by name in the capture list).
    virtual std::optional<GUID> FindUsbCaptureDevice(std::uint32_t /*vendorId*/,
                                                     std::uint32_t /*productId*/,
                                                     std::span<const char* const> /*names*/) {
        return std::nullopt;
    }
    // Why the last capture ring lost its device, in words for the user; empty when it did not
    // or the system cannot say more than that the device is gone.
    virtual std::string CaptureLossReason() { return {}; }
};

}  // namespace sondrel
