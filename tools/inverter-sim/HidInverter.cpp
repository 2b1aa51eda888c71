#include "HidInverter.h"

#include "inverter/HidReports.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace quorvane::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::uint8_t kLineFeed = 0x0A;

[[noreturn]] void fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Where the report that starts at `first` ends: after 8 bytes, or after a CR (and a LF right
// behind it), which ends what the device sends at a time. The tail of an earlier reply or an
// echo of the request, each ended by its CR, therefore never shares a report with the reply.
size_t reportEnd(const ReplySchedule& reply, size_t first)
{
    const size_t limit = std::min(first + kHidReportSize, reply.size());
    for (size_t i = first; i < limit; ++i) {
        if (reply[i].value != kCarriageReturn)
            continue;
        const bool lineFeedFollows = i + 1 < limit && reply[i + 1].value == kLineFeed;
        return i + (lineFeedFollows ? 2 : 1);
    }
    return limit;
}

// The request's bytes in one output report: the report number first, then the request's
// bytes up to its CR and the padding.
Bytes readReport(int deviceEnd)
{
    std::uint8_t report[kLargestHidReport];
    const ssize_t count = ::recv(deviceEnd, report, sizeof report, 0);
    if (count <= 1)
        return {};
    const auto bytes = ProtocolBytesOf(std::span<const std::uint8_t>(report + 1, static_cast<size_t>(count - 1)));
    return {bytes.begin(), bytes.end()};
}

} // namespace

HidInverter::HidInverter(InverterModel& model)
    : m_model(model),
      m_server(model, readReport, [this](int deviceEnd, const ReplySchedule& reply) { return sendReply(deviceEnd, reply); })
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        fail("socketpair");
    m_programEnd = ends[1];
    m_server.Start(ends[0]);
}

HidInverter::~HidInverter()
{
    m_server.Stop();
    ::close(m_programEnd);
}

int HidInverter::OpenDevice() const
{
    if (m_model.Unplugged())
        return -1;
    return ::fcntl(m_programEnd, F_DUPFD_CLOEXEC, 0);
}

std::function<int(const std::string&)> HidInverter::OpenFileAs(std::string device) const
{
    return [this, device = std::move(device)](const std::string& opened) { return opened == device ? OpenDevice() : -1; };
}

void HidInverter::Unplug()
{
    m_model.Unplug();
    // The device end is closed once the server has stopped: every port sees the hang-up.
    m_server.Stop();
}

bool HidInverter::sendReply(int deviceEnd, const ReplySchedule& reply)
{
    const auto start = SteadyClock::now();
    for (size_t first = 0; first < reply.size();) {
        const size_t end = reportEnd(reply, first);
        // A report goes out when its last byte is due; one the thread owes already goes at once.
        if (!m_server.SleepUntil(start + reply[end - 1].at))
            return false;
        std::array<std::uint8_t, kHidReportSize> report{};
        for (size_t i = first; i < end; ++i)
            report[i - first] = reply[i].value;
        if (::send(deviceEnd, report.data(), report.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(report.size()))
            ++m_reportsSent;
        first = end;
    }
    return true;
}

} // namespace quorvane::sim
