// Holds the system timer resolution at 1 ms for its lifetime; the program keeps one from
// start-up to exit so that the capture thread's 10 ms sleeps stay short.
#pragma once

#include "platform/IThreadServices.h"

namespace sondrel {

class CTimeClockSetup {
public:
    explicit CTimeClockSetup(IThreadServices& threads);
    ~CTimeClockSetup();
    CTimeClockSetup(const CTimeClockSetup&) = delete;
    CTimeClockSetup& operator=(const CTimeClockSetup&) = delete;

private:
    IThreadServices& m_threads;
    bool m_active = false;
};

}  // namespace sondrel
