#include "export/qt/CCutCloseUp.h"

#include <QPainter>
#include <algorithm>

#include "base/StringTable.h"
#include "export/qt/WaveformPicture.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

constexpr int kInset = 1;

}  // namespace

CCutCloseUp::CCutCloseUp(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(UiText(kIdsCutCloseUp));
}

double CCutCloseUp::FrameX(std::int64_t frame) const {
    const double span = 2.0 * kHalfSpanFrames;
    const auto first = static_cast<double>(m_centre - static_cast<std::int64_t>(kHalfSpanFrames));
    return kInset + (static_cast<double>(frame) - first) * (width() - 2 * kInset) / span;
}

void CCutCloseUp::ShowAround(std::int64_t frame) {
    if (frame == m_centre)
        return;
    m_centre = frame;
    m_drawnColumns = 0;
    m_picture = QImage();
    if (frame < 0 || !m_state) {
        m_overview.Stop();
        update();
        return;
    }
    // Before the recording starts there is nothing to read: the picture begins further right.
    const std::int64_t first = std::max<std::int64_t>(0, frame - std::int64_t{kHalfSpanFrames});
    const std::uint64_t end =
        std::min(m_state->recordingFrames, static_cast<std::uint64_t>(frame) + kHalfSpanFrames);
    const qreal ratio = devicePixelRatioF();
    const double left = FrameX(first);
    const double right = FrameX(static_cast<std::int64_t>(end));
    const auto columns = static_cast<std::size_t>(std::max(1.0, (right - left) * ratio));
    m_picture = MakeWaveImage(columns, qRound((height() - 2 * kInset) * ratio), ratio);
    m_overview.Start(m_state->recording, static_cast<std::uint64_t>(first), end, columns);
    update();
}

void CCutCloseUp::Stop() {
    m_overview.Stop();
    m_centre = -1;
}

void CCutCloseUp::Poll() {
    const std::size_t ready = m_overview.Ready();
    bool repaint = false;
    if (m_centre >= 0 && ready > m_drawnColumns && !m_picture.isNull()) {
        DrawWaveColumns(m_picture, m_overview, m_drawnColumns, ready);
        m_drawnColumns = ready;
        repaint = true;
    }
    int listenX = -1;
    if (m_state && m_state->Listening() && m_centre >= 0) {
        const double x = FrameX(static_cast<std::int64_t>(m_state->ListeningFrame()));
        if (x >= 0 && x < width())
            listenX = static_cast<int>(x);
    }
    if (listenX != m_listenX) {
        m_listenX = listenX;
        repaint = true;
    }
    if (repaint)
        update();
}

void CCutCloseUp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawWavePanel(painter, rect());
    if (m_centre < 0 || !m_state)
        return;
    const std::int64_t first = std::max<std::int64_t>(0, m_centre - std::int64_t{kHalfSpanFrames});
    if (!m_picture.isNull())
        painter.drawImage(QPointF(FrameX(first), kInset), m_picture);
    // A tick each second; the neighbours' cuts thin, the selected one bold in the middle.
    painter.setPen(QPen(kWavePanelEdge, 1));
    for (std::int64_t s = -5; s <= 5; ++s) {
        const int x = static_cast<int>(FrameX(m_centre + s * 44100));
        painter.drawLine(x, height() - 6, x, height() - 2);
    }
    for (const std::uint64_t cut : m_state->cuts.Cuts()) {
        const double x = FrameX(static_cast<std::int64_t>(cut));
        if (x > 0 && x < width() && static_cast<std::int64_t>(cut) != m_centre) {
            painter.setPen(QPen(kCutInk, 1));
            painter.drawLine(QPointF(x, 1), QPointF(x, height() - 2));
        }
    }
    painter.setPen(QPen(kCutInk, 2));
    const double middle = FrameX(m_centre);
    painter.drawLine(QPointF(middle, 1), QPointF(middle, height() - 2));
    if (m_listenX >= 0) {
        painter.setPen(QPen(kListenInk, 1.5));
        painter.drawLine(m_listenX, 1, m_listenX, height() - 2);
    }
}

}  // namespace sondrel
