// The track page's close view: five seconds either side of the selected cut (or of where a
// drag holds it), so the user sees whether it falls in the gap.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "export/TrackPageState.h"
#include "recording/CWaveOverview.h"

namespace sondrel {

class CCutCloseUp : public QWidget {
    Q_OBJECT
public:
    static constexpr std::uint64_t kHalfSpanFrames = 5 * 44100;

    explicit CCutCloseUp(QWidget* parent = nullptr);
    void SetState(TrackPageState* state) { m_state = state; }

    // Shows the stretch around frame (-1: nothing), reading it anew when it moved.
    void ShowAround(std::int64_t frame);
    void Stop();
    // Takes in what was read since the last call and the listening position.
    void Poll();
    bool PictureDone() const { return m_centre < 0 || m_overview.Done(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // x of a frame, in the stretch around the centre.
    double FrameX(std::int64_t frame) const;

    TrackPageState* m_state = nullptr;
    CWaveOverview m_overview;
    QImage m_picture;
    std::size_t m_drawnColumns = 0;
    std::int64_t m_centre = -1;
    int m_listenX = -1;
};

}  // namespace sondrel
