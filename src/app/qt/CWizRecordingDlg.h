// The recording page: running time (or "Recording Finished"), the track number or "Automatic",
// "new track" for up to 40 tracks and the live level meter. Closing asks first.
#pragma once

#include "app/WizardPageState.h"
#include "ui/CKxButton.h"
#include "ui/CKxStatic.h"
#include "ui/CLiveMeter.h"
#include "ui/CVuMeters.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizRecordingDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizRecordingDlg(QWidget* parent = nullptr);
    void SetState(RecordingPageState* state) { m_state = state; }
    // Asks whether to abort; returns Yes or No. Tests replace it.
    std::function<MessageAnswer()> askAbort;

    CKxStatic* TimeText() const { return m_time; }
    CKxStatic* TrackText() const { return m_track; }
    CKxButton* NewTrackButton() const { return m_newTrack; }
    CVuMeters* Meter() const { return m_meter->Meter(); }

    void OnTimer();

protected:
    void OnInitDialog() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    RecordingPageState* m_state = nullptr;
    CKxStatic* m_time;
    CKxStatic* m_track;
    CKxButton* m_newTrack;
    CLiveMeter* m_meter;
};

}  // namespace sondrel
