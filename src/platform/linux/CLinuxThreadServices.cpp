#include "platform/linux/CLinuxThreadServices.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace sondrel {

void CLinuxThreadServices::SleepMs(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

std::uint64_t CLinuxThreadServices::MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

bool CLinuxThreadServices::RaiseCurrentThreadPriority() {
    // The limit a desktop grants audio users (RLIMIT_RTPRIO, e.g. through the audio group);
    // without one only a privileged process gets real-time scheduling at all.
    const int maxPriority = sched_get_priority_max(SCHED_FIFO);
    rlimit limit{};
    int priority = maxPriority;
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur > 0) {
        priority = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, maxPriority));
    }
    sched_param param{};
    param.sched_priority = priority;
    const int rc = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    if (rc == 0)
        return true;

    // RLIMIT_NICE allows nice values down to 20 - limit; setpriority on a thread id acts on
    // that thread alone.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    int target = -20;
    if (getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        target = std::max(-20, 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40)));
    int granted = current;
    if (errno == 0 && target < current) {
        if (setpriority(PRIO_PROCESS, tid, target) == 0) {
            granted = target;
        } else if (setpriority(PRIO_PROCESS, tid, -20) == 0) {
            granted = -20;
        }
    }
    // Once per run: every recording opens a capture thread, and the cause does not change.
    static std::atomic<bool> s_reported{false};
    if (!s_reported.exchange(true)) {
        std::fprintf(stderr,
                     "sondrel: real-time scheduling refused (%s); capture thread runs at nice %d\n",
                     std::strerror(rc), granted);
    }
    return false;
}

}  // namespace sondrel
