// The one interface through which the wizard records: device and channel choice, opening the
// capture input, writing, marks, levels, status and finishing into per-track files.
// Every operation is called on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/CUnknownStandAlone.h"
#include "base/Guid.h"
#include "base/Result.h"

namespace sondrel {

struct KnownDevice;
struct IdentifiedDevice;

// {6A1B0C52-8E3D-4F21-9C8A-5D0E7F3B2A10}
inline constexpr GUID IID_IRecorder{
    0x6A1B0C52, 0x8E3D, 0x4F21, {0x9C, 0x8A, 0x5D, 0x0E, 0x7F, 0x3B, 0x2A, 0x10}};

// OpenInput's failures that the wizard names; any other failure is E_FAIL.
// The recordings folder cannot be created or written (read-only home, full disk).
inline constexpr HRESULT E_RECORDINGS_FOLDER = static_cast<HRESULT>(0x80070052u);

// Opaque handle of the window that owns the monitor output; may be null.
using WindowHandle = void*;

struct IRecorder : IUnknown {
    // Closes the current input (deleting its temporary files) and opens a new one whose capture
    // runs at once; restores the stored record level and channel.
    virtual HRESULT OpenInput(WindowHandle owner, bool splitTracks) = 0;
    virtual HRESULT StartRecording() = 0;
    virtual HRESULT StopRecording() = 0;
    // Closes the input and yields one temporary WAV file per track, in track order. E_FAIL
    // when the recording cannot be read back or a track file cannot be made (a failed read
    // or write); the list then holds no file that is not a complete track.
    virtual HRESULT FinishRecording(bool process, bool secondProcess,
                                    std::vector<std::string>& trackFiles) = 0;
    // Always S_OK; deletes the temporary recording and every per-track file.
    virtual HRESULT CloseInput() = 0;
    virtual HRESULT GetLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                              float& holdRightDb, bool& active) = 0;
    // S_FALSE when the index is past the end.
    virtual HRESULT GetDeviceInfo(std::uint32_t index, std::uint32_t& deviceId,
                                  std::string& name) = 0;
    virtual HRESULT SelectDevice(std::uint32_t deviceId) = 0;
    virtual HRESULT GetSelectedDevice(std::uint32_t& deviceId) = 0;
    virtual HRESULT GetStatus(std::uint32_t& seconds, bool& writing, std::uint32_t& markCount,
                              std::uint32_t& reserved) = 0;
    virtual HRESULT GetChannelInfo(std::uint32_t index, std::int32_t& channelId,
                                   std::string& name) = 0;
    virtual HRESULT SelectChannel(std::int32_t channelId, const KnownDevice* row) = 0;
    virtual HRESULT GetSelectedChannel(std::int32_t& channelId) = 0;
    virtual HRESULT GetRecordLevel(float& level) = 0;
    virtual HRESULT SetRecordLevel(float level) = 0;
    // Ignored while automatic detection is on. Always S_OK.
    virtual HRESULT MarkTrack() = 0;
    virtual HRESULT SetInputGain(float gainDb) = 0;

protected:
    ~IRecorder() = default;
};

// The recorder operations that only the wizard flow uses, beside the interface the pages use.
class IRecorderSetup {
public:
    // Refreshes the device lists for the identified device and chooses the monitor output.
    // Returns 1 when the device carries no capture device (all-zero GUID), 0 otherwise.
    virtual int UseDevice(const IdentifiedDevice& device) = 0;
    // Source equaliser type 0..3 for the input just opened.
    virtual void SetSourceFilter(int sourceType) = 0;
    virtual void Shutdown() = 0;
    // Closes the input but leaves the finished recording, with its journal and the tracks
    // not yet exported, in the recordings folder as one unfinished recording for a later run
    // to offer. A recording that holds no audio is removed instead. Returns the recording
    // kept (none or one).
    virtual std::vector<std::string> KeepForLater(bool /*wholeRecording*/) { return {}; }
    // Adopts an unfinished recording as the current one, with its lock, and makes its track
    // files: at its journal's cuts, or cut as automatic splitting does when it has none.
    // Tracks already exported stay where they are (see FinishRecording for the files).
    virtual HRESULT RecoverRecording(const std::string& /*path*/,
                                     std::vector<std::string>& /*trackFiles*/) {
        return E_NOTIMPL;
    }
    // Notes what the user typed and chose on the tag pages in the recording's journal (the
    // format as "wav" or "flac").
    virtual HRESULT NoteTags(const std::string& /*artist*/, const std::string& /*album*/,
                             const std::vector<std::string>& /*titles*/,
                             const std::string& /*format*/) {
        return S_FALSE;
    }
    // What an earlier run noted with NoteTags for the current recording; false when nothing.
    virtual bool JournalTags(std::string& /*artist*/, std::string& /*album*/,
                             std::vector<std::string>& /*titles*/, std::string& /*format*/) const {
        return false;
    }
    // Why the last FinishRecording or RecoverRecording could not make the track files (the
    // recording itself is kept); empty when they were made.
    virtual std::string CutProblem() const { return {}; }
    // The current recording's file; empty when there is none.
    virtual std::string RecordingPath() const { return {}; }
    // The finished recording's marks (as its journal holds them: empty for one track) and its
    // length in frames, for the track page. False when there is none, or when tracks of it
    // were exported already: its cuts then stay as they are.
    virtual bool EditableMarks(std::vector<std::uint64_t>& /*marks*/,
                               std::uint64_t& /*frames*/) const {
        return false;
    }
    // Notes edited marks in the journal at once, so that a kill after an edit loses nothing;
    // the track files still hold the old cuts until RecutTracks.
    virtual HRESULT NoteMarks(const std::vector<std::uint64_t>& /*marks*/) { return E_NOTIMPL; }
    // Makes the track files again at the journal's marks and removes those it no longer has.
    // On failure as FinishRecording (CutProblem says why).
    virtual HRESULT RecutTracks(std::vector<std::string>& /*trackFiles*/) { return E_NOTIMPL; }

protected:
    ~IRecorderSetup() = default;
};

}  // namespace sondrel
