// An ALSA capture PCM for the tests, loaded by ALSA as an external plugin: a deck that plays a
// raw 16-bit stereo 44.1 kHz file in real time, like a turntable, and goes on playing while
// nobody reads it. It overruns like hardware when it is not read in time, can hold up a read
// (a capture thread descheduled on a busy machine) and can be unplugged. Played to, it takes
// everything at once and discards it, as USB codecs that also have an output are offered
// for the monitor.
//
//   pcm_type.testdeck { lib "/abs/path/libasound_module_pcm_testdeck.so" }
//   pcm.NAME {
//       type testdeck
//       file "/abs/path/side.raw"   # silence after its end
//       unplug_at FRAME             # the device is gone once the frames before FRAME were read
//       unplug_broken true          # ...gone as an overrun that cannot be recovered; otherwise
//                                   # disconnected, so that reads fail with -ENODEV
//       stall_at FRAME              # the first look at the position once the side is past
//       stall_ms MS                 #   FRAME takes MS
//   }
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kChannels = 2;

using Clock = std::chrono::steady_clock;

struct TestDeck {
    snd_pcm_ioplug_t io{};
    std::vector<std::int16_t> side;  // interleaved
    std::uint64_t unplugAt = 0;      // 0: never
    bool unplugBroken = false;
    std::uint64_t stallAt = 0;  // 0: never
    long stallMs = 0;
    bool stalled = false;
    bool playing = false;  // since the first start; the side goes on through overruns
    Clock::time_point playStart;
    std::uint64_t streamStart = 0;  // the side's frame at the start of the current stream
    bool gone = false;

    std::uint64_t SideFrameNow() const {
        if (!playing)
            return 0;
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - playStart);
        return static_cast<std::uint64_t>(ns.count()) / 1000 * kRate / 1000000;
    }

    std::int16_t Sample(std::uint64_t frame, unsigned channel) const {
        const std::uint64_t index = frame * kChannels + channel;
        return index < side.size() ? side[index] : 0;
    }
};

TestDeck& DeckOf(snd_pcm_ioplug_t* io) {
    return *static_cast<TestDeck*>(io->private_data);
}

bool IsOutput(const snd_pcm_ioplug_t* io) {
    return io->stream == SND_PCM_STREAM_PLAYBACK;
}

int Start(snd_pcm_ioplug_t* io) {
    TestDeck& deck = DeckOf(io);
    if (IsOutput(io))
        return 0;
    if (deck.gone)
        return -ENODEV;
    if (!deck.playing) {
        deck.playing = true;
        deck.playStart = Clock::now();
    }
    deck.streamStart = deck.SideFrameNow();
    return 0;
}

int Stop(snd_pcm_ioplug_t*) {
    return 0;
}

int Prepare(snd_pcm_ioplug_t* io) {
    return DeckOf(io).gone ? -ENODEV : 0;
}

snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
    TestDeck& deck = DeckOf(io);
    if (IsOutput(io))
        return static_cast<snd_pcm_sframes_t>(io->appl_ptr % io->buffer_size);
    if (deck.gone && deck.unplugBroken)
        return -EPIPE;
    std::uint64_t side = deck.SideFrameNow();
    if (deck.stallAt > 0 && !deck.stalled && side >= deck.stallAt) {
        deck.stalled = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(deck.stallMs));
        side = deck.SideFrameNow();
    }
    const std::uint64_t read = deck.streamStart + io->appl_ptr;
    if (deck.unplugAt > 0) {
        side = std::min(side, std::max(deck.unplugAt, read));
        if (read >= deck.unplugAt && !deck.gone) {
            deck.gone = true;
            if (deck.unplugBroken)
                return -EPIPE;
            // What the kernel does to the stream of an unplugged USB device.
            snd_pcm_ioplug_set_state(io, SND_PCM_STATE_DISCONNECTED);
        }
    }
    const std::uint64_t produced = side > deck.streamStart ? side - deck.streamStart : 0;
    // Hardware stops a stream whose buffer is full: an overrun.
    if (produced - io->appl_ptr >= io->buffer_size)
        return -EPIPE;
    return static_cast<snd_pcm_sframes_t>(produced % io->buffer_size);
}

snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                           snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    const TestDeck& deck = DeckOf(io);
    if (IsOutput(io))
        return static_cast<snd_pcm_sframes_t>(size);
    if (deck.gone)
        return -ENODEV;
    const std::uint64_t first = deck.streamStart + io->appl_ptr;
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        const snd_pcm_channel_area_t& area = areas[channel];
        for (snd_pcm_uframes_t i = 0; i < size; ++i) {
            const std::int16_t sample = deck.Sample(first + i, channel);
            std::memcpy(static_cast<char*>(area.addr) + (area.first + (offset + i) * area.step) / 8,
                        &sample, sizeof sample);
        }
    }
    return static_cast<snd_pcm_sframes_t>(size);
}

int Close(snd_pcm_ioplug_t* io) {
    TestDeck* deck = &DeckOf(io);
    if (io->poll_fd >= 0)
        close(io->poll_fd);
    delete deck;
    return 0;
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
    snd_pcm_ioplug_callback_t callbacks{};
    callbacks.start = Start;
    callbacks.stop = Stop;
    callbacks.pointer = Pointer;
    callbacks.transfer = Transfer;
    callbacks.close = Close;
    callbacks.prepare = Prepare;
    return callbacks;
}();

int ReadConfig(snd_config_t* conf, TestDeck& deck) {
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* entry = snd_config_iterator_entry(i);
        const char* id = nullptr;
        if (snd_config_get_id(entry, &id) < 0)
            continue;
        const std::string key = id;
        if (key == "comment" || key == "type" || key == "hint")
            continue;
        long number = 0;
        if (key == "file") {
            const char* path = nullptr;
            if (snd_config_get_string(entry, &path) < 0)
                return -EINVAL;
            std::ifstream in(path, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof())
                return -EIO;
            deck.side.resize(bytes.size() / sizeof(std::int16_t));
            std::memcpy(deck.side.data(), bytes.data(), deck.side.size() * sizeof(std::int16_t));
        } else if (key == "unplug_broken") {
            const int value = snd_config_get_bool(entry);
            if (value < 0)
                return -EINVAL;
            deck.unplugBroken = value != 0;
        } else if ((key == "unplug_at" || key == "stall_at" || key == "stall_ms") &&
                   snd_config_get_integer(entry, &number) >= 0 && number >= 0) {
            if (key == "unplug_at")
                deck.unplugAt = static_cast<std::uint64_t>(number);
            else if (key == "stall_at")
                deck.stallAt = static_cast<std::uint64_t>(number);
            else
                deck.stallMs = static_cast<long>(number);
        } else {
            SNDERR("testdeck: bad or unknown field %s", id);
            return -EINVAL;
        }
    }
    return 0;
}

int Constrain(snd_pcm_ioplug_t& io) {
    const unsigned access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    const unsigned format[] = {SND_PCM_FORMAT_S16_LE};
    int rc;
    if ((rc = snd_pcm_ioplug_set_param_list(&io, SND_PCM_IOPLUG_HW_ACCESS, 1, access)) < 0 ||
        (rc = snd_pcm_ioplug_set_param_list(&io, SND_PCM_IOPLUG_HW_FORMAT, 1, format)) < 0 ||
        (rc = snd_pcm_ioplug_set_param_minmax(&io, SND_PCM_IOPLUG_HW_CHANNELS, kChannels,
                                              kChannels)) < 0 ||
        (rc = snd_pcm_ioplug_set_param_minmax(&io, SND_PCM_IOPLUG_HW_RATE, kRate, kRate)) < 0 ||
        (rc = snd_pcm_ioplug_set_param_minmax(&io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1u << 20)) <
            0 ||
        (rc = snd_pcm_ioplug_set_param_minmax(&io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 128, 4u << 20)) <
            0 ||
        (rc = snd_pcm_ioplug_set_param_minmax(&io, SND_PCM_IOPLUG_HW_PERIODS, 2, 1024)) < 0)
        return rc;
    return 0;
}

}  // namespace

extern "C" {

SND_PCM_PLUGIN_DEFINE_FUNC(testdeck) {
    (void)root;
    auto* deck = new TestDeck;
    int rc = ReadConfig(conf, *deck);
    if (rc < 0) {
        delete deck;
        return rc;
    }
    snd_pcm_ioplug_t& io = deck->io;
    io.version = SND_PCM_IOPLUG_VERSION;
    io.name = "Sondrel test deck";
    io.callback = &kCallbacks;
    io.private_data = deck;
    // Always readable: nobody need wait on a deck that plays in real time.
    io.poll_fd = eventfd(1, EFD_NONBLOCK | EFD_CLOEXEC);
    io.poll_events = POLLIN;
    if ((rc = snd_pcm_ioplug_create(&io, name, stream, mode)) < 0) {
        if (io.poll_fd >= 0)
            close(io.poll_fd);
        delete deck;
        return rc;
    }
    // From here on the close callback frees the deck.
    if ((rc = Constrain(io)) < 0) {
        snd_pcm_ioplug_delete(&io);
        return rc;
    }
    *pcmp = io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(testdeck)

}  // extern "C"
