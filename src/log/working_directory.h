#pragma once

#include <string>

namespace varno::log {

// A directory path as the log file paths want it: without a trailing '/', so
// the root "/" gives "".
std::string withoutTrailingSlash(std::string path);

// The process's current directory, without a trailing '/' ("" when unreadable).
std::string currentWorkingDirectory();

}  // namespace varno::log
