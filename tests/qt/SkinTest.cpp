// The skinned toolkit: pictures and colours, the page's shape, scale and dragging, button
// pictures, and what the level meter draws.
#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QtTest>

#include "ui/CCloseButton.h"
#include "ui/CKxButton.h"
#include "ui/CVuMeters.h"
#include "ui/CWizardDlg.h"
#include "ui/SkinColors.h"
#include "ui/SkinPicture.h"

using namespace sondrel;

namespace {

class TestPage : public CWizardDlg {
public:
    explicit TestPage(int buttons = kNextButton | kBackButton) : CWizardDlg(nullptr, buttons) {
        SetBackgroundId(203);
    }
    void Init() { Prepare(); }
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const QPoint global = widget->mapToGlobal(local);
    QMouseEvent event(type, QPointF(local), QPointF(global), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Renders a meter of design size on black and returns the picture with its geometry.
struct MeterShot {
    QImage image;
    int top = 0;
    int bottom = 0;
    int Area() const { return bottom - top; }
    QRgb At(int x, int y) const { return image.pixel(x, y); }
};

MeterShot Shoot(float level, float hold, bool clip) {
    CVuMeters meter;
    meter.resize(CVuMeters::kDesignRect.size());
    meter.SetClipIndicator(clip);
    meter.SetLevels(level, level, hold, hold);
    MeterShot shot;
    shot.image = QImage(meter.size(), QImage::Format_RGB32);
    QPainter painter(&shot.image);
    meter.Render(painter);
    painter.end();
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.0);
    const int th = QFontMetrics(font).height();
    shot.top = 1 + th + th + 4;
    shot.bottom = meter.height() - 4;
    return shot;
}

}  // namespace

class SkinTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitSkinResources(); }

    void picturesArePremultipliedWithTruncation() {
        QImage image(3, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgba(255, 200, 100, 0));
        image.setPixel(1, 0, qRgba(255, 255, 3, 128));
        image.setPixel(2, 0, qRgba(10, 20, 30, 255));
        const QImage p = PremultiplyByAlpha(image);
        QCOMPARE(p.format(), QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(p.pixel(0, 0) & 0xFFFFFFFFu, 0u);  // fully transparent: 0, 0, 0, 0
        const QRgb half = reinterpret_cast<const QRgb*>(p.constScanLine(0))[1];
        QCOMPARE(qRed(half), 128);
        QCOMPARE(qBlue(half), 1);  // 3 * 128 / 255 truncates
        QCOMPARE(qAlpha(half), 128);

        QImage loaded;
        QVERIFY(LoadPngResource(loaded, 203, 1.0));
        QCOMPARE(loaded.format(), QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(loaded.size(), QSize(800, 500));
        QCOMPARE(qAlpha(loaded.pixel(0, 0)), 0);  // outside the rounded corner
        QVERIFY(LoadPngResource(loaded, 203, 2.0));
        QCOMPARE(loaded.deviceIndependentSize(), QSizeF(800, 500));  // the sharp drawing
        QVERIFY(!LoadPngResource(loaded, 4242, 1.0));
        QVERIFY(loaded.isNull());
    }

    void blendColorTruncatesEachByte() {
        QCOMPARE(BlendColor(qRgb(0, 0, 0), qRgb(255, 255, 255), 0.5f), qRgb(127, 127, 127));
        QCOMPARE(BlendColor(qRgb(10, 20, 30), qRgb(200, 100, 0), 0.0f), qRgb(10, 20, 30));
        QCOMPARE(BlendColor(qRgb(10, 20, 30), qRgb(200, 100, 0), 1.0f), qRgb(200, 100, 0));
        QCOMPARE(GetSkinColor(21), qRgb(35, 36, 39));
        QCOMPARE(GetSkinColor(24), qRgb(187, 242, 67));
    }

    void windowShapeCutsCornersAndTheLastRowAndColumn() {
        const QRegion region = CWizardDlg::PageRegion(800, 500);
        for (QPoint corner : {QPoint(0, 0), QPoint(799, 0), QPoint(0, 499), QPoint(799, 499),
                              QPoint(5, 5), QPoint(794, 494)}) {
            QVERIFY2(!region.contains(corner),
                     qPrintable(QString("%1,%2").arg(corner.x()).arg(corner.y())));
        }
        for (QPoint inside : {QPoint(14, 14), QPoint(785, 14), QPoint(14, 485), QPoint(785, 485),
                              QPoint(400, 0), QPoint(0, 250), QPoint(798, 250), QPoint(400, 498)}) {
            QVERIFY2(region.contains(inside),
                     qPrintable(QString("%1,%2").arg(inside.x()).arg(inside.y())));
        }
        QVERIFY(!region.contains(QPoint(799, 250)));  // the last column
        QVERIFY(!region.contains(QPoint(400, 499)));  // the last row
        // The corner circles do not follow the size.
        const QRegion wide = CWizardDlg::PageRegion(1600, 1000);
        QVERIFY(!wide.contains(QPoint(5, 5)));
        QVERIFY(wide.contains(QPoint(12, 12)));
        QVERIFY(wide.contains(QPoint(60, 0)));
    }

    void backgroundScalesOnlyOutsideTheTolerance() {
        QCOMPARE(CWizardDlg::ScaleFor(800, 800), 1.0);
        QCOMPARE(CWizardDlg::ScaleFor(804, 800), 1.0);
        QCOMPARE(CWizardDlg::ScaleFor(497, 500), 1.0);
        QCOMPARE(CWizardDlg::ScaleFor(806, 800), 806 / 800.0);
        TestPage page;
        page.resize(806, 500);
        page.Init();
        QCOMPARE(page.ScaleX(), 806 / 800.0);
        QCOMPARE(page.ScaleY(), 1.0);
        QCOMPARE(page.Scaled(CVuMeters::kDesignRect).left(), static_cast<int>(703 * 1.0075 + 0.5));
        page.resize(804, 497);
        page.Init();
        QCOMPARE(page.ScaleX(), 1.0);
        QCOMPARE(page.ScaleY(), 1.0);
        // A scaled background fills the wider window: the last opaque column moved right.
        page.resize(1000, 500);
        page.Init();
        QImage shot(page.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::transparent);
        page.render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        QVERIFY(qAlpha(shot.pixel(990, 250)) == 255);
    }

    void standardButtonsAndResults() {
        TestPage page;
        page.Init();
        QVERIFY(page.NextButton() && page.BackButton() && page.CloseButton());
        QCOMPARE(page.NextButton()->geometry(), QRect(639, 403, 129, 68));
        QCOMPARE(page.BackButton()->geometry(), QRect(501, 403, 129, 68));
        QCOMPARE(page.CloseButton()->geometry(), QRect(719, 37, 39, 39));
        QCOMPARE(page.windowTitle(), QStringLiteral("Sondrel by Korvell"));
        QVERIFY(page.NextButton()->accessibleName().isEmpty() ||
                page.NextButton()->accessibleName() == "next");
        QCOMPARE(page.NextButton()->text(), QStringLiteral("next"));
        QVERIFY(page.NextButton()->focusPolicy() & Qt::TabFocus);

        const auto runWith = [](auto action) {
            TestPage p;
            QTimer::singleShot(0, &p, [&p, action] { action(p); });
            return static_cast<int>(p.RunModal());  // the dialog codes themselves
        };
        QCOMPARE(runWith([](TestPage& p) { p.NextButton()->click(); }), 1001);
        QCOMPARE(runWith([](TestPage& p) { p.BackButton()->click(); }), 1000);
        QCOMPARE(runWith([](TestPage& p) { p.CloseButton()->click(); }), 2);
        QCOMPARE(runWith([](TestPage& p) { QTest::keyClick(&p, Qt::Key_Escape); }), 2);
        QCOMPARE(runWith([](TestPage& p) {
                     p.setFocus();
                     QTest::keyClick(&p, Qt::Key_Return);
                 }),
                 1);
        QCOMPARE(runWith([](TestPage& p) { p.close(); }), 2);  // window manager's close

        TestPage bare(CWizardDlg::kNoButtons);
        bare.Init();
        QVERIFY(!bare.NextButton() && !bare.BackButton());
    }

    void dragOnTheBackgroundMovesThePageAndAButtonPressDoesNot() {
        TestPage page;
        page.Init();
        page.move(100, 100);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QPoint start = page.pos();
        SendMouse(&page, QEvent::MouseButtonPress, QPoint(300, 250), Qt::LeftButton);
        SendMouse(&page, QEvent::MouseMove, QPoint(340, 270), Qt::LeftButton);
        SendMouse(&page, QEvent::MouseButtonRelease, QPoint(340, 270), Qt::NoButton);
        QTRY_COMPARE(page.pos(), start + QPoint(40, 20));

        const QPoint before = page.pos();
        QAbstractButton* next = page.NextButton();
        SendMouse(next, QEvent::MouseButtonPress, QPoint(60, 30), Qt::LeftButton);
        QVERIFY(next->isDown());
        SendMouse(next, QEvent::MouseMove, QPoint(70, 40), Qt::LeftButton);
        SendMouse(next, QEvent::MouseButtonRelease, QPoint(70, 40), Qt::NoButton);
        QCOMPARE(page.pos(), before);
        page.hide();
    }

    void pageOpensWhereTheLastOneClosed() {
        CWizardDlg::ForgetPageRect();
        TestPage first;
        QTimer::singleShot(0, &first, [&first] {
            first.move(222, 111);
            first.NextButton()->click();
        });
        first.RunModal();
        QCOMPARE(CWizardDlg::LastPageRect().topLeft(), QPoint(222, 111));
        TestPage second;
        second.Init();
        QCOMPARE(second.pos(), QPoint(222, 111));
        CWizardDlg::ForgetPageRect();
    }

    void buttonPictureChoice() {
        CKxButton button;
        QCOMPARE(button.ChoosePicture(false, false, false), CKxButton::Picture::None);
        QVERIFY(!button.LoadImages(4242, 210, 0, 0));  // no normal picture: nothing loaded
        QCOMPARE(button.ChoosePicture(true, false, false), CKxButton::Picture::None);
        QVERIFY(button.LoadImages(211, 210, 0, 0));
        QCOMPARE(button.ChoosePicture(true, false, false), CKxButton::Picture::Pressed);
        QCOMPARE(button.ChoosePicture(false, true, false), CKxButton::Picture::Normal);
        QCOMPARE(button.ChoosePicture(false, false, true), CKxButton::Picture::Normal);
        // A missing focus picture fails the load, yet the disabled one is still loaded.
        QVERIFY(!button.LoadImages(211, 210, 4242, 199));
        QCOMPARE(button.ChoosePicture(false, true, true), CKxButton::Picture::Disabled);

        QVERIFY(button.LoadImages(213, 212, 0, 0));
        button.SetToggleMode(true).SetToggled(false);
        QCOMPARE(button.ChoosePicture(true, true, false), CKxButton::Picture::Normal);
        button.SetToggled(true);
        QCOMPARE(button.ChoosePicture(false, false, true), CKxButton::Picture::Pressed);
        button.click();
        QVERIFY(button.IsToggled());  // only the page changes the toggled state

        // Without a label rectangle the caption is centred in the whole button, and that
        // rectangle is kept after a resize.
        CKxButton plain;
        plain.resize(100, 40);
        plain.setText("x");
        plain.grab();
        QCOMPARE(plain.LabelRect(), QRect(0, 0, 100, 40));
        plain.resize(200, 40);
        plain.grab();
        QCOMPARE(plain.LabelRect(), QRect(0, 0, 100, 40));
    }

    void meterLitHeightsAndScaleLabels() {
        QCOMPARE(CVuMeters::LitHeight(225, -36.0f), 0);
        QCOMPARE(CVuMeters::LitHeight(225, 3.0f), 225);
        QCOMPARE(CVuMeters::LitHeight(225, 20.0f), 225);
        QCOMPARE(CVuMeters::LitHeight(225, 0.0f), 207);
        QCOMPARE(CVuMeters::ScaleStep(225, 13), 6);  // 3 dB is 17 pixels and does not fit
        QCOMPARE(CVuMeters::ScaleStep(30, 13), 0);

        CVuMeters meter;
        meter.SetLevels(-100.0f, 1.0f, -50.0f, 9.0f);
        QCOMPARE(meter.LevelLeft(), -36.0f);
        QCOMPARE(meter.HoldLeft(), -36.0f);
    }

    void meterDrawsLitBarsMarkersAndTheClipColumn() {
        const int x = 8;  // inside the left bar
        const auto bright = [](QRgb p) { return qGreen(p) == 255 || qRed(p) == 211; };

        MeterShot idle = Shoot(-36.0f, -36.0f, true);
        for (int y = idle.top; y < idle.bottom; ++y)
            QVERIFY2(!bright(idle.At(x, y)), qPrintable(QString::number(y)));

        MeterShot lit = Shoot(-18.0f, -36.0f, true);
        const int litTop = lit.bottom - CVuMeters::LitHeight(lit.Area(), -18.0f);
        QVERIFY(bright(lit.At(x, litTop)));
        QVERIFY(bright(lit.At(x, lit.bottom - 1)));
        QVERIFY(!bright(lit.At(x, litTop - 1)));

        MeterShot held = Shoot(-36.0f, -10.0f, true);
        const int marker = held.bottom - CVuMeters::LitHeight(held.Area(), -10.0f);
        QVERIFY(bright(held.At(x, marker)));
        QVERIFY(bright(held.At(x, marker + 1)));
        QVERIFY(!bright(held.At(x, marker - 1)));
        QVERIFY(!bright(held.At(x, marker + 2)));

        MeterShot clip = Shoot(-36.0f, 0.0f, true);
        QVERIFY(qRed(clip.At(x, clip.top + 1)) > 200);  // solid bright column from the top
        MeterShot almost = Shoot(-36.0f, -0.1f, true);
        QVERIFY(qRed(almost.At(x, almost.top + 1)) < 170);  // only the two-row marker
        MeterShot noClip = Shoot(-36.0f, 0.0f, false);
        QVERIFY(qRed(noClip.At(x, noClip.top + 1)) < 170);

        const int zero = idle.bottom - CVuMeters::LitHeight(idle.Area(), 0.0f);
        QCOMPARE(idle.At(5, zero) & 0xFFFFFF, GetSkinColor(24) & 0xFFFFFF);
        QCOMPARE(idle.At(14, zero) & 0xFFFFFF, GetSkinColor(23) & 0xFFFFFF);
        QCOMPARE(idle.At(17, zero) & 0xFFFFFF, GetSkinColor(23) & 0xFFFFFF);
        QCOMPARE(idle.At(18, zero) & 0xFFFFFF, 0u);  // the end point is left out
        QCOMPARE(idle.At(13, idle.bottom) & 0xFFFFFF, GetSkinColor(21) & 0xFFFFFF);
        QCOMPARE(idle.At(4, idle.top) & 0xFFFFFF, GetSkinColor(21) & 0xFFFFFF);  // outline
    }
};

QTEST_MAIN(SkinTest)
#include "SkinTest.moc"
