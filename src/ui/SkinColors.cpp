#include "ui/SkinColors.h"

#include <array>

namespace sondrel {

namespace {

// Only 21-24 are read (the meter); the others keep the page palette at hand.
constexpr std::array<QRgb, 25> kSkinColors = {
    qRgb(0, 0, 0),      qRgb(255, 255, 255), qRgb(52, 58, 68),    qRgb(232, 234, 237),
    qRgb(0, 127, 0),    qRgb(159, 159, 0),   qRgb(127, 0, 0),     qRgb(255, 0, 0),
    qRgb(223, 0, 0),    qRgb(223, 0, 5),     qRgb(128, 128, 128), qRgb(240, 240, 240),
    qRgb(0, 0, 0),      qRgb(0, 0, 0),       qRgb(0, 0, 0),       qRgb(0, 0, 0),
    qRgb(0, 0, 0),      qRgb(0, 0, 0),       qRgb(0, 0, 0),       qRgb(0, 0, 0),
    qRgb(0, 0, 0),      qRgb(35, 36, 39),    qRgb(0, 0, 0),       qRgb(187, 242, 67),
    qRgb(187, 242, 67),
};

int BlendByte(int a, int b, float t) {
    return static_cast<int>((1.0f - t) * static_cast<float>(a) + t * static_cast<float>(b));
}

}  // namespace

QRgb GetSkinColor(int index) {
    if (index < 0 || index >= static_cast<int>(kSkinColors.size()))
        return qRgb(0, 0, 0);
    return kSkinColors[static_cast<std::size_t>(index)];
}

QRgb BlendColor(QRgb a, QRgb b, float t) {
    return qRgb(BlendByte(qRed(a), qRed(b), t), BlendByte(qGreen(a), qGreen(b), t),
                BlendByte(qBlue(a), qBlue(b), t));
}

}  // namespace sondrel
