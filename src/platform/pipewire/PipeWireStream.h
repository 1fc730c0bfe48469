// A native PipeWire stream in the capture format (44.1 kHz, 16-bit, stereo, asked for as the
// node's rate, with about 2048 frames of latency) whose process callback runs on the
// real-time data thread, and the wait for it to start streaming.
#pragma once

#include <spa/utils/hook.h>

#include <string>

#include "base/Result.h"
#include "base/WaveFormat.h"

struct pw_stream;
struct pw_stream_events;

namespace sondrel {

class CPipeWireConnection;

inline constexpr std::uint32_t kPipeWireLatencyFrames = 2048;

// Why a ring's device was lost; kept by the audio system for the messages after the ring is
// gone.
enum class PipeWireLoss : int { None = 0, NodeGone, ServerGone, StreamEnded };

struct PipeWireStreamSetup {
    bool capture = true;
    // The node to link to (its object.serial or node.name); empty for the default sink.
    std::string target;
    const char* nodeName = "sondrel";
    const char* description = "Sondrel";
};

// With the connection locked: a connected stream, or nullptr and the reason in error.
pw_stream* ConnectPipeWireStream(CPipeWireConnection& connection, const PipeWireStreamSetup& setup,
                                 const WAVEFORMATEX& format, spa_hook& listener,
                                 const pw_stream_events& events, void* data, std::string& error);

// With the connection locked: unhooks and destroys a stream (nothing for nullptr).
void DestroyPipeWireStream(pw_stream* stream, spa_hook& listener);

}  // namespace sondrel
