#include "app/CStopSignals.h"

#include <atomic>
#include <csignal>

namespace sondrel {

namespace {

std::atomic<int> g_stopSignals{0};

void OnStopSignal(int signalNumber) {
    // Only async-signal-safe calls here.
    if (g_stopSignals.fetch_add(1, std::memory_order_relaxed) > 0) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
}

}  // namespace

CStopSignals::CStopSignals(bool install) : m_installed(install) {
    g_stopSignals.store(0);
    if (!m_installed)
        return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &m_previousInt);
    ::sigaction(SIGTERM, &action, &m_previousTerm);
}

CStopSignals::~CStopSignals() {
    if (!m_installed)
        return;
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
}

bool CStopSignals::Requested() {
    return g_stopSignals.load(std::memory_order_relaxed) > 0;
}

}  // namespace sondrel
