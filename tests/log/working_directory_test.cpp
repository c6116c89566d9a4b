// The log folder: the start-up directory when the log files can go there, the
// home folder otherwise.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "log/working_directory.h"
#include "support/scratch_mount.h"
#include "support/temp_dir.h"

namespace varno::log {
namespace {

using testing::ScratchTmpfs;
using testing::TempDir;

TEST(WorkingDirectory, LosesOnlyItsTrailingSlash)
{
    EXPECT_EQ(withoutTrailingSlash("/"), "");
    EXPECT_EQ(withoutTrailingSlash("/home/op/logs/"), "/home/op/logs");
    EXPECT_EQ(withoutTrailingSlash("/home/op/logs"), "/home/op/logs");
    EXPECT_FALSE(currentWorkingDirectory().empty());
}

TEST(WorkingDirectory, TheLogGoesHomeWhenTheStartUpDirectoryIsTheRootOrUnwritable)
{
    TempDir dir;
    const std::string home = dir.file("home");
    std::filesystem::create_directory(home);
    struct Case {
        const char* what;
        std::string startup;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"a folder of the user's", dir.path(), dir.path()},
        {"the root, as a desktop menu starts programs", "", home},
        {"a folder that is gone", dir.file("gone"), home},
    };
    // A folder nobody may write into, root included, needs a mount.
    std::filesystem::create_directory(dir.file("read-only"));
    ScratchTmpfs readOnly;
    if (readOnly.mount(dir.file("read-only"), 4096, true))
        cases.push_back({"a read-only folder", dir.file("read-only"), home});
    else
        std::printf("cannot mount a tmpfs here (not root?): the read-only folder is not tried\n");
    for (const Case& c : cases)
        EXPECT_EQ(defaultLogDirectory(c.startup, home), c.expected) << c.what;
}

TEST(WorkingDirectory, HomeIsTheHomeVariableOrThePasswordEntry)
{
    const char* saved = std::getenv("HOME");
    const std::string before = saved != nullptr ? saved : "";
    ::setenv("HOME", "/home/op/", 1);
    EXPECT_EQ(homeDirectory(), "/home/op");
    ::unsetenv("HOME");
    EXPECT_FALSE(homeDirectory().empty());  // from the password database
    if (saved != nullptr)
        ::setenv("HOME", before.c_str(), 1);
}

}  // namespace
}  // namespace varno::log
