#include "app/qt/CWizRecordingDlg.h"

#include "app/IWizardHost.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/PageLayout.h"
#include "base/StringTable.h"
#include "ui/CKxButton.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

CWizRecordingDlg::CWizRecordingDlg(QWidget* parent)
    : CWizardDlg(parent, kNextButton | kBackButton) {
    SetBackgroundId(kPicturePageMeter);
    AddPageText(kTitleRect, kTextRecording);
    AddPageText(QRect(48, 104, 600, 60), kTextPressNextWhenDone);
    AddPageText(QRect(48, 214, 220, 32), kTextRecordingTimeLabel);
    AddPageText(QRect(48, 266, 220, 32), kTextRecordingTrackLabel);
    m_time = new CKxStatic(this);
    m_time->setGeometry(Scaled(QRect(268, 212, 190, 34)));
    m_time->setAccessibleName(UiText(kIdsRecordingTime));
    m_track = new CKxStatic(this);
    m_track->setGeometry(Scaled(QRect(268, 264, 190, 34)));
    m_track->setAccessibleName(UiText(kIdsRecordingTrack));
    m_newTrack = new CKxButton(this);
    m_newTrack->setText(UiText(kIdsNewTrack));
    m_newTrack->setGeometry(Scaled(QRect(488, 234, 152, 61)));
    connect(m_newTrack, &QAbstractButton::clicked, this, [this] {
        if (m_state)
            m_state->NewTrack();
    });
    m_meter = new CLiveMeter(*this, [this] { OnTimer(); });
    SetTabOrder({m_newTrack});
    askAbort = [this] {
        return AskMessage(this, LoadString(kIdsMsgAbortRecording), MessageButtons::YesNo,
                          MessageIcon::Question, LoadString(kIdsAppName));
    };
}

void CWizRecordingDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    m_time->ApplyLabelFont(false);
    m_track->ApplyLabelFont(false);
    m_time->setText(QString());
    m_track->setText(m_state ? QString::fromStdString(m_state->InitialTrackText()) : QString());
    m_newTrack->SetLabelFont();
    m_newTrack->LoadImages(kPictureNewTrack, kPictureNewTrackPressed, 0, 0);
    m_newTrack->SetTextColor(QColor(223, 0, 0));
    const bool split = m_state && m_state->split;
    m_newTrack->setVisible(!split);
    (split ? NextButton() : static_cast<QWidget*>(m_newTrack))->setFocus();
    m_meter->Start();
}

void CWizRecordingDlg::OnDestroy() {
    m_meter->Stop();
}

void CWizRecordingDlg::OnTimer() {
    if (!m_state || !m_state->recorder)
        return;
    const RecordingPageState::Tick tick = m_state->OnTimer();
    if (!tick.levelsRead)
        return;
    m_meter->Meter()->SetLevels(tick.levels[0], tick.levels[1], tick.levels[2], tick.levels[3]);
    m_time->setText(QString::fromStdString(tick.timeText));
    if (!tick.trackText.empty())
        m_track->setText(QString::fromStdString(tick.trackText));
}

void CWizRecordingDlg::OnCancel() {
    if (askAbort && askAbort() == MessageAnswer::No)
        return;
    CWizardDlg::OnCancel();
}

}  // namespace sondrel
