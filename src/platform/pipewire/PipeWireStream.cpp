#include "platform/pipewire/PipeWireStream.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <cerrno>
#include <cstring>

#include "platform/pipewire/CPipeWireConnection.h"

namespace sondrel {

namespace {

pw_properties* StreamProperties(const PipeWireStreamSetup& setup, const WAVEFORMATEX& format) {
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, setup.capture ? "Capture" : "Playback",
        PW_KEY_MEDIA_ROLE, "Production", PW_KEY_APP_NAME, "Sondrel", PW_KEY_NODE_NAME,
        setup.nodeName, PW_KEY_NODE_DESCRIPTION, setup.description, nullptr);
    pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%u/%u", kPipeWireLatencyFrames,
                       static_cast<unsigned>(format.nSamplesPerSec));
    pw_properties_setf(props, PW_KEY_NODE_RATE, "1/%u",
                       static_cast<unsigned>(format.nSamplesPerSec));
    if (!setup.target.empty()) {
        pw_properties_set(props, PW_KEY_TARGET_OBJECT, setup.target.c_str());
        // Linked to that node or to nothing: when it goes away the session manager must not
        // move the recording to another source.
        pw_properties_set(props, PW_KEY_NODE_DONT_RECONNECT, "true");
    }
    return props;
}

}  // namespace

pw_stream* ConnectPipeWireStream(CPipeWireConnection& connection, const PipeWireStreamSetup& setup,
                                 const WAVEFORMATEX& format, spa_hook& listener,
                                 const pw_stream_events& events, void* data, std::string& error) {
    if (format.wBitsPerSample != 16 || format.nChannels != 2) {
        error = "PipeWire streams here carry 16-bit stereo only";
        return nullptr;
    }
    pw_stream* stream =
        pw_stream_new(connection.Core(), setup.description, StreamProperties(setup, format));
    if (stream == nullptr) {
        error = std::string("PipeWire cannot make a stream: ") + std::strerror(errno);
        return nullptr;
    }
    pw_stream_add_listener(stream, &listener, &events, data);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16_LE;
    info.rate = format.nSamplesPerSec;
    info.channels = 2;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    std::uint8_t podBuffer[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    const int rc =
        pw_stream_connect(stream, setup.capture ? PW_DIRECTION_INPUT : PW_DIRECTION_OUTPUT,
                          PW_ID_ANY, flags, params, 1);
    if (rc < 0) {
        error = std::string("PipeWire cannot connect the stream: ") + std::strerror(-rc);
        DestroyPipeWireStream(stream, listener);
        return nullptr;
    }
    return stream;
}

void DestroyPipeWireStream(pw_stream* stream, spa_hook& listener) {
    if (stream == nullptr)
        return;
    spa_hook_remove(&listener);
    pw_stream_destroy(stream);
}

}  // namespace sondrel
