// A file-size limit for the calling process while a test runs, so that writes fail part-way
// as on a full disk. The old limit and the old SIGXFSZ handling come back with Restore() or
// when it goes out of scope, also when an assertion ended the test early.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace sondrel::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // SIGXFSZ would otherwise end the test program at the first refused write.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        m_handlerSaved = ::sigaction(SIGXFSZ, &ignore, &m_oldHandler) == 0;
        m_limitSaved = ::getrlimit(RLIMIT_FSIZE, &m_oldLimit) == 0;
        rlimit limited = m_oldLimit;
        limited.rlim_cur = bytes;
        m_set = m_handlerSaved && m_limitSaved && ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { Restore(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Whether the limit is in force.
    bool Set() const { return m_set; }

    void Restore() {
        if (m_limitSaved)
            ::setrlimit(RLIMIT_FSIZE, &m_oldLimit);
        if (m_handlerSaved)
            ::sigaction(SIGXFSZ, &m_oldHandler, nullptr);
        m_limitSaved = m_handlerSaved = m_set = false;
    }

private:
    rlimit m_oldLimit{};
    struct sigaction m_oldHandler {};
    bool m_limitSaved = false;
    bool m_handlerSaved = false;
    bool m_set = false;
};

}  // namespace sondrel::test
