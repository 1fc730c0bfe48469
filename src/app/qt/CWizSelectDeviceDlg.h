// The device-type page: turntable or tape player, the last choice shown again.
#pragma once

#include <QRadioButton>

#include "app/WizardPageState.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizSelectDeviceDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizSelectDeviceDlg(QWidget* parent = nullptr);
    void SetState(SelectDevicePageState* state) { m_state = state; }

    QRadioButton* Turntable() const { return m_turntable; }
    QRadioButton* TapePlayer() const { return m_tapePlayer; }

protected:
    void DoDataExchange(bool save) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    SelectDevicePageState* m_state = nullptr;
    QRadioButton* m_turntable;
    QRadioButton* m_tapePlayer;
};

}  // namespace sondrel
