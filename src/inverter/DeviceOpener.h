#pragma once

#include "inverter/SerialTransport.h"

#include <functional>
#include <string>

namespace quorvane {

// The opener the program uses: it opens the device a port name stands for and drives it as
// what it is. A raw HID device (a path under /dev/hidraw, or any device the hidraw driver
// answers for, such as a udev link to one) becomes a HidrawPort; anything else a serial line
// at 2400 baud, 8N1. Either way the device is held for this program alone until the port
// closes.
// Used by the core thread (through TComm).
class DeviceOpener final : public SerialOpener {
public:
    // Opens a device file for this program alone: its descriptor, or -1.
    using OpenFile = std::function<int(const std::string& device)>;

    // Tests hand out a simulator's end of a socket pair for a device name instead.
    explicit DeviceOpener(OpenFile openFile = {});

    OpenedPort open(const std::string& device) override;

    [[nodiscard]] static bool IsHidDevice(const std::string& device, int fd);

private:
    OpenFile m_openFile;
};

} // namespace quorvane
