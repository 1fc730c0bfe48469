#include "recording/DurableStep.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

namespace sondrel {

namespace {
std::atomic<void (*)()> g_action{nullptr};
}  // namespace

void SyncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void PassDurableStep() {
    if (auto action = g_action.load(std::memory_order_acquire))
        action();
}

void SetDurableStepAction(void (*action)()) {
    g_action.store(action, std::memory_order_release);
}

}  // namespace sondrel
