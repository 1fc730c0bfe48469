#include "ui/CCloseButton.h"

#include <QGuiApplication>
#include <QPainter>

#include "ui/FocusFrame.h"
#include "ui/SkinPicture.h"
#include "ui/UiText.h"

namespace sondrel {

CCloseButton::CCloseButton(QWidget* parent) : QAbstractButton(parent) {
    setText(UiText(kIdsCloseMark));
    setAccessibleName(UiText(kIdsCloseMark));
    setAccessibleDescription(UiText(kIdsClose));
    setToolTip(UiText(kIdsClose));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

bool CCloseButton::LoadBitmaps(int normalId, int pressedId) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const bool normal = LoadBitmapResource(m_normal, normalId, ratio);
    const bool pressed = LoadBitmapResource(m_pressed, pressedId, ratio);
    update();
    return normal && pressed;
}

void CCloseButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage& image = isDown() && !m_pressed.isNull() ? m_pressed : m_normal;
    if (!image.isNull()) {
        painter.drawImage(QPoint(0, 0), image);
    } else {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
    if (hasFocus())
        DrawFocusFrame(painter, QRectF(rect()).adjusted(2, 2, -2, -2), Qt::white);
}

}  // namespace sondrel
