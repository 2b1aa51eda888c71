#include "inverter/PosixSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace quorvane {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int pollMilliseconds(Clock::duration remaining)
{
    // Round up so that a wait never ends a hair early and spins on a zero time-out.
    return static_cast<int>(std::chrono::ceil<milliseconds>(remaining).count());
}

enum class Readiness { Ready, TimedOut, HungUp, Failed };

// Waits up to `remaining` for the descriptor to be ready for `events`. A hang-up, a device
// error or a descriptor that is no longer valid reads as HungUp, unless `events` can still be
// served: bytes that arrived before the hang-up are read first. An interrupted wait reads as
// Ready: the caller's non-blocking call then finds nothing to do and the caller goes round
// again with its time-out recomputed.
Readiness waitReady(int fd, short events, Clock::duration remaining)
{
    pollfd request{fd, events, 0};
    const int ready = ::poll(&request, 1, pollMilliseconds(remaining));
    if (ready < 0)
        return errno == EINTR ? Readiness::Ready : Readiness::Failed;
    if (ready == 0)
        return Readiness::TimedOut;
    return (request.revents & events) != 0 ? Readiness::Ready : Readiness::HungUp;
}

// The errors of a device that hung up or was removed, and of a descriptor that is gone.
bool meansConnectionLost(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF;
}

bool configureLine(int fd, LineSetupProblem& problem)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        problem = LineSetupProblem::ReadSettings;
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B2400);
    ::cfsetospeed(&settings, B2400);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Reads never block in the driver: poll() measures every time-out.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        problem = LineSetupProblem::WriteSettings;
        return false;
    }
    return true;
}

} // namespace

PosixSerialPort::PosixSerialPort(int fd) : m_fd(fd)
{
    takeLineStatus(); // the counters start from here
}

PosixSerialPort::~PosixSerialPort()
{
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd); // also releases the flock claim
}

int PosixSerialPort::lose(size_t transferred)
{
    m_lost = true;
    return transferred > 0 ? static_cast<int>(transferred) : kConnectionLost;
}

int PosixSerialPort::write(std::span<const std::uint8_t> bytes, milliseconds total)
{
    if (m_lost)
        return kConnectionLost;
    const auto deadline = Clock::now() + total;
    size_t written = 0;
    while (written < bytes.size()) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero())
            break;
        const Readiness readiness = waitReady(m_fd, POLLOUT, remaining);
        if (readiness == Readiness::TimedOut)
            break;
        if (readiness == Readiness::HungUp)
            return lose(written);
        if (readiness == Readiness::Failed)
            return kFailed;
        const ssize_t count = ::write(m_fd, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return meansConnectionLost(errno) ? lose(written) : kFailed;
        }
        written += static_cast<size_t>(count);
    }
    return static_cast<int>(written);
}

int PosixSerialPort::read(std::span<std::uint8_t> buffer, const ReadLimits& limits)
{
    if (m_lost)
        return kConnectionLost;
    const auto start = Clock::now();
    auto lastByte = start;
    size_t received = 0;
    while (received < buffer.size()) {
        const auto now = Clock::now();
        auto remaining = received == 0 ? start + limits.firstByte - now : lastByte + limits.interByte - now;
        if (limits.total)
            remaining = std::min(remaining, start + *limits.total - now);
        // Time up: one last look without waiting. A reader that was itself kept waiting on a
        // busy machine takes the bytes already queued instead of splitting the reply.
        remaining = std::max(remaining, Clock::duration::zero());
        const Readiness readiness = waitReady(m_fd, POLLIN, remaining);
        if (readiness == Readiness::TimedOut)
            break;
        if (readiness == Readiness::HungUp)
            return lose(received);
        if (readiness == Readiness::Failed)
            return received > 0 ? static_cast<int>(received) : kFailed;
        const ssize_t count = ::read(m_fd, buffer.data() + received, buffer.size() - received);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            if (meansConnectionLost(errno))
                return lose(received);
            return received > 0 ? static_cast<int>(received) : kFailed;
        }
        if (count == 0) // readable yet nothing to read: the end of a line that hung up
            return lose(received);
        received += static_cast<size_t>(count);
        lastByte = Clock::now();
        if (limits.complete && limits.complete(buffer.first(received)))
            break;
    }
    return static_cast<int>(received);
}

void PosixSerialPort::purge()
{
    ::tcflush(m_fd, TCIOFLUSH);
}

LineStatus PosixSerialPort::takeLineStatus()
{
    if (m_lost)
        return {.connectionLost = true};
    if (!m_hasErrorCounters)
        return {};
    serial_icounter_struct counters{};
    if (::ioctl(m_fd, TIOCGICOUNT, &counters) != 0) {
        if (errno == ENOTTY || errno == EINVAL || errno == ENOTSUP) {
            // Pseudo-terminals and some adapters keep no counters: no error information.
            m_hasErrorCounters = false;
            return {};
        }
        if (meansConnectionLost(errno)) {
            m_lost = true;
            return {.connectionLost = true};
        }
        return {.queryFailed = true};
    }
    const std::array<int, 5> counts = {counters.frame, counters.parity, counters.brk, counters.overrun,
                                       counters.buf_overrun};
    const std::array<std::uint32_t, 5> flags = {LineErrorFlags::Framing, LineErrorFlags::Parity,
                                                LineErrorFlags::Break, LineErrorFlags::Overrun,
                                                LineErrorFlags::ReceiveOverflow};
    LineStatus status;
    for (size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] != m_lastCounts[i])
            status.errors |= flags[i];
    }
    m_lastCounts = counts;
    return status;
}

OpenedPort PosixSerialOpener::open(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    // No sharing: flock keeps out every program that follows the convention (root included),
    // TIOCEXCL every other non-root opener.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return {};
    }
    ::ioctl(fd, TIOCEXCL);
    OpenedPort opened;
    configureLine(fd, opened.setupProblem);
    opened.transport = std::make_unique<PosixSerialPort>(fd);
    return opened;
}

} // namespace quorvane
