#include "app/qt/CWizConnectDlg.h"

#include "app/qt/PageLayout.h"

namespace sondrel {

CWizConnectDlg::CWizConnectDlg(QWidget* parent) : CWizardDlg(parent, kNextButton) {
    SetBackgroundId(203);
    AddPageText(kTitleRect, 219);
    AddPageText(QRect(60, 120, 580, 250), 218);
}

}  // namespace sondrel
