#include "RequestServer.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace quorvane::sim {

RequestServer::RequestServer(InverterModel& model, ReadStep read, ReplyStep reply)
    : m_model(model), m_read(std::move(read)), m_reply(std::move(reply))
{
}

RequestServer::~RequestServer()
{
    Stop();
}

void RequestServer::Start(int deviceEnd)
{
    m_deviceEnd = deviceEnd;
    ::fcntl(m_deviceEnd, F_SETFL, ::fcntl(m_deviceEnd, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

void RequestServer::Stop()
{
    m_stop = true;
    m_waiter.Wake();
    if (m_thread.joinable())
        m_thread.join();
    closeDeviceEnd();
}

bool RequestServer::SleepUntil(std::chrono::steady_clock::time_point due)
{
    return m_waiter.SleepUntil(due, [this] { return stopped(); });
}

bool RequestServer::stopped() const
{
    return m_stop || m_model.Unplugged();
}

void RequestServer::closeDeviceEnd()
{
    if (m_deviceEnd >= 0)
        ::close(m_deviceEnd);
    m_deviceEnd = -1;
}

void RequestServer::run()
{
    Bytes request;
    while (!m_stop) {
        if (m_model.Unplugged()) {
            closeDeviceEnd();
            return;
        }
        const LineWaiter::Event event = m_waiter.WaitForInput(m_deviceEnd);
        if (event == LineWaiter::Event::Failed)
            return;
        if (event == LineWaiter::Event::WokenUp)
            continue;
        const Bytes arrived = m_read(m_deviceEnd);
        if (arrived.empty())
            continue;
        m_model.NoteReceivedBytes(arrived.size());
        for (const std::uint8_t byte : arrived) {
            request.push_back(byte);
            if (byte != kCarriageReturn)
                continue;
            const ReplySchedule reply = m_model.Answer(request);
            request.clear();
            if (!m_reply(m_deviceEnd, reply))
                break;
        }
    }
}

} // namespace quorvane::sim
