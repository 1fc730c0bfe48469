#include "export/CWavExporter.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "base/StringTable.h"
#include "export/FileMove.h"

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

}  // namespace

CWavExporter::CWavExporter(std::function<fs::path()> exportFolder, int maxNameNumber)
    : m_progress(ComPtr<CProgressStatus>::Attach(new CProgressStatus())),
      m_exportFolderSource(std::move(exportFolder)),
      m_maxNameNumber(maxNameNumber) {}

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
        m_exportFolder = m_exportFolderSource ? m_exportFolderSource() : fs::path();
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
        if (::mkdir(candidate.c_str(), 0777) == 0) {
            m_albumFolder = candidate;
            return true;
        }
        // Only a name that is taken can be cured by another number; a missing or
        // read-only export folder cannot.
        if (errno != EEXIST)
            return false;
    }
    return false;
}

HRESULT CWavExporter::Export() {
    HRESULT result = E_FAIL;
    const std::size_t trackCount = m_sourcePaths.size();
    const std::string unknownArtist = LoadString(kIdsUnknownArtist);
    const std::string unknownAlbum = LoadString(kIdsUnknownAlbum);
    const std::string albumWord = FileNameComponent(LoadString(kIdsAlbum), "Album");

    bool haveFolder = !m_albumFolder.empty();  // kept by StartExport only for a retry
    if (!haveFolder) {
        std::string name = m_album == unknownAlbum ? albumWord : m_album;
        if (m_artist != unknownArtist)
            name = m_artist + " " + name;
        haveFolder = CreateAlbumFolder(m_exportFolder, FileNameComponent(name, albumWord));
    }

    if (haveFolder && m_titles.size() >= trackCount) {
        m_moved.resize(trackCount, false);
        for (std::size_t i = 0; i < trackCount; ++i) {
            if (m_moved[i] && SourceIsGone(m_sourcePaths[i])) {
                // Moved by the attempt that failed; it is in the album folder already.
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
    }
    m_lastAttemptFailed = Failed(result);
    // The failure must be recorded before the end is marked (see CProgressStatus).
    if (Failed(result))
        m_progress->SetError(result);
    m_progress->SetDone();
    return S_OK;
}

HRESULT CWavExporter::ExportTrack(const std::string& sourcePath, const std::string& title,
                                  const fs::path& folder, std::size_t index,
                                  std::size_t trackCount) {
    const std::string numbered =
        FormatNumberText(LoadString(kIdsTrackNumberFormat), static_cast<long long>(index) + 1);
    const std::string stem = title == LoadString(kIdsUnknownTitle)
                                 ? FileNameComponent(numbered, "Track " + std::to_string(index + 1))
                                 : FileNameComponent(title, numbered);

    MoveOutcome outcome = MoveFileNoReplace(sourcePath, folder / (stem + ".wav"));
    for (int number = 1; outcome == MoveOutcome::TargetExists && number <= m_maxNameNumber;
         ++number) {
        outcome =
            MoveFileNoReplace(sourcePath, folder / (stem + " " + std::to_string(number) + ".wav"));
    }
    if (outcome != MoveOutcome::Moved)
        return E_FAIL;
    if (trackCount > 0) {
        m_progress->SetProgress(static_cast<float>(index + 1) / static_cast<float>(trackCount));
    }
    return S_OK;
}

}  // namespace sondrel
