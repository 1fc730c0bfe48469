// Diagnostic messages of the device code ("Found known device:" and the like). They go to
// standard error when verbose output is on (switch or SONDREL_VERBOSE=1) and to an optional
// sink, so tests can read them; otherwise they are dropped.
#pragma once

#include <functional>
#include <string_view>

namespace sondrel {

// Writes text as given (callers add "\n" where the message ends). Thread-safe.
void OutputDebugText(std::string_view text);

void SetDebugOutputVerbose(bool verbose);
bool IsDebugOutputVerbose();

// Every message is also handed to sink (an empty function removes it). Not for the capture
// thread: the sink runs under a lock.
void SetDebugOutputSink(std::function<void(std::string_view)> sink);

}  // namespace sondrel
