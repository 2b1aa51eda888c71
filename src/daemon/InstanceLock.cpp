#include "daemon/InstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quorvane {

namespace {

std::string readAll(int fd)
{
    std::string text;
    char chunk[64];
    ssize_t count = 0;
    while ((count = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(text.size()))) > 0 && text.size() < 256)
        text.append(chunk, static_cast<size_t>(count));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

InstanceLock::InstanceLock(const std::string& settingsPath)
{
    const std::string path = settingsPath + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_problem = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            const std::string holder = readAll(fd);
            m_problem = "another program already runs on " + settingsPath
                        + (holder.empty() ? std::string() : " (process " + holder + ")");
        } else {
            m_problem = "cannot lock " + path + ": " + std::strerror(error);
        }
        ::close(fd);
        return;
    }
    // Who holds it, for the message a second start gives.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    m_fd = fd;
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with the descriptor; the file stays for the next start
}

} // namespace quorvane
