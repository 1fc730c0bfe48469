#include "ui/FocusFrame.h"

#include <QPainter>

namespace sondrel {

void DrawFocusFrame(QPainter& painter, const QRectF& rect, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.0, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    // Through the middle of the pixels just inside the rectangle, so that the dots are sharp.
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.restore();
}

}  // namespace sondrel
