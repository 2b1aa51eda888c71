#include "inverter/HidrawPort.h"

#include "inverter/DeviceDescriptor.h"

#include <fcntl.h>
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
    const Transfer transfer = WriteWithin(m_fd, bytes.size(), total, [&](size_t written) -> ssize_t {
        const auto slice = bytes.subspan(written, std::min(kHidReportSize, bytes.size() - written));
        return sendReport(MakeOutputReport(slice)) ? static_cast<ssize_t>(slice.size()) : -1;
    });
    return WriteResult(transfer, m_lost);
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
    const size_t kept = takeKept(buffer);
    if (m_lost)
        return kept > 0 ? static_cast<int>(kept) : kConnectionLost;
    if (kept > 0 && limits.complete && limits.complete(buffer.first(kept)))
        return static_cast<int>(kept);
    const Transfer transfer = ReadWithin(m_fd, buffer, kept, limits, [&](size_t received) -> ssize_t {
        ReportBuffer report;
        const ssize_t count = ::read(m_fd, report.data(), report.size());
        if (count <= 0)
            return count;
        const auto bytes = ProtocolBytesOf(std::span(report).first(static_cast<size_t>(count)));
        if (bytes.empty()) {
            errno = EAGAIN; // padding only: nothing of a reply arrived
            return -1;
        }
        const size_t taken = std::min(bytes.size(), buffer.size() - received);
        std::copy_n(bytes.begin(), taken, buffer.begin() + static_cast<long>(received));
        m_kept.assign(bytes.begin() + static_cast<long>(taken), bytes.end());
        return static_cast<ssize_t>(taken);
    });
    return ReadResult(transfer, m_lost);
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
