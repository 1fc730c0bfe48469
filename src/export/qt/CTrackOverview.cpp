#include "export/qt/CTrackOverview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "base/StringTable.h"
#include "export/qt/WaveformPicture.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

constexpr int kLabelStrip = 18;
constexpr int kRulerHeight = 20;
// A press this close to a marker takes the marker.
constexpr int kGrabPixels = 5;
// Ruler steps in seconds; the first that leaves this much room between labels is used.
constexpr int kRulerSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
constexpr int kRulerLabelPixels = 64;

QFont SmallFont(const QFont& base, bool bold) {
    QFont font = base;
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

}  // namespace

CTrackOverview::CTrackOverview(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAccessibleName(UiText(kIdsTracksOverview));
    setAccessibleDescription(UiText(kIdsTracksKeys));
    setToolTip(accessibleDescription());
}

QRect CTrackOverview::WaveRect() const {
    return QRect(1, kLabelStrip, width() - 2, height() - kLabelStrip - kRulerHeight);
}

void CTrackOverview::StartPicture() {
    m_drawnColumns = 0;
    m_picture = QImage();
    if (!m_state || m_state->recordingFrames == 0)
        return;
    const qreal ratio = devicePixelRatioF();
    const QRect wave = WaveRect();
    const auto columns = static_cast<std::size_t>(std::max(1, qRound(wave.width() * ratio)));
    m_picture = MakeWaveImage(columns, qRound(wave.height() * ratio), ratio);
    m_overview.Start(m_state->recording, 0, m_state->recordingFrames, columns);
}

void CTrackOverview::StopPicture() {
    m_overview.Stop();
}

void CTrackOverview::Poll() {
    const std::size_t ready = m_overview.Ready();
    bool repaint = false;
    if (ready > m_drawnColumns && !m_picture.isNull()) {
        DrawWaveColumns(m_picture, m_overview, m_drawnColumns, ready);
        m_drawnColumns = ready;
        repaint = true;
    }
    const int listenX = m_state && m_state->Listening() ? FrameToX(m_state->ListeningFrame()) : -1;
    if (listenX != m_listenX) {
        m_listenX = listenX;
        repaint = true;
    }
    if (repaint)
        update();
}

std::int64_t CTrackOverview::ShownCutFrame() const {
    if (!m_state || m_state->cuts.Selected() < 0)
        return -1;
    if (m_dragCut >= 0)
        return static_cast<std::int64_t>(m_dragFrame);
    return static_cast<std::int64_t>(
        m_state->cuts.Cuts()[static_cast<std::size_t>(m_state->cuts.Selected())]);
}

int CTrackOverview::FrameToX(std::uint64_t frame) const {
    const QRect wave = WaveRect();
    if (!m_state || m_state->recordingFrames == 0)
        return wave.left();
    const std::uint64_t clamped = std::min(frame, m_state->recordingFrames);
    return wave.left() + static_cast<int>(clamped * static_cast<std::uint64_t>(wave.width()) /
                                          m_state->recordingFrames);
}

std::uint64_t CTrackOverview::XToFrame(int x) const {
    const QRect wave = WaveRect();
    if (!m_state || wave.width() <= 0)
        return 0;
    const auto offset = static_cast<std::uint64_t>(std::clamp(x - wave.left(), 0, wave.width()));
    return offset * m_state->recordingFrames / static_cast<std::uint64_t>(wave.width());
}

int CTrackOverview::CutAt(int x) const {
    if (!m_state)
        return -1;
    int best = -1;
    int bestDistance = kGrabPixels + 1;
    const auto& cuts = m_state->cuts.Cuts();
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const int distance = std::abs(FrameToX(cuts[i]) - x);
        if (distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

void CTrackOverview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A new size needs a picture with as many columns as it has pixels. (A hidden widget gets
    // its first resize late, when it is first shown or rendered: that one changes nothing.)
    const auto columns =
        static_cast<std::size_t>(std::max(1, qRound(WaveRect().width() * devicePixelRatioF())));
    if (m_overview.ColumnCount() != 0 && columns != m_overview.ColumnCount())
        StartPicture();
}

void CTrackOverview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawWavePanel(painter, rect());
    const QRect wave = WaveRect();
    PaintTracks(painter, wave);
    if (!m_picture.isNull())
        painter.drawImage(QPointF(wave.topLeft()), m_picture);
    PaintRuler(painter, wave);
    PaintCuts(painter, wave);
    if (m_listenX >= 0) {
        painter.setPen(QPen(kListenInk, 1.5));
        painter.drawLine(m_listenX, wave.top(), m_listenX, wave.bottom());
    }
}

// Every other track lightly shaded, with its number and length above it where they fit.
void CTrackOverview::PaintTracks(QPainter& painter, QRect wave) const {
    if (!m_state)
        return;
    const CTrackCuts& cuts = m_state->cuts;
    painter.setFont(SmallFont(font(), false));
    const QFontMetrics metrics(painter.font());
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < cuts.TrackCount(); ++i) {
        const std::uint64_t end = i < cuts.Cuts().size() ? cuts.Cuts()[i] : cuts.EndFrame();
        const int left = FrameToX(start);
        const int right = FrameToX(end);
        if (i % 2 == 1)
            painter.fillRect(QRect(left, 1, right - left, wave.bottom()), QColor(226, 231, 238));
        const QString number = QString::number(i + 1);
        const QString length =
            QString::fromStdString(TrackPageState::LengthText(cuts.TrackFrames(i)));
        const QString both = number + QStringLiteral("  ") + length;
        const QString label = metrics.horizontalAdvance(both) + 8 <= right - left     ? both
                              : metrics.horizontalAdvance(number) + 6 <= right - left ? number
                                                                                      : QString();
        painter.setPen(kWaveInk);
        painter.drawText(QRect(left + 4, 2, right - left - 4, kLabelStrip - 3),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
        start = end;
    }
    // What lies past the last track (the recorder's quiet tail) is no track.
    if (cuts.EndFrame() < m_state->recordingFrames) {
        const int left = FrameToX(cuts.EndFrame());
        painter.fillRect(QRect(left, 1, wave.right() - left, wave.bottom()),
                         QColor(200, 204, 210, 120));
    }
}

void CTrackOverview::PaintRuler(QPainter& painter, QRect wave) const {
    if (!m_state || m_state->recordingFrames == 0 || wave.width() <= 0)
        return;
    const double seconds = static_cast<double>(m_state->recordingFrames) / 44100.0;
    int step = kRulerSteps[std::size(kRulerSteps) - 1];
    for (const int candidate : kRulerSteps) {
        if (candidate * wave.width() / seconds >= kRulerLabelPixels) {
            step = candidate;
            break;
        }
    }
    painter.setFont(SmallFont(font(), false));
    painter.setPen(kWavePanelEdge);
    painter.drawLine(wave.left(), wave.bottom() + 1, wave.right(), wave.bottom() + 1);
    for (int at = 0; at <= seconds; at += step) {
        const int x = FrameToX(static_cast<std::uint64_t>(at) * 44100);
        painter.drawLine(x, wave.bottom() + 1, x, wave.bottom() + 5);
        const QString label = QString::fromStdString(
            TrackPageState::LengthText(static_cast<std::uint64_t>(at) * 44100));
        painter.drawText(QRect(x + 2, wave.bottom() + 3, kRulerLabelPixels, kRulerHeight - 4),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
    }
}

void CTrackOverview::PaintCuts(QPainter& painter, QRect wave) const {
    if (!m_state)
        return;
    const auto& cuts = m_state->cuts.Cuts();
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const bool selected = static_cast<int>(i) == m_state->cuts.Selected();
        const int x = FrameToX(selected && m_dragCut >= 0 ? m_dragFrame : cuts[i]);
        painter.setPen(QPen(kCutInk, selected ? 2.0 : 1.0));
        painter.drawLine(x, 1, x, wave.bottom());
        if (selected) {
            // A handle at the top says which cut the keys move.
            const QPoint handle[] = {{x - 5, 1}, {x + 5, 1}, {x, 8}};
            painter.setBrush(kCutInk);
            painter.drawPolygon(handle, 3);
            painter.setBrush(Qt::NoBrush);
        }
    }
}

void CTrackOverview::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_state) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const int x = event->position().toPoint().x();
    const int cut = CutAt(x);
    if (cut >= 0) {
        m_state->cuts.Select(cut);
        m_dragCut = cut;
        m_dragFrame = m_state->cuts.Cuts()[static_cast<std::size_t>(cut)];
        emit cutsChanged();
    } else {
        m_state->ListenFrom(XToFrame(x));
        emit listeningChanged();
    }
    update();
}

void CTrackOverview::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragCut < 0 || !m_state) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // The marker follows the pointer within the limits the cut will keep.
    const auto& cuts = m_state->cuts.Cuts();
    const auto index = static_cast<std::size_t>(m_dragCut);
    const std::uint64_t low = (index == 0 ? 0 : cuts[index - 1]) + CTrackCuts::kMinTrackFrames;
    const std::uint64_t next = index + 1 < cuts.size() ? cuts[index + 1] : m_state->cuts.EndFrame();
    const std::uint64_t high = next - std::min(next, CTrackCuts::kMinTrackFrames);
    m_dragFrame = std::clamp(XToFrame(event->position().toPoint().x()), low, std::max(low, high));
    emit cutsChanged();
    update();
}

void CTrackOverview::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragCut < 0 || !m_state) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const std::uint64_t frame = m_dragFrame;
    m_dragCut = -1;
    // One drag is one edit: one undo step, one journal write.
    m_state->MoveTo(frame);
    emit cutsChanged();
    update();
}

void CTrackOverview::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_state)
        return;
    const int x = event->position().toPoint().x();
    if (CutAt(x) < 0 && m_state->Add(XToFrame(x)))
        emit cutsChanged();
    update();
}

bool CTrackOverview::StepSelection(bool forward) {
    if (!m_state)
        return false;
    const int selected = m_state->cuts.Selected();
    const int count = static_cast<int>(m_state->cuts.Cuts().size());
    const int next = selected < 0 ? (forward ? 0 : count - 1) : selected + (forward ? 1 : -1);
    if (count == 0 || next < 0 || next >= count)
        return false;
    m_state->cuts.Select(next);
    emit cutsChanged();
    update();
    return true;
}

bool CTrackOverview::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            StepSelection(key->key() == Qt::Key_Tab))
            return true;
    }
    return QWidget::event(event);
}

void CTrackOverview::keyPressEvent(QKeyEvent* event) {
    if (!m_state) {
        QWidget::keyPressEvent(event);
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const std::int64_t step = shift ? TrackPageState::kBigStepFrames : TrackPageState::kStepFrames;
    bool edited = false;
    switch (event->key()) {
        case Qt::Key_Left:
            edited = m_state->Move(-step);
            break;
        case Qt::Key_Right:
            edited = m_state->Move(step);
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
            m_state->cuts.SelectNext(event->key() == Qt::Key_Down ? 1 : -1);
            edited = true;
            break;
        case Qt::Key_Insert:
            edited = m_state->AddAtListening();
            break;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            edited = m_state->Remove();
            break;
        case Qt::Key_Space:
            m_state->ToggleListenAroundCut();
            emit listeningChanged();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
    if (edited)
        emit cutsChanged();
    update();
}

}  // namespace sondrel
