#include "ui/CBitmapDraw.h"

#include <QPaintDevice>

namespace sondrel {

namespace {

// Source rectangles are in logical pixels; the picture may hold more device pixels.
QRectF SourceRect(const QImage& image, int x, int y, int width, int height) {
    const qreal ratio = image.devicePixelRatio();
    return QRectF(x * ratio, y * ratio, width * ratio, height * ratio);
}

}  // namespace

void CBitmapDraw::CreateCompatibleBitmap(const QPainter& painter, int width, int height) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    m_image = QImage(qRound(width * ratio), qRound(height * ratio), QImage::Format_RGB32);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::black);
}

void CBitmapDraw::Draw(QPainter& painter, int x, int y, int width, int height, int sourceX,
                       int sourceY) const {
    if (m_image.isNull() || width <= 0 || height <= 0)
        return;
    painter.drawImage(QRectF(x, y, width, height), m_image,
                      SourceRect(m_image, sourceX, sourceY, width, height));
}

void CBitmapDraw::StretchDraw(QPainter& painter, int x, int y, int width, int height, int sourceX,
                              int sourceY, int sourceWidth, int sourceHeight) const {
    if (m_image.isNull() || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0)
        return;
    painter.drawImage(QRectF(x, y, width, height), m_image,
                      SourceRect(m_image, sourceX, sourceY, sourceWidth, sourceHeight));
}

}  // namespace sondrel
