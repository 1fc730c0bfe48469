#include "app/qt/CWizStartRecordDlg.h"

#include <QTextBrowser>

#include "app/qt/PageLayout.h"
#include "ui/CKxButton.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

CWizStartRecordDlg::CWizStartRecordDlg(const PageServices& services, QWidget* parent)
    : CWizardDlg(parent, kNextButton | kBackButton), m_services(services) {
    SetBackgroundId(kPicturePageMeterGain);
    AddPageText(kTitleRect, kTextGetReady);
    AddPageText(QRect(48, 104, 580, 96), kTextPressRecord);
    QTextBrowser* splitLabel = AddPageText(QRect(88, 249, 300, 26), kTextSplitLabel);
    m_split = new QCheckBox(this);
    m_split->setGeometry(Scaled(QRect(60, 250, 24, 24)));
    m_split->setAccessibleName(UiText(kIdsSplitIntoTracks));
    m_level = new QScrollBar(Qt::Vertical, this);
    m_level->setGeometry(Scaled(QRect(669, 112, 22, 260)));
    m_level->setRange(-30, 90);
    m_level->setPageStep(10);
    m_level->setFocusPolicy(Qt::StrongFocus);
    m_level->setAccessibleName(UiText(kIdsRecordLevel));
    connect(m_level, &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(action); });
    m_readout = new QLabel(this);
    m_readout->setGeometry(Scaled(QRect(656, 373, 48, 18)));
    m_readout->setAlignment(Qt::AlignCenter);
    m_meter = new CLiveMeter(*this, [this] { OnTimer(); });
    SetTabOrder({m_split, m_level});
    SetFocusLabel(m_split, splitLabel);
    if (NextButton())
        NextButton()->setText(UiText(kIdsRecord));
}

void CWizStartRecordDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    NextButton()->LoadImages(kPictureRecord, kPictureRecordPressed, 0, 0);
    NextButton()->SetTextColor(QColor(127, 0, 0));
    NextButton()->setFocus();
    m_meter->Start();
}

void CWizStartRecordDlg::OnDestroy() {
    m_meter->Stop();
}

void CWizStartRecordDlg::DoDataExchange(bool save) {
    if (!m_state)
        return;
    if (save) {
        m_state->split = m_split->isChecked();
        return;
    }
    m_split->setChecked(m_state->split);
    m_level->setSliderPosition(m_state->ScrollPosition());
    m_readout->setText(QString::fromStdString(m_state->LevelText()));
}

void CWizStartRecordDlg::OnScrollAction(int action) {
    if (!m_state)
        return;
    DoDataExchange(true);
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            m_state->Scroll(ScrollCode::LineUp);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            m_state->Scroll(ScrollCode::LineDown);
            break;
        case QAbstractSlider::SliderPageStepSub:
            m_state->Scroll(ScrollCode::PageUp);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            m_state->Scroll(ScrollCode::PageDown);
            break;
        case QAbstractSlider::SliderToMinimum:
            m_state->Scroll(ScrollCode::Top);
            break;
        case QAbstractSlider::SliderToMaximum:
            m_state->Scroll(ScrollCode::Bottom);
            break;
        case QAbstractSlider::SliderMove:
            m_state->Scroll(ScrollCode::ThumbTrack, m_level->sliderPosition());
            break;
        default:
            m_state->Scroll(ScrollCode::EndScroll);
            break;
    }
    DoDataExchange(false);
}

void CWizStartRecordDlg::OnTimer() {
    if (!m_state)
        return;
    if (m_state->RunMonoCheckOnce()) {
        if (m_services.openUrl)
            m_services.openUrl(kSupportPageUrl);
        EndPage(PageResult::Close);
        return;
    }
    if (!m_state->recorder)
        return;
    float levels[4];
    bool active = true;
    if (Succeeded(m_state->recorder->GetLevels(levels[0], levels[1], levels[2], levels[3], active)))
        m_meter->Meter()->SetLevels(levels[0], levels[1], levels[2], levels[3]);
}

}  // namespace sondrel
