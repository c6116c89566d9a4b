// The log under the faults of a real disk: full, the file size limit reached,
// a folder that cannot be written into, a file another program holds locked.
// Each must give one message, stop logging, leave only whole lines, and let
// decoding go on.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QLineEdit>
#include <algorithm>
#include <memory>

#include "fault_window.h"
#include "support/file_size_limit.h"
#include "support/scratch_mount.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;

// Takes from the calling thread, while it lives, the capabilities that let
// root write where the permissions forbid it. Without them there is nothing to take.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        ::syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutPermissionOverride() { ::syscall(SYS_capset, &m_header, m_saved); }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

struct LogFault {
    const char* name;
    enum Kind { DiskFull, FileSizeLimit, Unwritable, Locked } kind;
    const char* reason;  // the message's second line, after the file's path
};

void PrintTo(const LogFault& f, std::ostream* os)
{
    *os << f.name;
}

class LogFaultTest : public FaultWindowTest, public ::testing::WithParamInterface<LogFault> {
protected:
    // The next numbered frame, one millisecond after the one before.
    void frame()
    {
        clock.set(2026, 12, day, day == 8 ? 23 : 0, day == 8 ? 59 : 0, 0, static_cast<int>(next % 1000));
        postFrame(link::FRAME_KIND_READER, numberedFrame(next++).substr(1, 12));
    }

    int day = 8;
    unsigned next = 0;
};

TEST_P(LogFaultTest, OneMessageLoggingOffWholeLinesOnlyAndDecodingGoesOn)
{
    const LogFault fault = GetParam();
    const std::string nextDayFile = logDir() + "/VARNO_09122026_00h00.csv";
    ScratchTmpfs small;
    std::unique_ptr<FileSizeLimit> limit;
    std::unique_ptr<WithoutPermissionOverride> unprivileged;
    int holder = -1;
    const std::string theirs = "another logger's line\r\n";

    if (fault.kind == LogFault::DiskFull && !small.mount(logDir(), 4096, false))
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    clock.set(2026, 12, 8, 23, 59, 0);
    clickLog();
    ASSERT_EQ(window->loggingOn, 1);
    const std::string path = window->logFilePath;
    if (fault.kind == LogFault::FileSizeLimit)
        limit = std::make_unique<FileSizeLimit>(2048);

    // Frames until the fault: the disk or the limit fills up by itself; the
    // folder and the lock bite at the next day's new file.
    for (int i = 0; i < 20; ++i)
        frame();
    if (fault.kind == LogFault::Unwritable) {
        ASSERT_EQ(::chmod(logDir().c_str(), 0555), 0);
        unprivileged = std::make_unique<WithoutPermissionOverride>();
    } else if (fault.kind == LogFault::Locked) {
        writeBytes(nextDayFile, theirs);
        holder = ::open(nextDayFile.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    if (fault.kind == LogFault::Unwritable || fault.kind == LogFault::Locked)
        day = 9;
    while (timedAlerts.shown.empty() && next < 5000)
        frame();
    const unsigned framesBeforeFault = next - 1;  // the last one met the fault
    ASSERT_EQ(timedAlerts.shown.size(), 1u) << "no message";
    const QString message = timedAlerts.shown[0].text;

    // Decoding goes on; nothing more is written and nothing more is said.
    const std::string before = readBytes(path);
    constexpr int kAfter = 50;
    int decodedAfter = 0;
    for (int i = 0; i < kAfter; ++i) {
        frame();
        decodedAfter += fieldText(idc::Id) == numberedFrame(next - 1).substr(3, 6) ? 1 : 0;
    }
    const LogContents log = readLog(path);
    const Logged logged = loggedFrames(path);
    const bool loggingOff = window->loggingOn == 0 && window->logFileOpen == 0 && !window->logFile.isOpen()
                            && !window->button(idc::Log)->isChecked();

    unprivileged.reset();
    limit.reset();
    ::chmod(logDir().c_str(), 0755);
    const std::string prefix = std::string(fault.name) + ": ";
    figure(prefix + "message", message.toStdString());
    figure(prefix + "messages", timedAlerts.shown.size());
    figure(prefix + "logging off", loggingOff ? "yes" : "no");
    figure(prefix + "frames before the fault", framesBeforeFault);
    figure(prefix + "whole lines in the file (header included)", log.lines.size());
    figure(prefix + "bytes of a half line at the end", log.tail.size());
    figure(prefix + "frames decoded after the fault", decodedAfter);

    EXPECT_EQ(timedAlerts.shown.size(), 1u);
    const bool atOpening = fault.kind == LogFault::Unwritable || fault.kind == LogFault::Locked;
    EXPECT_EQ(message, QString::fromUtf8(atOpening ? "Impossible d'ouvrir le fichier Log\n"
                                                   : "Impossible d'écrire dans le fichier Log\n")
                           + QString::fromStdString((atOpening ? nextDayFile : path) + " : ")
                           + QString::fromUtf8(fault.reason));
    EXPECT_TRUE(loggingOff);
    EXPECT_TRUE(log.tail.empty());
    EXPECT_EQ(logged.outOfOrder, 0u);
    EXPECT_EQ(logged.frames, framesBeforeFault);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(decodedAfter, kAfter);
    if (holder >= 0) {
        EXPECT_EQ(readBytes(nextDayFile), theirs);
        ::close(holder);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LogFaultTest,
                         ::testing::Values(LogFault{"disk full", LogFault::DiskFull, "aucun espace libre sur le disque"},
                                           LogFault{"file size limit", LogFault::FileSizeLimit,
                                                    "taille de fichier maximale atteinte"},
                                           LogFault{"unwritable folder", LogFault::Unwritable, "permission refusée"},
                                           LogFault{"locked file", LogFault::Locked, "utilisé par un autre programme"}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

}  // namespace
}  // namespace varno::testing
