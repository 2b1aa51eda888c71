#include "PtyInverter.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace quorvane::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// The request bytes that have reached the master, as many as one read gives.
Bytes readChunk(int master)
{
    std::uint8_t chunk[256];
    const ssize_t count = ::read(master, chunk, sizeof chunk);
    if (count <= 0)
        return {};
    return {chunk, chunk + count};
}

} // namespace

PtyInverter::PtyInverter(InverterModel& model, ReplyWritten replyWritten)
    : m_model(model),
      m_replyWritten(std::move(replyWritten)),
      m_server(model, readChunk, [this](int master, const ReplySchedule& reply) { return sendReply(master, reply); })
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        fail("posix_openpt");
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0)
        fail("unlockpt");
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0)
        fail("ptsname_r");
    m_devicePath = name;
    m_heldSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_heldSlave < 0)
        fail("open slave");
    // Raw from the start: no echo, no CR to LF translation, whoever opens the port.
    termios settings{};
    ::tcgetattr(m_heldSlave, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(m_heldSlave, TCSANOW, &settings);
    m_server.Start(master);
}

PtyInverter::~PtyInverter()
{
    m_server.Stop();
    releaseSlave();
}

void PtyInverter::Unplug()
{
    m_model.Unplug();
    // Once the server has stopped, the master is closed: the kernel has hung up the port's
    // side and removed the device.
    m_server.Stop();
    releaseSlave();
}

size_t PtyInverter::UnreadBytes() const
{
    int waiting = 0;
    if (m_heldSlave < 0 || ::ioctl(m_heldSlave, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<size_t>(waiting);
}

void PtyInverter::releaseSlave()
{
    if (m_heldSlave >= 0)
        ::close(m_heldSlave);
    m_heldSlave = -1;
}

bool PtyInverter::sendReply(int master, const ReplySchedule& reply)
{
    const auto start = SteadyClock::now();
    Bytes due;
    size_t next = 0;
    while (next < reply.size()) {
        if (!m_server.SleepUntil(start + reply[next].at))
            return false;
        // Every byte due by now goes out in one write: a line thread that woke late on a busy
        // machine sends what it owes at once instead of opening gaps the reply never had.
        const auto elapsed = SteadyClock::now() - start;
        due.clear();
        while (next < reply.size() && reply[next].at <= elapsed)
            due.push_back(reply[next++].value);
        // A full input queue on the client's side drops bytes, as a real line would.
        const ssize_t written = ::write(master, due.data(), due.size());
        if (written > 0)
            m_bytesSent += static_cast<size_t>(written);
    }
    if (m_replyWritten && !reply.empty()) {
        const auto lastByteAt = SteadyClock::now();
        Bytes sent;
        sent.reserve(reply.size());
        for (const TimedByte& byte : reply)
            sent.push_back(byte.value);
        m_replyWritten(sent, lastByteAt);
    }
    return true;
}

} // namespace quorvane::sim
