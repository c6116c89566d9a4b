#include "log/working_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

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

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return withoutTrailingSlash(home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr
        && found->pw_dir != nullptr)
        return withoutTrailingSlash(found->pw_dir);
    return {};
}

std::string defaultLogDirectory(const std::string& startup, const std::string& home)
{
    // "" is the root: the paths are built as folder + "/" + name.
    if (startup.empty() || ::access(startup.c_str(), W_OK | X_OK) != 0)
        return home;
    return startup;
}

std::string defaultLogDirectory()
{
    return defaultLogDirectory(currentWorkingDirectory(), homeDirectory());
}

}  // namespace varno::log
