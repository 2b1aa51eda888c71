#include "inverter/HidrawPort.h"

#include "inverter/DeviceDescriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvane {

namespace {

// A device that keeps sending cannot hold a purge for ever.
constexpr int kMostReportsPurged = 4096;

using ReportBuffer = std::array<std::uint8_t, kLargestHidReport>;

} // namespace

HidrawPort::HidrawPort(int fd) : m_fd(fd)
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    struct stat status {};
    m_isSocket = ::fstat(m_fd, &status) == 0 && S_ISSOCK(status.st_mode);
}

HidrawPort::~HidrawPort()
{
    ::close(m_fd); // also releases the flock claim
}

int HidrawPort::lose(size_t transferred)
{
    m_lost = true;
    return transferred > 0 ? static_cast<int>(transferred) : kConnectionLost;
}

bool HidrawPort::sendReport(const HidOutputReport& report)
{
    const ssize_t count = m_isSocket ? ::send(m_fd, report.data(), report.size(), MSG_NOSIGNAL)
                                     : ::write(m_fd, report.data(), report.size());
    if (count == static_cast<ssize_t>(report.size()))
        return true;
    if (count >= 0)
        errno = EMSGSIZE; // a report goes whole or not at all
    return false;
}

int HidrawPort::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total)
{
    if (m_lost)
        return kConnectionLost;
    const auto deadline = PortClock::now() + total;
    size_t written = 0;
    while (written < bytes.size()) {
        const auto remaining = deadline - PortClock::now();
        if (remaining <= PortClock::duration::zero())
            break;
        const Readiness readiness = WaitReady(m_fd, POLLOUT, remaining);
        if (readiness == Readiness::TimedOut)
            break;
        if (readiness == Readiness::HungUp)
            return lose(written);
        if (readiness == Readiness::Failed)
            return kFailed;
        const auto slice = bytes.subspan(written, std::min(kHidReportSize, bytes.size() - written));
        if (!sendReport(MakeOutputReport(slice))) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return MeansConnectionLost(errno) ? lose(written) : kFailed;
        }
        written += slice.size();
    }
    return static_cast<int>(written);
}

size_t HidrawPort::takeKept(std::span<std::uint8_t> buffer)
{
    const size_t taken = std::min(buffer.size(), m_kept.size());
    std::copy_n(m_kept.begin(), taken, buffer.begin());
    m_kept.erase(m_kept.begin(), m_kept.begin() + static_cast<long>(taken));
    return taken;
}

int HidrawPort::read(std::span<std::uint8_t> buffer, const ReadLimits& limits)
{
    // Bytes already taken from the device come first, also when it has gone since.
    size_t received = takeKept(buffer);
    if (m_lost)
        return received > 0 ? static_cast<int>(received) : kConnectionLost;
    if (received > 0 && limits.complete && limits.complete(buffer.first(received)))
        return static_cast<int>(received);
    const auto start = PortClock::now();
    auto lastByte = start;
    while (received < buffer.size()) {
        const auto remaining = ReadWaitLeft(limits, start, lastByte, limits.WaitsBetweenBytes(buffer.first(received)));
        const Readiness readiness = WaitReady(m_fd, POLLIN, remaining);
        if (readiness == Readiness::TimedOut)
            break;
        if (readiness == Readiness::HungUp)
            return lose(received);
        if (readiness == Readiness::Failed)
            return received > 0 ? static_cast<int>(received) : kFailed;
        ReportBuffer report;
        const ssize_t count = ::read(m_fd, report.data(), report.size());
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            if (MeansConnectionLost(errno))
                return lose(received);
            return received > 0 ? static_cast<int>(received) : kFailed;
        }
        if (count == 0) // readable yet nothing to read: the end of a device that hung up
            return lose(received);
        const auto bytes = ProtocolBytesOf(std::span(report).first(static_cast<size_t>(count)));
        if (bytes.empty())
            continue; // padding only: nothing of a reply arrived
        const size_t taken = std::min(bytes.size(), buffer.size() - received);
        std::copy_n(bytes.begin(), taken, buffer.begin() + static_cast<long>(received));
        m_kept.assign(bytes.begin() + static_cast<long>(taken), bytes.end());
        received += taken;
        lastByte = PortClock::now();
        if (limits.complete && limits.complete(buffer.first(received)))
            break;
    }
    return static_cast<int>(received);
}

void HidrawPort::purge()
{
    m_kept.clear();
    ReportBuffer report;
    for (int drained = 0; !m_lost && drained < kMostReportsPurged; ++drained) {
        const ssize_t count = ::read(m_fd, report.data(), report.size());
        if (count > 0)
            continue;
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0 || MeansConnectionLost(errno))
            m_lost = true;
        break;
    }
}

LineStatus HidrawPort::takeLineStatus()
{
    // A USB device has no line whose errors could be counted.
    return {.connectionLost = m_lost};
}

} // namespace quorvane
