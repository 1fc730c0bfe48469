// A private PipeWire server for the tests of the PipeWire backend: pipewire and wireplumber
// in a runtime folder of their own, without D-Bus, on a 44.1 kHz graph with a quantum of 2048,
// with an ALSA capture PCM as a source node that carries a supported device's USB ids and a
// null sink as the default sink. This process is pointed at it. Both daemons are stopped by
// their process ids when the object goes, whatever the test did.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace sondrel::test {

inline constexpr const char* kTestDeckNode = "sondrel-test-deck";
inline constexpr const char* kTestSinkNode = "sondrel-test-sink";

class PipeWireTestServer {
public:
    // folder: where the runtime folder, configuration and logs go; alsaConfig: an ALSA
    // configuration that defines the PCM "turntable", which the deck node records from.
    PipeWireTestServer(std::filesystem::path folder, const std::filesystem::path& alsaConfig)
        : m_folder(std::move(folder)) {
        const std::filesystem::path runtime = m_folder / "runtime";
        std::filesystem::create_directories(runtime);
        ::chmod(runtime.c_str(), 0700);
        WriteConfiguration();
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("PIPEWIRE_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("ALSA_CONFIG_PATH", alsaConfig.c_str(), 1);
        unsetenv("PIPEWIRE_REMOTE");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    ~PipeWireTestServer() {
        Stop(m_sessionManager);
        Stop(m_server);
    }
    PipeWireTestServer(const PipeWireTestServer&) = delete;
    PipeWireTestServer& operator=(const PipeWireTestServer&) = delete;

    static bool Installed() {
        return std::system("command -v pipewire wireplumber pw-cli pw-metadata >/dev/null 2>&1") ==
               0;
    }

    // Starts both daemons; false (and the logs in problem) when the session manager has not
    // named the default sink within a few seconds.
    bool Start(std::string& problem) {
        m_server = Spawn({"pipewire", "-c", (m_folder / "pipewire.conf").string()}, "pipewire.log");
        // The session manager gives up when it finds no server, so it starts once the server
        // answers on its socket (a loaded machine may take a while to get there).
        for (int i = 0; i < 200 && Output("pw-cli info 0").find("id: 0") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        m_sessionManager = Spawn({"wireplumber"}, "wireplumber.log");
        for (int i = 0; i < 200; ++i) {
            if (Output("pw-metadata 0 default.audio.sink").find(kTestSinkNode) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        problem = "the PipeWire test server did not come up:\n" + Log("pipewire.log") +
                  Log("wireplumber.log");
        return false;
    }

    // Ends the server at once, as a crash would.
    void KillServer() { Stop(m_server, SIGKILL); }

    // What a command prints on standard output, run against this server.
    static std::string Output(const std::string& command) {
        std::string text;
        if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
                text += buffer;
            ::pclose(pipe);
        }
        return text;
    }

    std::string Log(const std::string& name) const {
        std::ifstream in(m_folder / name);
        return name + ":\n" + std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    void WriteConfiguration() const {
        std::ofstream(m_folder / "pipewire.conf") << R"(
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 44100
    default.clock.allowed-rates = [ 44100 ]
    default.clock.quantum = 2048
    default.clock.min-quantum = 2048
    default.clock.max-quantum = 2048
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    api.alsa.* = alsa/libspa-alsa
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
]
context.objects = [
    { factory = metadata args = { metadata.name = default } }
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver priority.driver = 20000 } }
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = sondrel-test-sink
               node.description = "Test speakers" media.class = Audio/Sink
               audio.position = [ FL FR ] } }
    { factory = adapter
      args = { factory.name = api.alsa.pcm.source node.name = sondrel-test-deck
               node.description = "Test deck" media.class = Audio/Source
               api.alsa.path = turntable audio.channels = 2 audio.position = [ FL FR ]
               device.vendor.id = "0x08bb" device.product.id = "0x29c0" } }
]
)";
        const std::filesystem::path wireplumber = m_folder / "config" / "wireplumber";
        std::filesystem::create_directories(wireplumber / "main.lua.d");
        std::filesystem::create_directories(wireplumber / "bluetooth.lua.d");
        // Without D-Bus: no device reservation, portal, cameras or Bluetooth; no sound cards.
        std::ofstream(wireplumber / "main.lua.d" / "51-sondrel-test.lua")
            << "alsa_monitor.enabled = false\n"
               "alsa_monitor.properties[\"alsa.reserve\"] = false\n"
               "default_access.properties[\"enable-flatpak-portal\"] = false\n"
               "v4l2_monitor.enabled = false\n"
               "libcamera_monitor.enabled = false\n";
        std::ofstream(wireplumber / "bluetooth.lua.d" / "51-sondrel-test.lua")
            << "bluez_monitor.enabled = false\n";
    }

    pid_t Spawn(const std::vector<std::string>& args, const std::string& log) const {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string path = (m_folder / log).string();
        posix_spawn_file_actions_addopen(&actions, 1, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static void Stop(pid_t& pid, int signal = SIGTERM) {
        if (pid <= 0)
            return;
        ::kill(pid, signal);
        for (int i = 0; i < 200 && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }

    std::filesystem::path m_folder;
    pid_t m_server = -1;
    pid_t m_sessionManager = -1;
};

}  // namespace sondrel::test
