#include "log/log_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sys/errno_text.h"

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
    case ELOOP:  // O_NOFOLLOW met a symbolic link
    case EISDIR:
    case ENXIO: return LogResult::NotRegular;  // ENXIO: a FIFO without a reader, a socket
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

LogResult LogFile::report(int error)
{
    m_lastErrno = error;
    m_lastResult = resultFromErrno(error);
    return m_lastResult;
}

LogResult LogFile::report(LogResult result)
{
    m_lastErrno = 0;
    m_lastResult = result;
    return result;
}

LogResult LogFile::open(const std::string& path)
{
    close();
    // O_NOFOLLOW: a symbolic link of the log's name (planted in a shared
    // folder, say) would append the frames to whatever file it points at.
    // O_NONBLOCK: a FIFO in the file's place must not hang the window. Both are
    // refused like any file that is not a regular one.
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return report(errno);

    struct stat st {};
    int error = 0;
    bool regular = true;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        regular = false;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno;
    else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;
    if (error != 0 || !regular) {
        ::close(fd);
        return regular ? report(error) : report(LogResult::NotRegular);
    }
    m_fd = fd;
    return report(LogResult::Ok);
}

LogResult LogFile::append(std::string_view line)
{
    if (m_fd < 0)
        return report(EBADF);
    // The size before the line is where a failed line is cut back to.
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return report(errno);
    // Linux keeps writing into a deleted file, and the lines would go with it.
    if (st.st_nlink == 0)
        return report(LogResult::Removed);

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
        return report(error);
    }
    return report(LogResult::Ok);
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

std::string failureReason(LogResult result, int error)
{
    switch (result) {
    case LogResult::Removed: return "le fichier a été supprimé";
    case LogResult::NotRegular:
        // A FIFO or a socket gives ENXIO, whose phrase speaks of devices.
        if (error == ELOOP || error == EISDIR)
            return sys::errnoText(error);
        return "ce n'est pas un fichier ordinaire";
    default: return sys::errnoText(error);
    }
}

std::string failureMessage(std::string_view what, std::string_view path, LogResult result, int error)
{
    std::string message(what);
    message += '\n';
    message += path;
    message += " : ";
    message += failureReason(result, error);
    return message;
}

}  // namespace varno::log
