#pragma once

#include "inverter/SerialTransport.h"

#include <array>

namespace quorvane {

// A serial device file (a USB adapter, a built-in port, a pseudo-terminal) driven through
// termios and poll(). A hang-up, EIO or a vanished device makes the line lost for good.
// Owned by whoever owns the TComm holding it (the core thread).
class PosixSerialPort final : public SerialTransport {
public:
    explicit PosixSerialPort(int fd);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    int read(std::span<std::uint8_t> buffer, const ReadLimits& limits) override;
    void purge() override;
    LineStatus takeLineStatus() override;

private:
    int m_fd;
    bool m_lost = false;
    bool m_hasErrorCounters = true;
    // framing, parity, break, overrun, buffer overrun as last seen
    std::array<int, 5> m_lastCounts{};
};

// Opens every device as a serial line. (DeviceOpener also drives USB-HID devices.)
class PosixSerialOpener final : public SerialOpener {
public:
    OpenedPort open(const std::string& device) override;
    // Takes an exclusively opened descriptor of a serial device and sets its line up.
    [[nodiscard]] static OpenedPort OpenSerialLine(int fd);
};

} // namespace quorvane
