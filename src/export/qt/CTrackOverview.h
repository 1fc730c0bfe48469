// The track page's picture of the whole recording: its waveform (filled in as a worker reads
// the file), the cuts as numbered markers, each track's length, a time ruler and where the user
// listens. Cuts are selected, dragged and added with the mouse, and with the keys its
// accessible description lists.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "export/TrackPageState.h"
#include "recording/CWaveOverview.h"

namespace sondrel {

class CTrackOverview : public QWidget {
    Q_OBJECT
public:
    explicit CTrackOverview(QWidget* parent = nullptr);
    void SetState(TrackPageState* state) { m_state = state; }

    // Starts reading the recording for the current size; stops it.
    void StartPicture();
    void StopPicture();
    // Takes in the columns read since the last call and the listening position.
    void Poll();
    bool PictureDone() const { return m_overview.Done(); }

    // Where the selected cut shows: where a drag holds it, else where it is; -1 for none.
    std::int64_t ShownCutFrame() const;
    int FrameToX(std::uint64_t frame) const;
    std::uint64_t XToFrame(int x) const;
    QRect WaveRect() const;

signals:
    // The cuts or the selection changed, or a drag moved the selected cut.
    void cutsChanged();
    void listeningChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The cut whose marker is under x, or -1.
    int CutAt(int x) const;
    // Tab and Shift+Tab walk the cuts and leave at either end, as they would a group of
    // controls; false when the focus should move on.
    bool StepSelection(bool forward);
    void PaintTracks(QPainter& painter, QRect wave) const;
    void PaintRuler(QPainter& painter, QRect wave) const;
    void PaintCuts(QPainter& painter, QRect wave) const;

    TrackPageState* m_state = nullptr;
    CWaveOverview m_overview;
    QImage m_picture;
    std::size_t m_drawnColumns = 0;
    int m_dragCut = -1;
    std::uint64_t m_dragFrame = 0;
    int m_listenX = -1;
};

}  // namespace sondrel
