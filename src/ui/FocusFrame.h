// The one way every control of a page shows that it has the keyboard: a dotted frame, drawn by
// the skinned buttons around their caption and by the page around the other controls.
#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace sondrel {

// The frame's ink on the light parts of the pages.
inline const QColor kFocusInk(40, 53, 71);

// A dotted frame of one pixel along the inside of `rect`, with rounded corners.
void DrawFocusFrame(QPainter& painter, const QRectF& rect, const QColor& colour);

}  // namespace sondrel
