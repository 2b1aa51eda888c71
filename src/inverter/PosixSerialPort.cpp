#include "inverter/PosixSerialPort.h"

#include "inverter/DeviceDescriptor.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace quorvane {

namespace {

using std::chrono::milliseconds;

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

int PosixSerialPort::write(std::span<const std::uint8_t> bytes, milliseconds total)
{
    if (m_lost)
        return kConnectionLost;
    const Transfer transfer = WriteWithin(m_fd, bytes.size(), total, [&](size_t written) {
        return ::write(m_fd, bytes.data() + written, bytes.size() - written);
    });
    return WriteResult(transfer, m_lost);
}

int PosixSerialPort::read(std::span<std::uint8_t> buffer, const ReadLimits& limits)
{
    if (m_lost)
        return kConnectionLost;
    const Transfer transfer = ReadWithin(m_fd, buffer, 0, limits, [&](size_t received) {
        return ::read(m_fd, buffer.data() + received, buffer.size() - received);
    });
    return ReadResult(transfer, m_lost);
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
        if (MeansConnectionLost(errno)) {
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
    const int fd = OpenExclusively(device);
    return fd < 0 ? OpenedPort{} : OpenSerialLine(fd);
}

OpenedPort PosixSerialOpener::OpenSerialLine(int fd)
{
    // No sharing: besides the flock claim, TIOCEXCL keeps out every other non-root opener.
    ::ioctl(fd, TIOCEXCL);
    OpenedPort opened;
    configureLine(fd, opened.setupProblem);
    opened.transport = std::make_unique<PosixSerialPort>(fd);
    return opened;
}

} // namespace quorvane
