// The stereo level meter of the two recording pages: two vertical bars from -36 to +3 dB with
// held-peak markers, a readout of each held peak and a dB scale between the bars. It only
// displays; the page's timer pushes the recorder's levels into it twenty times a second.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include "ui/CBitmapDraw.h"

namespace sondrel {

class CDrawUtil;

class CVuMeters : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 1017;
    static constexpr float kFloorDb = -36.0f;
    static constexpr float kSpanDb = 39.0f;
    // Where the meter sits on the 800 x 500 page design.
    static constexpr QRect kDesignRect{QPoint(703, 112), QPoint(756, 371)};

    explicit CVuMeters(QWidget* parent = nullptr);

    void SetClipIndicator(bool on) { m_clipIndicator = on; }
    void SetScale(double scaleX, double scaleY);
    // Values below the floor are raised to it; the whole control is repainted.
    void SetLevels(float levelLeft, float levelRight, float holdLeft, float holdRight);
    // The page's picture at design size; the meter shows its own part of it behind the bars.
    void SetBackgroundPicture(const QImage& picture);

    float LevelLeft() const { return m_levelLeft; }
    float HoldLeft() const { return m_holdLeft; }

    // Lit pixels of a bar `areaHeight` high for a level in dB.
    static int LitHeight(int areaHeight, float levelDb);
    // The dB step of the scale labels for a bar area and text height; 0 when none fits.
    static int ScaleStep(int areaHeight, int textHeight);

    // Draws the whole meter at (0, 0) of `painter`, as the paint does.
    void Render(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RebuildBars(const QPainter& painter);
    void DrawBackground(QPainter& p, int width, int height);
    // Draws the channel names and held-peak readouts; returns the y under them and the height
    // of a text line.
    int DrawReadouts(CDrawUtil& draw, int width, int& textHeight);
    // One bar between top and bottom: dim, lit to its level, with its held-peak marker.
    void DrawBar(QPainter& p, int left, float level, float hold, int top, int bottom);

    QRect m_clientRect;
    float m_levelLeft = kFloorDb;
    float m_levelRight = kFloorDb;
    float m_holdLeft = kFloorDb;
    float m_holdRight = kFloorDb;
    CBitmapDraw m_barBright;
    CBitmapDraw m_barDim;
    CBitmapDraw m_backgroundPicture;
    bool m_rebuildBars = false;
    bool m_clipIndicator = false;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;
};

}  // namespace sondrel
