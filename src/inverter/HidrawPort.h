#pragma once

#include "inverter/HidReports.h"
#include "inverter/SerialTransport.h"

#include <cstdint>
#include <vector>

namespace quorvane {

// The inverter on its USB port, which Linux shows as a raw HID device (/dev/hidrawN): the same
// protocol bytes as on the serial line, carried in 8-byte reports (HidReports.h). A request
// goes out as whole reports; a reply's bytes are handed up without the padding of its
// reports. There is no line to set up and no line error to count. The read and write
// time-outs are those of the serial port, measured the same way; a device that hangs up or
// goes away makes the port lost for good.
// Owned by whoever owns the TComm holding it (the core thread).
class HidrawPort final : public SerialTransport {
public:
    // Takes over `fd` (made non-blocking here: poll() measures every time-out).
    explicit HidrawPort(int fd);
    ~HidrawPort() override;
    HidrawPort(const HidrawPort&) = delete;
    HidrawPort& operator=(const HidrawPort&) = delete;

    int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    int read(std::span<std::uint8_t> buffer, const ReadLimits& limits) override;
    // Reads and drops every report waiting, and the bytes kept from the last one.
    void purge() override;
    LineStatus takeLineStatus() override;

private:
    // One write() of one report; false with errno set when it did not go out.
    bool sendReport(const HidOutputReport& report);
    // Moves bytes kept from an earlier report into the buffer; how many.
    size_t takeKept(std::span<std::uint8_t> buffer);

    int m_fd;
    // A socket stands in for the device in the simulator: a write to one whose peer has gone
    // must fail with EPIPE, not raise SIGPIPE.
    bool m_isSocket = false;
    bool m_lost = false;
    std::vector<std::uint8_t> m_kept; // reply bytes of a report that did not fit the last read
};

} // namespace quorvane
