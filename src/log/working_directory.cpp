#include "log/working_directory.h"

#include <unistd.h>

#include <climits>

namespace varno::log {

std::string withoutTrailingSlash(std::string path)
{
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

std::string currentWorkingDirectory()
{
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof buffer) == nullptr)
        return {};
    return withoutTrailingSlash(buffer);
}

}  // namespace varno::log
