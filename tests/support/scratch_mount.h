#pragma once
// A small tmpfs mounted for one test: a full disk (ENOSPC) or a read-only
// directory that even root cannot write into. The mount lives in a mount
// namespace of the test process's own, so it goes with the process whatever
// happens to the test. Needs root; tests skip without it.

#include <sched.h>
#include <sys/mount.h>

#include <string>

namespace varno::testing {

class ScratchTmpfs {
public:
    ScratchTmpfs() = default;
    ScratchTmpfs(const ScratchTmpfs&) = delete;
    ScratchTmpfs& operator=(const ScratchTmpfs&) = delete;
    ~ScratchTmpfs()
    {
        if (!m_dir.empty())
            ::umount2(m_dir.c_str(), MNT_DETACH);
    }

    // Mounts a tmpfs of `bytes` (whole pages) on the existing directory `dir`.
    // False when this process may not mount.
    bool mount(const std::string& dir, std::size_t bytes, bool readOnly)
    {
        if (!privateNamespace())
            return false;
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        if (::mount("varno-test", dir.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) != 0)
            return false;
        m_dir = dir;
        return true;
    }

private:
    static bool privateNamespace()
    {
        static const bool done = ::unshare(CLONE_NEWNS) == 0
                                 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        return done;
    }

    std::string m_dir;
};

}  // namespace varno::testing
