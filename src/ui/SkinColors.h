// The skin's colour table, filled once before the first window exists, and the one colour
// blend the skinned controls use.
#pragma once

#include <QColor>
#include <QRgb>

namespace sondrel {

inline constexpr int kSkinMeterOutline = 21;
inline constexpr int kSkinMeterText = 22;
inline constexpr int kSkinMeterZeroTick = 23;
inline constexpr int kSkinMeterZeroLine = 24;

// The table entry (opaque); black for an index outside the table.
QRgb GetSkinColor(int index);

// Per colour byte (1 - t) * a + t * b, in single precision, truncated toward zero; the result
// is opaque whatever the alpha of a and b.
QRgb BlendColor(QRgb a, QRgb b, float t);

}  // namespace sondrel
