// The page's close button: a normal and a pressed bitmap copied 1:1 to its top-left corner and
// cut off at its edges.
#pragma once

#include <QAbstractButton>
#include <QImage>

namespace sondrel {

class CCloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CCloseButton(QWidget* parent = nullptr);

    bool LoadBitmaps(int normalId, int pressedId);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_normal;
    QImage m_pressed;
};

}  // namespace sondrel
