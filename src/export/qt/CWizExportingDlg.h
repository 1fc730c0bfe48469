// The exporting page: a bar of 256 steps that follows the export, polled every 100 ms; the page
// ends itself when the export is done or has failed.
#pragma once

#include <QProgressBar>
#include <QTimer>

#include "export/ExportPageState.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizExportingDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizExportingDlg(QWidget* parent = nullptr);
    void SetState(ExportingPageState* state) { m_state = state; }
    QProgressBar* Bar() const { return m_bar; }

    void OnTimer();

protected:
    void OnInitDialog() override;
    void OnDestroy() override;

private:
    ExportingPageState* m_state = nullptr;
    QProgressBar* m_bar;
    QTimer m_timer;
};

}  // namespace sondrel
