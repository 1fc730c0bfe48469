// What the wizard flow needs from the program's surface: showing each page modally with its
// state, the please-wait window and message boxes. The Qt pages, the headless command-line
// host and the scripted test host implement it.
#pragma once

#include <string>

#include "app/WizardPageState.h"
#include "base/PageResult.h"
#include "export/TrackPageState.h"
#include "recording/IRecorder.h"

namespace sondrel {

enum class MessageButtons { Ok, YesNo };
// Information: the run goes on as usual after it (headless runs do not count it a failure).
enum class MessageIcon { Exclamation, Question, Information };

class IWizardHost {
public:
    virtual ~IWizardHost() = default;

    // The main window that owns the pages and the monitor output; null when there is none.
    virtual WindowHandle MainWindow() = 0;

    // Each returns how the page ended; the flow reads anything but Back and Close as next.
    virtual PageResult ShowConnect() = 0;
    virtual PageResult ShowSelectDevice(SelectDevicePageState& page) = 0;
    virtual PageResult ShowTapeSelect(TapeSelectPageState& page) = 0;
    virtual PageResult ShowStartRecord(StartRecordPageState& page) = 0;
    virtual PageResult ShowRecording(RecordingPageState& page) = 0;
    virtual PageResult ShowTagSingle(TagSinglePageState& page) = 0;
    // pageIndex 0 is tracks 1-10, 1..3 the pages for 11-20, 21-30, 31-40.
    virtual PageResult ShowTagMultiple(int pageIndex, TagMultiplePageState& page) = 0;
    // The track page, asked for from a tag page; "back" and "done" both return to it. Hosts that
    // never offer it (the headless run) keep this.
    virtual PageResult ShowTracks(TrackPageState& /*page*/) { return PageResult::Back; }
    virtual PageResult ShowExporting(ExportingPageState& page) = 0;
    virtual PageResult ShowFinished(FinishedPageState& page) = 0;

    virtual void ShowPleaseWait() = 0;
    virtual void HidePleaseWait() = 0;

    virtual MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                                     MessageIcon icon) = 0;
};

}  // namespace sondrel
