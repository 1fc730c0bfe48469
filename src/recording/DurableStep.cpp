#include "recording/DurableStep.h"

#include <atomic>

namespace sondrel {

namespace {
std::atomic<void (*)()> g_action{nullptr};
}  // namespace

void PassDurableStep() {
    if (auto action = g_action.load(std::memory_order_acquire))
        action();
}

void SetDurableStepAction(void (*action)()) {
    g_action.store(action, std::memory_order_release);
}

}  // namespace sondrel
