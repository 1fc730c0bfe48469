#include "app/qt/CWizTapeSelectDlg.h"

#include "app/qt/PageLayout.h"
#include "ui/CKxButton.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

CWizTapeSelectDlg::CWizTapeSelectDlg(QWidget* parent)
    : CWizardDlg(parent, kNextButton | kBackButton) {
    SetBackgroundId(kPicturePageBand);
    AddPageText(kTitleRect, kTextGetConnected);
    AddPageText(QRect(48, 104, 610, 96), kTextSelectTapeType);
    m_normal = new CKxButton(this);
    m_normal->setText(UiText(kIdsNormalTape));
    m_normal->setGeometry(Scaled(QRect(248, 238, 132, 53)));
    m_chrome = new CKxButton(this);
    m_chrome->setText(UiText(kIdsChromeTape));
    m_chrome->setGeometry(Scaled(QRect(420, 238, 132, 53)));
    connect(m_normal, &QAbstractButton::clicked, this, [this] { Choose(false); });
    connect(m_chrome, &QAbstractButton::clicked, this, [this] { Choose(true); });
    SetTabOrder({m_normal, m_chrome});
}

void CWizTapeSelectDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    for (CKxButton* button : {m_normal, m_chrome}) {
        button->SetLabelFont();
        button->LoadImages(kPictureTapeType, kPictureTapeTypeChosen, 0, 0);
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
