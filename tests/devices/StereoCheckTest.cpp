#include "devices/StereoCheck.h"

#include <gtest/gtest.h>

#include "devices/SimSystems.h"

namespace sondrel {
namespace {

using test::ParseSimSystem;

class RecordingQuestion : public IMonoRecordingQuestion {
public:
    explicit RecordingQuestion(bool answer) : m_answer(answer) {}
    bool AskVisitSupportPage() override {
        ++asked;
        return m_answer;
    }
    int asked = 0;

private:
    bool m_answer;
};

constexpr const char* kEndpoints =
    "endpoint \"Line (Realtek High Definition Audio)\" channels=2\n"
    "endpoint \"Mic (USB PnP Audio Device)\" channels=1\n"
    "endpoint \"Mic (USB PnP Audio Device)\" channels=2\n"
    "endpoint \"Line In (KORVELL PLATTER USB Audio Codec)\" channels=1\n"
    "endpoint \"Stereo Input\" channels=0\n";

TEST(StereoCheckTest, FindsTheFirstEndpointWithTheName) {
    auto platform = ParseSimSystem(kEndpoints);
    ICaptureEndpoints& endpoints = platform->Endpoints();
    EXPECT_TRUE(IsCaptureEndpointMono(endpoints, "Mic (USB PnP Audio Device)"));
    EXPECT_FALSE(IsCaptureEndpointMono(endpoints, "Line (Realtek High Definition Audio)"));
    // Exact comparison: neither substrings nor other cases match.
    EXPECT_FALSE(IsCaptureEndpointMono(endpoints, "USB PnP Audio Device"));
    EXPECT_FALSE(IsCaptureEndpointMono(endpoints, "mic (usb pnp audio device)"));
    EXPECT_FALSE(IsCaptureEndpointMono(endpoints, ""));
    // An endpoint whose format cannot be read counts as not mono.
    EXPECT_FALSE(IsCaptureEndpointMono(endpoints, "Stereo Input"));
}

TEST(StereoCheckTest, ComparesTheFirst31CharactersOfBothNames) {
    auto platform = ParseSimSystem(kEndpoints);
    // "Line In (KORVELL PLATTER USB Audio Codec)" cut to 31 characters, the whole name, and a
    // name that differs only after the 31st.
    for (const char* name :
         {"Line In (KORVELL PLATTER USB Au", "Line In (KORVELL PLATTER USB Audio Codec)",
          "Line In (KORVELL PLATTER USB Au!"})
        EXPECT_TRUE(IsCaptureEndpointMono(platform->Endpoints(), name)) << name;
    EXPECT_FALSE(IsCaptureEndpointMono(platform->Endpoints(), "Line In (KORVELL PLATTER USB A"));
}

TEST(StereoCheckTest, EndpointFailureCountsAsStereo) {
    auto platform = ParseSimSystem(std::string(kEndpoints) + "endpoints-fail\n");
    EXPECT_FALSE(IsCaptureEndpointMono(platform->Endpoints(), "Mic (USB PnP Audio Device)"));
}

TEST(StereoCheckTest, AsksOnlyOnNewerNtSystems) {
    struct Case {
        const char* version;
        bool asks;
    };
    const Case cases[] = {{"version 5.1", false},
                          {"version 5.2", false},
                          {"version 6.0", true},
                          {"version 6.1", true},
                          {"version 10.0", true},
                          {"version 6.1 platform=1", false},
                          {"version 4.90 platform=1", false}};
    for (const Case& c : cases) {
        auto platform = ParseSimSystem(std::string(c.version) + "\n" + kEndpoints);
        for (bool answer : {false, true}) {
            RecordingQuestion question(answer);
            const bool visit = CheckMonoRecording(platform->System(), platform->Endpoints(),
                                                  "Mic (USB PnP Audio Device)", question);
            EXPECT_EQ(question.asked, c.asks ? 1 : 0) << c.version;
            EXPECT_EQ(visit, c.asks && answer) << c.version;
        }
    }
}

TEST(StereoCheckTest, StereoEndpointIsNeverQuestioned) {
    auto platform = ParseSimSystem(std::string("version 6.1\n") + kEndpoints);
    RecordingQuestion question(true);
    EXPECT_FALSE(CheckMonoRecording(platform->System(), platform->Endpoints(),
                                    "Line (Realtek High Definition Audio)", question));
    EXPECT_FALSE(CheckMonoRecording(platform->System(), platform->Endpoints(), "", question));
    EXPECT_EQ(question.asked, 0);
}

TEST(StereoCheckTest, CaptureDevicesServeAsEndpointsByDefault) {
    auto platform = ParseSimSystem(
        "capture \"Primary Sound Capture Driver\" default channels=1\n"
        "capture \"USB PnP Audio Device\" channels=1\n"
        "capture \"KORVELL PLATTER Phono Preamp, USB Audio\" channels=1\n");
    EXPECT_TRUE(IsCaptureEndpointMono(platform->Endpoints(), "USB PnP Audio Device"));
    // ALSA's name for a USB card whose own name is long.
    EXPECT_TRUE(
        IsCaptureEndpointMono(platform->Endpoints(), "KORVELL PLATTER Phono Preamp, USB Audio"));
    EXPECT_FALSE(IsCaptureEndpointMono(platform->Endpoints(), "Primary Sound Capture Driver"));
}

}  // namespace
}  // namespace sondrel
