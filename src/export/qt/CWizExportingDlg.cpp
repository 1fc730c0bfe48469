#include "export/qt/CWizExportingDlg.h"

#include "export/qt/TagFields.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

CWizExportingDlg::CWizExportingDlg(QWidget* parent) : CWizardDlg(parent, kNoButtons) {
    SetBackgroundId(kPicturePagePlain);
    AddPageText(kTagTitleRect, kTextExport);
    AddPageText(QRect(48, 110, 600, 60), kTextPleaseWaitExporting);
    m_bar = new QProgressBar(this);
    m_bar->setGeometry(Scaled(QRect(60, 230, 580, 26)));
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(UiText(kIdsExportProgress));
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
}

void CWizExportingDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    m_bar->setRange(0, 256);
    m_bar->setValue(0);
    m_timer.start();
}

void CWizExportingDlg::OnDestroy() {
    m_timer.stop();
}

void CWizExportingDlg::OnTimer() {
    if (!m_state || !m_state->progress)
        return;
    float fraction = 0.0f;
    if (Succeeded(m_state->progress->GetProgress(fraction)))
        m_bar->setValue(ExportingPageState::BarPosition(fraction));
    if (m_state->progress->GetResult() != S_FALSE)
        EndPage(PageResult::Next);
}

}  // namespace sondrel
