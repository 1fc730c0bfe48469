// Renders the skin to PNG files for a look by eye: every page background with its standard
// buttons, every button picture in each state, and the level meter at several levels.
// Usage: ui-gallery [output folder]   (default: screenshots/ in the working folder)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "app/qt/CWizConnectDlg.h"
#include "app/qt/CWizRecordingDlg.h"
#include "app/qt/CWizSelectDeviceDlg.h"
#include "app/qt/CWizStartRecordDlg.h"
#include "app/qt/CWizTapeSelectDlg.h"
#include "export/TitleLookupText.h"
#include "export/qt/CPleaseWait.h"
#include "export/qt/CWizExportingDlg.h"
#include "export/qt/CWizFinishedDlg.h"
#include "export/qt/CWizTagMultiple.h"
#include "export/qt/CWizTagMultipleMore.h"
#include "export/qt/CWizTagSingle.h"
#include "export/qt/CWizTrackPage.h"
#include "ui/CKxButton.h"
#include "ui/CVuMeters.h"
#include "ui/CWizardDlg.h"
#include "ui/SkinPicture.h"
#include "ui/SkinResourceIds.h"

using namespace sondrel;

namespace {

class GalleryPage : public CWizardDlg {
public:
    GalleryPage(int backgroundId, int buttons) : CWizardDlg(nullptr, buttons) {
        SetBackgroundId(backgroundId);
    }
};

bool Save(const QImage& image, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    if (!image.save(path)) {
        std::fprintf(stderr, "ui-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QImage Grab(QWidget& widget) {
    // At the screen's pixel ratio, so QT_SCALE_FACTOR=2 shows the double-density drawing.
    const qreal ratio = widget.devicePixelRatioF();
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    widget.render(&image);  // clips to the window shape
    return image;
}

// What a search for the sample album finds.
std::vector<ReleaseMatch> SampleMatches() {
    std::vector<ReleaseMatch> matches(4);
    matches[0] = {"1",       100,  "Harvest Lines", "Mara Quill & The Lanterns",
                  "1974-03", "GB", "12\" Vinyl",    7};
    matches[1] = {"2", 90, "Harvest Lines", "Mara Quill", "1999", "DE", "CD", 12};
    matches[2] = {"3",
                  88,
                  "Harvest Lines (Deluxe Edition, remastered)",
                  "Mara Quill",
                  "2011",
                  "XW",
                  "2\u00d712\" Vinyl",
                  13};
    matches[3] = {"4", 60, "Harvest", "Quill", "", "", "Cassette", 10};
    return matches;
}

// The first tag page while the user picks a release found online, and after a side filled it.
bool RenderLookupPages(const QDir& dir, const PageServices& services) {
    TagMultiplePageState state;
    state.trackCount = 5;
    state.offerTrackCheck = true;
    state.artist = "Mara Quill & The Lanterns";
    state.album = "Harvest Lines";
    state.titles[1] = "Copper Fields (typed)";
    CWizTagMultiple page(services);
    page.SetState(&state);
    page.Prepare();
    const std::vector<ReleaseMatch> matches = SampleMatches();
    page.Lookup()->ShowMatches(matches);
    page.Lookup()->StatusLine()->setText(QString::fromStdString(FormatPickText(matches.size())));
    bool ok = Save(Grab(page), dir, QStringLiteral("page-07a-tag-lookup-list.png"));
    page.Lookup()->CloseList();
    const char* titles[] = {"Slow River", nullptr, "The Long Room"};
    for (int i = 0; i < 3; ++i) {
        if (titles[i])
            page.TitleField(i + 1)->setText(QString::fromLatin1(titles[i]));
    }
    page.Lookup()->StatusLine()->setText(
        QString::fromStdString(FormatFilledText(matches[0]) + " " + FormatCountDiffersText(3, 5)));
    return Save(Grab(page), dir, QStringLiteral("page-07b-tag-lookup-filled.png")) && ok;
}

// Every page as it first shows, with sample answers where a page has fields.
bool RenderPages(const QDir& dir) {
    bool ok = true;
    PageServices services;
    services.readExportFolder = [] { return std::filesystem::path("/home/you/Music"); };
    const auto save = [&](CWizardDlg& page, const char* name) {
        page.Prepare();
        ok = Save(Grab(page), dir, QStringLiteral("page-%1.png").arg(QLatin1String(name))) && ok;
    };
    CWizConnectDlg connect;
    save(connect, "01-connect");
    SelectDevicePageState device;
    CWizSelectDeviceDlg selectDevice;
    selectDevice.SetState(&device);
    save(selectDevice, "02-device-type");
    TapeSelectPageState tape;
    CWizTapeSelectDlg tapeSelect;
    tapeSelect.SetState(&tape);
    save(tapeSelect, "03-tape-type");
    StartRecordPageState start;
    start.levelTenthsDb = 35;
    CWizStartRecordDlg startRecord(services);
    startRecord.SetState(&start);
    startRecord.Meter()->SetLevels(-14.0f, -12.5f, -6.0f, -5.5f);
    save(startRecord, "04-start-record");
    RecordingPageState recording;
    CWizRecordingDlg recordingPage;
    recordingPage.SetState(&recording);
    recordingPage.Prepare();
    recordingPage.TimeText()->setText(QStringLiteral("00:03:27"));
    recordingPage.TrackText()->setText(QStringLiteral("2"));
    recordingPage.Meter()->SetLevels(-9.0f, -10.0f, -2.0f, 0.0f);
    ok = Save(Grab(recordingPage), dir, QStringLiteral("page-05-recording.png")) && ok;
    TagSinglePageState single;
    single.artist = "The Band";
    single.title = "First Light";
    single.album = "Live at the Hall";
    single.offerTrackCheck = true;
    CWizTagSingle tagSingle(services);
    tagSingle.SetState(&single);
    save(tagSingle, "06-tag-single");
    // A whole side recorded as one track, looked up.
    tagSingle.Lookup()->ShowMatches(SampleMatches());
    ok = Save(Grab(tagSingle), dir, QStringLiteral("page-06a-tag-single-lookup.png")) && ok;
    tagSingle.Lookup()->CloseList();
    tagSingle.Lookup()->StatusLine()->setText(QString::fromStdString(
        FormatFilledText(SampleMatches()[0]) + " " + FormatCountDiffersText(4, 1, true)));
    ok = Save(Grab(tagSingle), dir, QStringLiteral("page-06b-tag-single-filled.png")) && ok;
    TagMultiplePageState multiple;
    multiple.trackCount = 13;
    multiple.artist = "The Band";
    multiple.album = "Live at the Hall";
    multiple.offerTrackCheck = true;
    multiple.titles = {"Overture", "Second Song", "Third",  "Fourth", "Fifth",
                       "Sixth",    "Seventh",     "Eighth", "Ninth",  "Tenth"};
    CWizTagMultiple tagMultiple(services);
    tagMultiple.SetState(&multiple);
    save(tagMultiple, "07-tag-multiple");
    ok = RenderLookupPages(dir, services) && ok;
    TagMultiplePageState more;
    more.trackCount = 13;
    more.firstTrackOffset = 10;
    more.titles[0] = "Eleventh";
    CWizTagMultipleMore tagMore(services);
    tagMore.SetState(&more);
    save(tagMore, "08-tag-more");
    ExportingPageState exporting;
    CWizExportingDlg exportingPage;
    exportingPage.SetState(&exporting);
    exportingPage.Prepare();
    exportingPage.Bar()->setValue(96);
    ok = Save(Grab(exportingPage), dir, QStringLiteral("page-09-exporting.png")) && ok;
    FinishedPageState finished;
    CWizFinishedDlg finishedPage(services);
    finishedPage.SetState(&finished);
    save(finishedPage, "10-finished");
    CPleaseWait wait;
    ok = Save(Grab(wait), dir, QStringLiteral("page-11-please-wait.png")) && ok;
    return ok;
}

// A side of four songs of different loudness with short gaps, as 16-bit stereo WAV.
bool WriteSampleSide(const std::filesystem::path& path, std::uint64_t& frames) {
    const double songs[][3] = {{0, 38, 9000}, {40, 95, 5000}, {96.5, 140, 12000}, {143, 170, 7000}};
    frames = 172 * 44100;
    std::vector<std::int16_t> samples(frames * 2, 0);
    for (const auto& song : songs) {
        for (auto f = static_cast<std::uint64_t>(song[0] * 44100); f < song[1] * 44100; ++f) {
            const double t = static_cast<double>(f) / 44100;
            const double swell = 0.55 + 0.45 * std::sin(t * 0.7 + song[0]);
            const double v = song[2] * swell * std::sin(2 * M_PI * 220 * t) * std::sin(9 * t);
            samples[2 * f] = static_cast<std::int16_t>(v);
            samples[2 * f + 1] = static_cast<std::int16_t>(v * 0.8);
        }
    }
    const auto u32 = [](std::ofstream& out, std::uint32_t v) {
        out.write(reinterpret_cast<const char*>(&v), 4);
    };
    const auto u16 = [](std::ofstream& out, std::uint16_t v) {
        out.write(reinterpret_cast<const char*>(&v), 2);
    };
    std::ofstream out(path, std::ios::binary);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    u32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(out, 16);
    u16(out, 1);
    u16(out, 2);
    u32(out, 44100);
    u32(out, 44100 * 4);
    u16(out, 4);
    u16(out, 16);
    out.write("data", 4);
    u32(out, dataBytes);
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
    return static_cast<bool>(out);
}

// The track page over the sample side, its picture complete and the second cut selected.
bool RenderTrackPage(const QDir& dir) {
    QTemporaryDir work;
    const std::filesystem::path side = work.filePath(QStringLiteral("side.wav")).toStdString();
    std::uint64_t frames = 0;
    if (!work.isValid() || !WriteSampleSide(side, frames))
        return false;
    TrackPageState state;
    state.Reset(side, {39 * 44100 * 4, 96 * 44100 * 4, 142 * 44100 * 4, 171 * 44100 * 4}, frames);
    state.cuts.Select(1);
    // A side was looked up: the cuts may follow its track lengths.
    state.sideLengthsMs = {39000, 57000, 46000, 29000, 31000};
    CWizTrackPage page;
    page.SetState(&state);
    page.Prepare();
    page.Refresh();
    QElapsedTimer waited;
    waited.start();
    while (!(page.Overview()->PictureDone() && page.CloseUp()->PictureDone()) &&
           waited.elapsed() < 10000) {
        QCoreApplication::processEvents();
        page.OnTimer();
    }
    page.OnTimer();
    const bool ok = Save(Grab(page), dir, QStringLiteral("page-12-tracks.png"));
    page.EndPage(PageResult::Close);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitSkinResources();
    QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "ui-gallery: cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }
    bool ok = RenderTrackPage(dir);

    for (int id : {kPicturePagePlain, kPicturePageBand, kPicturePageMeter, kPicturePageMeterGain}) {
        GalleryPage page(id, CWizardDlg::kNextButton | CWizardDlg::kBackButton);
        page.Prepare();
        if (id == kPicturePageMeter || id == kPicturePageMeterGain) {
            auto* meter = new CVuMeters(&page);
            meter->setGeometry(page.Scaled(CVuMeters::kDesignRect));
            meter->SetClipIndicator(true);
            meter->SetBackgroundPicture(page.Background());
            meter->SetLevels(-12.0f, -9.5f, -4.0f, -3.0f);
        }
        ok = Save(Grab(page), dir, QStringLiteral("page-background-%1.png").arg(id)) && ok;
    }

    struct ButtonSkin {
        const char* name;
        int normal;
        int pressed;
        QSize size;
        QColor colour;
        const char* caption;
    };
    const ButtonSkin skins[] = {
        {"next", kPictureNext, kPictureNextPressed, {129, 68}, QColor(0, 127, 0), "next"},
        {"back", kPictureBack, kPictureBackPressed, {129, 68}, QColor(159, 159, 0), "back"},
        {"record", kPictureRecord, kPictureRecordPressed, {129, 68}, QColor(127, 0, 0), "record"},
        {"tape", kPictureTapeType, kPictureTapeTypeChosen, {132, 53}, QColor(255, 0, 0), "chrome"},
        {"new-track",
         kPictureNewTrack,
         kPictureNewTrackPressed,
         {152, 61},
         QColor(223, 0, 0),
         "new track"},
        {"finished",
         kPictureFinishedAction,
         kPictureFinishedActionPressed,
         {180, 53},
         QColor(255, 0, 0),
         "Open Save Location"},
    };
    for (const ButtonSkin& skin : skins) {
        CKxButton button;
        button.resize(skin.size);
        button.setText(QString::fromLatin1(skin.caption));
        button.SetLabelFont();
        button.LoadImages(skin.normal, skin.pressed, 0, 0);
        button.SetTextColor(skin.colour);
        if (skin.size == QSize(129, 68))
            button.SetLabelRect(QRect(QPoint(23, 35), QPoint(111, 56)));
        for (bool down : {false, true}) {
            button.setDown(down);
            ok = Save(Grab(button), dir,
                      QStringLiteral("button-%1-%2.png")
                          .arg(QLatin1String(skin.name), down ? "pressed" : "normal")) &&
                 ok;
        }
    }

    GalleryPage meterPage(kPicturePageMeter, CWizardDlg::kNoButtons);
    meterPage.Prepare();
    const float levels[][4] = {
        {-36.0f, -36.0f, -36.0f, -36.0f}, {-20.0f, -18.0f, -15.0f, -14.0f},
        {-6.0f, -7.5f, -3.0f, -4.5f},     {0.0f, -1.0f, 0.0f, -0.1f},
        {3.0f, 5.0f, 3.0f, 6.0f},
    };
    for (const auto& l : levels) {
        CVuMeters meter(&meterPage);
        meter.setGeometry(meterPage.Scaled(CVuMeters::kDesignRect));
        meter.SetClipIndicator(true);
        meter.SetBackgroundPicture(meterPage.Background());
        meter.SetLevels(l[0], l[1], l[2], l[3]);
        ok = Save(Grab(meter), dir,
                  QStringLiteral("meter-%1-%2.png")
                      .arg(static_cast<double>(l[0]), 0, 'f', 1)
                      .arg(static_cast<double>(l[2]), 0, 'f', 1)) &&
             ok;
    }

    ok = RenderPages(dir) && ok;
    return ok ? 0 : 1;
}
