// The wizard's page sequence driven by scripted pages: device checks, source choice, the
// recording road, tagging with any number of tracks, export failure and retry.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "app/CWizardFlow.h"
#include "app/RecoveryText.h"
#include "base/StringTable.h"
#include "common/TempFolder.h"
#include "devices/KnownDevices.h"
#include "export/CWavExporter.h"
#include "platform/IAudioSystem.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

class FakeRecorder : public IRecorder, public IRecorderSetup {
public:
    HRESULT QueryInterface(const GUID&, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }

    HRESULT OpenInput(WindowHandle, bool split) override {
        CloseInput();
        log.push_back(split ? "OpenInput(1)" : "OpenInput(0)");
        if (busyOpens > 0) {
            --busyOpens;
            return E_DEVICE_BUSY;
        }
        open = true;
        return S_OK;
    }
    HRESULT StartRecording() override {
        log.push_back("StartRecording");
        return open ? S_OK : E_FAIL;
    }
    HRESULT StopRecording() override {
        log.push_back("StopRecording");
        return open ? S_OK : E_FAIL;
    }
    HRESULT FinishRecording(bool p, bool q, std::vector<std::string>& trackFiles) override {
        log.push_back("FinishRecording");
        EXPECT_FALSE(p);
        EXPECT_FALSE(q);
        open = false;
        for (int i = 0; i < tracksToMake; ++i) {
            const fs::path path = folder / ("temp" + std::to_string(nextFile++) + ".wav");
            std::ofstream(path) << "track " << i;
            trackFiles.push_back(path.string());
            made.push_back(path.string());
        }
        return finishResult;
    }
    HRESULT CloseInput() override {
        if (open)
            log.push_back("CloseInput");
        open = false;
        for (const auto& f : made)
            fs::remove(f);
        made.clear();
        return S_OK;
    }
    HRESULT GetLevels(float&, float&, float&, float&, bool&) override { return E_FAIL; }
    HRESULT GetDeviceInfo(std::uint32_t, std::uint32_t&, std::string&) override { return S_FALSE; }
    HRESULT SelectDevice(std::uint32_t) override { return S_OK; }
    HRESULT GetSelectedDevice(std::uint32_t&) override { return E_FAIL; }
    HRESULT GetStatus(std::uint32_t&, bool&, std::uint32_t&, std::uint32_t&) override {
        return E_FAIL;
    }
    HRESULT GetChannelInfo(std::uint32_t, std::int32_t&, std::string&) override { return S_FALSE; }
    HRESULT SelectChannel(std::int32_t, const KnownDevice*) override { return S_OK; }
    HRESULT GetSelectedChannel(std::int32_t&) override { return E_FAIL; }
    HRESULT GetRecordLevel(float&) override { return E_FAIL; }
    HRESULT SetRecordLevel(float) override { return S_OK; }
    HRESULT MarkTrack() override { return S_OK; }
    HRESULT SetInputGain(float gainDb) override {
        lastGainDb = gainDb;
        return S_OK;
    }

    int UseDevice(const IdentifiedDevice& device) override {
        log.push_back("UseDevice");
        return device.captureGuid.IsNull() ? 1 : 0;
    }
    void SetSourceFilter(int type) override { sourceTypes.push_back(type); }
    void Shutdown() override {
        log.push_back("Shutdown");
        CloseInput();
    }
    HRESULT RecoverRecording(const std::string&, std::vector<std::string>& trackFiles) override {
        log.push_back("RecoverRecording");
        open = true;
        FinishRecording(false, false, trackFiles);
        return S_OK;
    }
    bool JournalTags(std::string& artist, std::string& album, std::vector<std::string>& titles,
                     std::string& format) const override {
        format = "flac";
        artist = typed.artist;
        album = typed.album;
        titles = typed.titles;
        return !typed.titles.empty();
    }
    HRESULT NoteTags(const std::string& artist, const std::string& album,
                     const std::vector<std::string>& titles, const std::string& format) override {
        noted = {artist, album, titles};
        notedFormat = format;
        return S_OK;
    }
    bool EditableMarks(std::vector<std::uint64_t>& marks, std::uint64_t& frames) const override {
        marks = journalMarks;
        frames = 20 * 44100;
        return editable;
    }
    HRESULT NoteMarks(const std::vector<std::uint64_t>& marks) override {
        journalMarks = marks;
        ++marksNoted;
        return S_OK;
    }
    // One track file per mark, as the recorder cuts them.
    HRESULT RecutTracks(std::vector<std::string>& trackFiles) override {
        log.push_back("RecutTracks");
        for (const auto& f : made)
            fs::remove(f);
        made.clear();
        trackFiles.clear();
        for (std::size_t i = 0; i < std::max<std::size_t>(journalMarks.size(), 1); ++i) {
            const fs::path path = folder / ("temp" + std::to_string(nextFile++) + ".wav");
            std::ofstream(path) << "track " << i;
            trackFiles.push_back(path.string());
            made.push_back(path.string());
        }
        return S_OK;
    }
    std::vector<std::string> KeepForLater(bool whole) override {
        log.push_back(whole ? "KeepForLater(1)" : "KeepForLater(0)");
        std::vector<std::string> kept;
        for (const auto& f : made) {
            if (fs::exists(f))
                kept.push_back(f);
        }
        made.clear();
        open = false;
        return kept;
    }

    fs::path folder;
    int tracksToMake = 1;
    int busyOpens = 0;  // opens refused as busy before the device is free
    HRESULT finishResult = S_OK;
    int nextFile = 0;
    bool open = false;
    float lastGainDb = 0;
    std::vector<std::string> made;
    std::vector<std::string> log;
    TagSet typed;  // what an earlier run noted for a recovered recording
    TagSet noted;
    std::string notedFormat;
    std::vector<int> sourceTypes;
    bool editable = false;  // the track page may be offered
    std::vector<std::uint64_t> journalMarks;
    int marksNoted = 0;
};

// One scripted step: the page expected next and how it answers.
struct Step {
    std::string page;
    PageResult result = PageResult::Next;
    std::function<void(void*)> fill;  // receives the page state
};

class ScriptedHost : public IWizardHost {
public:
    WindowHandle MainWindow() override { return this; }
    PageResult ShowConnect() override { return Next("Connect", nullptr); }
    PageResult ShowSelectDevice(SelectDevicePageState& p) override {
        return Next("SelectDevice", &p);
    }
    PageResult ShowTapeSelect(TapeSelectPageState& p) override {
        EXPECT_FALSE(p.chrome) << "every showing of the tape page starts at normal";
        return Next("TapeSelect", &p);
    }
    PageResult ShowStartRecord(StartRecordPageState& p) override { return Next("StartRecord", &p); }
    PageResult ShowRecording(RecordingPageState& p) override { return Next("Recording", &p); }
    PageResult ShowTagSingle(TagSinglePageState& p) override {
        EXPECT_TRUE(p.artist.empty() && p.title.empty() && p.album.empty());
        return Next("TagSingle", &p);
    }
    PageResult ShowTagMultiple(int index, TagMultiplePageState& p) override {
        return Next("TagMultiple" + std::to_string(index + 1), &p);
    }
    PageResult ShowTracks(TrackPageState& p) override { return Next("Tracks", &p); }
    PageResult ShowExporting(ExportingPageState& p) override {
        // Like the real page: wait until the export is over, then end with next; a scripted
        // close ends it at once, as the close button does while the export runs.
        const bool closing = !script.empty() && script.front().result == PageResult::Close;
        if (p.progress && !closing) {
            for (int i = 0; i < 2000 && p.progress->GetResult() == S_FALSE; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        return Next("Exporting", &p);
    }
    PageResult ShowFinished(FinishedPageState& p) override { return Next("Finished", &p); }
    void ShowPleaseWait() override { shown.push_back("PleaseWait"); }
    void HidePleaseWait() override {}
    MessageAnswer MessageBox(const std::string& text, MessageButtons, MessageIcon) override {
        messages.push_back(text);
        if (answers.empty())
            return MessageAnswer::Ok;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    PageResult Next(const std::string& page, void* state) {
        shown.push_back(page);
        if (script.empty()) {
            ADD_FAILURE() << "unexpected page " << page;
            return PageResult::Close;
        }
        Step step = script.front();
        script.pop_front();
        EXPECT_EQ(step.page, page);
        if (step.page != page)
            return PageResult::Close;
        if (step.fill)
            step.fill(state);
        return step.result;
    }

    std::deque<Step> script;
    std::deque<MessageAnswer> answers;
    std::vector<std::string> shown;
    std::vector<std::string> messages;
};

class WizardFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Valid());
        fs::create_directories(root / "tmp");
        fs::create_directories(root / "export");
        recorder.folder = root / "tmp";
        exporter = std::make_unique<CWavExporter>([this] { return root / "export"; });
    }
    void TearDown() override { exporter.reset(); }

    void Run() {
        WizardServices services;
        services.host = &host;
        services.recorder = &recorder;
        services.recorderSetup = &recorder;
        services.findKnownDevices = [this] {
            std::vector<UsbIdPair> result;
            if (!presentDevices.empty()) {
                result = presentDevices.front();
                if (presentDevices.size() > 1)
                    presentDevices.pop_front();
            }
            return result;
        };
        services.identifyCaptureDevice = [this](std::uint32_t v, std::uint32_t p) {
            IdentifiedDevice d;
            if (captureFound) {
                d.row = customRow ? customRow : FindKnownDevice(v, p);
                d.captureGuid = GUID::FromName("capture");
            }
            return d;
        };
        services.startExport = [this](auto&&... args) { return exporter->StartExport(args...); };
        services.waitForExport = [this] { exporter->WaitForExport(); };
        flow = std::make_unique<CWizardFlow>(services);
        if (recover.empty())
            flow->RunWizard();
        else
            flow->RunRecovered(recover);
        EXPECT_TRUE(host.script.empty())
            << "pages left unshown, next: " << host.script.front().page;
    }

    std::string recover;  // a recording to recover instead of recording one

    std::vector<fs::path> Exported() {
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(root / "export")) {
            if (e.is_regular_file())
                files.push_back(fs::relative(e.path(), root / "export"));
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    // The demo turntable: turntable only, RIAA.
    std::deque<std::vector<UsbIdPair>> presentDevices{{{0x15E4, 0x0174}}};
    bool captureFound = true;
    const KnownDevice* customRow = nullptr;
    test::TempFolder m_temp;
    const fs::path root = m_temp.Path();
    FakeRecorder recorder;
    ScriptedHost host;
    std::unique_ptr<CWavExporter> exporter;
    std::unique_ptr<CWizardFlow> flow;
};

Step Page(std::string page, PageResult result = PageResult::Next,
          std::function<void(void*)> fill = {}) {
    return Step{std::move(page), result, std::move(fill)};
}

template <class T>
std::function<void(void*)> Fill(std::function<void(T&)> f) {
    return [f](void* p) { f(*static_cast<T*>(p)); };
}

const KnownDevice* RowWith(bool turntable, bool tape, bool riaa) {
    for (const auto& row : kKnownDevices) {
        if (row.offersTurntable == turntable && row.offersTape == tape &&
            row.turntableRiaa == riaa && !(row.vendorId == 0x0D8C && row.productId == 0x0131)) {
            return &row;
        }
    }
    return nullptr;
}

TEST_F(WizardFlowTest, OneTrackRecordingIsTaggedAndExported) {
    host.script = {
        Page("Connect"),
        Page("StartRecord", PageResult::Next,
             Fill<StartRecordPageState>([](auto& p) { p.split = false; })),
        Page("Recording"),
        Page("TagSingle", PageResult::Next, Fill<TagSinglePageState>([](auto& p) {
                 p.artist = "The Band";
                 p.album = "Live!";
                 p.title = "Song: One?";
             })),
        Page("Exporting"),
        Page("Finished", PageResult::Next, Fill<FinishedPageState>([](auto& p) { p.choice = 0; }))};
    Run();
    EXPECT_TRUE(host.messages.empty());
    // The demo turntable's row has neither source flag: no equaliser, no device-type page.
    EXPECT_EQ(flow->SourceType(), 0);
    const std::vector<std::string> expectedLog{"UseDevice",       "OpenInput(1)",   "CloseInput",
                                               "OpenInput(0)",    "StartRecording", "StopRecording",
                                               "FinishRecording", "Shutdown"};
    EXPECT_EQ(recorder.log, expectedLog);
    EXPECT_EQ(recorder.sourceTypes, (std::vector<int>{0, 0}));
    const auto files = Exported();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string(), "Song One.wav");
    EXPECT_NE(files[0].parent_path().string().find("The Band"), std::string::npos);
}

TEST_F(WizardFlowTest, DeviceChecksRepeatUntilExactlyOneUsableDevice) {
    // Two devices, then none, then one without a capture device, then one that works.
    const UsbIdPair demo{0x15E4, 0x0174};
    presentDevices.clear();
    presentDevices.push_back({demo, demo});
    presentDevices.push_back({});
    presentDevices.push_back({demo});
    presentDevices.push_back({demo});
    host.script = {Page("Connect"), Page("Connect"),
                   Page("Connect", PageResult::Next, [&](void*) { captureFound = false; }),
                   Page("Connect", PageResult::Next), Page("Connect", PageResult::Close)};
    // The third "next" finds the device but no capture device; the fourth has captureFound
    // still false, so the fifth showing is closed.
    Run();
    ASSERT_EQ(host.messages.size(), 4u);
    EXPECT_EQ(host.messages[0], LoadString(kIdsMsgSeveralDevices));
    EXPECT_EQ(host.messages[1], LoadString(kIdsMsgCannotConnect));
    EXPECT_EQ(host.messages[2], LoadString(kIdsMsgCannotConnect));
    EXPECT_EQ(host.messages[3], LoadString(kIdsMsgCannotConnect));
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "UseDevice"), 0);
}

TEST_F(WizardFlowTest, SourceTypeFollowsTheDeviceRowAndTheUsersChoice) {
    struct Case {
        UsbIdPair device;
        std::vector<Step> pages;
        int expected;
    };
    const KnownDevice* both = RowWith(true, true, true);
    ASSERT_NE(both, nullptr);
    const UsbIdPair bothIds{both->vendorId, both->productId};
    const auto choose = [](int index) {
        return Fill<SelectDevicePageState>([index](auto& p) { p.deviceTypeIndex = index; });
    };
    const auto tape = [](bool chrome) {
        return Fill<TapeSelectPageState>([chrome](auto& p) { p.chrome = chrome; });
    };
    const std::vector<Case> cases{
        {bothIds, {Page("SelectDevice", PageResult::Next, choose(0))}, both->turntableRiaa ? 1 : 3},
        {bothIds,
         {Page("SelectDevice", PageResult::Next, choose(1)),
          Page("TapeSelect", PageResult::Next, tape(false))},
         0},
        {bothIds,
         {Page("SelectDevice", PageResult::Next, choose(1)),
          Page("TapeSelect", PageResult::Next, tape(true))},
         2},
        {{0x0D8C, 0x0131}, {Page("SelectDevice", PageResult::Next, choose(0))}, 0},
        // Row 3 offers both sources but no RIAA: the turntable gets type 3.
        {{0x0C76, 0x1600}, {Page("SelectDevice", PageResult::Next, choose(0))}, 3},
        {{0x08BB, 0x2900}, {}, 0},
    };
    for (const Case& c : cases) {
        FakeRecorder fresh;
        fresh.folder = recorder.folder;
        std::swap(recorder.log, fresh.log);
        recorder.sourceTypes.clear();
        presentDevices = {{c.device}};
        host.script = {Page("Connect")};
        for (const Step& s : c.pages)
            host.script.push_back(s);
        host.script.push_back(Page("StartRecord", PageResult::Close));
        Run();
        EXPECT_EQ(flow->SourceType(), c.expected)
            << std::hex << c.device.first << ":" << c.device.second;
    }
}

TEST_F(WizardFlowTest, TurntableOnlyRowGetsTheTurntableEqualiser) {
    static const KnownDevice bassLift{0x1234, 0x5678, {"Deck", nullptr, nullptr},
                                      true,   false,  false};
    customRow = &bassLift;
    host.script = {Page("Connect"), Page("StartRecord", PageResult::Close)};
    Run();
    EXPECT_EQ(flow->SourceType(), 3);
}

TEST_F(WizardFlowTest, TapeOnlyRowEndsTheProgramWithAFixedMessage) {
    // No row of the table is tape-only; such a row is a broken configuration.
    static const KnownDevice tapeOnly{0x1234, 0x5678, {"Tape", nullptr, nullptr},
                                      false,  true,   true};
    customRow = &tapeOnly;
    host.script = {Page("Connect")};
    Run();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Invalid device configuration detected.");
    EXPECT_EQ(recorder.log.back(), "Shutdown");
}

TEST_F(WizardFlowTest, BackFromTapePageGoesToConnectAndDetectsAgain) {
    const KnownDevice* both = RowWith(true, true, true);
    presentDevices = {{{both->vendorId, both->productId}}};
    host.script = {Page("Connect"),
                   Page("SelectDevice", PageResult::Next,
                        Fill<SelectDevicePageState>([](auto& p) { p.deviceTypeIndex = 1; })),
                   Page("TapeSelect", PageResult::Back), Page("Connect"),
                   // The device-type page shows the last choice again.
                   Page("SelectDevice", PageResult::Close, Fill<SelectDevicePageState>([](auto& p) {
                            EXPECT_EQ(p.deviceTypeIndex, 1);
                        }))};
    Run();
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "UseDevice"), 2);
}

// Runs one recording that yields trackCount files and answers the tag pages with titles.
class TrackCountTest : public WizardFlowTest, public ::testing::WithParamInterface<int> {};

TEST_P(TrackCountTest, TagPagesMatchTheTrackCount) {
    const int tracks = GetParam();
    recorder.tracksToMake = tracks;
    host.script = {Page("Connect"), Page("StartRecord"), Page("Recording")};
    if (tracks == 1) {
        host.script.push_back(Page("TagSingle", PageResult::Next,
                                   Fill<TagSinglePageState>([](auto& p) { p.title = "only"; })));
    } else if (tracks > 1) {
        const int pages = tracks <= 10 ? 1 : std::min(4, (tracks + 9) / 10);
        for (int i = 0; i < pages; ++i) {
            host.script.push_back(Page("TagMultiple" + std::to_string(i + 1), PageResult::Next,
                                       Fill<TagMultiplePageState>([i, tracks](auto& p) {
                                           EXPECT_EQ(p.trackCount, tracks);
                                           EXPECT_EQ(p.firstTrackOffset, 10 * i);
                                           if (i == 0)
                                               p.artist = "Artist";
                                           for (int k = 0; k < 10; ++k)
                                               p.titles[k] = "T" + std::to_string(10 * i + k + 1);
                                       })));
        }
    }
    if (tracks > 0) {
        host.script.push_back(Page("Exporting"));
        host.script.push_back(Page("Finished", PageResult::Next,
                                   Fill<FinishedPageState>([](auto& p) { p.choice = 0; })));
    }
    Run();
    if (tracks == 0) {
        // A recording that yields no track file is reported, not tagged.
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], LoadString(kIdsMsgTracksNotMade));
        return;
    }
    EXPECT_TRUE(host.messages.empty());
    const auto files = Exported();
    ASSERT_EQ(files.size(), static_cast<std::size_t>(tracks));
    // Tracks past the fortieth have no title field: they take the placeholder's name.
    for (int extra = 41; extra <= tracks; ++extra) {
        EXPECT_EQ(std::count(files.begin(), files.end(),
                             files[0].parent_path() / ("Track " + std::to_string(extra) + ".wav")),
                  1);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, TrackCountTest, ::testing::Values(0, 1, 2, 11, 40, 42));

TEST_F(WizardFlowTest, AFailedCutIsReportedAndNothingIsTagged) {
    recorder.finishResult = E_FAIL;
    recorder.tracksToMake = 2;  // made before the failure; they must not be exported
    host.script = {Page("Connect"), Page("StartRecord"), Page("Recording")};
    Run();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], LoadString(kIdsMsgTracksNotMade));
    EXPECT_TRUE(Exported().empty());
}

TEST_F(WizardFlowTest, ABusyDeviceIsNamedBeforeTheStartPageAndWhenRecordFails) {
    recorder.busyOpens = 2;  // the meter's open and the first "record"
    host.script = {Page("Connect"), Page("StartRecord"), Page("StartRecord"), Page("Recording"),
                   Page("TagSingle", PageResult::Close)};
    Run();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0], FormatDeviceBusyMessage(""));
    EXPECT_EQ(host.messages[1], FormatDeviceBusyMessage(""));
    EXPECT_NE(std::find(recorder.log.begin(), recorder.log.end(), "StartRecording"),
              recorder.log.end());
}

TEST_F(WizardFlowTest, BackDiscardsTheRecordingOnlyWhenTheUserSaysSo) {
    recorder.tracksToMake = 12;
    host.script = {Page("Connect"), Page("StartRecord"),
                   // "back" while recording, answered No: the recording goes on.
                   Page("Recording", PageResult::Back), Page("Recording"),
                   Page("TagMultiple1", PageResult::Next,
                        Fill<TagMultiplePageState>([](auto& p) { p.titles[0] = "kept"; })),
                   // Back from the second page shows the first again with its text.
                   Page("TagMultiple2", PageResult::Back),
                   // Back from the first tag page, answered No: the page stays, text and all.
                   Page("TagMultiple1", PageResult::Back),
                   Page("TagMultiple1", PageResult::Back, Fill<TagMultiplePageState>([](auto& p) {
                            EXPECT_EQ(p.titles[0], "kept");
                        })),
                   // Yes: the start page, and a new recording.
                   Page("StartRecord", PageResult::Close)};
    host.answers = {MessageAnswer::No, MessageAnswer::No, MessageAnswer::Yes};
    Run();
    EXPECT_EQ(host.messages, std::vector<std::string>(3, LoadString(kIdsMsgDiscardRecording)));
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "StartRecording"), 1);
    // Twice for the first start page (monitoring, then the split setting), once more now.
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "OpenInput(1)"), 3);
    // What was discarded is neither kept nor announced.
    EXPECT_TRUE(flow->KeptFiles().empty());
}

TEST_F(WizardFlowTest, ALookedUpSideNamesTheTracksOfTheLaterTagPagesWhereNothingWasTyped) {
    recorder.tracksToMake = 13;
    std::vector<std::string> side;
    for (int i = 1; i <= 12; ++i)
        side.push_back("Song " + std::to_string(i));
    const auto lookedUp = [](std::vector<std::string> titles) {
        return Fill<TagMultiplePageState>([titles](auto& p) { p.side.titles = titles; });
    };
    const auto expect = [](std::string eleventh, std::string twelfth, std::string thirteenth) {
        return Fill<TagMultiplePageState>([=](auto& p) {
            EXPECT_EQ(p.titles[0], eleventh);
            EXPECT_EQ(p.titles[1], twelfth);
            EXPECT_EQ(p.titles[2], thirteenth);
            p.titles[1] = "typed";
        });
    };
    std::vector<std::string> other = side;
    other[10] = "Other 11";
    host.script = {Page("Connect"), Page("StartRecord"), Page("Recording"),
                   Page("TagMultiple1", PageResult::Next, lookedUp(side)),
                   // Past the side's twelve tracks the thirteenth stays empty.
                   Page("TagMultiple2", PageResult::Back, expect("Song 11", "Song 12", "")),
                   // Another side: what it filled follows, what was typed stays.
                   Page("TagMultiple1", PageResult::Next, lookedUp(other)),
                   Page("TagMultiple2", PageResult::Close, expect("Other 11", "typed", ""))};
    Run();
}

TEST_F(WizardFlowTest, ARecoveredRecordingShowsWhatWasTypedAndBackKeepsItForLater) {
    recorder.tracksToMake = 3;
    recorder.typed = {"Band", "Live", {"One", "", "Three"}};
    recover = (root / "tmp" / "temp9.wav").string();
    host.script = {Page("TagMultiple1", PageResult::Back, Fill<TagMultiplePageState>([](auto& p) {
                            EXPECT_EQ(p.format, ExportFormat::Flac);
                            EXPECT_EQ(p.artist, "Band");
                            EXPECT_EQ(p.album, "Live");
                            EXPECT_EQ(p.titles[0], "One");
                            EXPECT_EQ(p.titles[2], "Three");
                            p.titles[1] = "Two";
                        })),
                   // No question: nothing is thrown away, and the wizard starts as usual.
                   Page("Connect", PageResult::Close)};
    Run();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "KeepForLater(1)"), 1);
    EXPECT_EQ(flow->KeptFiles().size(), 3u);

    // Exported, what was typed is noted for the recording before the export starts.
    host.script = {Page("TagMultiple1"), Page("Exporting"), Page("Finished", PageResult::Close)};
    Run();
    EXPECT_EQ(recorder.noted.titles[1], "");
    EXPECT_EQ(recorder.noted.artist, "Band");
    EXPECT_EQ(recorder.notedFormat, "flac");
    EXPECT_EQ(Exported().size(), 3u);
}

TEST_F(WizardFlowTest, FailedExportIsRetriedOnYes) {
    // An export folder that cannot be used (a file in its place) fails every attempt.
    recorder.tracksToMake = 1;
    host.script = {Page("Connect"),   Page("StartRecord"),
                   Page("Recording"), Page("TagSingle"),
                   Page("Exporting"), Page("Exporting"),
                   Page("Exporting"), Page("Finished", PageResult::Close)};
    host.answers = {MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No};
    fs::remove_all(root / "export");
    std::ofstream(root / "export") << "not a folder";
    Run();
    EXPECT_EQ(host.messages.size(), 3u);
    // Not retried: the track stays for a later run instead of being deleted.
    ASSERT_EQ(flow->KeptFiles().size(), 1u);
    EXPECT_TRUE(fs::exists(flow->KeptFiles()[0]));
}

TEST_F(WizardFlowTest, ClosingOnATagPageKeepsTheRecordingAndAFullExportKeepsNothing) {
    recorder.tracksToMake = 2;
    host.script = {Page("Connect"), Page("StartRecord"), Page("Recording"),
                   Page("TagMultiple1", PageResult::Close)};
    Run();
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "KeepForLater(1)"), 1);
    EXPECT_EQ(flow->KeptFiles().size(), 2u);
    EXPECT_EQ(flow->KeptFolder(), root / "tmp");

    host.script = {Page("Connect"),      Page("StartRecord"), Page("Recording"),
                   Page("TagMultiple1"), Page("Exporting"),   Page("Finished", PageResult::Close)};
    recorder.log.clear();
    Run();
    EXPECT_EQ(Exported().size(), 2u);
    EXPECT_TRUE(flow->KeptFiles().empty());
    EXPECT_EQ(std::count_if(recorder.log.begin(), recorder.log.end(),
                            [](const std::string& s) { return s.rfind("KeepForLater", 0) == 0; }),
              0);
}

// "check tracks": the track page between the tag pages, whose edits reach the journal as they
// are made and the track files before the export; what was typed stays in its row, and the
// tag pages follow the new track count. Without edits nothing is cut again; closing the track
// page ends the run and keeps the recording.
TEST_F(WizardFlowTest, TheTrackPageMendsTheCutsBetweenTheTagPages) {
    recorder.editable = true;
    host.script = {
        Page("Connect"),
        Page("StartRecord"),
        Page("Recording"),
        Page("TagSingle", PageResult::CheckTracks, Fill<TagSinglePageState>([](auto& p) {
                 EXPECT_TRUE(p.offerTrackCheck);
                 p.title = "First";
             })),
        Page("Tracks", PageResult::Next, Fill<TrackPageState>([](auto& p) {
                 EXPECT_EQ(p.cuts.TrackCount(), 1u);
                 EXPECT_TRUE(p.AddAtListening());  // the middle of the only track
             })),
        Page("TagMultiple1", PageResult::CheckTracks, Fill<TagMultiplePageState>([](auto& p) {
                 EXPECT_TRUE(p.offerTrackCheck);
                 EXPECT_EQ(p.trackCount, 2);
                 EXPECT_EQ(p.titles[0], "First");
                 p.titles[1] = "Second";
             })),
        Page("Tracks", PageResult::Back),
        Page("TagMultiple1", PageResult::Next,
             Fill<TagMultiplePageState>([](auto& p) { EXPECT_EQ(p.titles[1], "Second"); })),
        Page("Exporting"),
        Page("Finished", PageResult::Next, Fill<FinishedPageState>([](auto& p) { p.choice = 0; }))};
    Run();
    EXPECT_EQ(recorder.journalMarks, (std::vector<std::uint64_t>{10 * 44100 * 4, 20 * 44100 * 4}));
    EXPECT_EQ(recorder.marksNoted, 2);  // the edit, and once more on leaving the page
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "RecutTracks"), 1);
    const auto files = Exported();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename().string(), "First.wav");
    EXPECT_EQ(files[1].filename().string(), "Second.wav");

    recorder.log.clear();
    recorder.journalMarks.clear();
    host.script = {Page("Connect"), Page("StartRecord"), Page("Recording"),
                   Page("TagSingle", PageResult::CheckTracks),
                   Page("Tracks", PageResult::Close,
                        Fill<TrackPageState>([](auto& p) { EXPECT_TRUE(p.AddAtListening()); }))};
    Run();
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "RecutTracks"), 0);
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "KeepForLater(1)"), 1);
    EXPECT_EQ(recorder.journalMarks.size(), 2u);
}

TEST_F(WizardFlowTest, ASideLookedUpForOneTrackOffersItsLengthsAndNamesTheTracksCutAtThem) {
    recorder.editable = true;
    host.script = {
        Page("Connect"),
        Page("StartRecord"),
        Page("Recording"),
        Page("TagSingle", PageResult::CheckTracks, Fill<TagSinglePageState>([](auto& p) {
                 p.side = {{"Intro", "Song", "Outro"}, {5000, 8000, 7000}};
             })),
        Page("Tracks", PageResult::Next, Fill<TrackPageState>([](auto& p) {
                 EXPECT_EQ(p.sideLengthsMs, (std::vector<std::uint64_t>{5000, 8000, 7000}));
                 EXPECT_TRUE(p.Add(5 * 44100));
                 EXPECT_TRUE(p.Add(13 * 44100));
             })),
        Page("TagMultiple1", PageResult::Close, Fill<TagMultiplePageState>([](auto& p) {
                 EXPECT_EQ(p.trackCount, 3);
                 EXPECT_EQ(p.titles[0], "Intro");
                 EXPECT_EQ(p.titles[1], "Song");
                 EXPECT_EQ(p.titles[2], "Outro");
                 EXPECT_EQ(p.titles[3], "");
             }))};
    Run();
}

TEST_F(WizardFlowTest, ClosingWhileExportingLosesNoTrack) {
    // Track files on another file system must be copied, which takes a while.
    const test::TempFolder shm("/dev/shm");
    if (shm.Valid())
        recorder.folder = shm.Path();
    recorder.tracksToMake = 6;
    std::vector<std::string> sources;
    host.script = {Page("Connect"), Page("StartRecord"), Page("Recording"),
                   Page("TagMultiple1", PageResult::Next, Fill<TagMultiplePageState>([&](auto& p) {
                            for (int k = 0; k < 6; ++k)
                                p.titles[k] = "T" + std::to_string(k + 1);
                            // Big enough that the moves are still running when the page closes.
                            for (const auto& file : recorder.made) {
                                std::ofstream(file, std::ios::binary | std::ios::trunc)
                                    << std::string(4 << 20, 'x');
                                sources.push_back(file);
                            }
                        })),
                   Page("Exporting", PageResult::Close)};
    Run();
    const auto files = Exported();
    EXPECT_EQ(files.size(), 6u);
    for (const auto& f : files)
        EXPECT_EQ(fs::file_size(root / "export" / f), 4u << 20) << f;
    for (const auto& source : sources)
        EXPECT_FALSE(fs::exists(source)) << source;
}

TEST_F(WizardFlowTest, RecordSomethingElseKeepsDeviceSourceAndStartPageSettings) {
    host.script = {
        Page("Connect"),
        Page("StartRecord", PageResult::Next, Fill<StartRecordPageState>([](auto& p) {
                 p.split = false;
                 p.Scroll(ScrollCode::Top);
             })),
        Page("Recording"),
        Page("TagSingle"),
        Page("Exporting"),
        Page("Finished", PageResult::Next, Fill<FinishedPageState>([](auto& p) { p.choice = 1; })),
        Page("StartRecord", PageResult::Close, Fill<StartRecordPageState>([](auto& p) {
                 EXPECT_FALSE(p.split);
                 EXPECT_EQ(p.LevelText(), "+9.0");
             }))};
    Run();
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "UseDevice"), 1);
    EXPECT_EQ(recorder.sourceTypes, (std::vector<int>{0, 0, 0}));
    EXPECT_FLOAT_EQ(recorder.lastGainDb, 9.0f);
}

TEST(StartRecordPage, LevelSliderSteps) {
    StartRecordPageState page;
    page.levelTenthsDb = 85;
    page.Scroll(ScrollCode::PageUp);
    EXPECT_EQ(page.LevelText(), "+9.0");
    page.Scroll(ScrollCode::LineUp);
    EXPECT_EQ(page.levelTenthsDb, 90);
    page.Scroll(ScrollCode::Bottom);
    EXPECT_EQ(page.LevelText(), "-3.0");
    EXPECT_EQ(page.ScrollPosition(), 90);
    page.Scroll(ScrollCode::ThumbTrack, 60);
    EXPECT_EQ(page.LevelText(), "+0.0");
    page.Scroll(ScrollCode::LineDown);
    EXPECT_EQ(page.LevelText(), "-0.1");
}

TEST(TagMultiplePage, EnabledTitlesAndNumbers) {
    const auto page = [](int tracks, int offset) {
        TagMultiplePageState p;
        p.trackCount = tracks;
        p.firstTrackOffset = offset;
        return p;
    };
    const TagMultiplePageState first = page(3, 0);
    EXPECT_TRUE(first.TitleEnabled(3));
    EXPECT_FALSE(first.TitleEnabled(4));
    const TagMultiplePageState second = page(11, 10);
    EXPECT_TRUE(second.TitleEnabled(1));
    EXPECT_FALSE(second.TitleEnabled(2));
    EXPECT_EQ(second.NumberLabel(1), "11");
    const TagMultiplePageState fourth = page(35, 30);
    EXPECT_TRUE(fourth.TitleEnabled(5));
    EXPECT_FALSE(fourth.TitleEnabled(6));
    EXPECT_EQ(fourth.NumberLabel(10), "40");
    EXPECT_EQ(ExportingPageState::BarPosition(0.5f), 128);
}

}  // namespace
}  // namespace sondrel
