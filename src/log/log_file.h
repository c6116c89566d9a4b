#pragma once
// The CSV log file on disk. Opened for writing without truncation and held with
// an exclusive advisory lock, so that a second logger (another VARNO, or any
// program that locks before writing) is refused. Every line goes to the kernel
// whole, in one write() in the usual case: there is no buffer of our own to
// flush, and a line that could be written only in part is cut back, so the
// file never holds half a line.
//
// Threads: one thread at a time (the GUI thread).

#include <string>
#include <string_view>

namespace varno::log {

enum class LogResult {
    Ok = 0,
    NotOpen,       // no file is open
    Locked,        // another descriptor holds the lock
    NotAllowed,    // permissions, a read-only file system
    NotFound,      // the directory is missing
    NotRegular,    // the name is taken by a directory, a device, a FIFO...
    NoSpace,       // the file system or the quota is full
    TooLarge,      // the file size limit is reached
    Removed,       // the file was deleted while open: its lines would vanish
    IoError,       // anything else
};

class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens `path` (created with mode 0666 less the umask when missing, its
    // contents kept) and takes the lock; writes go to the end of the file.
    // Closes the file held before, if any.
    LogResult open(const std::string& path);

    // Appends `line` whole or not at all: when a write fails part-way the file
    // is cut back to where the line began. The file stays open either way.
    LogResult append(std::string_view line);

    // Closes the file and releases the lock.
    void close();

    bool isOpen() const { return m_fd >= 0; }
    // errno of the last failure (0 when it had none), for diagnostics.
    int lastErrno() const { return m_lastErrno; }

private:
    LogResult fail(int error);

    int m_fd = -1;
    int m_lastErrno = 0;
};

}  // namespace varno::log
