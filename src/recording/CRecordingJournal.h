// The journal beside an unfinished recording: what turns "temp3.wav" into an album in the
// making (its cut points, what the user typed, where it goes and which tracks are already
// there). It is rewritten whole at each step (temporary file, fsync, rename), so a kill at any
// moment leaves either the old record or the new one, never a mix.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

// What one journal holds. Tracks are numbered from 0 here.
struct RecordingJournalData {
    // The byte offsets that end each track; known once the recording has ended. An empty list
    // means one track: the recording itself.
    std::optional<std::vector<std::uint64_t>> marks;
    // The source equaliser it was recorded with (0..3), -1 when not known.
    int sourceType = -1;
    // Every track file not yet exported is complete.
    bool cut = false;
    // What the user typed on the tag pages, as typed (cleaning happens at each export).
    bool tagged = false;
    std::string artist;
    std::string album;
    std::vector<std::string> titles;
    std::string format;  // of the export: "wav" or "flac"; empty until chosen
    std::filesystem::path exportFolder;
    // The album folder made by the first export attempt; later attempts continue in it.
    std::filesystem::path albumFolder;
    // Per track: the file it became in the album folder; empty while it is not there.
    std::vector<std::filesystem::path> exported;
    // The move under way when the run ended: track and the name it was moving to.
    int pendingTrack = -1;
    std::filesystem::path pendingTarget;

    std::size_t TrackCount() const { return !marks ? 0 : marks->empty() ? 1 : marks->size(); }
    std::size_t ExportedCount() const;
    bool AllExported() const { return marks && ExportedCount() == TrackCount(); }
};

// Threads: the user-interface thread and the export worker take turns (the flow starts an
// export only after the last one has ended); a lock keeps each call whole anyway.
class CRecordingJournal {
public:
    // The journal of the recording at recordingPath; nothing is read or written yet.
    explicit CRecordingJournal(std::filesystem::path recordingPath);

    // Files that belong to a recording, named after it: "temp3.journal" and, for a recording
    // cut into several tracks, "temp3.track1.wav", "temp3.track2.wav", ...
    static std::filesystem::path JournalPathOf(const std::filesystem::path& recordingPath);
    static std::filesystem::path TrackPathOf(const std::filesystem::path& recordingPath,
                                             std::size_t track);
    // "temp3.reserve": room set aside when the recording starts, given up for the journal
    // when the disk fills, so the cuts and names are kept even on a disk the recording filled.
    static std::filesystem::path ReservePathOf(const std::filesystem::path& recordingPath);
    static void MakeReserve(const std::filesystem::path& recordingPath);
    // The file each track is exported from: the recording itself for a single track.
    std::vector<std::filesystem::path> TrackSources() const;

    // S_OK when the journal was read, S_FALSE when there is none, E_FAIL when it cannot be
    // read or is not a journal (a link, a damaged file).
    HRESULT Load();
    // Writes the journal atomically. E_FAIL (nothing changed on disk) when it cannot.
    HRESULT Save();
    // Removes the journal file; S_OK also when there was none.
    HRESULT Remove();

    const std::filesystem::path& RecordingPath() const { return m_recordingPath; }
    RecordingJournalData Data() const;
    // Replaces the data and saves it.
    HRESULT Update(const RecordingJournalData& data);

    // For the export worker; each saves at once.
    std::filesystem::path ExportedAs(std::size_t track) const;
    HRESULT NoteExportFolder(const std::filesystem::path& exportFolder);
    HRESULT NoteAlbumFolder(const std::filesystem::path& albumFolder);
    HRESULT NoteMoving(std::size_t track, const std::filesystem::path& target);
    HRESULT NoteExported(std::size_t track, const std::filesystem::path& target);
    // Forgets the move under way (it did not happen, or was just noted as exported).
    HRESULT ClearPendingMove();

private:
    HRESULT SaveLocked();
    HRESULT WriteLocked(int& errorNumber);

    const std::filesystem::path m_recordingPath;
    mutable std::mutex m_lock;
    RecordingJournalData m_data;
};

}  // namespace sondrel
