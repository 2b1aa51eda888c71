#include "inverter/Wincom.h"

#include "core/UserNotifier.h"
#include "inverter/ReplyFrame.h"

#include <cerrno>

namespace quorvane {

namespace {

std::chrono::milliseconds totalFor(size_t count, std::chrono::milliseconds perByte, std::chrono::milliseconds constant)
{
    return perByte * static_cast<long>(count) + constant;
}

ReadLimits blockLimits(std::size_t count)
{
    const auto total = totalFor(count, TComm::kReadTotalPerByte, TComm::kReadTotalConstant);
    return {.firstByte = total, .interByte = TComm::kReadInterval, .total = total};
}

ReadLimits quietLimits()
{
    return {.firstByte = TComm::kQuietGap, .interByte = TComm::kQuietGap, .total = {}};
}

// A read that ends at the first whole frame, and for which bytes before its "(" are no part of
// the reply's timing.
ReadLimits endingAtFrame(ReadLimits limits)
{
    limits.complete = [](std::span<const std::uint8_t> received) { return FindReplyFrame(received).has_value(); };
    limits.begun = ReplyBegun;
    return limits;
}

std::uint32_t errnoOr(std::uint32_t fallback)
{
    return errno != 0 ? static_cast<std::uint32_t>(errno) : fallback;
}

} // namespace

TComm::TComm(SerialOpener& opener, UserNotifier& notifier, PortMap ports)
    : m_opener(opener), m_notifier(notifier), m_ports(std::move(ports))
{
}

TComm::~TComm() = default;

bool TComm::PortExists(std::string_view portName)
{
    const std::string device = m_ports.DevicePath(portName);
    return !device.empty() && m_opener.open(device).transport != nullptr;
}

void TComm::Open(std::string_view portName, int, int, int, int)
{
    m_lastError = 0;
    Close(); // never more than one port held
    const std::string device = m_ports.DevicePath(portName);
    OpenedPort opened = device.empty() ? OpenedPort{} : m_opener.open(device);
    if (!opened.transport) {
        m_lastError = kOpenFailed;
        return;
    }
    m_port = std::move(opened.transport);
    m_devicePath = device;
    m_state = PortState::Open;
    // A port that refuses its settings stays open, and the caller goes on as with an open port.
    if (opened.setupProblem == LineSetupProblem::ReadSettings)
        m_notifier.showMessage("Errore BuildCommDCB");
    else if (opened.setupProblem == LineSetupProblem::WriteSettings)
        m_notifier.showMessage("Errore setcommstate");
}

void TComm::loseLine()
{
    // Letting the descriptor go frees the device name: an adapter that is plugged in again
    // gets its old name back instead of the next free one.
    m_port.reset();
    m_state = PortState::Lost;
    m_lastError = EIO;
}

int TComm::Write(std::span<const std::uint8_t> bytes)
{
    if (!m_port)
        return -1;
    errno = 0;
    const int written = m_port->write(bytes, totalFor(bytes.size(), kWriteTotalPerByte, kWriteTotalConstant));
    if (written >= 0)
        return written;
    if (written == SerialTransport::kConnectionLost) {
        loseLine();
        return -1;
    }
    errno = 0;
    const LineStatus status = m_port->takeLineStatus();
    if (status.connectionLost)
        loseLine();
    else if (status.queryFailed)
        m_lastError = errnoOr(EIO);
    return -1;
}

int TComm::ReadReply(std::span<std::uint8_t> buffer, std::size_t expectedLength)
{
    return readBlock(buffer, endingAtFrame(blockLimits(expectedLength)));
}

int TComm::ReadReplyUntilQuiet(std::span<std::uint8_t> buffer)
{
    return readUntilQuiet(buffer, endingAtFrame(quietLimits()));
}

int TComm::ReadBlock(std::span<std::uint8_t> buffer)
{
    return readBlock(buffer, blockLimits(buffer.size()));
}

int TComm::ReadUntilQuiet(std::span<std::uint8_t> buffer)
{
    return readUntilQuiet(buffer, quietLimits());
}

int TComm::readBlock(std::span<std::uint8_t> buffer, const ReadLimits& limits)
{
    m_lastError = 0;
    if (m_state == PortState::Lost) {
        m_lastError = EIO;
        return kReadFailed;
    }
    if (!m_port)
        return kStatusQueryFailed;
    const LineStatus status = m_port->takeLineStatus();
    if (status.connectionLost) {
        loseLine();
        return kReadFailed;
    }
    if (status.queryFailed)
        return kStatusQueryFailed;
    if (status.errors != 0) {
        // The flags are cleared by having been taken; the next read goes ahead normally.
        m_lastError = status.errors;
        return kLineError;
    }
    errno = 0;
    const int received = m_port->read(buffer, limits);
    if (received == SerialTransport::kConnectionLost) {
        loseLine();
        return kReadFailed;
    }
    if (received < 0) {
        m_lastError = errnoOr(EIO);
        return kReadFailed;
    }
    return received;
}

int TComm::readUntilQuiet(std::span<std::uint8_t> buffer, const ReadLimits& limits)
{
    if (!m_port)
        return 0;
    const int received = m_port->read(buffer, limits);
    if (received == SerialTransport::kConnectionLost)
        loseLine();
    return received < 0 ? 0 : received;
}

void TComm::Purge()
{
    if (m_port)
        m_port->purge();
}

void TComm::Close()
{
    m_port.reset();
    m_devicePath.clear();
    m_state = PortState::Closed;
}

} // namespace quorvane
