// The small window that says "Please wait..." while the recording is cut into tracks.
#pragma once

#include <QWidget>

namespace sondrel {

class CPleaseWait : public QWidget {
    Q_OBJECT
public:
    explicit CPleaseWait(QWidget* parent = nullptr);
    // Shows the window and returns once it is on the screen and painted (the work it covers
    // blocks the event loop), or after a second if the screen never shows it.
    void ShowNow(QRect over);

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_painted = false;
};

}  // namespace sondrel
