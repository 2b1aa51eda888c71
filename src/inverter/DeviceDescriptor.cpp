#include "inverter/DeviceDescriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvane {

namespace {

int pollMilliseconds(PortClock::duration remaining)
{
    // Round up so that a wait never ends a hair early and spins on a zero time-out.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count());
}

} // namespace

Readiness WaitReady(int fd, short events, PortClock::duration remaining)
{
    pollfd request{fd, events, 0};
    const int ready = ::poll(&request, 1, pollMilliseconds(remaining));
    if (ready < 0)
        return errno == EINTR ? Readiness::Ready : Readiness::Failed;
    if (ready == 0)
        return Readiness::TimedOut;
    return (request.revents & events) != 0 ? Readiness::Ready : Readiness::HungUp;
}

PortClock::duration ReadWaitLeft(const ReadLimits& limits, PortClock::time_point start, PortClock::time_point lastByte,
                                 bool anyReceived)
{
    const auto now = PortClock::now();
    auto remaining = anyReceived ? lastByte + limits.interByte - now : start + limits.firstByte - now;
    if (limits.total)
        remaining = std::min(remaining, start + *limits.total - now);
    return std::max(remaining, PortClock::duration::zero());
}

bool MeansConnectionLost(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF;
}

int OpenExclusively(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace quorvane
