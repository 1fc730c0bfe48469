#include "app/CHeadlessHost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ostream>
#include <thread>

#include "base/StringTable.h"

namespace sondrel {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(2);
constexpr std::uint32_t kFramesPerSecond = 44100;

std::uint64_t FrameAt(double seconds) {
    return static_cast<std::uint64_t>(std::llround(seconds * kFramesPerSecond));
}

}  // namespace

CHeadlessHost::CHeadlessHost(HeadlessAnswers answers, HeadlessDeck deck, std::ostream& out)
    : m_answers(std::move(answers)), m_deck(std::move(deck)), m_out(out) {}

void CHeadlessHost::Fail(const std::string& reason) {
    if (m_failure.empty())
        m_failure = reason;
}

PageResult CHeadlessHost::ShowConnect() {
    // A second showing means the device checks failed; a batch run cannot plug anything in.
    if (++m_connectShown > 1) {
        m_out << "[connect] no usable device; giving up\n";
        Fail("no usable device");
        return PageResult::Close;
    }
    m_out << "[connect] next\n";
    return PageResult::Next;
}

PageResult CHeadlessHost::ShowSelectDevice(SelectDevicePageState& page) {
    m_deviceTypeShown = true;
    page.deviceTypeIndex = m_answers.source == HeadlessSource::Turntable ? 0 : 1;
    m_out << "[device type] " << (page.deviceTypeIndex == 0 ? "TURNTABLE" : "TAPE PLAYER") << "\n";
    return PageResult::Next;
}

PageResult CHeadlessHost::ShowTapeSelect(TapeSelectPageState& page) {
    page.chrome = m_answers.source == HeadlessSource::TapeChrome;
    m_out << "[tape type] " << (page.chrome ? "chrome" : "normal") << "\n";
    return PageResult::Next;
}

PageResult CHeadlessHost::ShowStartRecord(StartRecordPageState& page) {
    // A batch run records once; being asked again means the recording could not start.
    if (++m_startShown > 1) {
        m_out << "[start] the recording could not start; giving up\n";
        Fail("the recording could not start");
        return PageResult::Close;
    }
    if (page.RunMonoCheckOnce()) {
        m_out << "[start] opening the support page: " << kSupportPageUrl << "\n";
        Fail("the capture device records in mono");
        return PageResult::Close;
    }
    // Only a device with both a turntable and a tape player asks; any other takes its own.
    if (m_answers.sourceGiven && m_answers.source != HeadlessSource::Turntable &&
        !m_deviceTypeShown) {
        m_out << "[start] warning: the device has no tape player to choose; --source ignored\n";
    }
    page.split = m_answers.split == HeadlessSplit::Auto;
    if (m_answers.gainDb) {
        const int tenths = static_cast<int>(std::lround(*m_answers.gainDb * 10.0));
        page.Scroll(ScrollCode::ThumbTrack, 60 - tenths);
    } else {
        page.Scroll(ScrollCode::EndScroll);
    }
    m_out << "[start] level " << page.LevelText() << " dB, split "
          << (page.split ? "automatic" : "manual") << "; record\n";
    // A deck that can hold starts now, held at its first frame: a lossless capture ring then
    // waits instead of filling the moments before the recording page with silence, so the
    // recording begins exactly with the side.
    if (m_deck.start && m_deck.holdAt && m_deck.heldAndDrained && m_deck.release) {
        m_deck.holdAt(0);
        m_deck.start();
        m_deckArmed = true;
    }
    return PageResult::Next;
}

struct CHeadlessHost::RecordingRun {
    struct Event {
        double seconds;
        bool stop;
    };

    explicit RecordingRun(RecordingPageState& recordingPage) : page(recordingPage) {}

    RecordingPageState& page;
    double sideSeconds = 0;
    double stopAt = 0;
    // The recording ends at the stop when there is one, else at the end of a known side.
    double recordingEnd = 0;
    std::vector<Event> events;
    bool canHold = false;
    std::size_t next = 0;
    std::uint32_t lastReported = 0;
    std::uint32_t secondsBeforeLastMark = 0;
    std::uint32_t recordedSeconds = 0;

    // Whether the deck is held at event i's frame of the side.
    bool Holds(std::size_t i) const {
        return i < events.size() && canHold && events[i].seconds < sideSeconds;
    }
};

void CHeadlessHost::PlanRecording(RecordingRun& run) {
    run.sideSeconds = m_deck.sideSeconds ? m_deck.sideSeconds() : 0.0;
    run.stopAt = m_answers.stopAfterSeconds;
    run.recordingEnd = run.stopAt > 0 ? run.stopAt : run.sideSeconds;
    // A mark at or past the recording's end is never reached: it is reported and makes no
    // track.
    for (const double at : run.page.split ? std::vector<double>{} : m_answers.markSeconds) {
        if (run.recordingEnd > 0 && at >= run.recordingEnd) {
            m_out << "[recording] no new track at " << at << " s: the recording ends at "
                  << run.recordingEnd << " s\n";
            continue;
        }
        run.events.push_back({at, false});
    }
    if (run.stopAt > 0)
        run.events.push_back({run.stopAt, true});
    // A deck that can hold (the simulated one) stops at an event's frame of the side until
    // it is let go, so the event lands exactly there; past the side's end it cannot. Other
    // decks are followed by the recorded frames, within one capture period.
    run.canHold = m_deck.holdAt && m_deck.heldAndDrained && m_deck.release;
}

void CHeadlessHost::StartDeck(const RecordingRun& run) {
    // Each hold is in place before the deck can get there: the first before the deck starts.
    if (run.Holds(0)) {
        m_deck.holdAt(FrameAt(run.events[0].seconds));
    } else if (m_deckArmed) {
        m_deck.release();
    }
    // The user presses Start on the deck right after "record".
    if (m_deck.start && !m_deckArmed)
        m_deck.start();
    m_out << "[recording] deck started\n";
    m_out.flush();  // scripts wait for this line
}

bool CHeadlessHost::EventReached(const RecordingRun& run, std::size_t i,
                                 std::uint32_t tickSeconds) {
    if (run.Holds(i))
        return m_deck.heldAndDrained();
    const std::uint64_t frames =
        recordedFrames ? recordedFrames() : std::uint64_t{tickSeconds} * kFramesPerSecond;
    return frames >= FrameAt(run.events[i].seconds);
}

void CHeadlessHost::MarkTrack(RecordingRun& run) {
    const RecordingRun::Event event = run.events[run.next];
    run.page.NewTrack();
    run.page.OnTimer();
    m_out << "[recording] new track at " << event.seconds << " s (track " << run.page.markCount + 1
          << ")\n";
    run.secondsBeforeLastMark = static_cast<std::uint32_t>(event.seconds);
    ++run.next;
    if (run.Holds(run.next)) {
        m_deck.holdAt(FrameAt(run.events[run.next].seconds));
    } else if (run.Holds(run.next - 1)) {
        m_deck.release();
    }
}

void CHeadlessHost::ReportProgress(RecordingRun& run, std::uint32_t total) {
    if (total < run.lastReported + 60)
        return;
    run.lastReported = total - total % 60;
    m_out << "[recording] " << RecordingTimeText(total) << " recorded, track "
          << (run.page.split ? std::string("automatic") : std::to_string(run.page.markCount + 1))
          << "\n";
    m_out.flush();
}

bool CHeadlessHost::RecordingOver(RecordingRun& run, bool levelsRead, bool writing,
                                  std::uint32_t total) {
    // Writing ends by itself after the quiet end of a side (automatic splitting), when the
    // file is full, when it cannot be written or when the device is lost: "Recording
    // Finished". That may be before a whole second is recorded (a deck lost at once), when
    // the page itself still shows the time.
    if (levelsRead && !writing) {
        m_out << "[recording] " << LoadString(kIdsRecordingFinished) << " after "
              << RecordingTimeText(total) << "\n";
        return true;
    }
    const bool sideDone = m_deck.sideFinished && m_deck.sideFinished();
    if (!sideDone || run.stopAt > 0)
        return false;
    if (run.page.split && run.sideSeconds > 0 && total > run.sideSeconds + 180) {
        m_out << "[recording] the side did not end by itself; next\n";
        return true;
    }
    if (run.page.split)
        return false;
    for (; run.next < run.events.size(); ++run.next) {
        m_out << "[recording] no new track at " << run.events[run.next].seconds
              << " s: the side ended first\n";
    }
    m_out << "[recording] side finished after " << RecordingTimeText(total) << "; next\n";
    return true;
}

void CHeadlessHost::NoteWhatWasNotRecorded(const RecordingRun& run) {
    if (fileLimitReached && fileLimitReached() && run.recordingEnd > 0) {
        const double recorded = recordedFrames
                                    ? static_cast<double>(recordedFrames()) / kFramesPerSecond
                                    : static_cast<double>(run.recordedSeconds);
        m_notRecordedSeconds = std::max(0.0, run.recordingEnd - recorded);
    }
}

PageResult CHeadlessHost::ShowRecording(RecordingPageState& page) {
    RecordingRun run(page);
    PlanRecording(run);
    StartDeck(run);
    for (;;) {
        if (stopRequested && stopRequested()) {
            m_out << "[recording] stopped by a signal; next\n";
            break;
        }
        const RecordingPageState::Tick tick = page.OnTimer();
        const std::uint32_t total = run.secondsBeforeLastMark + tick.seconds;
        run.recordedSeconds = total;
        if (run.next < run.events.size() && EventReached(run, run.next, total)) {
            if (run.events[run.next].stop) {
                m_out << "[recording] " << run.events[run.next].seconds << " s recorded; next\n";
                break;
            }
            MarkTrack(run);
            continue;
        }
        ReportProgress(run, total);
        if (RecordingOver(run, tick.levelsRead, tick.writing, total))
            break;
        std::this_thread::sleep_for(kPoll);
    }
    NoteWhatWasNotRecorded(run);
    return PageResult::Next;
}

void CHeadlessHost::ShowPleaseWait() {
    m_out << "Please wait...\n";
}

std::string CHeadlessHost::TitleAt(std::size_t index) const {
    return index < m_answers.titles.size() ? m_answers.titles[index] : std::string();
}

// What the command line gives wins; the rest stays as the page shows it (the names typed for
// a recovered recording).
PageResult CHeadlessHost::ShowTagSingle(TagSinglePageState& page) {
    if (!m_answers.artist.empty())
        page.artist = m_answers.artist;
    if (!m_answers.album.empty())
        page.album = m_answers.album;
    if (!TitleAt(0).empty())
        page.title = TitleAt(0);
    m_trackCount = 1;
    m_out << "[tag] 1 track\n";
    return PageResult::Next;
}

PageResult CHeadlessHost::ShowTagMultiple(int pageIndex, TagMultiplePageState& page) {
    if (pageIndex == 0) {
        if (!m_answers.artist.empty())
            page.artist = m_answers.artist;
        if (!m_answers.album.empty())
            page.album = m_answers.album;
        m_trackCount = static_cast<std::size_t>(page.trackCount);
        m_out << "[tag] " << page.trackCount << " tracks\n";
    }
    for (int k = 0; k < 10; ++k) {
        const std::string title = TitleAt(static_cast<std::size_t>(10 * pageIndex + k));
        if (!title.empty())
            page.titles[k] = title;
    }
    return PageResult::Next;
}

PageResult CHeadlessHost::ShowExporting(ExportingPageState& page) {
    int lastPercent = -1;
    while (page.progress) {
        float fraction = 0;
        page.progress->GetProgress(fraction);
        const int percent = ExportingPageState::BarPosition(fraction) * 100 / 256;
        if (percent != lastPercent && percent % 10 == 0) {
            m_out << "[export] " << percent << "%\n";
            lastPercent = percent;
        }
        const HRESULT result = page.progress->GetResult();
        if (result != S_FALSE) {
            m_exportSucceeded = result != E_FAIL;
            if (!m_exportSucceeded)
                Fail("the export failed");
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return PageResult::Next;
}

PageResult CHeadlessHost::ShowFinished(FinishedPageState& page) {
    m_finished = true;
    page.choice = 0;
    // A failed export names its album folder too, with the tracks that did reach it.
    const std::filesystem::path folder = albumFolder ? albumFolder() : std::filesystem::path();
    if (!folder.empty()) {
        m_out << "Album folder: " << folder.string() << "\n";
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        m_exportedCount = files.size();
        for (const auto& f : files) {
            m_out << "  " << f.filename().string() << "  (" << std::filesystem::file_size(f, ec)
                  << " bytes)\n";
        }
    }
    m_out << "[finished] Close Sondrel\n";
    return PageResult::Next;
}

MessageAnswer CHeadlessHost::MessageBox(const std::string& text, MessageButtons buttons,
                                        MessageIcon icon) {
    // Batch answers: OK where that is the only button; No to every question (no retry of a
    // failed export, no visit to the support page).
    const MessageAnswer answer =
        buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    m_out << "[message] " << text << "\n  -> " << (answer == MessageAnswer::Ok ? "OK" : "No")
          << "\n";
    if (buttons == MessageButtons::Ok && icon != MessageIcon::Information)
        Fail(text);
    return answer;
}

}  // namespace sondrel
