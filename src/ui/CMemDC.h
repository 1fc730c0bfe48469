// An off-screen surface for one paint: everything is drawn into it and copied to the target in
// one block when it goes away, so a control never shows a half-drawn state.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

namespace sondrel {

class CMemDC {
public:
    static constexpr qint64 kNoFill = -1;

    // rect is in the target's coordinates; an empty rect takes the target's clip box (or its
    // whole device). fillColour is an RGB value, or kNoFill to start from undefined content.
    CMemDC(QPainter& target, QRect rect, qint64 fillColour);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    bool IsValid() const { return m_valid; }
    // Drawing coordinates are relative to the rectangle's top-left corner.
    QPainter& Painter() { return m_painter; }
    const QRect& Rect() const { return m_rect; }

private:
    QPainter& m_target;
    bool m_valid = false;
    QRect m_rect;
    QImage m_bitmap;
    QPainter m_painter;
};

}  // namespace sondrel
