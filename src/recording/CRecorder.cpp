#include "recording/CRecorder.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <system_error>

#include "audiofile/CWaveReader.h"
#include "platform/DebugOutput.h"
#include "platform/IPlatform.h"
#include "platform/ISettingsStore.h"
#include "recording/CutIntoTracks.h"
#include "recording/RecordingsFolder.h"
#include "recording/TempFileName.h"
#include "recording/UnfinishedRecordings.h"

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

HRESULT CRecorder::RecordingsFolder(std::filesystem::path& folder) {
    if (!m_recordingsFolderOverride.empty()) {
        folder = m_recordingsFolderOverride;
        return S_OK;
    }
    return m_platform.Shell().GetRecordingsFolder(folder);
}

double CRecorder::LostSeconds() const {
    const std::uint64_t lost = m_input ? m_input->LostBytes() : m_lastLostBytes;
    return static_cast<double>(lost) / kCaptureBytesPerSecond;
}

std::string CRecorder::DeviceLossReason() const {
    return DeviceWasLost() ? m_platform.Audio().CaptureLossReason() : std::string();
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

HRESULT CRecorder::PrepareFolder(std::filesystem::path& folder) {
    // A recording that could not be kept must not start: say so before anything is captured.
    if (Failed(RecordingsFolder(folder)) ||
        Failed(PrepareRecordingsFolder(folder, m_folderProblem))) {
        if (m_folderProblem.empty())
            m_folderProblem = "no folder is known for recordings";
        return E_FAIL;
    }
    m_folderProblem.clear();
    return S_OK;
}

HRESULT CRecorder::OpenNewInput() {
    m_lastWriteError = 0;
    m_lastLostBytes = 0;
    m_lastDeviceLost = false;
    m_lastFileFull = false;
    m_lastPastLimitBytes = 0;
    m_deviceHolder.clear();
    std::filesystem::path folder;
    if (Failed(PrepareFolder(folder)))
        return E_RECORDINGS_FOLDER;
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
    CRecordingJournal::MakeReserve(name);
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
    m_cutProblem.clear();
    std::vector<std::uint64_t> marks;
    if (m_input) {
        m_input->SetProcessingFlags(process, secondProcess);
        DropInput(&marks);
    }
    if (m_tempFileName.empty())
        return E_FAIL;
    // Only a recording that reads back as a WAV file has tracks.
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    if (!reader || Failed(reader->Open(m_tempFileName, 0)))
        return E_FAIL;
    reader.Reset();
    // From here until its last track is exported, the recording is this run's.
    CRecordingLock lock;
    if (lock.Take(m_tempFileName))
        m_locks.push_back(std::move(lock));
    // The cuts go into the journal before any track file exists, so that a kill from here on
    // leaves the recording with its cuts, never track files that look like recordings.
    m_journal = std::make_unique<CRecordingJournal>(m_tempFileName);
    RecordingJournalData data;
    data.marks = marks;
    data.sourceType = m_sourceType;
    if (Failed(m_journal->Update(data))) {
        // A recording without a journal is still offered later, cut by the track detector.
        OutputDebugText("FinishRecording: the journal cannot be written beside " +
                        m_tempFileName.string() + "\n");
    }
    return CutTracks(trackFiles);
}

HRESULT CRecorder::CutTracks(std::vector<std::string>& trackFiles) {
    trackFiles.clear();
    m_splitFileNames.clear();
    m_cutProblem.clear();
    RecordingJournalData data = m_journal->Data();
    const std::vector<std::uint64_t> marks = data.marks.value_or(std::vector<std::uint64_t>{});
    const std::vector<std::filesystem::path> sources = m_journal->TrackSources();
    if (!marks.empty()) {
        // What is not exported yet and not known complete is cut (again).
        std::vector<std::filesystem::path> names(marks.size());
        std::uint64_t start = 0;
        for (std::size_t i = 0; i < marks.size(); ++i) {
            const std::uint64_t bytes = marks[i] > start ? marks[i] - start : 0;
            start = std::max(start, marks[i]);
            if (!m_journal->ExportedAs(i).empty())
                continue;
            std::error_code ec;
            const bool complete =
                data.cut &&
                std::filesystem::is_regular_file(std::filesystem::symlink_status(sources[i], ec)) &&
                std::filesystem::file_size(sources[i], ec) == kWaveHeaderBytes + bytes;
            if (!complete)
                names[i] = sources[i];
        }
        auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
        if (!reader)
            return E_FAIL;
        WAVEFORMATEX format{};
        int writeError = 0;
        HRESULT hr = reader->Open(m_tempFileName, 0);
        if (Succeeded(hr)) {
            reader->GetFormat(&format, nullptr);
            format.cbSize = 0;
            hr = CutIntoTracks(*reader, format, marks, names, writeError);
        }
        if (Failed(hr)) {
            m_cutProblem = writeError != 0 ? std::generic_category().message(writeError)
                                           : "the recording could not be read back";
            return E_FAIL;
        }
        if (!data.cut) {
            data = m_journal->Data();
            data.cut = true;
            m_journal->Update(data);
        }
    } else if (!data.cut) {
        data.cut = true;
        m_journal->Update(data);
    }
    for (const auto& source : sources)
        trackFiles.push_back(source.string());
    if (!marks.empty())
        m_splitFileNames = sources;
    return S_OK;
}

HRESULT CRecorder::CloseInput() {
    DropInput(nullptr);
    DeleteTempFiles();
    return S_OK;
}

void CRecorder::DeleteTempFiles() {
    if (!m_tempFileName.empty()) {
        RemoveRecordingFiles(m_tempFileName);
        m_tempFileName.clear();
    }
    m_splitFileNames.clear();
    m_journal.reset();
    m_locks.clear();
}

std::vector<std::string> CRecorder::KeepForLater(bool /*wholeRecording*/) {
    DropInput(nullptr);
    std::vector<std::string> kept;
    if (!m_tempFileName.empty()) {
        // The journal says which tracks are still to go; a recording without audio, or one
        // whose tracks all reached their album (an export that ended after its page was
        // closed), is nothing to offer.
        const bool exported = m_journal && m_journal->Data().AllExported();
        if (exported || (InspectRecording(m_tempFileName).problem == "holds no audio" &&
                         (!m_journal || m_journal->Data().ExportedCount() == 0))) {
            RemoveRecordingFiles(m_tempFileName);
        } else if (std::filesystem::exists(m_tempFileName)) {
            kept.push_back(m_tempFileName.string());
        }
    }
    m_tempFileName.clear();
    m_splitFileNames.clear();
    m_journal.reset();
    m_locks.clear();
    return kept;
}

HRESULT CRecorder::RecoverRecording(const std::string& path, std::vector<std::string>& trackFiles) {
    trackFiles.clear();
    m_cutProblem.clear();
    CloseInput();
    CRecordingLock lock;
    if (!lock.Take(path))
        return E_FAIL;
    auto journal = std::make_unique<CRecordingJournal>(path);
    const HRESULT loaded = journal->Load();
    if (Failed(loaded))
        return E_FAIL;
    RecordingJournalData data = journal->Data();
    // Killed while recording, the header lags the data; a finished one is left as it is.
    if (Failed(RepairRecordingHeader(path)))
        return E_FAIL;
    if (!data.marks) {
        // The cuts were never made: cut as automatic splitting does.
        std::vector<std::uint64_t> marks;
        if (Failed(DetectTrackMarks(path, marks)))
            return E_FAIL;
        data.marks = marks;
        data.cut = false;
        journal->Update(data);
    }
    m_tempFileName = path;
    m_journal = std::move(journal);
    m_locks.push_back(std::move(lock));
    const HRESULT hr = CutTracks(trackFiles);
    if (Failed(hr)) {
        // The recording stays for a later try.
        m_tempFileName.clear();
        m_journal.reset();
        m_locks.clear();
        trackFiles.clear();
    }
    return hr;
}

bool CRecorder::EditableMarks(std::vector<std::uint64_t>& marks, std::uint64_t& frames) const {
    if (!m_journal)
        return false;
    const RecordingJournalData data = m_journal->Data();
    if (!data.marks || data.ExportedCount() > 0)
        return false;
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    if (!reader || Failed(reader->Open(m_tempFileName, 0)) ||
        Failed(reader->GetFrameCount(&frames)))
        return false;
    marks = *data.marks;
    return true;
}

HRESULT CRecorder::NoteMarks(const std::vector<std::uint64_t>& marks) {
    if (!m_journal)
        return E_FAIL;
    RecordingJournalData data = m_journal->Data();
    if (data.ExportedCount() > 0)
        return E_FAIL;
    data.marks = marks;
    // Every track file is made again: the journal must not vouch for the old ones.
    data.cut = false;
    return m_journal->Update(data);
}

HRESULT CRecorder::RecutTracks(std::vector<std::string>& trackFiles) {
    if (!m_journal)
        return E_FAIL;
    const std::vector<std::filesystem::path> before = m_splitFileNames;
    const HRESULT hr = CutTracks(trackFiles);
    if (Failed(hr))
        return hr;
    // Fewer tracks than before leave files of the old cut behind.
    for (const std::filesystem::path& old : before) {
        if (std::find(trackFiles.begin(), trackFiles.end(), old.string()) == trackFiles.end()) {
            std::error_code ignored;
            std::filesystem::remove(old, ignored);
        }
    }
    return S_OK;
}

HRESULT CRecorder::NoteTags(const std::string& artist, const std::string& album,
                            const std::vector<std::string>& titles, const std::string& format) {
    if (!m_journal)
        return S_FALSE;
    RecordingJournalData data = m_journal->Data();
    data.tagged = true;
    data.artist = artist;
    data.album = album;
    data.titles = titles;
    // Tracks already exported fix the format of the rest.
    if (data.ExportedCount() == 0 || data.format.empty())
        data.format = format;
    // Titles past the last track are empty fields of the tag pages.
    while (data.titles.size() > data.TrackCount() && data.titles.back().empty())
        data.titles.pop_back();
    return m_journal->Update(data);
}

bool CRecorder::JournalTags(std::string& artist, std::string& album,
                            std::vector<std::string>& titles, std::string& format) const {
    if (!m_journal)
        return false;
    const RecordingJournalData data = m_journal->Data();
    if (!data.tagged)
        return false;
    artist = data.artist;
    album = data.album;
    titles = data.titles;
    format = data.format;
    return true;
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
    m_sourceType = sourceType;
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
