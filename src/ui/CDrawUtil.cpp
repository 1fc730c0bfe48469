#include "ui/CDrawUtil.h"

#include <QFontMetrics>

namespace sondrel {

CDrawUtil::CDrawUtil(QPainter* painter) : m_painter(painter) {}

CDrawUtil::~CDrawUtil() {
    if (!m_painter)
        return;
    if (m_bkModeSaved)
        m_painter->setBackgroundMode(m_savedBkMode);
    if (m_penSet)
        m_painter->setPen(m_displacedPen);
    if (m_fontSet)
        m_painter->setFont(m_displacedFont);
}

void CDrawUtil::SetFont(const QString& face, int tenthsOfPoint, QColor textColour) {
    if (!m_painter)
        return;
    if (m_fontSet && face == m_fontFace && tenthsOfPoint == m_fontTenths &&
        textColour == m_textColour) {
        return;
    }
    if (!m_fontSet) {
        m_displacedFont = m_painter->font();
        m_fontSet = true;
    }
    if (face != m_fontFace || tenthsOfPoint != m_fontTenths || m_fontsCreated == 0) {
        m_font = QFont(face);
        m_font.setPointSizeF(tenthsOfPoint / 10.0);
        m_painter->setFont(m_font);
        ++m_fontsCreated;
    }
    m_fontFace = face;
    m_fontTenths = tenthsOfPoint;
    m_textColour = textColour;
}

void CDrawUtil::SetPen(QColor colour) {
    if (!m_painter || (m_penSet && colour == m_penColour))
        return;
    if (!m_penSet) {
        m_displacedPen = m_painter->pen();
        m_penSet = true;
    }
    m_penColour = colour;
    m_painter->setPen(QPen(colour, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void CDrawUtil::SetBkMode(TextBackground mode) {
    if (!m_painter)
        return;
    if (!m_bkModeSaved) {
        m_savedBkMode = m_painter->backgroundMode();
        m_bkModeSaved = true;
    }
    m_painter->setBackgroundMode(mode == TextBackground::Opaque ? Qt::OpaqueMode
                                                                : Qt::TransparentMode);
}

void CDrawUtil::TextOut(int x, int y, const QString& text) {
    if (!m_painter)
        return;
    // QPainter draws text with the pen; the line pen is put back afterwards.
    const QPen pen = m_painter->pen();
    m_painter->setPen(m_textColour);
    m_painter->drawText(x, y + QFontMetrics(m_painter->font()).ascent(), text);
    m_painter->setPen(pen);
}

bool CDrawUtil::GetTextExtent(const QString& text, int& width, int& height) const {
    if (!m_painter) {
        width = 0;
        height = 0;
        return false;
    }
    const QFontMetrics metrics(m_painter->font());
    width = metrics.horizontalAdvance(text);
    height = metrics.height();
    return true;
}

void CDrawUtil::MoveTo(int x, int y) {
    m_x = x;
    m_y = y;
}

void CDrawUtil::LineTo(int x, int y) {
    if (!m_painter)
        return;
    // Straight lines cover the pixels from the start up to, not including, the end, whichever
    // way they run (the painter's own lines are not exact about which end they leave out).
    const QColor colour = m_penColour.isValid() ? m_penColour : m_painter->pen().color();
    if (y == m_y && x != m_x) {
        m_painter->fillRect(x > m_x ? QRect(m_x, y, x - m_x, 1) : QRect(x + 1, y, m_x - x, 1),
                            colour);
    } else if (x == m_x && y != m_y) {
        m_painter->fillRect(y > m_y ? QRect(x, m_y, 1, y - m_y) : QRect(x, y + 1, 1, m_y - y),
                            colour);
    } else if (x != m_x || y != m_y) {
        m_painter->drawLine(m_x, m_y, x, y);
    }
    m_x = x;
    m_y = y;
}

}  // namespace sondrel
