// Draws Sondrel's artwork (page backgrounds, button faces, close-button bitmaps, application
// icon) and writes each picture as PNG, at design size and at double size, into a folder.
// Usage: generate-artwork OUTPUT_FOLDER   (run through build.sh)

#include <QBrush>
#include <QConicalGradient>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

// Page layout in the 800 x 500 design space; the pages place their texts and controls on it.
constexpr qreal kTitleTop = 28;
constexpr qreal kTitleBottom = 88;
constexpr qreal kBandTop = 205;
constexpr qreal kBandBottom = 325;
constexpr qreal kPanelRight = 773;
constexpr qreal kPanelBottom = 392;
constexpr qreal kMeterPanelLeft = 685;
constexpr qreal kGainPanelLeft = 660;
constexpr QPointF kCloseOrigin(718, 37);
constexpr qreal kCloseSide = 39;  // the part of the 43-pixel close bitmap that shows

// The palette: slate title band, light grey body, medium grey meter panel, red accents.
const QColor kSlateTop(60, 77, 99);
const QColor kSlateBottom(29, 39, 53);
const QColor kBodyTop(226, 229, 233);
const QColor kBodyBottom(208, 212, 218);
const QColor kRim(128, 136, 146);
const QColor kPanelFillTop(168, 173, 180);
const QColor kPanelFillBottom(150, 155, 162);
const QColor kPanelEdge(112, 119, 128);
const QColor kInk(30, 38, 48);
const QColor kRed(214, 38, 43);

QLinearGradient verticalGradient(qreal top, qreal bottom,
                                 std::initializer_list<std::pair<qreal, QColor>> stops) {
    QLinearGradient gradient(0, top, 0, bottom);
    for (const auto& [at, colour] : stops) {
        gradient.setColorAt(at, colour);
    }
    return gradient;
}

// --- Page backgrounds ---------------------------------------------------------------------

// The window mask is a union of rectangles and circles whose 87-pixel boxes start one pixel
// outside each corner. The picture follows the same circles grown by one pixel, so that every
// pixel the 1-bit mask lets through is opaque and the smoothed edge falls outside it.
QPainterPath windowShape() {
    constexpr qreal grow = 1.0;
    QPainterPath path;
    path.addRoundedRect(QRectF(-1 - grow, -1 - grow, 801 + 2 * grow, 501 + 2 * grow), 43.5 + grow,
                        43.5 + grow);
    return path;
}

void drawBody(QPainter& p) {
    p.fillRect(QRectF(-1, -1, 802, 502),
               verticalGradient(0, 500, {{0, kBodyTop}, {1, kBodyBottom}}));
    // A soft white glow behind the text column, wider than tall like the page itself.
    QRadialGradient glow(QPointF(0, 0), 1);
    glow.setColorAt(0, QColor(255, 255, 255, 255));
    glow.setColorAt(0.55, QColor(255, 255, 255, 150));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    QBrush brush(glow);
    brush.setTransform(QTransform().translate(380, 250).scale(470, 250));
    p.fillRect(QRectF(0, 0, 800, 500), brush);
}

// A pair of hairlines, dark above light, reads as a groove cut into the surface.
void drawGroove(QPainter& p, QPointF from, QPointF to, int darkAlpha = 45) {
    const QPointF across = from.y() == to.y() ? QPointF(0, 1) : QPointF(1, 0);
    p.setPen(QPen(QColor(0, 0, 0, darkAlpha), 1));
    p.drawLine(from, to);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    p.drawLine(from + across, to + across);
}

void drawMiddleBand(QPainter& p, qreal right) {
    const QRectF band(-1, kBandTop, right + 1, kBandBottom - kBandTop);
    p.fillRect(band, verticalGradient(kBandTop, kBandBottom,
                                      {{0, QColor(252, 253, 254)}, {1, QColor(244, 246, 248)}}));
    // Soft shading just outside the band lifts it off the body.
    p.fillRect(QRectF(-1, kBandTop - 6, right + 1, 6),
               verticalGradient(kBandTop - 6, kBandTop,
                                {{0, QColor(0, 0, 0, 0)}, {1, QColor(0, 0, 0, 14)}}));
    p.fillRect(QRectF(-1, kBandBottom, right + 1, 6),
               verticalGradient(kBandBottom, kBandBottom + 6,
                                {{0, QColor(0, 0, 0, 14)}, {1, QColor(0, 0, 0, 0)}}));
    p.setPen(QPen(QColor(186, 192, 200), 1));
    p.drawLine(QPointF(-1, kBandTop + 0.5), QPointF(right, kBandTop + 0.5));
    p.drawLine(QPointF(-1, kBandBottom - 0.5), QPointF(right, kBandBottom - 0.5));
}

// The meter panel hangs from the title band; its top corners disappear under the band.
void drawSidePanel(QPainter& p, qreal left) {
    const QRectF panel(left + 0.5, kTitleBottom - 20, kPanelRight - left - 1,
                       kPanelBottom - kTitleBottom + 19.5);
    QPainterPath path;
    path.addRoundedRect(panel, 10, 10);
    p.setPen(QPen(kPanelEdge, 1));
    p.setBrush(
        verticalGradient(kTitleBottom, kPanelBottom, {{0, kPanelFillTop}, {1, kPanelFillBottom}}));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(1, 1, -1, -1), 9, 9);
}

void drawGainColumn(QPainter& p) {
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(10);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(font);
    const QRectF label(kGainPanelLeft + 1, 94, 40, 14);
    p.setPen(QColor(255, 255, 255, 110));
    p.drawText(label.translated(0, 1), Qt::AlignCenter, "GAIN");
    p.setPen(kInk);
    p.drawText(label, Qt::AlignCenter, "GAIN");
    drawGroove(p, QPointF(700.5, 100), QPointF(700.5, 386), 55);
}

void drawTitleBand(QPainter& p) {
    const QRectF band(-1, kTitleTop, 802, kTitleBottom - kTitleTop);
    p.fillRect(band,
               verticalGradient(kTitleTop, kTitleBottom,
                                {{0, kSlateTop}, {0.55, QColor(40, 53, 71)}, {1, kSlateBottom}}));
    p.fillRect(QRectF(-1, kTitleBottom, 802, 8),
               verticalGradient(kTitleBottom, kTitleBottom + 8,
                                {{0, QColor(0, 0, 0, 60)}, {1, QColor(0, 0, 0, 0)}}));
    p.setPen(QPen(QColor(255, 255, 255, 46), 1));
    p.drawLine(QPointF(-1, kTitleTop + 0.5), QPointF(801, kTitleTop + 0.5));
    p.setPen(QPen(QColor(16, 22, 30), 1));
    p.drawLine(QPointF(-1, kTitleBottom - 0.5), QPointF(801, kTitleBottom - 0.5));
}

void drawCross(QPainter& p, QPointF centre, qreal arm, const QPen& pen) {
    p.setPen(pen);
    p.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
    p.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
}

QPointF closeCentre() {
    return kCloseOrigin + QPointF(kCloseSide / 2, kCloseSide / 2);
}

enum class Page { Plain, Band, Meter, Gain };

void drawBackground(QPainter& p, Page page) {
    const QPainterPath shape = windowShape();
    p.setClipPath(shape);
    drawBody(p);
    if (page != Page::Plain) {
        drawMiddleBand(p, page == Page::Band ? 801 : kGainPanelLeft + 30);
    }
    drawGroove(p, QPointF(40, 395.5),
               QPointF(page == Page::Meter || page == Page::Gain ? 650 : 760, 395.5), 30);
    if (page == Page::Meter) {
        drawSidePanel(p, kMeterPanelLeft);
    } else if (page == Page::Gain) {
        drawSidePanel(p, kGainPanelLeft);
        drawGainColumn(p);
    }
    drawTitleBand(p);
    if (page == Page::Band) {
        drawCross(p, closeCentre(), 7, QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
    }
    // The rim: a darker inner edge with a faint highlight inside it.
    p.strokePath(shape, QPen(kRim, 3));
    p.setClipping(false);
    QPainterPath inner;
    inner.addRoundedRect(QRectF(0.5, 0.5, 798, 498), 42, 42);
    p.strokePath(inner, QPen(QColor(255, 255, 255, 60), 1));
}

// --- Close button -------------------------------------------------------------------------

// The bitmap is copied over the title band without blending, so it repeats the band under it.
void drawCloseButton(QPainter& p, bool pressed) {
    p.save();
    p.translate(-kCloseOrigin);
    drawTitleBand(p);
    p.restore();
    const QPointF centre =
        QPointF(kCloseSide / 2, kCloseSide / 2) + QPointF(pressed ? 1 : 0, pressed ? 1 : 0);
    p.setPen(pressed ? QPen(QColor(150, 24, 28), 1) : QPen(QColor(255, 255, 255, 60), 1));
    p.setBrush(pressed ? QBrush(kRed) : QBrush(QColor(255, 255, 255, 22)));
    p.drawEllipse(centre, 14, 14);
    drawCross(p, centre, 5.5,
              QPen(QColor(236, 240, 244), pressed ? 2.6 : 2.2, Qt::SolidLine, Qt::RoundCap));
}

// --- Buttons ------------------------------------------------------------------------------

enum class Glyph { None, NextChevron, BackChevron, RecordDot, Lamp };

struct Key {
    QSizeF size;
    bool pressed = false;
    bool lit = false;  // the chosen one of a toggle pair
    Glyph glyph = Glyph::None;
};

void drawGlyph(QPainter& p, Glyph glyph, QPointF top, QRectF face, bool lit) {
    const QPen chevron(QColor(), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPointF mark = top + QPointF(0, 16);
    switch (glyph) {
        case Glyph::None:
            break;
        case Glyph::NextChevron:
        case Glyph::BackChevron: {
            const qreal dir = glyph == Glyph::NextChevron ? 1 : -1;
            QPen pen = chevron;
            pen.setColor(glyph == Glyph::NextChevron ? QColor(40, 140, 52) : QColor(150, 150, 22));
            p.setPen(pen);
            const QPointF points[] = {mark + QPointF(-3.5 * dir, -6), mark + QPointF(3.5 * dir, 0),
                                      mark + QPointF(-3.5 * dir, 6)};
            p.drawPolyline(points, 3);
            break;
        }
        case Glyph::RecordDot: {
            QRadialGradient dot(mark + QPointF(-1.5, -2), 8);
            dot.setColorAt(0, QColor(255, 110, 100));
            dot.setColorAt(1, QColor(190, 20, 24));
            p.setPen(QPen(QColor(140, 16, 20), 1));
            p.setBrush(dot);
            p.drawEllipse(mark, 6, 6);
            break;
        }
        case Glyph::Lamp: {
            const QPointF centre(face.left() + 15, face.center().y());
            if (lit) {
                QRadialGradient halo(centre, 9);
                halo.setColorAt(0, QColor(255, 60, 50, 120));
                halo.setColorAt(1, QColor(255, 60, 50, 0));
                p.setPen(Qt::NoPen);
                p.setBrush(halo);
                p.drawEllipse(centre, 9, 9);
            }
            QRadialGradient lamp(centre + QPointF(-1, -1.5), 5);
            lamp.setColorAt(0, lit ? QColor(255, 170, 160) : QColor(214, 218, 223));
            lamp.setColorAt(1, lit ? QColor(230, 24, 24) : QColor(150, 156, 164));
            p.setPen(QPen(lit ? QColor(150, 20, 20) : QColor(118, 125, 134), 1));
            p.setBrush(lamp);
            p.drawEllipse(centre, 4, 4);
            break;
        }
    }
}

// A rounded key with a glossy face; pressed keys sit one pixel lower in a darker, inset face.
void drawKey(QPainter& p, const Key& key) {
    const qreal radius = 14;
    QRectF body(2.5, 1.5, key.size.width() - 5, key.size.height() - 5.5);
    if (key.pressed) {
        body.translate(0, 1);
    } else {
        p.setPen(Qt::NoPen);
        const int shadowAlpha[] = {16, 26, 40};
        for (int i = 0; i < 3; ++i) {
            const qreal grow = 1.0 - i * 0.5;
            p.setBrush(QColor(0, 0, 0, shadowAlpha[i]));
            p.drawRoundedRect(body.translated(0, 2.5 - i * 0.5).adjusted(-grow, 0, grow, grow),
                              radius + grow, radius + grow);
        }
    }
    const QColor edgeTop = key.lit ? QColor(200, 40, 40) : QColor(138, 146, 156);
    const QColor edgeBottom = key.lit ? QColor(160, 22, 22) : QColor(100, 108, 118);
    p.setPen(Qt::NoPen);
    p.setBrush(verticalGradient(body.top(), body.bottom(), {{0, edgeTop}, {1, edgeBottom}}));
    p.drawRoundedRect(body, radius, radius);

    const QRectF face =
        body.adjusted(key.lit ? 2 : 1, key.lit ? 2 : 1, key.lit ? -2 : -1, key.lit ? -2 : -1);
    const qreal faceRadius = radius - (key.lit ? 2 : 1);
    QLinearGradient fill;
    if (key.lit) {
        fill = verticalGradient(face.top(), face.bottom(),
                                {{0, QColor(250, 228, 224)}, {1, QColor(255, 246, 244)}});
    } else if (key.pressed) {
        fill = verticalGradient(face.top(), face.bottom(),
                                {{0, QColor(196, 202, 210)}, {1, QColor(222, 226, 231)}});
    } else {
        fill = verticalGradient(face.top(), face.bottom(),
                                {{0, QColor(255, 255, 255)},
                                 {0.36, QColor(244, 246, 248)},
                                 {0.40, QColor(231, 234, 238)},
                                 {1, QColor(219, 223, 228)}});
    }
    p.setBrush(fill);
    p.drawRoundedRect(face, faceRadius, faceRadius);

    QPainterPath facePath;
    facePath.addRoundedRect(face, faceRadius, faceRadius);
    p.save();
    p.setClipPath(facePath);
    if (key.pressed || key.lit) {
        // Inset: the rim casts a shadow onto the top of the face.
        p.fillRect(QRectF(face.left(), face.top(), face.width(), 7),
                   verticalGradient(face.top(), face.top() + 7,
                                    {{0, QColor(0, 0, 0, 60)}, {1, QColor(0, 0, 0, 0)}}));
    } else {
        p.setPen(QPen(QColor(255, 255, 255, 220), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(face.adjusted(0.6, 0.6, -0.6, -0.6), faceRadius, faceRadius);
    }
    p.restore();
    drawGlyph(p, key.glyph, QPointF(key.size.width() / 2, body.top()), face, key.lit);
}

// --- Application icon ---------------------------------------------------------------------

// A record with a red label; larger sizes add grooves, a sheen and a small waveform badge.
void drawIcon(QPainter& p, int size) {
    const qreal s = size;
    const QPointF centre(s / 2, s / 2);
    const qreal radius = s / 2 - std::max(0.5, s / 64);

    QRadialGradient vinyl(centre, radius);
    vinyl.setColorAt(0, QColor(52, 58, 66));
    vinyl.setColorAt(1, QColor(16, 19, 23));
    p.setPen(QPen(QColor(170, 178, 188), std::max(1.0, s / 48)));
    p.setBrush(vinyl);
    p.drawEllipse(centre, radius - 0.5, radius - 0.5);

    if (size >= 32) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 26), std::max(0.6, s / 160)));
        for (qreal r = 0.5; r < 0.92; r += size >= 64 ? 0.06 : 0.12) {
            p.drawEllipse(centre, radius * r, radius * r);
        }
    }
    if (size >= 24) {
        QConicalGradient sheen(centre, 45);
        const QColor clear(255, 255, 255, 0);
        const QColor light(255, 255, 255, size >= 48 ? 60 : 40);
        for (qreal base : {0.0, 0.5}) {
            sheen.setColorAt(base, clear);
            sheen.setColorAt(base + 0.07, light);
            sheen.setColorAt(base + 0.14, clear);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(sheen);
        p.drawEllipse(centre, radius - 1, radius - 1);
    }

    const qreal labelRadius = radius * (size <= 16 ? 0.46 : 0.38);
    QRadialGradient label(centre - QPointF(labelRadius / 3, labelRadius / 3), labelRadius * 1.4);
    label.setColorAt(0, QColor(240, 80, 72));
    label.setColorAt(1, QColor(184, 20, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(label);
    p.drawEllipse(centre, labelRadius, labelRadius);
    if (size >= 24) {
        p.setBrush(QColor(238, 241, 244));
        p.drawEllipse(centre, s / 36, s / 36);
    }

    if (size >= 48) {
        const QRectF badge(s * 0.56, s * 0.60, s * 0.42, s * 0.36);
        p.setPen(QPen(QColor(236, 240, 244), std::max(1.0, s / 40)));
        p.setBrush(
            verticalGradient(badge.top(), badge.bottom(), {{0, kSlateTop}, {1, kSlateBottom}}));
        p.drawRoundedRect(badge, s * 0.08, s * 0.08);
        QPainterPath wave;
        const int steps = 48;
        for (int i = 0; i <= steps; ++i) {
            const qreal t = qreal(i) / steps;
            const qreal envelope = std::sin(t * M_PI);
            const QPointF point(
                badge.left() + badge.width() * (0.16 + 0.68 * t),
                badge.center().y() - badge.height() * 0.28 * envelope * std::sin(t * 4 * M_PI));
            i == 0 ? wave.moveTo(point) : wave.lineTo(point);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(120, 220, 110), std::max(1.2, s / 36), Qt::SolidLine, Qt::RoundCap));
        p.drawPath(wave);
    }
}

// --- Picture table and output -------------------------------------------------------------

struct Picture {
    const char* name;
    int width;
    int height;
    bool opaque;  // the close bitmaps are 24-bit without alpha
    std::function<void(QPainter&)> draw;
};

std::vector<Picture> pictures() {
    auto background = [](Page page) { return [page](QPainter& p) { drawBackground(p, page); }; };
    auto key = [](qreal w, qreal h, bool pressed, Glyph glyph = Glyph::None, bool lit = false) {
        return [=](QPainter& p) { drawKey(p, Key{QSizeF(w, h), pressed, lit, glyph}); };
    };
    auto close = [](bool pressed) {
        return [pressed](QPainter& p) { drawCloseButton(p, pressed); };
    };
    return {
        {"203", 800, 500, false, background(Page::Plain)},
        {"205", 800, 500, false, background(Page::Band)},
        {"206", 800, 500, false, background(Page::Meter)},
        {"207", 800, 500, false, background(Page::Gain)},
        {"211", 139, 69, false, key(139, 69, false, Glyph::NextChevron)},
        {"210", 139, 69, false, key(139, 69, true, Glyph::NextChevron)},
        {"200", 139, 69, false, key(139, 69, false, Glyph::BackChevron)},
        {"199", 139, 69, false, key(139, 69, true, Glyph::BackChevron)},
        {"215", 139, 69, false, key(139, 69, false, Glyph::RecordDot)},
        {"214", 139, 69, false, key(139, 69, true, Glyph::RecordDot)},
        {"213", 132, 53, false, key(132, 53, false, Glyph::Lamp)},
        {"212", 132, 53, false, key(132, 53, true, Glyph::Lamp, true)},
        {"209", 152, 61, false, key(152, 61, false)},
        {"208", 152, 61, false, key(152, 61, true)},
        {"252", 180, 53, false, key(180, 53, false)},
        {"251", 180, 53, false, key(180, 53, true)},
        {"255", 112, 40, false, key(112, 40, false)},
        {"256", 112, 40, false, key(112, 40, true)},
        {"216", 43, 43, true, close(false)},
        {"217", 43, 43, true, close(true)},
    };
}

QImage render(int width, int height, qreal scale, const std::function<void(QPainter&)>& draw) {
    QImage image(qRound(width * scale), qRound(height * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    draw(painter);
    painter.end();
    return image;
}

bool save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const Picture& picture : pictures()) {
        for (const int scale : {1, 2}) {
            QImage image = render(picture.width, picture.height, scale, picture.draw);
            image = image.convertToFormat(picture.opaque ? QImage::Format_RGB888
                                                         : QImage::Format_ARGB32);
            const QString suffix = scale == 2 ? "@2x.png" : ".png";
            ok = save(image, out.filePath(picture.name + suffix)) && ok;
        }
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage icon = render(size, size, 1, [size](QPainter& p) { drawIcon(p, size); });
        ok = save(icon.convertToFormat(QImage::Format_ARGB32),
                  out.filePath(QString("icon-%1.png").arg(size))) &&
             ok;
    }
    return ok ? 0 : 1;
}
