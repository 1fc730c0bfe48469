#include "platform/CTimeClockSetup.h"

namespace sondrel {

CTimeClockSetup::CTimeClockSetup(IThreadServices& threads) : m_threads(threads) {
    m_active = Succeeded(m_threads.BeginTimerPeriod(1));
}

CTimeClockSetup::~CTimeClockSetup() {
    if (m_active)
        m_threads.EndTimerPeriod(1);
}

}  // namespace sondrel
