// The recorder behind IRecorder: owns the capture and output device lists, the mixer wrapper,
// the current record input and its temporary WAV file, and cuts a finished recording at its
// marks into one temporary WAV file per track.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/CUnknownStandAlone.h"
#include "devices/CRecordMixer.h"
#include "devices/CRecorderDSound.h"
#include "devices/KnownDevices.h"
#include "devices/OutputDeviceList.h"
#include "recording/CRecordInputDSound.h"
#include "recording/CRecordSettings.h"
#include "recording/CRecordingJournal.h"
#include "recording/CRecordingLock.h"
#include "recording/IRecorder.h"

namespace sondrel {

class IPlatform;
class ISettingsStore;

// Threads: every call on the user-interface thread. The capture thread belongs to the input;
// the recorder reaches it only through the input's operations.
class CRecorder final : public CUnknownStandAlone<IRecorder>, public IRecorderSetup {
public:
    // A busy capture device is tried again this often, this far apart (6 s in all).
    static constexpr int kBusyRetries = 30;
    static constexpr std::uint32_t kBusyRetryPauseMs = 200;

    // The recorder keeps both references; the platform and the profile must outlive it.
    CRecorder(IPlatform& platform, ISettingsStore& profile);

    // How the time between tries for a busy device passes (by default the platform's sleep);
    // a window keeps painting and says to wait instead of freezing for the 6 s.
    void SetBusyWait(std::function<void(std::uint32_t ms)> wait) { m_busyWait = std::move(wait); }

    HRESULT QueryInterface(const GUID& iid, void** object) override;

    // IRecorder.
    HRESULT OpenInput(WindowHandle owner, bool splitTracks) override;
    HRESULT StartRecording() override;
    HRESULT StopRecording() override;
    HRESULT FinishRecording(bool process, bool secondProcess,
                            std::vector<std::string>& trackFiles) override;
    HRESULT CloseInput() override;
    HRESULT GetLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                      float& holdRightDb, bool& active) override;
    HRESULT GetDeviceInfo(std::uint32_t index, std::uint32_t& deviceId, std::string& name) override;
    HRESULT SelectDevice(std::uint32_t deviceId) override;
    HRESULT GetSelectedDevice(std::uint32_t& deviceId) override;
    HRESULT GetStatus(std::uint32_t& seconds, bool& writing, std::uint32_t& markCount,
                      std::uint32_t& reserved) override;
    HRESULT GetChannelInfo(std::uint32_t index, std::int32_t& channelId,
                           std::string& name) override;
    HRESULT SelectChannel(std::int32_t channelId, const KnownDevice* row) override;
    HRESULT GetSelectedChannel(std::int32_t& channelId) override;
    HRESULT GetRecordLevel(float& level) override;
    HRESULT SetRecordLevel(float level) override;
    HRESULT MarkTrack() override;
    HRESULT SetInputGain(float gainDb) override;

    // IRecorderSetup.
    int UseDevice(const IdentifiedDevice& device) override;
    void SetSourceFilter(int sourceType) override;
    void Shutdown() override;
    std::vector<std::string> KeepForLater(bool wholeRecording) override;
    HRESULT RecoverRecording(const std::string& path,
                             std::vector<std::string>& trackFiles) override;
    HRESULT NoteTags(const std::string& artist, const std::string& album,
                     const std::vector<std::string>& titles, const std::string& format) override;
    bool JournalTags(std::string& artist, std::string& album, std::vector<std::string>& titles,
                     std::string& format) const override;
    std::string CutProblem() const override { return m_cutProblem; }
    std::string RecordingPath() const override { return m_tempFileName.string(); }
    bool EditableMarks(std::vector<std::uint64_t>& marks, std::uint64_t& frames) const override;
    HRESULT NoteMarks(const std::vector<std::uint64_t>& marks) override;
    HRESULT RecutTracks(std::vector<std::string>& trackFiles) override;

    // The journal of the finished recording, for the export to note its steps in; null
    // before a recording is finished or recovered.
    CRecordingJournal* Journal() { return m_journal.get(); }

    // The recordings folder (created when needed).
    HRESULT RecordingsFolder(std::filesystem::path& folder);
    // Why the recordings folder could not be used, after OpenInput failed with
    // E_RECORDINGS_FOLDER.
    const std::string& RecordingsFolderProblem() const { return m_folderProblem; }
    // Seconds of audio lost from the current or last recording because the file's writer or
    // the capture thread could not keep up (0 when none).
    double LostSeconds() const;
    // True when the capture device was lost (unplugged) during the current or last recording.
    // The program that held the capture device, after OpenInput failed with E_DEVICE_BUSY
    // (empty when the system does not tell).
    const std::string& DeviceHolder() const { return m_deviceHolder; }
    bool DeviceWasLost() const { return m_input ? m_input->DeviceLost() : m_lastDeviceLost; }
    // What the audio system says of the loss ("the PipeWire server stopped"); may be empty.
    std::string DeviceLossReason() const;
    // True when the current or last recording stopped because its file was full (the WAV
    // format's limit, about 6 h 45 min).
    bool FileLimitWasReached() const {
        return m_input ? m_input->FileLimitReached() : m_lastFileFull;
    }
    // Seconds the device delivered after that file was full, until the recording closed.
    double SecondsPastFileLimit() const;

    // S_OK with the errno value when writing the current or last recording failed (disk
    // full and the like: writing stopped there and the file holds what was written before);
    // S_FALSE when nothing failed. Cleared by the next OpenInput or SelectDevice.
    HRESULT GetWriteError(int& errorNumber) const;

    // Where the recording files go instead of the platform's recordings folder; empty
    // restores the platform's folder.
    void SetRecordingsFolder(const std::filesystem::path& folder) {
        m_recordingsFolderOverride = folder;
    }
    // Lowers the most a recording's file takes, for the inputs opened from now on (0: the
    // WAV format's limit). Tests reach the limit with it without writing 4 GiB.
    void SetFileLimitBytes(std::uint64_t limitBytes) { m_fileLimitBytes = limitBytes; }
    // How long closing waits for the capture thread (10 s).
    void SetStopTimeout(std::chrono::milliseconds timeout) { m_stopTimeout = timeout; }

    // Bytes written to the current recording so far (0 without an input).
    std::uint64_t BytesWritten() const { return m_input ? m_input->BytesWritten() : 0; }
    const std::filesystem::path& TempFileName() const { return m_tempFileName; }
    const std::vector<std::filesystem::path>& SplitFileNames() const { return m_splitFileNames; }
    const GUID& CaptureGuid() const { return m_captureGuid; }
    const GUID& MonitorGuid() const { return m_monitorGuid; }
    float InputGainDb() const { return m_inputGainDb; }

private:
    ~CRecorder() override;

    HRESULT PrepareFolder(std::filesystem::path& folder);
    HRESULT OpenNewInput();
    void RestoreMixer();
    // Cuts the tracks of the journalled recording that are neither exported nor complete, and
    // lists every track's file. A failure keeps the recording and removes the partial track.
    HRESULT CutTracks(std::vector<std::string>& trackFiles);
    void DeleteTempFiles();
    // Stops and forgets the input, keeping its write error.
    void DropInput(std::vector<std::uint64_t>* marks);

    IPlatform& m_platform;
    CRecordSettings m_settings;

    ComPtr<CRecordInputDSound> m_input;
    CRecorderDSound m_captureDevices;
    CRecordMixer m_mixer;
    OutputDeviceList m_renderDevices;
    IdentifiedDevice m_knownDevice;
    GUID m_captureGuid;
    GUID m_monitorGuid;
    WindowHandle m_ownerWindow = nullptr;
    std::filesystem::path m_tempFileName;
    std::vector<std::filesystem::path> m_splitFileNames;
    std::unique_ptr<CRecordingJournal> m_journal;
    // Why the last cut failed ("No space left on device"); empty when it did not.
    std::string m_cutProblem;
    // Held on the finished recording and its tracks until they are exported or deleted, so
    // that no other run takes them for unfinished ones.
    std::vector<CRecordingLock> m_locks;
    std::string m_folderProblem;
    std::uint64_t m_lastLostBytes = 0;
    bool m_lastDeviceLost = false;
    bool m_lastFileFull = false;
    std::uint64_t m_lastPastLimitBytes = 0;
    std::uint64_t m_fileLimitBytes = 0;
    std::string m_deviceHolder;
    bool m_splitTracks = false;
    int m_sourceType = -1;  // the equaliser of the current recording, for its journal
    float m_inputGainDb = 0.0f;

    std::filesystem::path m_recordingsFolderOverride;
    std::chrono::milliseconds m_stopTimeout = CRecordInputDSound::kDefaultStopTimeout;
    int m_lastWriteError = 0;
    std::function<void(std::uint32_t)> m_busyWait;
};

}  // namespace sondrel
