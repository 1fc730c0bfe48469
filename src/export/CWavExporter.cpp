#include "export/CWavExporter.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "audiofile/CWaveReader.h"
#include "base/StringTable.h"
#include "export/CFlacEncoder.h"
#include "export/FileMove.h"
#include "platform/DebugOutput.h"
#include "recording/DurableStep.h"

namespace sondrel {

namespace fs = std::filesystem;

namespace {

// Leaves room for " 9999" and ".wav" within the 255-byte name limit of Linux file systems.
constexpr std::size_t kMaxNameBytes = 240;

// The tag texts arrive cleaned, and the placeholder texts come from a language pack; neither
// may still smuggle a path separator, a control character or "." / ".." into a name.
std::string FileNameComponent(std::string text, const std::string& fallback) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '/' || byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    if (text.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        // Back up to the start of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    if (text.empty() || text == "." || text == "..")
        return fallback;
    return text;
}

bool SourceIsGone(const std::string& path) {
    std::error_code ec;
    return !fs::exists(fs::symlink_status(path, ec));
}

std::string Reason(int errorNumber) {
    return errorNumber != 0 ? std::generic_category().message(errorNumber) : std::string();
}

std::string Trimmed(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::uint64_t WaveFrames(const std::string& path) {
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    WAVEFORMATEX format{};
    std::uint64_t bytes = 0;
    if (!reader || Failed(reader->Open(path, 0)) || Failed(reader->GetFormat(&format, nullptr)) ||
        Failed(reader->GetDataSize(&bytes)) || format.nBlockAlign == 0) {
        return 0;
    }
    return bytes / format.nBlockAlign;
}

}  // namespace

CWavExporter::CWavExporter(std::function<fs::path()> exportFolder, int maxNameNumber)
    : m_progress(ComPtr<CProgressStatus>::Attach(new CProgressStatus())),
      m_exportFolderSource(std::move(exportFolder)),
      m_maxNameNumber(maxNameNumber) {}

void CWavExporter::UseTagTexts(std::string artist, std::string album,
                               std::vector<std::string> titles) {
    m_typedArtist = Trimmed(artist);
    m_typedAlbum = Trimmed(album);
    m_typedTitles = std::move(titles);
    for (auto& title : m_typedTitles)
        title = Trimmed(title);
}

CWavExporter::~CWavExporter() {
    WaitForExport();
}

void CWavExporter::WaitForExport() {
    if (m_worker.joinable())
        m_worker.join();
}

bool CWavExporter::ContinuesFailedExport(const std::vector<std::string>& sourcePaths,
                                         const std::string& artist,
                                         const std::vector<std::string>& titles,
                                         const std::string& album) const {
    if (!m_lastAttemptFailed || m_albumFolder.empty())
        return false;
    if (sourcePaths != m_sourcePaths || titles != m_titles || artist != m_artist ||
        album != m_album) {
        return false;
    }
    // The recorder names its files alike for every recording: if a track that was moved is
    // back at its source, this is a new recording with the same names, not a retry.
    for (std::size_t i = 0; i < m_moved.size() && i < m_sourcePaths.size(); ++i) {
        if (m_moved[i] && !SourceIsGone(m_sourcePaths[i]))
            return false;
    }
    std::error_code ec;
    return fs::is_directory(m_albumFolder, ec);
}

HRESULT CWavExporter::StartExport(const std::vector<std::string>& sourcePaths,
                                  const std::string& artist, const std::vector<std::string>& titles,
                                  const std::string& album, const std::string& /*productTitle*/,
                                  ComPtr<IProgressStatus>& progress) {
    // The flow starts an export only after the previous one has ended; its worker may still
    // be returning.
    WaitForExport();
    m_progress->Reset();
    progress = ComPtr<IProgressStatus>(m_progress.Get());
    try {
        const bool continuing = ContinuesFailedExport(sourcePaths, artist, titles, album);
        m_sourcePaths = sourcePaths;
        m_artist = artist;
        m_titles = titles;
        m_album = album;
        if (!continuing) {
            m_albumFolder.clear();
            m_moved.assign(m_sourcePaths.size(), false);
        }
        m_lastAttemptFailed = false;
        m_failureReason.clear();
        m_format = m_nextFormat;
        m_exportFolder = m_exportFolderSource ? m_exportFolderSource() : fs::path();
        if (m_journal != nullptr) {
            // The album a journal names goes on in the same folder: one that holds its tracks,
            // or one still empty (named before it was made, so a run ended in between leaves
            // no stray folder). A full folder that holds none of them belongs to another album.
            const RecordingJournalData data = m_journal->Data();
            std::error_code ec;
            const bool ours = data.ExportedCount() > 0 || data.pendingTrack >= 0 ||
                              fs::is_empty(data.albumFolder, ec);
            m_albumFolder = !data.albumFolder.empty() &&
                                    fs::is_directory(fs::symlink_status(data.albumFolder, ec)) &&
                                    ours
                                ? data.albumFolder
                                : fs::path();
            // An album is one format: what its first tracks are, the rest follow.
            if (data.ExportedCount() > 0)
                ParseFormatName(data.format, m_format);
            Note(m_journal->NoteExportFolder(m_exportFolder));
        }
        m_worker = std::thread([this] {
            try {
                Export();
            } catch (...) {
                // Nothing may escape the worker; whatever went wrong is a failed export.
                m_lastAttemptFailed = true;
                m_progress->SetError(E_FAIL);
                m_progress->SetDone();
            }
        });
    } catch (...) {
        m_lastAttemptFailed = true;
        m_progress->SetError(E_FAIL);
        m_progress->SetDone();
        return E_FAIL;
    }
    return S_OK;
}

bool CWavExporter::CreateAlbumFolder(const fs::path& base, const std::string& name) {
    for (int number = 0; number <= m_maxNameNumber; ++number) {
        const fs::path candidate =
            base / (number == 0 ? name : name + " " + std::to_string(number));
        std::error_code ec;
        if (fs::exists(fs::symlink_status(candidate, ec)))
            continue;
        // Named before it is made: a run ended in between finds it again.
        if (m_journal != nullptr)
            Note(m_journal->NoteAlbumFolder(candidate));
        if (::mkdir(candidate.c_str(), 0777) == 0) {
            m_albumFolder = candidate;
            PassDurableStep();
            return true;
        }
        // Only a name that is taken can be cured by another number; a missing or
        // read-only export folder cannot.
        if (errno != EEXIST) {
            m_failureReason = Reason(errno) + " (" + base.string() + ")";
            return false;
        }
    }
    m_failureReason = "no free name for the album folder in " + base.string();
    return false;
}

void CWavExporter::Note(HRESULT journalled) {
    // The export goes on: the tracks reaching their album matter more than the record of it.
    // A kill before the next note may then export a track twice, never lose one.
    if (Failed(journalled))
        OutputDebugText("export: the recording's journal cannot be written\n");
}

bool CWavExporter::AlreadyExported(std::size_t index) const {
    if (m_journal != nullptr)
        return !m_journal->ExportedAs(index).empty();
    return index < m_moved.size() && m_moved[index] && SourceIsGone(m_sourcePaths[index]);
}

void CWavExporter::SettlePendingMove() {
    const RecordingJournalData data = m_journal->Data();
    if (data.pendingTrack < 0)
        return;
    const auto track = static_cast<std::size_t>(data.pendingTrack);
    const fs::path& target = data.pendingTarget;
    ::unlink(PartialCopyPathOf(target).c_str());
    std::error_code ec;
    const bool targetThere = fs::exists(fs::symlink_status(target, ec));
    const std::string source = track < m_sourcePaths.size() ? m_sourcePaths[track] : "";
    // A target is only ever put in place whole: a copy of the track, or its encoding.
    const bool holdsTrack =
        targetThere && !source.empty() &&
        (SourceIsGone(source) ||
         (target.extension() == ".flac" ? CFlacEncoder::HoldsFrames(target, WaveFrames(source))
                                        : SameContents(source, target)));
    if (holdsTrack) {
        Note(m_journal->NoteExported(track, target));
        ::unlink(source.c_str());
        return;
    }
    Note(m_journal->ClearPendingMove());
}

HRESULT CWavExporter::Export() {
    HRESULT result = E_FAIL;
    const std::size_t trackCount = m_sourcePaths.size();
    const std::string unknownArtist = LoadString(kIdsUnknownArtist);
    const std::string unknownAlbum = LoadString(kIdsUnknownAlbum);
    const std::string albumWord = FileNameComponent(LoadString(kIdsAlbum), "Album");

    if (m_journal != nullptr)
        SettlePendingMove();
    bool haveFolder = !m_albumFolder.empty();  // kept by StartExport only for a retry
    if (!haveFolder) {
        std::string name = m_album == unknownAlbum ? albumWord : m_album;
        if (m_artist != unknownArtist)
            name = m_artist + " " + name;
        haveFolder = CreateAlbumFolder(m_exportFolder, FileNameComponent(name, albumWord));
    }

    if (haveFolder && m_titles.size() >= trackCount) {
        m_moved.resize(trackCount, false);
        if (m_format == ExportFormat::Flac)
            StartEncoding(trackCount);
        for (std::size_t i = 0; i < trackCount; ++i) {
            if (AlreadyExported(i)) {
                // Moved by an attempt that failed or a run that ended; it is in the album
                // folder already.
                m_moved[i] = true;
                m_progress->SetProgress(static_cast<float>(i + 1) / static_cast<float>(trackCount));
                result = S_OK;
                continue;
            }
            result = ExportTrack(m_sourcePaths[i], m_titles[i], m_albumFolder, i, trackCount);
            if (Failed(result))
                break;
            m_moved[i] = true;
        }
    }

    // A folder this export made and into which nothing was moved is only clutter; retries
    // make a new one. rmdir leaves a folder that is not empty alone.
    if (Failed(result) && !m_albumFolder.empty() &&
        std::none_of(m_moved.begin(), m_moved.end(), [](bool moved) { return moved; }) &&
        ::rmdir(m_albumFolder.c_str()) == 0) {
        m_albumFolder.clear();
        if (m_journal != nullptr)
            Note(m_journal->NoteAlbumFolder({}));
    }
    if (Failed(result) && m_failureReason.empty() && haveFolder && m_titles.size() < trackCount) {
        m_failureReason = "fewer titles than tracks";
    }
    m_batch.reset();  // stops what is still encoding and removes what was not placed
    m_lastAttemptFailed = Failed(result);
    // The failure must be recorded before the end is marked (see CProgressStatus).
    if (Failed(result))
        m_progress->SetError(result);
    m_progress->SetDone();
    return S_OK;
}

MoveOutcome CWavExporter::PlaceTrack(const std::string& sourcePath, const fs::path& target,
                                     std::size_t index, std::size_t trackCount) {
    if (m_format == ExportFormat::Wav) {
        int error = 0;
        const MoveOutcome outcome = MoveFileNoReplace(sourcePath, target, &error);
        if (outcome == MoveOutcome::Failed)
            m_failureReason = Reason(error) + " (" + target.string() + ")";
        return outcome;
    }
    return PlaceFlac(sourcePath, target, index, trackCount);
}

FlacTags CWavExporter::TagsFor(std::size_t index, std::size_t trackCount) const {
    FlacTags tags;
    tags.artist = m_typedArtist.empty() ? m_artist : m_typedArtist;
    tags.album = m_typedAlbum.empty() ? m_album : m_typedAlbum;
    const std::string typedTitle = index < m_typedTitles.size() ? m_typedTitles[index] : "";
    // An untitled track carries the name its file gets ("Track 3").
    tags.title =
        !typedTitle.empty() ? typedTitle
        : m_titles[index] == LoadString(kIdsUnknownTitle)
            ? FormatNumberText(LoadString(kIdsTrackNumberFormat), static_cast<long long>(index) + 1)
            : m_titles[index];
    tags.trackNumber = static_cast<unsigned>(index + 1);
    tags.trackTotal = static_cast<unsigned>(trackCount);
    return tags;
}

void CWavExporter::StartEncoding(std::size_t trackCount) {
    std::vector<FlacJob> jobs(trackCount);
    for (std::size_t i = 0; i < trackCount; ++i) {
        // Hidden names of the album folder's own; a leftover of a run that ended is replaced.
        jobs[i].output = m_albumFolder / (".sondrel-track" + std::to_string(i + 1) + ".flac.part");
        if (AlreadyExported(i)) {
            ::unlink(jobs[i].output.c_str());
            jobs[i].source.clear();
            continue;
        }
        jobs[i].source = m_sourcePaths[i];
        jobs[i].tags = TagsFor(i, trackCount);
        jobs[i].frames = WaveFrames(m_sourcePaths[i]);
    }
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                              [](const FlacJob& job) { return job.source.empty(); }),
               jobs.end());
    m_batch = std::make_unique<CFlacBatch>();
    m_batch->Start(std::move(jobs), std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

MoveOutcome CWavExporter::PlaceFlac(const std::string& sourcePath, const fs::path& target,
                                    std::size_t index, std::size_t trackCount) {
    const fs::path output =
        m_albumFolder / (".sondrel-track" + std::to_string(index + 1) + ".flac.part");
    std::string problem;
    const auto showProgress = [&] {
        const double encoded = m_batch->Progress();
        const double placed = static_cast<double>(index) / static_cast<double>(trackCount);
        m_progress->SetProgress(static_cast<float>(std::max(encoded, placed)));
    };
    if (!m_batch || Failed(m_batch->Wait(m_batch->IndexOf(output), problem, showProgress))) {
        m_failureReason = problem.empty() ? "FLAC encoding failed" : problem;
        return MoveOutcome::Failed;
    }
    if (::renameat2(AT_FDCWD, output.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST)
            return MoveOutcome::TargetExists;
        m_failureReason = Reason(errno) + " (" + target.string() + ")";
        return MoveOutcome::Failed;
    }
    m_batch->Taken(m_batch->IndexOf(output));
    SyncFolder(target.parent_path());
    PassDurableStep();
    // The encoding is safely in place; the track file it came from is not needed any more.
    ::unlink(sourcePath.c_str());
    return MoveOutcome::Moved;
}

HRESULT CWavExporter::ExportTrack(const std::string& sourcePath, const std::string& title,
                                  const fs::path& folder, std::size_t index,
                                  std::size_t trackCount) {
    const std::string numbered =
        FormatNumberText(LoadString(kIdsTrackNumberFormat), static_cast<long long>(index) + 1);
    const std::string stem = title == LoadString(kIdsUnknownTitle)
                                 ? FileNameComponent(numbered, "Track " + std::to_string(index + 1))
                                 : FileNameComponent(title, numbered);

    MoveOutcome outcome = MoveOutcome::TargetExists;
    fs::path target;
    const std::string extension = FormatExtension(m_format);
    for (int number = 0; outcome == MoveOutcome::TargetExists && number <= m_maxNameNumber;
         ++number) {
        target = folder /
                 (number == 0 ? stem + extension : stem + " " + std::to_string(number) + extension);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)))
            continue;
        // Noted before the move, so that a run ended in between finds where the track went.
        if (m_journal != nullptr)
            Note(m_journal->NoteMoving(index, target));
        outcome = PlaceTrack(sourcePath, target, index, trackCount);
    }
    if (outcome != MoveOutcome::Moved) {
        if (m_journal != nullptr)
            Note(m_journal->ClearPendingMove());
        if (outcome == MoveOutcome::TargetExists)
            m_failureReason = "no free name for " + stem + extension;
        return E_FAIL;
    }
    if (m_journal != nullptr)
        Note(m_journal->NoteExported(index, target));
    if (trackCount > 0) {
        m_progress->SetProgress(static_cast<float>(index + 1) / static_cast<float>(trackCount));
    }
    return S_OK;
}

}  // namespace sondrel
