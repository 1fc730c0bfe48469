// The PipeWire backend against a real server (tests/platform/PipeWireTestServer.h): the USB
// device's node found by its ids, its samples recorded exactly, the listen-through heard on the
// default sink (and how late), a node or a server that goes away mid-recording, and a card
// another program holds.
#include <gtest/gtest.h>

#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>

#include "app/CMemorySettingsStore.h"
#include "audiofile/CWaveWriter.h"
#include "base/WaveFormat.h"
#include "common/TempFolder.h"
#include "devices/IdentifyCaptureDevice.h"
#include "platform/AlsaTestConfig.h"
#include "platform/DebugOutput.h"
#include "platform/PipeWireTestServer.h"
#include "platform/linux/CLinuxPlatform.h"
#include "platform/pipewire/CPipeWireAudioSystem.h"
#include "platform/pipewire/CPipeWireConnection.h"
#include "platform/pipewire/PipeWireNodes.h"
#include "recording/CRecorder.h"
#include "recording/CSectionPlayer.h"
#include "recording/CSourceEqualiser.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

// A server that has just started, or is busy making a node, under a sanitizer and a loaded
// machine, may take more than the program's own second to answer.
constexpr int kTestConnectMs = 5000;

TEST(PipeWireNodes, TheUsbDevicesNodeIsFoundByItsIdsElseByTheStartOfItsDescription) {
    const auto node = [](std::uint32_t id, std::string description, std::string mediaClass) {
        PipeWireNodeInfo info;
        info.id = id;
        info.name = "node" + std::to_string(id);
        info.description = std::move(description);
        info.mediaClass = std::move(mediaClass);
        return info;
    };
    std::vector<PipeWireNodeInfo> nodes{node(1, "USB Audio Codec Analog Stereo", "Audio/Source"),
                                        node(2, "Built-in Audio", "Audio/Source"),
                                        node(3, "USB Audio Codec Analog Stereo", "Audio/Sink")};
    nodes[2].vendorId = "0x08bb";  // a sink of the same device is no capture node
    nodes[2].productId = "0x29c0";
    nodes[1].deviceId = 40;
    const std::vector<PipeWireDeviceInfo> devices{{40, "08bb", "0x29C0"}};
    const char* const names[] = {"USB Audio Device", nullptr, "USB Audio Codec"};

    // The ids on the node's device win over a name that fits another node.
    EXPECT_EQ(FindPipeWireUsbCaptureNode(nodes, devices, 0x08BB, 0x29C0, names), &nodes[1]);
    // Other ids: the first name that starts exactly one description.
    EXPECT_EQ(FindPipeWireUsbCaptureNode(nodes, devices, 0x08BB, 0x2900, names), &nodes[0]);
    nodes.push_back(node(4, "USB Audio Codec #2", "Audio/Source"));
    EXPECT_EQ(FindPipeWireUsbCaptureNode(nodes, devices, 0x08BB, 0x2900, names), nullptr);
    // A name inside a description does not count.
    const char* const inside[] = {"Audio Codec"};
    EXPECT_EQ(FindPipeWireUsbCaptureNode(nodes, {}, 0x08BB, 0x2900, inside), nullptr);

    EXPECT_EQ(ParsePipeWireUsbId("0x08bb"), 0x08BBu);
    EXPECT_EQ(ParsePipeWireUsbId("29C0"), 0x29C0u);
    EXPECT_EQ(ParsePipeWireUsbId(""), std::nullopt);
    EXPECT_EQ(ParsePipeWireUsbId("0x1234x"), std::nullopt);
    EXPECT_EQ(ParsePipeWireUsbId("0x12345"), std::nullopt);
}

// Records a node of the test server (the sink's monitor too) from the test's own stream: every
// sample, and the graph clock at the first frame of each block, for timing what it heard.
class GraphProbe {
public:
    GraphProbe(CPipeWireConnection& connection, const char* target, bool sinkMonitor)
        : m_connection(connection), m_samples(2 * 44100 * 30), m_ticks(44100 * 30 / 2048) {
        CPipeWireLock lock(m_connection);
        pw_properties* props = pw_properties_new(
            PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_TARGET_OBJECT,
            target, PW_KEY_STREAM_CAPTURE_SINK, sinkMonitor ? "true" : "false", nullptr);
        m_stream = pw_stream_new(m_connection.Core(), "probe", props);
        static const pw_stream_events events = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.process = [](void* data) { static_cast<GraphProbe*>(data)->Process(); };
            e.io_changed = [](void* data, std::uint32_t id, void* area, std::uint32_t) {
                if (id == SPA_IO_Position)
                    static_cast<GraphProbe*>(data)->m_position =
                        static_cast<spa_io_position*>(area);
            };
            return e;
        }();
        pw_stream_add_listener(m_stream, &m_listener, &events, this);
        spa_audio_info_raw info{};
        info.format = SPA_AUDIO_FORMAT_S16_LE;
        info.rate = 44100;
        info.channels = 2;
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
        std::uint8_t pod[1024];
        spa_pod_builder builder{};
        spa_pod_builder_init(&builder, pod, sizeof pod);
        const spa_pod* params[1] = {
            spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
        pw_stream_connect(
            m_stream, PW_DIRECTION_INPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                         PW_STREAM_FLAG_RT_PROCESS),
            params, 1);
    }
    ~GraphProbe() { Stop(); }

    // Ends the stream; what it recorded stays.
    void Stop() {
        CPipeWireLock lock(m_connection);
        if (m_stream != nullptr) {
            spa_hook_remove(&m_listener);
            pw_stream_destroy(m_stream);
            m_stream = nullptr;
        }
    }

    std::vector<std::int16_t> Samples() const {
        return {m_samples.begin(), m_samples.begin() + static_cast<std::ptrdiff_t>(m_count.load())};
    }
    // The graph's clock when the frame at index frame of Samples() passed.
    std::uint64_t TickOf(std::size_t frame) const { return m_ticks[frame / 2048] + frame % 2048; }

private:
    void Process() {
        pw_buffer* buffer = pw_stream_dequeue_buffer(m_stream);
        if (buffer == nullptr)
            return;
        const spa_data& data = buffer->buffer->datas[0];
        const std::size_t count = m_count.load(std::memory_order_relaxed);
        const std::size_t samples =
            std::min<std::size_t>(data.chunk->size / 2, m_samples.size() - count);
        // Whole blocks of 2048 frames only, so that each has its tick.
        if (m_position != nullptr && samples == 2 * 2048 && data.data != nullptr) {
            m_ticks[count / 4096] = m_position->clock.position;
            std::copy_n(static_cast<const std::int16_t*>(data.data), samples, &m_samples[count]);
            m_count.store(count + samples, std::memory_order_release);
        }
        pw_stream_queue_buffer(m_stream, buffer);
    }

    CPipeWireConnection& m_connection;
    pw_stream* m_stream = nullptr;
    spa_hook m_listener{};
    spa_io_position* m_position = nullptr;
    std::vector<std::int16_t> m_samples;
    std::vector<std::uint64_t> m_ticks;
    std::atomic<std::size_t> m_count{0};
};

class PipeWireTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Valid());
        if (!test::PipeWireTestServer::Installed())
            GTEST_SKIP() << "pipewire and wireplumber are not installed (./test installs them)";
        test::WriteRawSide(m_dir / "side.raw", m_side);
        std::ofstream(m_dir / "deck.conf") << "<" << test::SystemAlsaConf().string() << ">\n"
                                           << test::TestDeckPcm(m_dir / "side.raw", "");
        m_server = std::make_unique<test::PipeWireTestServer>(m_dir, m_dir / "deck.conf");
        std::string problem;
        ASSERT_TRUE(m_server->Start(problem)) << problem;
        std::string error;
        ASSERT_EQ(CLinuxPlatform::Create({std::make_pair(0x08BBu, 0x29C0u)}, m_platform, error),
                  S_OK)
            << error;
        ASSERT_TRUE(m_platform->UsesPipeWire());
        const IdentifiedDevice device = IdentifyCaptureDevice(m_platform->Audio(), 0x08BB, 0x29C0);
        ASSERT_FALSE(device.captureGuid.IsNull());
        m_recorder = ComPtr<CRecorder>::Attach(new CRecorder(*m_platform, m_profile));
        m_recorder->SetRecordingsFolder(m_dir);
        ASSERT_EQ(m_recorder->UseDevice(device), 0);
    }

    void TearDown() override {
        if (m_recorder)
            m_recorder->CloseInput();
    }

    // Records until stop says so (or 20 s pass); the recording's samples.
    template <typename StopWhen>
    std::vector<std::int16_t> Record(StopWhen stop) {
        EXPECT_EQ(m_recorder->OpenInput(nullptr, false), S_OK);
        m_recorder->SetSourceFilter(kSourceFilterNone);
        EXPECT_EQ(m_recorder->StartRecording(), S_OK);
        for (int ms = 0; ms < 20000 && !stop(ms); ms += 50)
            m_platform->Threads().SleepMs(50);
        m_recorder->StopRecording();
        std::vector<std::string> files;
        EXPECT_EQ(m_recorder->FinishRecording(false, false, files), S_OK);
        return test::ReadWaveSamples16(m_recorder->TempFileName());
    }

    struct Walk {
        std::size_t first = 0;  // the index of the first sound
        std::uint64_t frames = 0;
        std::uint64_t skipped = 0;   // side frames left out between the first and the last
        std::uint64_t silences = 0;  // stretches of silence after the first sound
    };

    // Walks samples as the numbered side: from the first sound on, every frame must be a side
    // frame, unchanged and later than the one before. A busy machine may make the server skip
    // a block (counted as lost) or leave the output dry for one (counted as an underrun).
    Walk WalkSide(const std::vector<std::int16_t>& samples) {
        Walk walk;
        const auto silent = [&](std::size_t i) {
            return samples[2 * i] == 0 && samples[2 * i + 1] == 0;
        };
        const std::size_t count = samples.size() / 2;
        while (walk.first < count && silent(walk.first))
            ++walk.first;
        std::uint64_t next = walk.first < count ? test::FrameNumber(samples, walk.first) : 0;
        for (std::size_t i = walk.first; i < count; ++i) {
            if (silent(i)) {
                walk.silences += silent(i - 1) ? 0 : 1;
                continue;
            }
            const std::uint32_t number = test::FrameNumber(samples, i);
            if (number < next || number >= kSideFrames || samples[2 * i] != m_side[2 * number] ||
                samples[2 * i + 1] != m_side[2 * number + 1]) {
                ADD_FAILURE() << "frame " << i << " is no side frame after " << next - 1;
                break;
            }
            walk.skipped += number - next;
            next = number + 1;
            ++walk.frames;
        }
        return walk;
    }

    // The recording is the side from where it began, with nothing missing that was not counted.
    void ExpectSideAsCounted(const std::vector<std::int16_t>& recorded, double seconds) {
        const Walk walk = WalkSide(recorded);
        EXPECT_EQ(walk.first, 0u);
        EXPECT_EQ(walk.silences, 0u);
        EXPECT_GE(walk.frames, static_cast<std::uint64_t>(seconds * 44100));
        EXPECT_EQ(walk.skipped, std::llround(m_recorder->LostSeconds() * 44100));
    }

    static constexpr std::uint32_t kSideFrames = 60 * 44100;
    test::TempFolder m_temp;
    const fs::path m_dir = m_temp.Path();
    const std::vector<std::int16_t> m_side = test::NumberedSide(kSideFrames);
    std::unique_ptr<test::PipeWireTestServer> m_server;
    std::unique_ptr<CLinuxPlatform> m_platform;
    CMemorySettingsStore m_profile;
    ComPtr<CRecorder> m_recorder;
};

TEST_F(PipeWireTest, RecordsTheUsbNodeExactlyAndListensThroughTheDefaultSink) {
    std::unique_ptr<CPipeWireConnection> connection;
    std::string why;
    ASSERT_EQ(CPipeWireConnection::Connect(kTestConnectMs, connection, why), S_OK) << why;
    GraphProbe deck(*connection, test::kTestDeckNode, false);
    GraphProbe speakers(*connection, test::kTestSinkNode, true);

    const std::vector<std::int16_t> recorded = Record([](int ms) { return ms >= 4000; });
    ExpectSideAsCounted(recorded, 3.0);
    EXPECT_FALSE(m_recorder->DeviceWasLost());
    const auto lostFrames = std::llround(m_recorder->LostSeconds() * 44100);
    m_recorder->CloseInput();
    deck.Stop();
    speakers.Stop();

    // The speakers heard the recording unchanged and in order from their first sound on;
    // silence between counts as the output running dry (delaying what follows), and only
    // what the recording lost may be missing. The last silence is the recording's end.
    const std::vector<std::int16_t> heard = speakers.Samples();
    const Walk walk = WalkSide(heard);
    EXPECT_GE(walk.frames, 44100u * 3);
    EXPECT_LE(walk.skipped, static_cast<std::uint64_t>(lostFrames));
    EXPECT_LE(walk.silences, m_platform->OutputUnderruns() + 1);

    // How late: the graph's clock when the deck gave a frame and when the speakers played it.
    const std::vector<std::int16_t> given = deck.Samples();
    ASSERT_GT(given.size(), 0u);
    const std::uint32_t deckFirst = test::FrameNumber(given, 0);
    const std::uint32_t frame = test::FrameNumber(heard, walk.first);
    ASSERT_GE(frame, deckFirst);
    const std::uint64_t latency = speakers.TickOf(walk.first) - deck.TickOf(frame - deckFirst);
    std::printf("listen-through latency: %llu frames (%.1f ms)\n",
                static_cast<unsigned long long>(latency), latency * 1000.0 / 44100);
    EXPECT_LT(latency, 44100u / 2);
}

TEST_F(PipeWireTest, ARemovedNodeEndsTheRecordingWithEverythingBeforeIt) {
    const std::vector<std::int16_t> recorded = Record([this](int ms) {
        if (ms == 1500)
            test::PipeWireTestServer::Output(std::string("pw-cli destroy ") + test::kTestDeckNode);
        return m_recorder->DeviceWasLost();
    });
    EXPECT_TRUE(m_recorder->DeviceWasLost());
    EXPECT_EQ(m_recorder->DeviceLossReason(), "its PipeWire node \"Test deck\" went away");
    ExpectSideAsCounted(recorded, 1.0);
}

TEST_F(PipeWireTest, AServerThatDiesEndsTheRecordingWithEverythingBeforeIt) {
    const std::vector<std::int16_t> recorded = Record([this](int ms) {
        if (ms == 1500)
            m_server->KillServer();
        return m_recorder->DeviceWasLost();
    });
    EXPECT_TRUE(m_recorder->DeviceWasLost());
    EXPECT_EQ(m_recorder->DeviceLossReason(), "the PipeWire server stopped");
    ExpectSideAsCounted(recorded, 1.0);
}

TEST_F(PipeWireTest, AStretchPlayedForTheTrackPageEndsAtItsLastFrameAndIsHeardWhole) {
    // A second and a bit: the last block the server asks for is only partly there.
    constexpr std::uint64_t kFrames = 44100 + 1000;
    const fs::path wav = m_dir / "stretch.wav";
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(wav, CaptureFormat()), S_OK);
    writer.Write(m_side.data(), kFrames * kCaptureBlockAlign);
    ASSERT_EQ(writer.Close(), S_OK);
    std::unique_ptr<CPipeWireConnection> connection;
    std::string why;
    ASSERT_EQ(CPipeWireConnection::Connect(kTestConnectMs, connection, why), S_OK) << why;
    GraphProbe speakers(*connection, test::kTestSinkNode, true);

    CSectionPlayer player(m_platform->Audio(), GUID{});
    ASSERT_EQ(player.Play(wav, 0, kFrames), S_OK);
    for (int ms = 0; ms < 5000 && player.IsPlaying(); ms += 20)
        m_platform->Threads().SleepMs(20);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.PositionFrame(), kFrames);
    m_platform->Threads().SleepMs(300);  // the last blocks reach the speakers
    speakers.Stop();
    const Walk walk = WalkSide(speakers.Samples());
    EXPECT_EQ(walk.frames, kFrames);
    EXPECT_EQ(walk.skipped, 0u);
}

TEST_F(PipeWireTest, ACardAnotherProgramHoldsIsBusyAndNamesTheProgram) {
    std::unique_ptr<CPipeWireConnection> connection;
    std::string why;
    ASSERT_EQ(CPipeWireConnection::Connect(kTestConnectMs, connection, why), S_OK) << why;
    // A second deck on card 9, whose capture device this test holds as far as the kernel's
    // account under the test's own /proc/asound says.
    test::PipeWireTestServer::Output(
        "pw-cli create-node adapter '{ factory.name = api.alsa.pcm.source "
        "node.name = sondrel-held-deck node.description = \"Held deck\" media.class = Audio/Source "
        "api.alsa.path = turntable api.alsa.pcm.card = 9 api.alsa.pcm.device = 0 "
        "audio.channels = 2 audio.position = [ FL FR ] object.linger = true }'");
    const fs::path status = m_dir / "asound" / "card9" / "pcm0c" / "sub0" / "status";
    fs::create_directories(status.parent_path());
    std::ofstream(status) << "state: RUNNING\nowner_pid   : " << ::getpid() << "\n";
    CPipeWireAudioSystem audio(std::move(connection), m_dir / "asound");
    GUID held;
    for (int i = 0; i < 100 && held.IsNull(); ++i) {
        std::vector<AudioDeviceEntry> devices;
        audio.EnumerateCaptureDevices(devices);
        for (const AudioDeviceEntry& device : devices)
            held = device.description == "Held deck" ? device.id : held;
        m_platform->Threads().SleepMs(50);
    }
    ASSERT_FALSE(held.IsNull());

    std::unique_ptr<ICaptureRing> ring;
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(audio.CreateCaptureRing(held, CaptureFormat(), 1 << 16, ring), E_DEVICE_BUSY);
    // Told at once rather than after the wait for a stream that cannot start.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    const std::string holder = audio.CaptureDeviceHolder(held);
    EXPECT_NE(holder.find("(process " + std::to_string(::getpid()) + ")"), std::string::npos)
        << holder;

    // Once the program lets go, the server opens the card.
    std::ofstream(status) << "closed\n";
    EXPECT_EQ(audio.CreateCaptureRing(held, CaptureFormat(), 1 << 16, ring), S_OK)
        << audio.LastError();
    EXPECT_EQ(audio.CaptureDeviceHolder(held), "");
}

}  // namespace
}  // namespace sondrel
