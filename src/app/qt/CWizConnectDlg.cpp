#include "app/qt/CWizConnectDlg.h"

#include "app/qt/PageLayout.h"
#include "ui/SkinResourceIds.h"

namespace sondrel {

CWizConnectDlg::CWizConnectDlg(QWidget* parent) : CWizardDlg(parent, kNextButton) {
    SetBackgroundId(kPicturePagePlain);
    AddPageText(kTitleRect, kTextGetConnected);
    AddPageText(QRect(60, 120, 580, 250), kTextWelcome);
}

}  // namespace sondrel
