#pragma once
// Limits the size of the files this process writes, and ignores SIGXFSZ, for
// the length of one test: a write past the limit is cut short and the next one
// fails with EFBIG.

#include <signal.h>
#include <sys/resource.h>

namespace varno::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        m_previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        ::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    sighandler_t m_previousHandler = SIG_DFL;
};

}  // namespace varno::testing
