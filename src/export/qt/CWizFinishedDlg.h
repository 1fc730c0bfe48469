// The last page: record something else, close, or open the save location; its help text links
// to the support page.
#pragma once

#include <QLabel>
#include <QTextBrowser>

#include "export/ExportPageState.h"
#include "ui/CKxButton.h"
#include "ui/CWizardDlg.h"
#include "ui/PageServices.h"

namespace sondrel {

class CWizFinishedDlg : public CWizardDlg {
    Q_OBJECT
public:
    CWizFinishedDlg(const PageServices& services, QWidget* parent = nullptr);
    void SetState(FinishedPageState* state) { m_state = state; }
    // Shown under the choices when something was kept aside (tracks not exported); empty: none.
    void SetNote(const QString& note);

    CKxButton* RecordSomethingElse() const { return m_again; }
    CKxButton* CloseProgram() const { return m_close; }
    CKxButton* OpenSaveLocation() const { return m_open; }
    QTextBrowser* HelpText() const { return m_help; }

protected:
    void OnInitDialog() override;

private:
    void Choose(int choice);

    const PageServices& m_services;
    FinishedPageState* m_state = nullptr;
    CKxButton* m_again;
    CKxButton* m_close;
    CKxButton* m_open;
    QTextBrowser* m_help;
    QLabel* m_note;
};

}  // namespace sondrel
