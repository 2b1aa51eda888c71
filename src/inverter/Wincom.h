#pragma once

#include "inverter/PortMap.h"
#include "inverter/SerialTransport.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

class UserNotifier;

// The inverter's serial port: open with the fixed line settings (2400 baud, 8N1), write a
// request, read a reply (ending as soon as a whole frame is in, within the time-outs of a
// block of known length or of a quiet line), purge, close.
// A line that hangs up or whose device goes away is let go and reported as lost (State).
// Every operation blocks its caller. One instance for the whole run, owned and used only by
// the core thread; no lock inside.
class TComm {
public:
    // Windows-style time-outs, kept because the protocol's timing rests on them:
    // a read of n bytes gives up after kReadTotalPerByte * n + kReadTotalConstant, or earlier
    // when more than kReadInterval passes between two bytes; a reply read until quiet ends
    // after kQuietGap of silence; a write of n bytes gives up after the same formula.
    static constexpr std::chrono::milliseconds kReadInterval{50};
    static constexpr std::chrono::milliseconds kReadTotalPerByte{20};
    static constexpr std::chrono::milliseconds kReadTotalConstant{200};
    static constexpr std::chrono::milliseconds kWriteTotalPerByte{20};
    static constexpr std::chrono::milliseconds kWriteTotalConstant{200};
    static constexpr std::chrono::milliseconds kQuietGap = kReadTotalPerByte + kReadTotalConstant;

    // Results of ReadBlock besides a byte count.
    static constexpr int kReadFailed = -1;
    static constexpr int kLineError = -3;
    static constexpr int kStatusQueryFailed = -4;
    // LastError after an Open that found no port to open.
    static constexpr std::uint32_t kOpenFailed = 1;

    // What became of the port this object opened.
    enum class PortState {
        Closed, // none opened yet, or closed
        Open,
        // The device hung up or went away. The port has been let go at once, so that a device
        // that comes back under the same name can be opened again; reads and writes fail
        // until the next Open or Close.
        Lost,
    };

    TComm(SerialOpener& opener, UserNotifier& notifier, PortMap ports = {});
    ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    void SetPortMap(PortMap ports) { m_ports = std::move(ports); }
    [[nodiscard]] const PortMap& Ports() const { return m_ports; }

    // True when the port could be opened now; the port this object holds is not touched.
    [[nodiscard]] bool PortExists(std::string_view portName);
    // Success is read through LastError (0 = open). The four line numbers play no part: the
    // line is always 2400 baud, 8 data bits, no parity, 1 stop bit.
    void Open(std::string_view portName, int baudRate = 2400, int dataBits = 8, int parity = 0, int stopBits = 1);
    [[nodiscard]] std::uint32_t LastError() const { return m_lastError; }
    [[nodiscard]] bool IsOpen() const { return m_port != nullptr; }
    [[nodiscard]] PortState State() const { return m_state; }
    // The device file of the open (or lost) port; empty when none is open.
    [[nodiscard]] const std::string& DevicePath() const { return m_devicePath; }

    int Write(std::span<const std::uint8_t> bytes);

    // The reads the queries use. Both end as soon as the bytes so far hold a whole frame with
    // a valid CRC (see ReplyFrame.h), and both leave room in `buffer` for more than the reply:
    // bytes left over before it, a longer serial number, a LF after the CR. Bytes before the
    // reply's "(" do not start the wait between bytes.
    //
    // A reply of known length: gives up within the time-outs of a ReadBlock of
    // `expectedLength` bytes. Results as ReadBlock.
    int ReadReply(std::span<std::uint8_t> buffer, std::size_t expectedLength);
    // A reply of varying length: gives up once the line has been quiet for kQuietGap. Bytes
    // received; 0 when none came or the read failed.
    int ReadReplyUntilQuiet(std::span<std::uint8_t> buffer);

    // The plain reads, blind to frames (the port's own tests use them): exactly buffer.size()
    // bytes within the time-outs of that many, or every byte until the line has been quiet
    // for kQuietGap.
    int ReadBlock(std::span<std::uint8_t> buffer);
    int ReadUntilQuiet(std::span<std::uint8_t> buffer);
    void Purge();
    void Close();

private:
    void loseLine();
    int readBlock(std::span<std::uint8_t> buffer, const ReadLimits& limits);
    int readUntilQuiet(std::span<std::uint8_t> buffer, const ReadLimits& limits);

    SerialOpener& m_opener;
    UserNotifier& m_notifier;
    PortMap m_ports;
    std::unique_ptr<SerialTransport> m_port;
    std::string m_devicePath;
    PortState m_state = PortState::Closed;
    std::uint32_t m_lastError = 0;
};

} // namespace quorvane
