// Skin pictures by resource number: PNGs premultiplied by their alpha as they load, the sharp
// double-size drawing on high-density screens, and the icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace sondrel {

// Makes the pictures and page texts compiled into the program's libraries available; call once
// after the application object exists.
void InitSkinResources();

// Loads picture `id` (a language pack's copy wins over the built-in one) as a 32-bit image
// premultiplied with truncating integer arithmetic. On a screen with a device pixel ratio above
// 1.5 the double-size drawing is taken where there is one; its logical size stays that of the
// picture. False, and `image` emptied, when the picture is missing or cannot be decoded.
bool LoadPngResource(QImage& image, int id);

// The same for a given device pixel ratio (tests, off-screen rendering).
bool LoadPngResource(QImage& image, int id, qreal devicePixelRatio);

// Multiplies the colour bytes by alpha / 255 (integer division) and marks the image
// premultiplied; the input must be Format_ARGB32.
QImage PremultiplyByAlpha(QImage image);

// A 24-bit bitmap (the close button's), loaded as it is.
bool LoadBitmapResource(QImage& image, int id, qreal devicePixelRatio);

// The application icon in all its sizes.
QIcon ApplicationIcon();

}  // namespace sondrel
