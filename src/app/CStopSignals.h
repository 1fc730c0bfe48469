// SIGINT and SIGTERM for the length of one run: the first asks the recording to stop as "next"
// would, a second ends the run at once and leaves the recording to recover.
#pragma once

#include <signal.h>

namespace sondrel {

// The count of signals is process-wide (a handler can reach nothing else); one run at a time
// holds it, and the previous handlers come back when it ends.
class CStopSignals {
public:
    explicit CStopSignals(bool install);
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    static bool Requested();

private:
    bool m_installed;
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

}  // namespace sondrel
