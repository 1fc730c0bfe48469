#include "recording/CRecorder.h"

#include <cerrno>
#include <memory>
#include <new>
#include <system_error>

#include "audiofile/CWaveReader.h"
#include "platform/IPlatform.h"
#include "platform/ISettingsStore.h"
#include "recording/CutIntoTracks.h"
#include "recording/TempFileName.h"
#include "recording/UnfinishedRecordings.h"
#include "recording/WorkingFolder.h"

namespace sondrel {

CRecorder::CRecorder(IPlatform& platform, ISettingsStore& profile)
    : m_platform(platform), m_settings(profile), m_mixer(platform.Mixers(), platform.System()) {}

CRecorder::~CRecorder() {
    CloseInput();
}

HRESULT CRecorder::QueryInterface(const GUID& iid, void** object) {
    if (object == nullptr)
        return E_FAIL;
    if (iid == IID_IRecorder || iid == IID_IUnknown) {
        *object = static_cast<IRecorder*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CRecorder::WorkingFolder(std::filesystem::path& folder) {
    if (!m_tempFolderOverride.empty()) {
        folder = m_tempFolderOverride;
        return S_OK;
    }
    return m_platform.Shell().GetRecordingsFolder(folder);
}

double CRecorder::LostSeconds() const {
    const std::uint64_t lost = m_input ? m_input->LostBytes() : m_lastLostBytes;
    return static_cast<double>(lost) / kCaptureBytesPerSecond;
}

double CRecorder::SecondsPastFileLimit() const {
    const std::uint64_t past = m_input ? m_input->BytesPastFileLimit() : m_lastPastLimitBytes;
    return static_cast<double>(past) / kCaptureBytesPerSecond;
}

HRESULT CRecorder::OpenInput(WindowHandle owner, bool splitTracks) {
    CloseInput();
    m_ownerWindow = owner;
    m_splitTracks = splitTracks;
    const HRESULT hr = OpenNewInput();
    RestoreMixer();
    return hr;
}

void CRecorder::RestoreMixer() {
    m_mixer.SetLevel(m_settings.ReadRecordLevel());
    m_mixer.SelectChannel(m_settings.ReadRecordDeviceChannel(), m_knownDevice.row);
}

HRESULT CRecorder::OpenNewInput() {
    m_lastWriteError = 0;
    m_lastLostBytes = 0;
    m_lastDeviceLost = false;
    m_lastFileFull = false;
    m_lastPastLimitBytes = 0;
    m_deviceHolder.clear();
    // A recording that could not be kept must not start: say so before anything is captured.
    std::filesystem::path folder;
    if (Failed(WorkingFolder(folder)) || Failed(PrepareWorkingFolder(folder, m_folderProblem))) {
        if (m_folderProblem.empty())
            m_folderProblem = "no folder is known for recordings";
        return E_WORKING_FOLDER;
    }
    m_folderProblem.clear();
    std::string deviceName;
    if (Succeeded(m_captureDevices.GetNameByGuid(m_captureGuid, deviceName)))
        m_mixer.SelectMixerDevice(deviceName);

    auto* input = new (std::nothrow)
        CRecordInputDSound(m_platform.Audio(), m_platform.Threads(), m_captureGuid, m_monitorGuid);
    if (input == nullptr)
        return E_FAIL;
    m_input = ComPtr<CRecordInputDSound>::Attach(input);
    m_input->SetStopTimeout(m_stopTimeout);

    // Without a file there is nothing to record into; the name search never reuses an
    // existing file, so when every name is taken the input stays unopened.
    std::filesystem::path name;
    if (Failed(ReserveTempFileName(folder, name)))
        return E_FAIL;
    if (Failed(m_input->OpenFile(name))) {
        std::error_code ignored;
        std::filesystem::remove(name, ignored);
        return E_FAIL;
    }
    m_tempFileName = name;
    if (m_fileLimitBytes > 0)
        m_input->SetFileLimitBytes(m_fileLimitBytes);

    HRESULT hr = m_input->OpenCapture(m_ownerWindow);
    // A sound server lets go of an idle device after about 5 s: wait that out before saying
    // who holds it.
    for (int attempt = 0; hr == E_DEVICE_BUSY && attempt < kBusyRetries; ++attempt) {
        if (m_busyWait) {
            m_busyWait(kBusyRetryPauseMs);
        } else {
            m_platform.Threads().SleepMs(kBusyRetryPauseMs);
        }
        hr = m_input->OpenCapture(m_ownerWindow);
    }
    if (hr == E_DEVICE_BUSY)
        m_deviceHolder = m_platform.Audio().CaptureDeviceHolder(m_captureGuid);
    if (Failed(hr))
        return hr;
    m_input->SetDetection(m_splitTracks);
    m_input->SetGain(m_inputGainDb);
    return S_OK;
}

HRESULT CRecorder::StartRecording() {
    if (!m_input)
        return E_FAIL;
    return m_input->StartWriting();
}

HRESULT CRecorder::StopRecording() {
    if (!m_input)
        return E_FAIL;
    return m_input->StopWriting();
}

void CRecorder::DropInput(std::vector<std::uint64_t>* marks) {
    if (!m_input)
        return;
    m_input->CloseCapture();
    if (marks != nullptr)
        m_input->TakeMarks(*marks);
    int error = 0;
    if (m_input->GetWriteError(error) == S_OK)
        m_lastWriteError = error;
    m_lastLostBytes = m_input->LostBytes();
    m_lastDeviceLost = m_input->DeviceLost();
    m_lastFileFull = m_input->FileLimitReached();
    m_lastPastLimitBytes = m_input->BytesPastFileLimit();
    m_input.Reset();
}

HRESULT CRecorder::FinishRecording(bool process, bool secondProcess,
                                   std::vector<std::string>& trackFiles) {
    trackFiles.clear();
    std::vector<std::uint64_t> marks;
    if (m_input) {
        m_input->SetProcessingFlags(process, secondProcess);
        DropInput(&marks);
    }
    if (m_tempFileName.empty())
        return E_FAIL;
    return MakeTracks(marks, trackFiles);
}

HRESULT CRecorder::MakeTracks(const std::vector<std::uint64_t>& marks,
                              std::vector<std::string>& trackFiles) {
    trackFiles.clear();
    if (marks.empty()) {
        // Only a recording that reads back as a WAV file is a track.
        auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
        if (!reader || Failed(reader->Open(m_tempFileName, 0)))
            return E_FAIL;
        trackFiles.push_back(m_tempFileName.string());
    } else {
        const HRESULT hr = SplitAtMarks(marks);
        if (Failed(hr))
            return hr;
        for (const auto& name : m_splitFileNames)
            trackFiles.push_back(name.string());
    }
    // From here until export or deletion, the files are this run's.
    for (const std::string& name : trackFiles) {
        CRecordingLock lock;
        if (lock.Take(name))
            m_locks.push_back(std::move(lock));
    }
    if (trackFiles.size() != 1 || trackFiles[0] != m_tempFileName.string()) {
        CRecordingLock lock;
        if (lock.Take(m_tempFileName))
            m_locks.push_back(std::move(lock));
    }
    return S_OK;
}

HRESULT CRecorder::SplitAtMarks(const std::vector<std::uint64_t>& marks) {
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    if (!reader)
        return E_FAIL;
    // A recording that cannot be read back cannot be cut: no tracks, and a failure.
    if (Failed(reader->Open(m_tempFileName, 0)))
        return E_FAIL;
    WAVEFORMATEX format{};
    reader->GetFormat(&format, nullptr);
    format.cbSize = 0;
    return CutIntoTracks(*reader, format, marks, m_tempFileName.parent_path(), m_splitFileNames,
                         m_lastWriteError);
}

HRESULT CRecorder::CloseInput() {
    DropInput(nullptr);
    DeleteTempFiles();
    return S_OK;
}

void CRecorder::DeleteTempFiles() {
    std::error_code ignored;
    if (!m_tempFileName.empty()) {
        std::filesystem::remove(m_tempFileName, ignored);
        m_tempFileName.clear();
    }
    for (const auto& name : m_splitFileNames)
        std::filesystem::remove(name, ignored);
    m_splitFileNames.clear();
    m_locks.clear();
}

std::vector<std::string> CRecorder::KeepForLater(bool wholeRecording) {
    DropInput(nullptr);
    std::vector<std::string> kept;
    std::error_code ignored;
    const auto keep = [&](const std::filesystem::path& name) {
        if (std::filesystem::exists(name, ignored))
            kept.push_back(name.string());
    };
    if (wholeRecording || m_splitFileNames.empty()) {
        // The recording holds every track; the track files would only repeat it.
        keep(m_tempFileName);
        for (const auto& name : m_splitFileNames)
            std::filesystem::remove(name, ignored);
    } else {
        // Some tracks are exported: only the others stay, each to be offered on its own.
        for (const auto& name : m_splitFileNames)
            keep(name);
        std::filesystem::remove(m_tempFileName, ignored);
    }
    m_tempFileName.clear();
    m_splitFileNames.clear();
    m_locks.clear();
    return kept;
}

HRESULT CRecorder::RecoverRecording(const std::string& path, std::vector<std::string>& trackFiles) {
    trackFiles.clear();
    CloseInput();
    CRecordingLock lock;
    if (!lock.Take(path) || Failed(RepairRecordingHeader(path)))
        return E_FAIL;
    std::vector<std::uint64_t> marks;
    if (Failed(DetectTrackMarks(path, marks)))
        return E_FAIL;
    m_tempFileName = path;
    // Split files come from the recording, so their names are taken beside it.
    const HRESULT hr = MakeTracks(marks, trackFiles);
    m_locks.push_back(std::move(lock));
    if (Failed(hr)) {
        // The recording stays for a later try; only the partial track files go.
        std::error_code ignored;
        for (const auto& name : m_splitFileNames)
            std::filesystem::remove(name, ignored);
        m_splitFileNames.clear();
        m_tempFileName.clear();
        m_locks.clear();
        trackFiles.clear();
    }
    return hr;
}

HRESULT CRecorder::GetLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                             float& holdRightDb, bool& active) {
    if (!m_input)
        return E_FAIL;
    return m_input->ReadLevels(recentLeftDb, recentRightDb, holdLeftDb, holdRightDb, active);
}

HRESULT CRecorder::GetDeviceInfo(std::uint32_t index, std::uint32_t& deviceId, std::string& name) {
    std::int32_t id = 0;
    const HRESULT hr = m_captureDevices.GetInfoByIndex(index, id, name);
    deviceId = static_cast<std::uint32_t>(id);
    return hr;
}

HRESULT CRecorder::SelectDevice(std::uint32_t deviceId) {
    GUID guid;
    if (Failed(m_captureDevices.GetGuidById(static_cast<std::int32_t>(deviceId), guid)))
        return S_OK;
    m_captureGuid = guid;
    m_settings.WriteRecordDevice(guid);
    CloseInput();
    return OpenNewInput();
}

HRESULT CRecorder::GetSelectedDevice(std::uint32_t& deviceId) {
    std::int32_t id = 0;
    const HRESULT hr = m_captureDevices.GetIdByGuid(m_captureGuid, id);
    deviceId = static_cast<std::uint32_t>(id);
    return Failed(hr) ? E_FAIL : S_OK;
}

HRESULT CRecorder::GetStatus(std::uint32_t& seconds, bool& writing, std::uint32_t& markCount,
                             std::uint32_t& reserved) {
    if (!m_input)
        return E_FAIL;
    return m_input->GetStatus(seconds, writing, markCount, reserved);
}

HRESULT CRecorder::GetChannelInfo(std::uint32_t index, std::int32_t& channelId, std::string& name) {
    return m_mixer.GetChannelInfo(static_cast<std::int32_t>(index), channelId, name);
}

HRESULT CRecorder::SelectChannel(std::int32_t channelId, const KnownDevice* row) {
    m_settings.WriteRecordDeviceChannel(channelId);
    return m_mixer.SelectChannel(channelId, row);
}

HRESULT CRecorder::GetSelectedChannel(std::int32_t& channelId) {
    return m_mixer.GetSelectedChannel(channelId);
}

HRESULT CRecorder::GetRecordLevel(float& level) {
    return m_mixer.GetLevel(level);
}

HRESULT CRecorder::SetRecordLevel(float level) {
    m_settings.WriteRecordLevel(level);
    return m_mixer.SetLevel(level);
}

HRESULT CRecorder::MarkTrack() {
    if (m_input)
        m_input->AddMark();
    return S_OK;
}

HRESULT CRecorder::SetInputGain(float gainDb) {
    m_inputGainDb = gainDb;
    if (m_input)
        m_input->SetGain(gainDb);
    return S_OK;
}

int CRecorder::UseDevice(const IdentifiedDevice& device) {
    m_knownDevice = device;
    m_captureDevices.EnumerateCaptureDevices(m_platform.Audio());
    m_mixer.EnumerateMixers();
    m_captureGuid = device.captureGuid;
    m_renderDevices.EnumerateOutputDevices(m_platform.Audio());
    GUID monitor;
    m_renderDevices.ChooseMonitorOutput(monitor);
    m_monitorGuid = monitor;
    return device.captureGuid.IsNull() ? 1 : 0;
}

void CRecorder::SetSourceFilter(int sourceType) {
    if (m_input)
        m_input->SetSourceFilter(sourceType);
}

void CRecorder::Shutdown() {
    CloseInput();
}

HRESULT CRecorder::GetWriteError(int& errorNumber) const {
    int error = 0;
    if (m_input && m_input->GetWriteError(error) == S_OK) {
        errorNumber = error;
        return S_OK;
    }
    errorNumber = m_lastWriteError;
    return m_lastWriteError != 0 ? S_OK : S_FALSE;
}

}  // namespace sondrel
