#include <gtest/gtest.h>

#include "app/working_directory.h"

namespace varno::app {
namespace {

TEST(WorkingDirectory, LosesOnlyItsTrailingSlash)
{
    EXPECT_EQ(withoutTrailingSlash("/"), "");
    EXPECT_EQ(withoutTrailingSlash("/home/op/logs/"), "/home/op/logs");
    EXPECT_EQ(withoutTrailingSlash("/home/op/logs"), "/home/op/logs");
    EXPECT_FALSE(currentWorkingDirectory().empty());
}

}  // namespace
}  // namespace varno::app
