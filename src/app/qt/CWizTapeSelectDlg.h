// The tape-type page: "normal" or "chrome", an either/or pair of skinned buttons that starts
// at "normal" on every showing.
#pragma once

#include "app/WizardPageState.h"
#include "ui/CKxButton.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizTapeSelectDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizTapeSelectDlg(QWidget* parent = nullptr);
    void SetState(TapeSelectPageState* state) { m_state = state; }

    CKxButton* Normal() const { return m_normal; }
    CKxButton* Chrome() const { return m_chrome; }

protected:
    void OnInitDialog() override;

private:
    void Choose(bool chrome);

    TapeSelectPageState* m_state = nullptr;
    CKxButton* m_normal;
    CKxButton* m_chrome;
};

}  // namespace sondrel
