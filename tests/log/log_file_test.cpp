// The log file on disk: no truncation, the lock, and lines that are written
// whole or not at all.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "log/log_file.h"
#include "support/scratch_mount.h"
#include "support/temp_dir.h"

namespace varno::log {
namespace {

using testing::readBytes;
using testing::ScratchTmpfs;
using testing::TempDir;
using testing::writeBytes;

std::string line(std::size_t length, char fill)
{
    return std::string(length - 2, fill) + "\r\n";
}

TEST(LogFile, OpeningKeepsTheContentsAndAppendsAtTheEnd)
{
    TempDir dir;
    const std::string path = dir.file("log.csv");
    writeBytes(path, "old line\r\n");
    {
        LogFile file;
        ASSERT_EQ(file.open(path), LogResult::Ok);
        EXPECT_EQ(file.append("new line\r\n"), LogResult::Ok);
        // Each line is in the file as soon as it is appended.
        EXPECT_EQ(readBytes(path), "old line\r\nnew line\r\n");
    }
    LogFile again;
    ASSERT_EQ(again.open(path), LogResult::Ok);
    EXPECT_EQ(again.append("third\r\n"), LogResult::Ok);
    EXPECT_EQ(readBytes(path), "old line\r\nnew line\r\nthird\r\n");
}

TEST(LogFile, ANewFileTakesTheUsersUmask)
{
    TempDir dir;
    const mode_t previous = ::umask(027);
    LogFile file;
    const LogResult opened = file.open(dir.file("log.csv"));
    ::umask(previous);
    ASSERT_EQ(opened, LogResult::Ok);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("log.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640U);
}

TEST(LogFile, ASecondOpenerIsRefusedWhileTheFileIsHeld)
{
    TempDir dir;
    const std::string path = dir.file("log.csv");
    {
        LogFile first, second;
        ASSERT_EQ(first.open(path), LogResult::Ok);
        EXPECT_EQ(second.open(path), LogResult::Locked);
        EXPECT_FALSE(second.isOpen());
        EXPECT_EQ(second.append("x\r\n"), LogResult::NotOpen);
        first.close();
        EXPECT_EQ(second.open(path), LogResult::Ok);
    }
    // Any other program that takes the lock keeps us out too, and nothing is
    // written to its file.
    writeBytes(path, "theirs\r\n");
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    LogFile file;
    EXPECT_EQ(file.open(path), LogResult::Locked);
    ::close(fd);
    EXPECT_EQ(readBytes(path), "theirs\r\n");
    EXPECT_EQ(file.open(path), LogResult::Ok);
}

TEST(LogFile, OpeningFailuresBecomeResults)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("a directory"));
    ASSERT_EQ(::mkfifo(dir.file("a fifo").c_str(), 0666), 0);
    writeBytes(dir.file("target"), "kept\n");
    ASSERT_EQ(::symlink(dir.file("target").c_str(), dir.file("a link").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("never created").c_str(), dir.file("a dangling link").c_str()), 0);
    struct Case {
        std::string path;
        LogResult expected;
        int error;
    };
    const Case cases[] = {
        {dir.file("missing/log.csv"), LogResult::NotFound, ENOENT},
        {dir.file("a directory"), LogResult::NotRegular, EISDIR},
        // Without a reader a FIFO would block the opening for ever.
        {dir.file("a fifo"), LogResult::NotRegular, ENXIO},
        // A link is never followed, whether its target exists or not.
        {dir.file("a link"), LogResult::NotRegular, ELOOP},
        {dir.file("a dangling link"), LogResult::NotRegular, ELOOP},
        // A device opens, but is no log file.
        {"/dev/null", LogResult::NotRegular, 0},
    };
    for (const Case& c : cases) {
        LogFile file;
        EXPECT_EQ(file.open(c.path), c.expected) << c.path;
        EXPECT_EQ(file.lastResult(), c.expected) << c.path;
        EXPECT_EQ(file.lastErrno(), c.error) << c.path;
        EXPECT_FALSE(file.isOpen());
    }
    EXPECT_EQ(readBytes(dir.file("target")), "kept\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("never created")));

    // A directory nobody may write into, root included.
    std::filesystem::create_directory(dir.file("read-only"));
    ScratchTmpfs readOnly;
    if (!readOnly.mount(dir.file("read-only"), 4096, true))
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    LogFile file;
    EXPECT_EQ(file.open(dir.file("read-only/log.csv")), LogResult::NotAllowed);
    EXPECT_EQ(file.lastErrno(), EROFS);
}

TEST(LogFile, ARemovedFileTakesNoMoreLines)
{
    TempDir dir;
    const std::string path = dir.file("log.csv");
    LogFile file;
    ASSERT_EQ(file.open(path), LogResult::Ok);
    ASSERT_EQ(file.append("one\r\n"), LogResult::Ok);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(file.append("two\r\n"), LogResult::Removed);
}

TEST(LogFile, ALineCutByTheFileSizeLimitIsTakenBack)
{
    TempDir dir;
    const std::string path = dir.file("log.csv");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // 100 bytes at most, and EFBIG instead of the signal past them.
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 100;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        LogFile file;
        if (file.open(path) != LogResult::Ok)
            ::_exit(10);
        if (file.append(line(60, 'a')) != LogResult::Ok)
            ::_exit(11);
        // 40 of these 60 bytes fit: the kernel writes them, then refuses the rest.
        if (file.append(line(60, 'b')) != LogResult::TooLarge || file.lastErrno() != EFBIG)
            ::_exit(12);
        // The line was taken back whole, so a line of 40 bytes still fits.
        if (file.append(line(40, 'c')) != LogResult::Ok)
            ::_exit(13);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(path), line(60, 'a') + line(40, 'c'));
}

TEST(LogFile, ALineCutByAFullDiskIsTakenBack)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("small"));
    ScratchTmpfs small;
    if (!small.mount(dir.file("small"), 4096, false))
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    const std::string path = dir.file("small/log.csv");
    LogFile file;
    ASSERT_EQ(file.open(path), LogResult::Ok);
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(file.append(line(100, 'a')), LogResult::Ok) << i;
        expected += line(100, 'a');
    }
    // 96 of these 100 bytes fit on the one page of the file system.
    EXPECT_EQ(file.append(line(100, 'b')), LogResult::NoSpace);
    EXPECT_EQ(file.lastErrno(), ENOSPC);
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_EQ(file.append(line(96, 'c')), LogResult::Ok);
    EXPECT_EQ(readBytes(path), expected + line(96, 'c'));
}

// The second line of the operator's message: the full path and why, the
// errno's phrase or, for failures without an errno, their own.
TEST(LogFile, FailureMessagesNameTheFileAndTheReason)
{
    const struct {
        std::string_view what;
        LogResult result;
        int error;
        const char* expected;
    } cases[] = {
        {kOpenFailedText, LogResult::NotAllowed, EACCES,
         "Impossible d'ouvrir le fichier Log\n/home/op/VARNO_08122026_10h00.csv : permission refusée"},
        {kOpenFailedText, LogResult::NotRegular, ELOOP,
         "Impossible d'ouvrir le fichier Log\n/home/op/VARNO_08122026_10h00.csv : c'est un lien symbolique"},
        {kOpenFailedText, LogResult::NotRegular, ENXIO,
         "Impossible d'ouvrir le fichier Log\n/home/op/VARNO_08122026_10h00.csv : ce n'est pas un fichier ordinaire"},
        {kOpenFailedText, LogResult::NotRegular, 0,
         "Impossible d'ouvrir le fichier Log\n/home/op/VARNO_08122026_10h00.csv : ce n'est pas un fichier ordinaire"},
        {kOpenFailedText, LogResult::Locked, EWOULDBLOCK,
         "Impossible d'ouvrir le fichier Log\n/home/op/VARNO_08122026_10h00.csv : utilisé par un autre programme"},
        {kWriteFailedText, LogResult::NoSpace, ENOSPC,
         "Impossible d'écrire dans le fichier Log\n/home/op/VARNO_08122026_10h00.csv : aucun espace libre sur le disque"},
        {kWriteFailedText, LogResult::Removed, 0,
         "Impossible d'écrire dans le fichier Log\n/home/op/VARNO_08122026_10h00.csv : le fichier a été supprimé"},
        {kWriteFailedText, LogResult::IoError, EXDEV,
         "Impossible d'écrire dans le fichier Log\n/home/op/VARNO_08122026_10h00.csv : erreur système 18"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failureMessage(c.what, "/home/op/VARNO_08122026_10h00.csv", c.result, c.error), c.expected);
}

}  // namespace
}  // namespace varno::log
