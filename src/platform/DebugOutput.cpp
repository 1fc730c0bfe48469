#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace sondrel {
namespace {

std::mutex g_mutex;
std::function<void(std::string_view)> g_sink;

bool VerboseFromEnvironment() {
    const char* value = std::getenv("SONDREL_VERBOSE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

bool g_verbose = VerboseFromEnvironment();

}  // namespace

void OutputDebugText(std::string_view text) {
    std::lock_guard lock(g_mutex);
    if (g_verbose) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    if (g_sink)
        g_sink(text);
}

void SetDebugOutputVerbose(bool verbose) {
    std::lock_guard lock(g_mutex);
    g_verbose = verbose;
}

bool IsDebugOutputVerbose() {
    std::lock_guard lock(g_mutex);
    return g_verbose;
}

void SetDebugOutputSink(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(g_mutex);
    g_sink = std::move(sink);
}

}  // namespace sondrel
