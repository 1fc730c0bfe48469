#include "ui/CMemDC.h"

#include <QPaintDevice>

namespace sondrel {

CMemDC::CMemDC(QPainter& target, QRect rect, qint64 fillColour) : m_target(target), m_rect(rect) {
    if (m_rect.isEmpty()) {
        m_rect = target.hasClipping() ? target.clipBoundingRect().toAlignedRect() : QRect();
        if (m_rect.isEmpty() && target.device()) {
            const qreal ratio = target.device()->devicePixelRatioF();
            m_rect = QRect(0, 0, qRound(target.device()->width() / ratio),
                           qRound(target.device()->height() / ratio));
        }
    }
    if (m_rect.isEmpty() || !target.device())
        return;
    const qreal ratio = target.device()->devicePixelRatioF();
    m_bitmap = QImage(m_rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    if (m_bitmap.isNull())
        return;
    m_bitmap.setDevicePixelRatio(ratio);
    if (fillColour != kNoFill)
        m_bitmap.fill(QColor::fromRgb(static_cast<QRgb>(fillColour) | 0xFF000000u));
    m_valid = m_painter.begin(&m_bitmap);
}

CMemDC::~CMemDC() {
    if (!m_valid)
        return;
    m_painter.end();
    const QPainter::CompositionMode mode = m_target.compositionMode();
    m_target.setCompositionMode(QPainter::CompositionMode_Source);
    m_target.drawImage(m_rect.topLeft(), m_bitmap);
    m_target.setCompositionMode(mode);
}

}  // namespace sondrel
