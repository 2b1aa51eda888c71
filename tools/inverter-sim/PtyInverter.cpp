#include "PtyInverter.h"

#include <fcntl.h>
#include <poll.h>
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
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        fail("pipe2");
    m_thread = std::thread([this] { run(); });
}

PtyInverter::~PtyInverter()
{
    m_stop = true;
    [[maybe_unused]] const auto written = ::write(m_wakePipe[1], "x", 1);
    m_thread.join();
    closeLine();
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

void PtyInverter::Unplug()
{
    m_unplugRequested = true;
    [[maybe_unused]] const auto written = ::write(m_wakePipe[1], "u", 1);
}

void PtyInverter::closeLine()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_heldSlave >= 0)
        ::close(m_heldSlave);
    m_master = m_heldSlave = -1;
}

// Sleeps up to timeoutMs; true when the thread must stop (or unplug) instead.
bool PtyInverter::waitForStop(int timeoutMs)
{
    pollfd wake{m_wakePipe[0], POLLIN, 0};
    if (::poll(&wake, 1, timeoutMs) > 0) {
        char drain[16];
        while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
        }
    }
    return m_stop || m_unplugRequested;
}

bool PtyInverter::sendReply(const ReplySchedule& reply)
{
    const auto start = SteadyClock::now();
    for (const TimedByte& byte : reply) {
        for (;;) {
            const auto wait = start + byte.at - SteadyClock::now();
            if (wait <= SteadyClock::duration::zero())
                break;
            const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
            if (waitForStop(static_cast<int>(waitMs)))
                return false;
        }
        // A full input queue on the client's side drops the byte, as a real line would.
        [[maybe_unused]] const auto written = ::write(m_master, &byte.value, 1);
    }
    return true;
}

void PtyInverter::run()
{
    Bytes request;
    while (!m_stop) {
        if (m_unplugRequested || m_model.Unplugged()) {
            closeLine();
            m_unplugRequested = false;
            while (!m_stop)
                waitForStop(-1);
            return;
        }
        pollfd watched[2] = {{m_master, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            waitForStop(0);
            continue;
        }
        if ((watched[0].revents & POLLIN) == 0)
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
