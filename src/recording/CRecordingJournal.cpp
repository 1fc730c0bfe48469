#include "recording/CRecordingJournal.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <sstream>

#include "recording/DurableStep.h"

namespace sondrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFirstLine = "sondrel-journal 1";
// A journal is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxJournalBytes = 1 << 20;
// Enough for the journal of an album of any length, several times over.
constexpr off_t kReserveBytes = 64 * 1024;

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return false;
        }
    }
    return true;
}

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end;
}

std::string Serialise(const RecordingJournalData& d) {
    std::ostringstream out;
    out << kFirstLine << "\n";
    if (d.marks) {
        out << "marks";
        for (const std::uint64_t mark : *d.marks)
            out << " " << mark;
        out << "\n";
    }
    if (d.sourceType >= 0)
        out << "source " << d.sourceType << "\n";
    out << "cut " << (d.cut ? 1 : 0) << "\n";
    if (d.tagged) {
        out << "tagged 1\n";
        out << "artist " << Escape(d.artist) << "\n";
        out << "album " << Escape(d.album) << "\n";
        for (const std::string& title : d.titles)
            out << "title " << Escape(title) << "\n";
    }
    if (!d.format.empty())
        out << "format " << Escape(d.format) << "\n";
    if (!d.exportFolder.empty())
        out << "export-folder " << Escape(d.exportFolder.string()) << "\n";
    if (!d.albumFolder.empty())
        out << "album-folder " << Escape(d.albumFolder.string()) << "\n";
    for (std::size_t i = 0; i < d.exported.size(); ++i) {
        if (!d.exported[i].empty())
            out << "exported " << i << " " << Escape(d.exported[i].string()) << "\n";
    }
    if (d.pendingTrack >= 0)
        out << "moving " << d.pendingTrack << " " << Escape(d.pendingTarget.string()) << "\n";
    out << "end\n";
    return out.str();
}

// "<index> <escaped path>" of the exported and moving lines.
bool ParseTrackPath(const std::string& value, std::size_t& track, fs::path& path) {
    const std::size_t space = value.find(' ');
    std::string text;
    if (space == std::string::npos || !ParseNumber(value.substr(0, space), track) ||
        track >= 4096 || !Unescape(value.substr(space + 1), text)) {
        return false;
    }
    path = text;
    return true;
}

bool ParseLine(const std::string& key, const std::string& value, RecordingJournalData& d) {
    std::string text;
    if (key == "marks") {
        d.marks.emplace();
        std::istringstream in(value);
        std::string word;
        while (in >> word) {
            std::uint64_t mark = 0;
            if (!ParseNumber(word, mark))
                return false;
            d.marks->push_back(mark);
        }
        return true;
    }
    if (key == "source")
        return ParseNumber(value, d.sourceType) && d.sourceType >= 0 && d.sourceType <= 3;
    if (key == "cut" || key == "tagged") {
        (key == "cut" ? d.cut : d.tagged) = value == "1";
        return true;
    }
    if (key == "artist" || key == "album" || key == "title" || key == "export-folder" ||
        key == "album-folder" || key == "format") {
        if (!Unescape(value, text))
            return false;
        if (key == "artist") {
            d.artist = text;
        } else if (key == "album") {
            d.album = text;
        } else if (key == "title") {
            d.titles.push_back(text);
        } else if (key == "format") {
            d.format = text;
        } else if (key == "export-folder") {
            d.exportFolder = text;
        } else {
            d.albumFolder = text;
        }
        return true;
    }
    if (key == "exported" || key == "moving") {
        std::size_t track = 0;
        fs::path path;
        if (!ParseTrackPath(value, track, path))
            return false;
        if (key == "moving") {
            d.pendingTrack = static_cast<int>(track);
            d.pendingTarget = path;
        } else {
            if (d.exported.size() <= track)
                d.exported.resize(track + 1);
            d.exported[track] = path;
        }
        return true;
    }
    return true;  // a later version's line: what this one knows is still right
}

bool Parse(const std::string& text, RecordingJournalData& d) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine)
        return false;
    while (std::getline(in, line)) {
        if (line == "end")
            return true;
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (!ParseLine(key, value, d))
            return false;
    }
    return false;  // cut short: not a journal this program wrote
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::size_t RecordingJournalData::ExportedCount() const {
    const std::size_t tracks = TrackCount();
    std::size_t count = 0;
    for (std::size_t i = 0; i < exported.size() && i < tracks; ++i)
        count += exported[i].empty() ? 0 : 1;
    return count;
}

CRecordingJournal::CRecordingJournal(fs::path recordingPath)
    : m_recordingPath(std::move(recordingPath)) {}

fs::path CRecordingJournal::JournalPathOf(const fs::path& recordingPath) {
    fs::path path = recordingPath;
    return path.replace_extension(".journal");
}

fs::path CRecordingJournal::TrackPathOf(const fs::path& recordingPath, std::size_t track) {
    fs::path path = recordingPath;
    return path.replace_extension(".track" + std::to_string(track + 1) + ".wav");
}

fs::path CRecordingJournal::ReservePathOf(const fs::path& recordingPath) {
    fs::path path = recordingPath;
    return path.replace_extension(".reserve");
}

void CRecordingJournal::MakeReserve(const fs::path& recordingPath) {
    const fs::path path = ReservePathOf(recordingPath);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const bool made = ::posix_fallocate(fd, 0, kReserveBytes) == 0;
    ::close(fd);
    if (!made)
        ::unlink(path.c_str());
}

std::vector<fs::path> CRecordingJournal::TrackSources() const {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<fs::path> sources;
    if (!m_data.marks)
        return sources;
    if (m_data.marks->empty()) {
        sources.push_back(m_recordingPath);
        return sources;
    }
    for (std::size_t i = 0; i < m_data.marks->size(); ++i)
        sources.push_back(TrackPathOf(m_recordingPath, i));
    return sources;
}

HRESULT CRecordingJournal::Load() {
    const fs::path path = JournalPathOf(m_recordingPath);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? S_FALSE : E_FAIL;
    struct stat info {};
    std::string text;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<std::size_t>(info.st_size) <= kMaxJournalBytes;
    if (ok) {
        text.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (ok && got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            got += ok ? static_cast<std::size_t>(n) : 0;
        }
    }
    ::close(fd);
    RecordingJournalData data;
    if (!ok || !Parse(text, data))
        return E_FAIL;
    std::lock_guard<std::mutex> hold(m_lock);
    m_data = std::move(data);
    return S_OK;
}

HRESULT CRecordingJournal::Save() {
    std::lock_guard<std::mutex> hold(m_lock);
    return SaveLocked();
}

HRESULT CRecordingJournal::SaveLocked() {
    const fs::path path = JournalPathOf(m_recordingPath);
    fs::path temporary = path;
    temporary += ".tmp";
    // A link or a stale file of that name is replaced, never written through.
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return E_FAIL;
    const bool written = WriteAll(fd, Serialise(m_data)) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return E_FAIL;
    }
    SyncFolder(path.parent_path());
    PassDurableStep();
    return S_OK;
}

HRESULT CRecordingJournal::Remove() {
    const fs::path path = JournalPathOf(m_recordingPath);
    fs::path temporary = path;
    temporary += ".tmp";
    ::unlink(temporary.c_str());
    if (::unlink(path.c_str()) != 0)
        return errno == ENOENT ? S_OK : E_FAIL;
    SyncFolder(path.parent_path());
    PassDurableStep();
    return S_OK;
}

RecordingJournalData CRecordingJournal::Data() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_data;
}

HRESULT CRecordingJournal::Update(const RecordingJournalData& data) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_data = data;
    return SaveLocked();
}

fs::path CRecordingJournal::ExportedAs(std::size_t track) const {
    std::lock_guard<std::mutex> hold(m_lock);
    return track < m_data.exported.size() ? m_data.exported[track] : fs::path();
}

HRESULT CRecordingJournal::NoteExportFolder(const fs::path& exportFolder) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_data.exportFolder = exportFolder;
    return SaveLocked();
}

HRESULT CRecordingJournal::NoteAlbumFolder(const fs::path& albumFolder) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_data.albumFolder = albumFolder;
    return SaveLocked();
}

HRESULT CRecordingJournal::NoteMoving(std::size_t track, const fs::path& target) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_data.pendingTrack = static_cast<int>(track);
    m_data.pendingTarget = target;
    return SaveLocked();
}

HRESULT CRecordingJournal::NoteExported(std::size_t track, const fs::path& target) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_data.exported.size() <= track)
        m_data.exported.resize(track + 1);
    m_data.exported[track] = target;
    m_data.pendingTrack = -1;
    m_data.pendingTarget.clear();
    return SaveLocked();
}

HRESULT CRecordingJournal::ClearPendingMove() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_data.pendingTrack < 0)
        return S_OK;
    m_data.pendingTrack = -1;
    m_data.pendingTarget.clear();
    return SaveLocked();
}

}  // namespace sondrel
