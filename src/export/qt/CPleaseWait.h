// The small window that says "Please wait..." while the recording is cut into tracks.
#pragma once

#include <QWidget>

namespace sondrel {

class CPleaseWait : public QWidget {
    Q_OBJECT
public:
    explicit CPleaseWait(QWidget* parent = nullptr);
    // Shows the window and paints it at once (the work it covers blocks the event loop).
    void ShowNow(QRect over);
};

}  // namespace sondrel
