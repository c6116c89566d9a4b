#pragma once
// The CSV log file on disk. Opened for writing without truncation and held with
// an exclusive advisory lock, so that a second logger (another VARNO, or any
// program that locks before writing) is refused. Only a regular file of the
// name is written to: a symbolic link in its place is refused, never
// followed, so the lines cannot be steered into another file the user may
// write. Every line goes to the kernel whole, in one write() in the usual
// case: there is no buffer of our own to flush, and a line that could be
// written only in part is cut back, so the file never holds half a line.
//
// Threads: one thread at a time (the GUI thread).

#include <string>
#include <string_view>

namespace varno::log {

// First lines of the operator's messages when the log fails (UTF-8).
inline constexpr std::string_view kOpenFailedText = "Impossible d'ouvrir le fichier Log";
inline constexpr std::string_view kWriteFailedText = "Impossible d'écrire dans le fichier Log";

enum class LogResult {
    Ok = 0,
    NotOpen,       // no file is open
    Locked,        // another descriptor holds the lock
    NotAllowed,    // permissions, a read-only file system
    NotFound,      // the directory is missing
    NotRegular,    // the name is taken by a symbolic link, a directory, a device, a FIFO...
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
    // The last failure of open() or append() (Ok when the last call succeeded),
    // and its errno (0 when it had none: a removed file, a file that is not a
    // regular one).
    LogResult lastResult() const { return m_lastResult; }
    int lastErrno() const { return m_lastErrno; }

private:
    // Keeps the outcome of the call for lastResult() and lastErrno().
    LogResult report(int error);
    LogResult report(LogResult result);

    int m_fd = -1;
    LogResult m_lastResult = LogResult::Ok;
    int m_lastErrno = 0;
};

// Why the log failed, in the operator's words: the errno's phrase
// (sys::errnoText), or the failure's own when it has no errno.
std::string failureReason(LogResult result, int error);

// The message of a failure: `what` (kOpenFailedText or kWriteFailedText) on
// its first line, then the file's full path and the reason:
// "Impossible d'ouvrir le fichier Log\n/home/op/VARNO_08122026_10h00.csv : permission refusée".
// The window shows it in a box; a logger without a window prints the same.
std::string failureMessage(std::string_view what, std::string_view path, LogResult result, int error);

}  // namespace varno::log
