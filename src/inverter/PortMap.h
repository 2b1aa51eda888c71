#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// Ports are named "COM" + number everywhere a person sees them (messages, settings); this map
// says which device file each name stands for. A mapping from the settings wins; otherwise
// COM1-COM10 are /dev/ttyUSB0-9, COM11-COM20 /dev/ttyACM0-9 and COM21-COM29 /dev/ttyS0-8, so a
// search from COM1 finds a USB adapter first. A name that already is a path ("/dev/...") is
// taken as it stands.
class PortMap {
public:
    static constexpr int kLastPort = 29;

    PortMap() = default;
    explicit PortMap(std::map<int, std::string> devices) : m_devices(std::move(devices)) {}

    // The device file for "COM7", "com7" or "\\.\COM12"; empty when the name means no port.
    [[nodiscard]] std::string DevicePath(std::string_view portName) const;

    // "COM" + n, with the "\\.\" prefix from port 10 on, as the port is opened and reported.
    [[nodiscard]] static std::string PortName(int number);
    [[nodiscard]] static std::optional<int> PortNumber(std::string_view portName);
    [[nodiscard]] static std::string DefaultDevice(int number);

    [[nodiscard]] const std::map<int, std::string>& Mappings() const { return m_devices; }

private:
    std::map<int, std::string> m_devices;
};

} // namespace quorvane
