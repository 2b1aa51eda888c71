#include "InProcessLine.h"

namespace quorvane::sim {

using std::chrono::microseconds;

InProcessLine::InProcessLine(InverterModel& model) : m_model(model) {}

bool InProcessLine::lost()
{
    // A line whose device went away stays dead, also when the cable comes back.
    m_lost = m_lost || m_model.Unplugged();
    return m_lost;
}

int InProcessLine::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds)
{
    if (lost())
        return kConnectionLost;
    m_model.NoteReceivedBytes(bytes.size());
    for (const std::uint8_t byte : bytes) {
        m_request.push_back(byte);
        if (byte != kCarriageReturn)
            continue;
        for (const TimedByte& reply : m_model.Answer(m_request))
            m_pending.push_back({m_now + reply.at, reply.value});
        m_request.clear();
    }
    return static_cast<int>(bytes.size());
}

int InProcessLine::read(std::span<std::uint8_t> buffer, const ReadLimits& limits)
{
    if (lost())
        return kConnectionLost;
    const microseconds start = m_now;
    microseconds lastByte = start;
    size_t received = 0;
    auto giveUpAt = [&] {
        microseconds limit = limits.WaitsBetweenBytes(buffer.first(received)) ? lastByte + limits.interByte
                                                                               : start + limits.firstByte;
        if (limits.total)
            limit = std::min(limit, start + microseconds(*limits.total));
        return limit;
    };
    while (received < buffer.size()) {
        const microseconds limit = giveUpAt();
        if (m_pending.empty() || m_pending.front().at > limit) {
            m_now = std::max(m_now, limit);
            return static_cast<int>(received);
        }
        m_now = std::max(m_now, m_pending.front().at);
        lastByte = m_now;
        buffer[received++] = m_pending.front().value;
        m_pending.pop_front();
        if (limits.complete && limits.complete(buffer.first(received)))
            break;
    }
    return static_cast<int>(received);
}

void InProcessLine::purge()
{
    m_pending.clear();
    m_request.clear();
}

LineStatus InProcessLine::takeLineStatus()
{
    return {.connectionLost = lost()};
}

// An InProcessLine that frees its device name when the port is closed.
class ClaimedLine final : public SerialTransport {
public:
    ClaimedLine(InProcessOpener& opener, std::string device, InverterModel& model)
        : m_opener(opener), m_device(std::move(device)), m_line(model)
    {
    }
    ~ClaimedLine() override { m_opener.release(m_device); }
    ClaimedLine(const ClaimedLine&) = delete;
    ClaimedLine& operator=(const ClaimedLine&) = delete;

    int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override
    {
        return m_line.write(bytes, total);
    }
    int read(std::span<std::uint8_t> buffer, const ReadLimits& limits) override { return m_line.read(buffer, limits); }
    void purge() override { m_line.purge(); }
    LineStatus takeLineStatus() override { return m_line.takeLineStatus(); }

private:
    InProcessOpener& m_opener;
    std::string m_device;
    InProcessLine m_line;
};

void InProcessOpener::Attach(const std::string& device, InverterModel& model)
{
    const std::lock_guard lock(m_mutex);
    m_models[device] = &model;
}

OpenedPort InProcessOpener::open(const std::string& device)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_models.find(device);
    if (found == m_models.end() || found->second->Unplugged() || !m_claimed.insert(device).second)
        return {};
    OpenedPort opened;
    opened.transport = std::make_unique<ClaimedLine>(*this, device, *found->second);
    return opened;
}

void InProcessOpener::release(const std::string& device)
{
    const std::lock_guard lock(m_mutex);
    m_claimed.erase(device);
}

} // namespace quorvane::sim
