#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quorvane {

// Told the bytes received so far, says whether they already hold everything the reader
// waits for (a whole reply), so that the read need not wait out its time-outs.
using ReadComplete = std::function<bool(std::span<const std::uint8_t> received)>;

// Told the bytes received so far, says whether the reply itself has begun.
using ReadBegun = std::function<bool(std::span<const std::uint8_t> received)>;

// When a read gives up. A read returns as soon as it has all the bytes asked for, or as soon
// as `complete` (if set) says the bytes so far are enough; otherwise it ends when no first
// byte came within `firstByte`, when `interByte` passed between two bytes, or when `total`
// (if set) has run out since the call. With `begun` set, bytes that come before it says the
// reply has begun (left over from earlier traffic, a LF after an earlier reply's CR) are kept
// but do not start the wait between bytes: `firstByte` still runs for the reply.
struct ReadLimits {
    std::chrono::milliseconds firstByte;
    std::chrono::milliseconds interByte;
    std::optional<std::chrono::milliseconds> total;
    ReadComplete complete = {};
    ReadBegun begun = {};

    // True when the next byte is awaited within `interByte` of the last one rather than
    // within `firstByte` of the call.
    [[nodiscard]] bool WaitsBetweenBytes(std::span<const std::uint8_t> received) const
    {
        return !received.empty() && (!begun || begun(received));
    }
};

// Line errors reported by the port since the previous query, as the error flags a Windows
// serial driver reports them, so that the codes keep their meaning in the event memo.
struct LineErrorFlags {
    static constexpr std::uint32_t ReceiveOverflow = 0x0001;
    static constexpr std::uint32_t Overrun = 0x0002;
    static constexpr std::uint32_t Parity = 0x0004;
    static constexpr std::uint32_t Framing = 0x0008;
    static constexpr std::uint32_t Break = 0x0010;
};

struct LineStatus {
    bool queryFailed = false;     // the port could not be asked at all
    bool connectionLost = false;  // the device hung up or went away
    std::uint32_t errors = 0;     // LineErrorFlags seen since the previous query
};

// One open serial line: the only thing the inverter link needs from a port.
// Used by one thread at a time (the core thread); not internally synchronised.
class SerialTransport {
public:
    // Results of write and read besides a byte count.
    static constexpr int kFailed = -1;
    // The device hung up or went away (an unplugged adapter, a closed pty): this line will
    // never work again, and every later call says so at once.
    static constexpr int kConnectionLost = -2;

    virtual ~SerialTransport() = default;
    // Bytes written before the time-out ran out, kFailed or kConnectionLost.
    virtual int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) = 0;
    // Bytes read (0 .. buffer size), kFailed or kConnectionLost. Bytes that arrived before a
    // hang-up are returned first; the loss is reported by the next call.
    virtual int read(std::span<std::uint8_t> buffer, const ReadLimits& limits) = 0;
    // Discards whatever waits in the input and output queues.
    virtual void purge() = 0;
    virtual LineStatus takeLineStatus() = 0;
};

enum class LineSetupProblem {
    None,
    ReadSettings,  // the current line settings could not be read
    WriteSettings, // the line settings could not be applied
};

struct OpenedPort {
    std::unique_ptr<SerialTransport> transport; // null when the port could not be opened
    LineSetupProblem setupProblem = LineSetupProblem::None;
};

// Opens devices for TComm. The real one opens device files; tests may put an in-process
// inverter behind a device name instead.
class SerialOpener {
public:
    virtual ~SerialOpener() = default;
    // Opens the device exclusively and sets it to 2400 baud, 8N1, raw, no flow control.
    virtual OpenedPort open(const std::string& device) = 0;
};

} // namespace quorvane
