// The live level meter of the two recording pages: the meter on the page's meter panel, drawn
// over the panel's background, and a 50 ms poll that runs while the page shows.
#pragma once

#include <QTimer>
#include <functional>

#include "ui/CVuMeters.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

// Owned by its page (a QObject child), so it lives exactly as long as the page's widgets.
class CLiveMeter : public QObject {
public:
    // onTick runs every 50 ms between Start and Stop, on the GUI thread.
    CLiveMeter(CWizardDlg& page, std::function<void()> onTick);

    // From the page's set-up, once its scale and background are known.
    void Start();
    // From the page's end: nothing polls a recorder after its page has closed.
    void Stop() { m_timer.stop(); }

    CVuMeters* Meter() const { return m_meter; }

private:
    CWizardDlg& m_page;
    CVuMeters* m_meter;
    QTimer m_timer;
};

}  // namespace sondrel
