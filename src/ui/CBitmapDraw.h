// A picture from which parts are copied, as they are or stretched, onto a painter.
#pragma once

#include <QImage>
#include <QPainter>

namespace sondrel {

class CBitmapDraw {
public:
    // An opaque picture of width x height logical pixels for the painter's device.
    void CreateCompatibleBitmap(const QPainter& painter, int width, int height);
    void Attach(QImage image) { m_image = std::move(image); }
    bool IsEmpty() const { return m_image.isNull(); }
    QImage& Image() { return m_image; }

    // Copies the width x height area at (sourceX, sourceY) to (x, y).
    void Draw(QPainter& painter, int x, int y, int width, int height, int sourceX,
              int sourceY) const;
    void StretchDraw(QPainter& painter, int x, int y, int width, int height, int sourceX,
                     int sourceY, int sourceWidth, int sourceHeight) const;

private:
    QImage m_image;
};

}  // namespace sondrel
