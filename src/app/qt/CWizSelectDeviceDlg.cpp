#include "app/qt/CWizSelectDeviceDlg.h"

#include <QButtonGroup>
#include <QMouseEvent>
#include <QTextBrowser>

#include "app/qt/PageLayout.h"
#include "ui/CKxButton.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {
constexpr QRect kTurntableLabel{118, 214, 240, 30};
constexpr QRect kTapeLabel{118, 268, 240, 30};
}  // namespace

CWizSelectDeviceDlg::CWizSelectDeviceDlg(QWidget* parent) : CWizardDlg(parent, kNextButton) {
    SetBackgroundId(kPicturePagePlain);
    AddPageText(kTitleRect, kTextGetConnected);
    AddPageText(QRect(48, 110, 600, 60), kTextSelectDeviceType);
    QTextBrowser* turntableLabel = AddPageText(kTurntableLabel, kTextTurntable);
    QTextBrowser* tapeLabel = AddPageText(kTapeLabel, kTextTapePlayer);
    m_turntable = new QRadioButton(this);
    m_turntable->setGeometry(Scaled(QRect(90, 216, 24, 24)));
    m_turntable->setAccessibleName(UiText(kIdsTurntable));
    m_tapePlayer = new QRadioButton(this);
    m_tapePlayer->setGeometry(Scaled(QRect(90, 270, 24, 24)));
    m_tapePlayer->setAccessibleName(UiText(kIdsTapePlayer));
    auto* group = new QButtonGroup(this);
    group->addButton(m_turntable, 0);
    group->addButton(m_tapePlayer, 1);
    SetTabOrder({m_turntable, m_tapePlayer});
    SetFocusLabel(m_turntable, turntableLabel);
    SetFocusLabel(m_tapePlayer, tapeLabel);
}

void CWizSelectDeviceDlg::DoDataExchange(bool save) {
    if (!m_state)
        return;
    if (save) {
        m_state->deviceTypeIndex = m_tapePlayer->isChecked() ? 1 : 0;
    } else {
        (m_state->deviceTypeIndex == 1 ? m_tapePlayer : m_turntable)->setChecked(true);
        (m_state->deviceTypeIndex == 1 ? m_tapePlayer : m_turntable)->setFocus();
    }
}

void CWizSelectDeviceDlg::mousePressEvent(QMouseEvent* event) {
    // The choice's words beside each button choose it too.
    const QPoint at = event->position().toPoint();
    if (Scaled(kTurntableLabel).contains(at)) {
        m_turntable->setChecked(true);
        return;
    }
    if (Scaled(kTapeLabel).contains(at)) {
        m_tapePlayer->setChecked(true);
        return;
    }
    CWizardDlg::mousePressEvent(event);
}

}  // namespace sondrel
