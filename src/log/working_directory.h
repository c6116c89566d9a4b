#pragma once
// Where the log files go: the start-up directory, unless that is no place for
// them (see defaultLogDirectory), or the folder the operator names.

#include <string>

namespace varno::log {

// A directory path as the log file paths want it: without a trailing '/', so
// the root "/" gives "".
std::string withoutTrailingSlash(std::string path);

// The process's current directory, without a trailing '/' ("" when unreadable).
std::string currentWorkingDirectory();

// The user's home folder, without a trailing '/': $HOME, or the password
// database's entry when HOME is not set.
std::string homeDirectory();

// The log folder when none is named: `startup` (as currentWorkingDirectory()
// gives it), unless it is the root, unreadable ("") or a folder this process
// cannot write into; then `home`. A program started from a desktop menu
// often starts in "/".
std::string defaultLogDirectory(const std::string& startup, const std::string& home);

// The same for this process.
std::string defaultLogDirectory();

}  // namespace varno::log
