// A private ALSA configuration for the tests that run the ALSA backend for real: the system's
// own configuration plus file-plugin PCMs that play a raw side as a turntable and record what
// is played, and reading back the WAV files a recording made.
#pragma once

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "audiofile/CWaveReader.h"
#include "audiofile/WaveTestUtil.h"
#include "common/SignalKit.h"

namespace sondrel::test {

// The system's alsa.conf, which a test configuration includes first; empty when there is none.
inline std::filesystem::path SystemAlsaConf() {
    for (const char* candidate : {"/usr/share/alsa/alsa.conf", "/etc/alsa/alsa.conf"}) {
        if (std::filesystem::exists(candidate))
            return candidate;
    }
    return {};
}

// A capture PCM "turntable" that plays the raw 16-bit stereo file side, hinted with the
// product name that table row 11 looks for.
inline std::string TurntablePcm(const std::filesystem::path& side) {
    return "pcm.turntable {\n type file\n slave.pcm \"null\"\n file \"/dev/null\"\n infile \"" +
           side.string() + "\"\n format \"raw\"\n" +
           " hint { show on; description \"USB AUDIO  CODEC, USB Audio\" }\n}\n";
}

#ifdef SONDREL_TEST_DECK_PLUGIN
// The same turntable on the tests' own ALSA plugin (alsa-plugin/TestDeckPcm.cpp), which plays
// side in real time and can overrun and be unplugged as options ("unplug_at 88200") say.
inline std::string TestDeckPcm(const std::filesystem::path& side, std::string_view options) {
    return "pcm_type.testdeck { lib \"" SONDREL_TEST_DECK_PLUGIN
           "\" }\n"
           "pcm.turntable {\n type testdeck\n file \"" +
           side.string() + "\"\n " + std::string(options) +
           "\n hint { show on; description \"USB AUDIO  CODEC, USB Audio\" }\n}\n";
}
#endif

// A playback PCM that writes what it plays into the raw file played; without a description
// it carries no hint.
inline std::string RecordingPcm(std::string_view name, const std::filesystem::path& played,
                                std::string_view description = {}) {
    std::string text = "pcm." + std::string(name) +
                       " {\n type file\n slave.pcm \"null\"\n file \"" + played.string() +
                       "\"\n format \"raw\"\n";
    if (!description.empty())
        text += " hint { show on; description \"" + std::string(description) + "\" }\n";
    return text + "}\n";
}

// Makes this process's ALSA read the system's configuration followed by pcms, written to
// config; ALSA keeps its configuration per process, so each test brings its own. A desktop's
// sound server is looked for where there is none, so that the ALSA devices are used directly.
inline void UseAlsaConfig(const std::filesystem::path& config, const std::string& pcms) {
    std::ofstream(config) << "<" << SystemAlsaConf().string() << ">\n" << pcms;
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", config.parent_path().c_str(), 1);
    unsetenv("PIPEWIRE_REMOTE");
    snd_config_update_free_global();
}

inline void RestoreAlsaConfig() {
    snd_config_update_free_global();
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("PIPEWIRE_RUNTIME_DIR");
}

inline void WriteRawSide(const std::filesystem::path& path,
                         const std::vector<std::int16_t>& samples) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * 2));
}

// A side whose every frame tells its own number, so that any frame recorded from it says where
// it came from.
}  // namespace sondrel::test
