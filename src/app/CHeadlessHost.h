// The wizard without a window: every page is answered from command-line options, progress and
// message boxes are printed, and the result (album folder and files) is reported at the end.
// This is the program's batch interface and the engine of `./run --demo`.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/IWizardHost.h"

namespace sondrel {

enum class HeadlessSource { Turntable, TapeNormal, TapeChrome };
enum class HeadlessSplit { Auto, Manual };

struct HeadlessAnswers {
    HeadlessSource source = HeadlessSource::Turntable;
    bool sourceGiven = false;  // --source was on the command line
    HeadlessSplit split = HeadlessSplit::Auto;
    std::optional<double> gainDb;     // -3.0 .. +9.0
    std::vector<double> markSeconds;  // "new track" at these recording times, ascending
    // Press "next" once this much has been recorded (0: when the side has played, or with
    // automatic splitting when writing stops by itself). Real decks need it with manual
    // splitting: their side's end cannot be seen.
    double stopAfterSeconds = 0;
    std::string artist;
    std::string album;
    std::vector<std::string> titles;
};

// How the host reaches the deck that plays the side. Only start and sideFinished are needed;
// with holdAt/heldAndDrained/release (the simulated deck) marks land on the exact frame.
struct HeadlessDeck {
    std::function<void()> start;
    std::function<bool()> sideFinished;
    std::function<double()> sideSeconds;  // length of the side, 0 when unknown
    std::function<void(std::uint64_t sideFrame)> holdAt;
    std::function<bool()> heldAndDrained;
    std::function<void()> release;
};

class CHeadlessHost : public IWizardHost {
public:
    CHeadlessHost(HeadlessAnswers answers, HeadlessDeck deck, std::ostream& out);

    // Where the last export went; set by the program before the finished page.
    std::function<std::filesystem::path()> albumFolder;
    // Frames written to the recording so far; marks and the stop on decks that cannot hold
    // follow it. Without it they follow the page's whole seconds.
    std::function<std::uint64_t()> recordedFrames;
    // True once the run was asked to stop (a signal): the recording page then presses "next".
    std::function<bool()> stopRequested;
    // True once the recording's file is full; it then ends before what was asked.
    std::function<bool()> fileLimitReached;

    // True once an export succeeded and the finished page was reached.
    bool Succeeded() const { return m_exportSucceeded && m_finished; }
    const std::string& FailureReason() const { return m_failure; }
    // Tracks the tag pages were shown for, and files in the album folder at the finished page.
    std::size_t TrackCount() const { return m_trackCount; }
    std::size_t ExportedTrackCount() const { return m_exportedCount; }
    // Seconds that were asked for (up to the stop, else to the side's known end) beyond what
    // a full file took; 0 when the file did not fill or nothing more was asked.
    double SecondsNotRecorded() const { return m_notRecordedSeconds; }

    WindowHandle MainWindow() override { return this; }
    PageResult ShowConnect() override;
    PageResult ShowSelectDevice(SelectDevicePageState& page) override;
    PageResult ShowTapeSelect(TapeSelectPageState& page) override;
    PageResult ShowStartRecord(StartRecordPageState& page) override;
    PageResult ShowRecording(RecordingPageState& page) override;
    PageResult ShowTagSingle(TagSinglePageState& page) override;
    PageResult ShowTagMultiple(int pageIndex, TagMultiplePageState& page) override;
    PageResult ShowExporting(ExportingPageState& page) override;
    PageResult ShowFinished(FinishedPageState& page) override;
    void ShowPleaseWait() override;
    void HidePleaseWait() override {}
    MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                             MessageIcon icon) override;

private:
    // One recording page's run: the marks and stop to reach, and how far it got.
    struct RecordingRun;

    void PlanRecording(RecordingRun& run);
    void StartDeck(const RecordingRun& run);
    bool EventReached(const RecordingRun& run, std::size_t i, std::uint32_t tickSeconds);
    void MarkTrack(RecordingRun& run);
    void ReportProgress(RecordingRun& run, std::uint32_t total);
    bool RecordingOver(RecordingRun& run, bool levelsRead, bool writing, std::uint32_t total);
    void NoteWhatWasNotRecorded(const RecordingRun& run);

    void Fail(const std::string& reason);
    std::string TitleAt(std::size_t index) const;

    HeadlessAnswers m_answers;
    HeadlessDeck m_deck;
    std::ostream& m_out;
    int m_connectShown = 0;
    int m_startShown = 0;
    bool m_deviceTypeShown = false;
    bool m_deckArmed = false;  // started at "record", held at the side's first frame
    std::size_t m_trackCount = 0;
    std::size_t m_exportedCount = 0;
    bool m_exportSucceeded = false;
    bool m_finished = false;
    double m_notRecordedSeconds = 0;
    std::string m_failure;
};

}  // namespace sondrel
