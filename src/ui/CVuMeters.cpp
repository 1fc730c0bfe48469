#include "ui/CVuMeters.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <array>
#include <cstdio>

#include "base/StringTable.h"
#include "ui/CDrawUtil.h"
#include "ui/CMemDC.h"
#include "ui/SkinColors.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

struct ColourStop {
    float db;
    QRgb bright;
    QRgb dim;
};

constexpr std::array<ColourStop, 10> kStops = {{
    {-200.0f, qRgb(109, 255, 0), qRgb(71, 166, 0)},
    {-33.0f, qRgb(109, 255, 0), qRgb(71, 166, 0)},
    {-18.0f, qRgb(133, 255, 0), qRgb(87, 166, 0)},
    {-12.0f, qRgb(165, 255, 0), qRgb(105, 166, 0)},
    {-9.0f, qRgb(214, 255, 0), qRgb(137, 166, 0)},
    {-6.0f, qRgb(251, 255, 0), qRgb(161, 166, 0)},
    {-3.0f, qRgb(255, 186, 0), qRgb(166, 121, 0)},
    {0.0f, qRgb(255, 186, 0), qRgb(166, 121, 0)},
    {3.0f, qRgb(211, 1, 1), qRgb(137, 1, 1)},
    {200.0f, qRgb(211, 1, 1), qRgb(137, 1, 1)},
}};

constexpr int kBarWidth = 8;
constexpr std::array<int, 4> kScaleSteps = {3, 6, 10, 20};

// Formats with a translatable "%.1f"-style text without handing it to printf unchecked.
QString Readout(float value) {
    const std::string format = LoadString(kIdsMeterReadoutFormat);
    char text[32];
    if (format == "%.1f" || format.empty()) {
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
        return QString::fromLatin1(text);
    }
    return QString::number(static_cast<double>(value), 'f', 1);
}

void FillColumn(QImage& image, int h, bool bright) {
    const float pixelsPerDb = static_cast<float>(h) / 39.0f;
    for (std::size_t i = 0; i + 1 < kStops.size(); ++i) {
        const ColourStop& a = kStops[i];
        const ColourStop& b = kStops[i + 1];
        const int y1 = static_cast<int>((a.db - CVuMeters::kFloorDb) * pixelsPerDb + 0.5f);
        const int y2 = static_cast<int>((b.db - CVuMeters::kFloorDb) * pixelsPerDb + 0.5f);
        if (y2 - y1 <= 0)
            continue;
        for (int j = std::max(y1, 0); j <= std::min(y2, h); ++j) {
            const int row = h - j;
            if (row < 0 || row >= image.height())
                continue;
            const float t = static_cast<float>(j - y1) / static_cast<float>(y2 - y1);
            const QRgb colour = BlendColor(bright ? a.bright : a.dim, bright ? b.bright : b.dim, t);
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
            std::fill(line, line + image.width(), colour);
        }
    }
}

// Where one bar stands in the meter and what it shows.
struct MeterBar {
    int left;
    int right;
    float level;
    float hold;
};

// The dB labels between the bars, as many as fit without overlapping.
void DrawScale(CDrawUtil& draw, int W, int area, int bottom, int textHeight) {
    const int step = CVuMeters::ScaleStep(area, textHeight);
    if (step == 0)
        return;
    const int x = W / 2 + 1;
    for (int n = 0; n > -36; n -= step) {
        const QString label = QString::number(n);
        int lw = 0;
        int lh = 0;
        draw.GetTextExtent(label, lw, lh);
        const int y = bottom - CVuMeters::LitHeight(area, static_cast<float>(n));
        draw.TextOut(x - lw / 2, y - lh / 2, label);
    }
}

// Each bar's outline, the 0 dB ticks beside the bars and the 0 dB line across them.
void DrawOutlines(CDrawUtil& draw, const MeterBar (&bars)[2], int top, int bottom, int area) {
    draw.SetPen(QColor(GetSkinColor(kSkinMeterOutline)));
    for (const MeterBar& bar : bars) {
        draw.MoveTo(bar.left - 1, top - 1);
        draw.LineTo(bar.right, top - 1);
        draw.LineTo(bar.right, bottom);
        draw.LineTo(bar.left - 1, bottom);
        draw.LineTo(bar.left - 1, top - 1);
    }
    const int zero = bottom - CVuMeters::LitHeight(area, 0.0f);
    draw.SetPen(QColor(GetSkinColor(kSkinMeterZeroTick)));
    draw.MoveTo(bars[0].right + 1, zero);
    draw.LineTo(bars[0].right + 5, zero);
    draw.MoveTo(bars[1].left - 2, zero);
    draw.LineTo(bars[1].left - 6, zero);
    draw.SetPen(QColor(GetSkinColor(kSkinMeterZeroLine)));
    for (const MeterBar& bar : bars) {
        draw.MoveTo(bar.left, zero);
        draw.LineTo(bar.right, zero);
    }
}

}  // namespace

CVuMeters::CVuMeters(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(UiText(kIdsLevelMeter));
}

void CVuMeters::SetScale(double scaleX, double scaleY) {
    m_scaleX = scaleX;
    m_scaleY = scaleY;
}

void CVuMeters::SetLevels(float levelLeft, float levelRight, float holdLeft, float holdRight) {
    m_levelLeft = std::max(levelLeft, kFloorDb);
    m_levelRight = std::max(levelRight, kFloorDb);
    m_holdLeft = std::max(holdLeft, kFloorDb);
    m_holdRight = std::max(holdRight, kFloorDb);
    update();
}

void CVuMeters::SetBackgroundPicture(const QImage& picture) {
    m_backgroundPicture.Attach(picture);
    update();
}

int CVuMeters::LitHeight(int areaHeight, float levelDb) {
    const double fraction = std::min(1.0, (static_cast<double>(levelDb) + 36.0) / 39.0);
    return static_cast<int>(areaHeight * fraction);
}

int CVuMeters::ScaleStep(int areaHeight, int textHeight) {
    for (int step : kScaleSteps) {
        if (LitHeight(areaHeight, 0.0f) - LitHeight(areaHeight, static_cast<float>(-step)) >
            textHeight + 10) {
            return step;
        }
    }
    return 0;
}

void CVuMeters::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_rebuildBars = true;
    m_clientRect = QRect(0, 0, event->size().width(), event->size().height());
}

void CVuMeters::RebuildBars(const QPainter& painter) {
    const int h = m_clientRect.height() - 5;
    if (h <= 0) {
        m_barBright = CBitmapDraw();
        m_barDim = CBitmapDraw();
        m_rebuildBars = false;
        return;
    }
    m_barBright.CreateCompatibleBitmap(painter, kBarWidth, h);
    m_barDim.CreateCompatibleBitmap(painter, kBarWidth, h);
    // The bars are drawn in logical pixels; on a double-density screen each logical row
    // covers two device rows, filled alike.
    for (CBitmapDraw* bar : {&m_barBright, &m_barDim}) {
        QImage logical(kBarWidth, h, QImage::Format_RGB32);
        logical.fill(Qt::black);
        FillColumn(logical, h, bar == &m_barBright);
        const qreal ratio = bar->Image().devicePixelRatio();
        QImage image = ratio == 1.0 ? logical
                                    : logical.scaled(bar->Image().size(), Qt::IgnoreAspectRatio,
                                                     Qt::FastTransformation);
        image.setDevicePixelRatio(ratio);
        bar->Attach(std::move(image));
    }
    m_rebuildBars = false;
}

void CVuMeters::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Render(painter);
}

void CVuMeters::Render(QPainter& target) {
    // A meter resized while hidden gets its resize event only when shown; its size counts.
    if (m_clientRect.size() != size()) {
        m_clientRect = rect();
        m_rebuildBars = true;
    }
    const int W = m_clientRect.width();
    const int H = m_clientRect.height();
    if (W <= 0 || H <= 0)
        return;
    if (m_rebuildBars)
        RebuildBars(target);
    CMemDC dc(target, QRect(0, 0, W, H), 0x000000);
    if (!dc.IsValid())
        return;
    QPainter& p = dc.Painter();
    DrawBackground(p, W, H);

    CDrawUtil draw(&p);
    int th = 0;
    const int top = DrawReadouts(draw, W, th) + 4;
    const int bottom = H - 4;
    const int area = bottom - top;
    const MeterBar bars[2] = {{5, 13, m_levelLeft, m_holdLeft},
                              {W - 13, W - 5, m_levelRight, m_holdRight}};
    for (const MeterBar& bar : bars)
        DrawBar(p, bar.left, bar.level, bar.hold, top, bottom);
    DrawScale(draw, W, area, bottom, th);
    DrawOutlines(draw, bars, top, bottom, area);
}

void CVuMeters::DrawBackground(QPainter& p, int W, int H) {
    if (m_backgroundPicture.IsEmpty())
        return;
    if (m_scaleX != 1.0 || m_scaleY != 1.0) {
        m_backgroundPicture.StretchDraw(p, 0, 0, W, H, kDesignRect.left(), kDesignRect.top(),
                                        static_cast<int>(W / m_scaleX + 0.5),
                                        static_cast<int>(H / m_scaleY + 0.5));
    } else {
        m_backgroundPicture.Draw(p, 0, 0, W, H, kDesignRect.left(), kDesignRect.top());
    }
}

int CVuMeters::DrawReadouts(CDrawUtil& draw, int W, int& th) {
    draw.SetFont(QStringLiteral("Verdana"), 80, QColor(GetSkinColor(kSkinMeterText)));
    draw.SetBkMode(TextBackground::Transparent);
    int tw = 0;
    draw.TextOut(6, 1, UiText(kIdsMeterLeft));
    QString text = Readout(m_holdLeft);
    draw.GetTextExtent(text, tw, th);
    draw.TextOut(W - tw - 3, 1, text);
    const int y2 = 1 + th;
    draw.TextOut(6, y2, UiText(kIdsMeterRight));
    text = Readout(m_holdRight);
    draw.GetTextExtent(text, tw, th);
    draw.TextOut(W - tw - 3, y2, text);
    return y2 + th;
}

void CVuMeters::DrawBar(QPainter& p, int left, float level, float hold, int top, int bottom) {
    const int area = bottom - top;
    const int lit = LitHeight(area, level);
    m_barDim.Draw(p, left, top, kBarWidth, bottom - lit + 1 - top, 0, 0);
    if (level > kFloorDb)
        m_barBright.Draw(p, left, bottom - lit, kBarWidth, lit, 0, bottom - lit - top);
    if (hold > kFloorDb) {
        const int held = LitHeight(area, hold);
        int markerTop = bottom - held;
        const int markerBottom = bottom - held + 1;
        if (m_clipIndicator && hold >= 0.0f)
            markerTop = top;
        m_barBright.Draw(p, left, markerTop, kBarWidth, markerBottom - markerTop + 1, 0,
                         markerTop - top);
    }
}

}  // namespace sondrel
