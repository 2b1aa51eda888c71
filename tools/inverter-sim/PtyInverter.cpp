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

namespace quorvane::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyInverter::PtyInverter(InverterModel& model) : m_model(model)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        fail("unlockpt");
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
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
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

PtyInverter::~PtyInverter()
{
    m_stop = true;
    m_waiter.Wake();
    if (m_thread.joinable())
        m_thread.join();
    closeLine();
}

void PtyInverter::Unplug()
{
    m_model.Unplug();
    m_waiter.Wake();
    // The line thread closes the master and ends; once it has, the kernel has hung up the
    // port's side and removed the device.
    if (m_thread.joinable())
        m_thread.join();
    closeLine();
}

size_t PtyInverter::UnreadBytes() const
{
    int waiting = 0;
    if (m_heldSlave < 0 || ::ioctl(m_heldSlave, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<size_t>(waiting);
}

void PtyInverter::closeLine()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_heldSlave >= 0)
        ::close(m_heldSlave);
    m_master = m_heldSlave = -1;
}

bool PtyInverter::stopped() const
{
    return m_stop || m_model.Unplugged();
}

bool PtyInverter::sendReply(const ReplySchedule& reply)
{
    const auto start = SteadyClock::now();
    Bytes due;
    size_t next = 0;
    while (next < reply.size()) {
        if (!m_waiter.SleepUntil(start + reply[next].at, [this] { return stopped(); }))
            return false;
        // Every byte due by now goes out in one write: a line thread that woke late on a busy
        // machine sends what it owes at once instead of opening gaps the reply never had.
        const auto elapsed = SteadyClock::now() - start;
        due.clear();
        while (next < reply.size() && reply[next].at <= elapsed)
            due.push_back(reply[next++].value);
        // A full input queue on the client's side drops bytes, as a real line would.
        const ssize_t written = ::write(m_master, due.data(), due.size());
        if (written > 0)
            m_bytesSent += static_cast<size_t>(written);
    }
    return true;
}

void PtyInverter::run()
{
    Bytes request;
    while (!m_stop) {
        if (m_model.Unplugged()) {
            // Closing the master hangs up the port's side and removes the device.
            ::close(m_master);
            m_master = -1;
            return;
        }
        const LineWaiter::Event event = m_waiter.WaitForInput(m_master);
        if (event == LineWaiter::Event::Failed)
            return;
        if (event == LineWaiter::Event::WokenUp)
            continue;
        std::uint8_t chunk[256];
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count <= 0)
            continue;
        m_model.NoteReceivedBytes(static_cast<size_t>(count));
        for (ssize_t i = 0; i < count; ++i) {
            request.push_back(chunk[i]);
            if (chunk[i] != kCarriageReturn)
                continue;
            const ReplySchedule reply = m_model.Answer(request);
            request.clear();
            if (!sendReply(reply))
                break;
        }
    }
}

} // namespace quorvane::sim
