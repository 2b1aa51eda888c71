#include "LineWaiter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quorvane::sim {

LineWaiter::LineWaiter()
{
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe2");
}

LineWaiter::~LineWaiter()
{
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

void LineWaiter::Wake()
{
    [[maybe_unused]] const auto written = ::write(m_wakePipe[1], "x", 1);
}

void LineWaiter::drainWakeUps()
{
    char drain[16];
    while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
    }
}

LineWaiter::Event LineWaiter::WaitForInput(int fd)
{
    for (;;) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return Event::Failed;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            drainWakeUps();
            return Event::WokenUp;
        }
        if ((watched[0].revents & POLLIN) != 0)
            return Event::Readable;
    }
}

bool LineWaiter::SleepUntil(std::chrono::steady_clock::time_point due, const std::function<bool()>& stopped)
{
    for (;;) {
        const auto wait = due - std::chrono::steady_clock::now();
        if (wait <= std::chrono::steady_clock::duration::zero())
            return true;
        pollfd wakeUp{m_wakePipe[0], POLLIN, 0};
        if (::poll(&wakeUp, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count())) > 0)
            drainWakeUps();
        if (stopped())
            return false;
    }
}

} // namespace quorvane::sim
