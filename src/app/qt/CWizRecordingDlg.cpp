#include "app/qt/CWizRecordingDlg.h"

#include "app/IWizardHost.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/PageLayout.h"
#include "base/StringTable.h"
#include "ui/CKxButton.h"

namespace sondrel {

CWizRecordingDlg::CWizRecordingDlg(QWidget* parent)
    : CWizardDlg(parent, kNextButton | kBackButton) {
    SetBackgroundId(206);
    AddPageText(kTitleRect, 224);
    AddPageText(QRect(48, 104, 600, 60), 225);
    AddPageText(QRect(48, 214, 220, 32), 226);
    AddPageText(QRect(48, 266, 220, 32), 227);
    m_time = new CKxStatic(this);
    m_time->setGeometry(Scaled(QRect(268, 212, 190, 34)));
    m_time->setAccessibleName(QStringLiteral("recording time"));
    m_track = new CKxStatic(this);
    m_track->setGeometry(Scaled(QRect(268, 264, 190, 34)));
    m_track->setAccessibleName(QStringLiteral("recording track"));
    m_newTrack = new CKxButton(this);
    m_newTrack->setText(QStringLiteral("new track"));
    m_newTrack->setGeometry(Scaled(QRect(488, 234, 152, 61)));
    connect(m_newTrack, &QAbstractButton::clicked, this, [this] {
        if (m_state)
            m_state->NewTrack();
    });
    m_meter = new CVuMeters(this);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
    SetTabOrder({m_newTrack});
    askAbort = [this] {
        return AskMessage(this, LoadString(kIdsMsgAbortRecording), MessageButtons::YesNo,
                          MessageIcon::Question, LoadString(kIdsAppName));
    };
}

void CWizRecordingDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    m_meter->setGeometry(Scaled(CVuMeters::kDesignRect));
    m_meter->SetClipIndicator(true);
    m_meter->SetScale(ScaleX(), ScaleY());
    m_meter->SetBackgroundPicture(Background());
    m_time->ApplyLabelFont(false);
    m_track->ApplyLabelFont(false);
    m_time->setText(QString());
    m_track->setText(m_state ? QString::fromStdString(m_state->InitialTrackText()) : QString());
    m_newTrack->SetLabelFont();
    m_newTrack->LoadImages(209, 208, 0, 0);
    m_newTrack->SetTextColor(QColor(223, 0, 0));
    const bool split = m_state && m_state->split;
    m_newTrack->setVisible(!split);
    (split ? NextButton() : static_cast<QWidget*>(m_newTrack))->setFocus();
    m_timer.start();
}

void CWizRecordingDlg::OnDestroy() {
    m_timer.stop();
}

void CWizRecordingDlg::OnTimer() {
    if (!m_state || !m_state->recorder)
        return;
    const RecordingPageState::Tick tick = m_state->OnTimer();
    if (!tick.levelsRead)
        return;
    m_meter->SetLevels(tick.levels[0], tick.levels[1], tick.levels[2], tick.levels[3]);
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
