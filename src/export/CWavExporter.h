// Turns a finished recording into the result: a new folder named after artist and album in
// the export folder, holding one WAV file per track named after its title. The track files
// already exist (the recorder cut them); the export only moves them into place, on a worker
// thread of its own, and reports through a progress object.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/CUnknownStandAlone.h"
#include "base/Result.h"
#include "export/CFlacBatch.h"
#include "export/CProgressStatus.h"
#include "export/ExportFormat.h"
#include "export/FileMove.h"
#include "recording/CRecordingJournal.h"

namespace sondrel {

// Name numbers tried before an export gives up on a folder or file name.
inline constexpr int kMaxNameNumber = 9999;

// Threading: StartExport, WaitForExport and destruction are called on the user-interface
// thread; Export and ExportTrack run on the worker. While a worker runs, only the progress
// object is shared with it.
class CWavExporter {
public:
    // exportFolder yields the export folder (existing, repaired by the settings); it is
    // called on the caller's thread at each StartExport.
    // maxNameNumber bounds the " N" numbers tried for a folder or file name.
    explicit CWavExporter(std::function<std::filesystem::path()> exportFolder,
                          int maxNameNumber = kMaxNameNumber);
    // Waits for a running export to finish, so that no track file is half-moved or left
    // behind when the temporary files are deleted after the exporter has gone.
    virtual ~CWavExporter();

    CWavExporter(const CWavExporter&) = delete;
    CWavExporter& operator=(const CWavExporter&) = delete;

    // Starts one export attempt on a worker thread and returns at once with a reference to
    // the reset progress object in progress. The last argument (the product title) is not
    // used. Started again with the same data after a failed attempt, the export continues
    // in the album folder of that attempt with the tracks that are still at their sources.
    HRESULT StartExport(const std::vector<std::string>& sourcePaths, const std::string& artist,
                        const std::vector<std::string>& titles, const std::string& album,
                        const std::string& productTitle, ComPtr<IProgressStatus>& progress);

    // The journal of the recording the next StartExport exports (null: none). With one, each
    // step is noted in it as it happens, tracks it names as exported are passed over, and the
    // album folder it names is continued; a kill at any moment then loses or repeats nothing.
    // Call between exports only.
    void UseJournal(CRecordingJournal* journal) { m_journal = journal; }
    // The format of the next StartExport (WAV when never set). A journal whose album already
    // has tracks keeps the format they have. Call between exports only.
    void SetFormat(ExportFormat format) { m_nextFormat = format; }
    // The names as typed (not cleaned for file names), for the tags of the formats that carry
    // them; the cleaned names stand in where these are empty. Call between exports only.
    void UseTagTexts(std::string artist, std::string album, std::vector<std::string> titles);

    // Blocks until the worker of the last export (if any) has ended.
    void WaitForExport();

    // Why the last attempt failed ("No space left on device", ...); empty when it did not or
    // no reason is known. Only meaningful once the progress object reports the end.
    const std::string& FailureReason() const { return m_failureReason; }

    // The album folder of the last attempt (empty before one was created). Only meaningful
    // once the progress object reports the end.
    std::filesystem::path AlbumFolder() const { return m_albumFolder; }

    // Worker: creates the album folder and moves every track; the outcome is in the
    // progress object (always S_OK itself).
    HRESULT Export();
    // Moves one track to folder/title.wav (or "title N.wav" when that exists), or encodes it to
    // title.flac; S_OK or E_FAIL.
    HRESULT ExportTrack(const std::string& sourcePath, const std::string& title,
                        const std::filesystem::path& folder, std::size_t index,
                        std::size_t trackCount);

private:
    bool CreateAlbumFolder(const std::filesystem::path& base, const std::string& name);
    bool AlreadyExported(std::size_t index) const;
    // A move that a killed run left under way: a target that holds the track (its source gone,
    // or a complete copy beside it) makes it exported; otherwise the move did not happen.
    void SettlePendingMove();
    void Note(HRESULT journalled);
    // Puts one track at target in the export's format: Moved, TargetExists (nothing done) or
    // Failed (m_failureReason says why).
    MoveOutcome PlaceTrack(const std::string& sourcePath, const std::filesystem::path& target,
                           std::size_t index, std::size_t trackCount);
    MoveOutcome PlaceFlac(const std::string& sourcePath, const std::filesystem::path& target,
                          std::size_t index, std::size_t trackCount);
    // Starts encoding every track not yet exported, for a FLAC export.
    void StartEncoding(std::size_t trackCount);
    FlacTags TagsFor(std::size_t index, std::size_t trackCount) const;
    bool ContinuesFailedExport(const std::vector<std::string>& sourcePaths,
                               const std::string& artist, const std::vector<std::string>& titles,
                               const std::string& album) const;

    std::vector<std::string> m_sourcePaths;
    std::string m_artist;
    std::vector<std::string> m_titles;
    std::string m_album;
    ComPtr<CProgressStatus> m_progress;

    std::function<std::filesystem::path()> m_exportFolderSource;
    int m_maxNameNumber;
    std::filesystem::path m_exportFolder;
    std::thread m_worker;

    // What the last attempt did, so that a retry can pick up where it failed. Written by the
    // worker, read by StartExport only after the worker has been joined.
    std::filesystem::path m_albumFolder;
    std::vector<bool> m_moved;
    bool m_lastAttemptFailed = false;
    CRecordingJournal* m_journal = nullptr;
    std::string m_failureReason;
    ExportFormat m_nextFormat = ExportFormat::Wav;
    ExportFormat m_format = ExportFormat::Wav;
    std::string m_typedArtist;
    std::string m_typedAlbum;
    std::vector<std::string> m_typedTitles;
    // The running FLAC export's encodings; only while Export runs.
    std::unique_ptr<CFlacBatch> m_batch;
};

}  // namespace sondrel
