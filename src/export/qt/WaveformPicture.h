// The drawing the track page's two pictures share: the panel they sit on and the waveform
// columns, each channel in its own lane (left above, right below).
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstddef>

#include "recording/CWaveOverview.h"

namespace sondrel {

inline const QColor kWavePanel(250, 251, 252);
inline const QColor kWavePanelEdge(112, 119, 128);
inline const QColor kWaveInk(44, 62, 86);
inline const QColor kCutInk(214, 38, 43);
inline const QColor kListenInk(40, 140, 52);

// An image for columns x height device pixels at the given pixel ratio, clear.
QImage MakeWaveImage(std::size_t columns, int heightPixels, qreal devicePixelRatio);
// Draws columns [from, to) of overview into image, one device pixel column each.
void DrawWaveColumns(QImage& image, const CWaveOverview& overview, std::size_t from,
                     std::size_t to);
// The panel behind a picture, with its edge.
void DrawWavePanel(QPainter& painter, QRect area);

}  // namespace sondrel
