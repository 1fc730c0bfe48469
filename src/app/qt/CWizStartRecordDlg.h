// The start-record page: the record level slider with its readout, the split box and the live
// level meter; "record" starts the recording. The first tick of the run checks once whether the
// capture device records in mono.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>

#include "app/WizardPageState.h"
#include "ui/CLiveMeter.h"
#include "ui/CVuMeters.h"
#include "ui/CWizardDlg.h"
#include "ui/PageServices.h"

namespace sondrel {

class CWizStartRecordDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizStartRecordDlg(const PageServices& services, QWidget* parent = nullptr);
    void SetState(StartRecordPageState* state) { m_state = state; }

    QScrollBar* LevelBar() const { return m_level; }
    QLabel* LevelReadout() const { return m_readout; }
    QCheckBox* SplitBox() const { return m_split; }
    CVuMeters* Meter() const { return m_meter->Meter(); }

    // One 50 ms tick; public for tests that drive the page without waiting.
    void OnTimer();

protected:
    void OnInitDialog() override;
    void DoDataExchange(bool save) override;
    void OnDestroy() override;

private:
    void OnScrollAction(int action);

    const PageServices& m_services;
    StartRecordPageState* m_state = nullptr;
    QScrollBar* m_level;
    QLabel* m_readout;
    QCheckBox* m_split;
    CLiveMeter* m_meter;
};

}  // namespace sondrel
