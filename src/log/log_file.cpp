#include "log/log_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varno::log {

namespace {

// The one place where errno becomes a result.
LogResult resultFromErrno(int error)
{
    switch (error) {
    case 0: return LogResult::Ok;
    case EWOULDBLOCK: return LogResult::Locked;
    case EACCES:
    case EPERM:
    case EROFS: return LogResult::NotAllowed;
    case ENOENT:
    case ENOTDIR: return LogResult::NotFound;
    case EISDIR:
    case ENXIO: return LogResult::NotRegular;
    case ENOSPC:
    case EDQUOT: return LogResult::NoSpace;
    case EFBIG: return LogResult::TooLarge;
    case EBADF: return LogResult::NotOpen;
    default: return LogResult::IoError;
    }
}

}  // namespace

LogFile::~LogFile()
{
    close();
}

LogResult LogFile::fail(int error)
{
    m_lastErrno = error;
    return resultFromErrno(error);
}

LogResult LogFile::open(const std::string& path)
{
    close();
    // O_NONBLOCK: a FIFO in the file's place must not hang the window; it is
    // refused below like any file that is not a regular one.
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(errno);

    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = ENXIO;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno;
    else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        return fail(error);
    }
    m_fd = fd;
    m_lastErrno = 0;
    return LogResult::Ok;
}

LogResult LogFile::append(std::string_view line)
{
    if (m_fd < 0)
        return fail(EBADF);
    // The size before the line is where a failed line is cut back to.
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return fail(errno);
    // Linux keeps writing into a deleted file, and the lines would go with it.
    if (st.st_nlink == 0) {
        m_lastErrno = 0;
        return LogResult::Removed;
    }

    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A write that takes nothing without an error would loop for ever.
        const int error = n < 0 ? errno : EIO;
        if (done > 0 && ::ftruncate(m_fd, st.st_size) != 0) {
            // Nothing more can be done for the file: the write's error is the one to report.
        }
        return fail(error);
    }
    return LogResult::Ok;
}

void LogFile::close()
{
    if (m_fd >= 0) {
        // Every line already went to the kernel with its own write; closing
        // also drops the lock.
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace varno::log
