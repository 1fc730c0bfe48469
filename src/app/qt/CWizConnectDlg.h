// The welcome page: asks the user to connect the device, then "next" runs the device checks.
#pragma once

#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizConnectDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizConnectDlg(QWidget* parent = nullptr);
};

}  // namespace sondrel
