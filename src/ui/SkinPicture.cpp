#include "ui/SkinPicture.h"

#include <QFile>
#include <QGuiApplication>

static void InitCompiledResources() {
    // Resources compiled into a static library are dropped by the linker unless referenced.
    Q_INIT_RESOURCE(artwork);
    Q_INIT_RESOURCE(rtf);
}

namespace sondrel {

namespace {

QString PicturePath(const QString& prefix, int id, bool doubleSize) {
    return QStringLiteral("%1/%2%3.png").arg(prefix).arg(id).arg(doubleSize ? "@2x" : "");
}

// A language pack's picture first, then the program's own; the double size before the single
// one when the screen wants it.
bool ReadPicture(QImage& image, int id, qreal devicePixelRatio) {
    const bool wantDouble = devicePixelRatio > 1.5;
    for (const char* prefix : {":/lang/png", ":/png"}) {
        for (bool doubleSize : {true, false}) {
            if (doubleSize && !wantDouble)
                continue;
            const QString path = PicturePath(QString::fromLatin1(prefix), id, doubleSize);
            if (!QFile::exists(path))
                continue;
            QImage loaded(path, "PNG");
            if (loaded.isNull())
                continue;
            loaded.setDevicePixelRatio(doubleSize ? 2.0 : 1.0);
            image = std::move(loaded);
            return true;
        }
    }
    return false;
}

qreal ScreenPixelRatio() {
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

}  // namespace

void InitSkinResources() {
    InitCompiledResources();
}

QImage PremultiplyByAlpha(QImage image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            line[x] = qRgba(qRed(p) * a / 255, qGreen(p) * a / 255, qBlue(p) * a / 255, a);
        }
    }
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

bool LoadPngResource(QImage& image, int id, qreal devicePixelRatio) {
    QImage loaded;
    if (!ReadPicture(loaded, id, devicePixelRatio)) {
        image = QImage();
        return false;
    }
    const qreal ratio = loaded.devicePixelRatio();
    image = PremultiplyByAlpha(loaded.convertToFormat(QImage::Format_ARGB32));
    image.setDevicePixelRatio(ratio);
    return true;
}

bool LoadPngResource(QImage& image, int id) {
    return LoadPngResource(image, id, ScreenPixelRatio());
}

bool LoadBitmapResource(QImage& image, int id, qreal devicePixelRatio) {
    QImage loaded;
    if (!ReadPicture(loaded, id, devicePixelRatio)) {
        image = QImage();
        return false;
    }
    const qreal ratio = loaded.devicePixelRatio();
    image = loaded.convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return true;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/icon/%1.png").arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

}  // namespace sondrel
