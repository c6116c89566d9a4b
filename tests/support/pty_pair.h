#pragma once
// A real pseudo-terminal pair for the serial tests: the port under test opens
// the slave by its path, the test plays the reader on the master.
//
// Know its limits: any baud rate is accepted, no break or line error can be
// sent, TIOCMBIS is refused, and bytes the slave has not read yet are thrown
// away when the master closes.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "support/temp_dir.h"

namespace varno::testing {

class PtyPair {
public:
    PtyPair()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        // A child process must not keep the terminal alive after the test closes it.
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        char name[128] = {};
        if (::ptsname_r(master, name, sizeof name) == 0)
            path = name;
    }
    ~PtyPair()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master >= 0 && slave >= 0 && !path.empty(); }

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    // Writes `bytes` on the master in pieces of `piece` bytes, pausing
    // `gapUs` between pieces so the listener sees many separate reads.
    bool write(std::string_view bytes, std::size_t piece = 0, int gapUs = 0) const
    {
        if (piece == 0)
            piece = bytes.size();
        while (!bytes.empty()) {
            const std::size_t n = std::min(piece, bytes.size());
            const ssize_t written = ::write(master, bytes.data(), n);
            if (written <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
            if (gapUs > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(gapUs));
        }
        return true;
    }

    // Reads what the slave side wrote, waiting up to `timeoutMs` for `count` bytes.
    std::string read(std::size_t count, int timeoutMs = 2000) const
    {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd fd{master, POLLIN, 0};
            if (::poll(&fd, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    int master = -1;
    int slave = -1;  // kept open so the slave outlives the port's closing
    std::string path;
};

// A fake sysfs and /dev: add ports with the attributes the enumeration reads.
class FakePortTree {
public:
    explicit FakePortTree(const std::filesystem::path& root) : sysfs(root / "sys"), dev(root / "dev")
    {
        std::filesystem::create_directories(sysfs / "class" / "tty");
        std::filesystem::create_directories(dev);
        std::filesystem::create_directories(sysfs / "devices" / "port");
    }

    // A device with its /dev node and no serial-core attributes (USB adapter,
    // ACM device, rfcomm).
    void addPlain(const std::string& name)
    {
        entry(name);
        std::ofstream(dev / name).put('\0');
    }
    // A serial-core port with its UART `type`, with or without hardware behind it.
    void addUart(const std::string& name, const char* type, bool device = true)
    {
        const auto dir = entry(name);
        if (device)
            std::filesystem::create_directory_symlink(sysfs / "devices" / "port", dir / "device");
        std::ofstream(dir / "type") << type << "\n";
        std::ofstream(dev / name).put('\0');
    }
    // A sysfs entry whose /dev node is missing.
    void addWithoutNode(const std::string& name) { entry(name); }
    // A device whose /dev node leads to `target` (a pseudo-terminal's slave).
    void addLinkTo(const std::string& name, const std::string& target)
    {
        entry(name);
        std::filesystem::create_symlink(target, dev / name);
    }

    std::filesystem::path sysfs;
    std::filesystem::path dev;

private:
    std::filesystem::path entry(const std::string& name)
    {
        const auto dir = sysfs / "class" / "tty" / name;
        std::filesystem::create_directories(dir);
        return dir;
    }
};

}  // namespace varno::testing
