#include "export/qt/WaveformPicture.h"

#include <algorithm>

namespace sondrel {

namespace {

// One lane's span for a column: the rows from the greatest to the least sample, at least
// one pixel so that silence shows as a line.
void FillLane(QImage& image, int x, int laneTop, int laneHeight, int low, int high, QRgb ink) {
    const int middle = laneTop + laneHeight / 2;
    const double scale = (laneHeight / 2 - 1) / 32768.0;
    const int top =
        std::clamp(middle - static_cast<int>(high * scale), laneTop, laneTop + laneHeight - 1);
    const int bottom =
        std::clamp(middle - static_cast<int>(low * scale), top, laneTop + laneHeight - 1);
    for (int y = top; y <= bottom; ++y)
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = ink;
}

}  // namespace

QImage MakeWaveImage(std::size_t columns, int heightPixels, qreal devicePixelRatio) {
    QImage image(static_cast<int>(std::max<std::size_t>(columns, 1)), std::max(heightPixels, 2),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void DrawWaveColumns(QImage& image, const CWaveOverview& overview, std::size_t from,
                     std::size_t to) {
    const OverviewColumn* columns = overview.Columns();
    const int lane = image.height() / 2;
    const QRgb ink = kWaveInk.rgba();
    to = std::min({to, overview.ColumnCount(), static_cast<std::size_t>(image.width())});
    for (std::size_t i = from; i < to; ++i) {
        const int x = static_cast<int>(i);
        FillLane(image, x, 0, lane, columns[i].minLeft, columns[i].maxLeft, ink);
        FillLane(image, x, lane, lane, columns[i].minRight, columns[i].maxRight, ink);
    }
}

void DrawWavePanel(QPainter& painter, QRect area) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kWavePanelEdge, 1));
    painter.setBrush(kWavePanel);
    painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.restore();
}

}  // namespace sondrel
