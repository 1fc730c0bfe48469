#include "app/qt/CWizTapeSelectDlg.h"

#include "app/qt/PageLayout.h"
#include "ui/CKxButton.h"

namespace sondrel {

CWizTapeSelectDlg::CWizTapeSelectDlg(QWidget* parent)
    : CWizardDlg(parent, kNextButton | kBackButton) {
    SetBackgroundId(205);
    AddPageText(kTitleRect, 219);
    AddPageText(QRect(48, 104, 610, 96), 244);
    m_normal = new CKxButton(this);
    m_normal->setText(QStringLiteral("normal"));
    m_normal->setGeometry(Scaled(QRect(248, 238, 132, 53)));
    m_chrome = new CKxButton(this);
    m_chrome->setText(QStringLiteral("chrome"));
    m_chrome->setGeometry(Scaled(QRect(420, 238, 132, 53)));
    connect(m_normal, &QAbstractButton::clicked, this, [this] { Choose(false); });
    connect(m_chrome, &QAbstractButton::clicked, this, [this] { Choose(true); });
    SetTabOrder({m_normal, m_chrome});
}

void CWizTapeSelectDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    for (CKxButton* button : {m_normal, m_chrome}) {
        button->SetLabelFont();
        button->LoadImages(213, 212, 0, 0);
        button->SetTextColor(QColor(255, 0, 0));
        button->SetToggleMode(true);
    }
    Choose(false);
    m_normal->setFocus();
}

void CWizTapeSelectDlg::Choose(bool chrome) {
    if (m_state)
        m_state->chrome = chrome;
    m_chrome->SetToggled(chrome);
    m_normal->SetToggled(!chrome);
}

}  // namespace sondrel
