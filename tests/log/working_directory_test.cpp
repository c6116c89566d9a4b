#include <gtest/gtest.h>

#include "log/working_directory.h"

namespace varno::log {
namespace {

TEST(WorkingDirectory, LosesOnlyItsTrailingSlash)
{
    EXPECT_EQ(withoutTrailingSlash("/"), "");
    EXPECT_EQ(withoutTrailingSlash("/home/op/logs/"), "/home/op/logs");
    EXPECT_EQ(withoutTrailingSlash("/home/op/logs"), "/home/op/logs");
    EXPECT_FALSE(currentWorkingDirectory().empty());
}

}  // namespace
}  // namespace varno::log
