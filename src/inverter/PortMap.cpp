#include "inverter/PortMap.h"

#include <charconv>
#include <cctype>

namespace quorvane {

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

} // namespace

std::string PortMap::PortName(int number)
{
    std::string name = "COM" + std::to_string(number);
    return number > 9 ? std::string(kDevicePrefix) + name : name;
}

std::optional<int> PortMap::PortNumber(std::string_view portName)
{
    if (portName.starts_with(kDevicePrefix))
        portName.remove_prefix(kDevicePrefix.size());
    if (!startsWithNoCase(portName, "COM"))
        return std::nullopt;
    portName.remove_prefix(3);
    int number = 0;
    const auto [end, error] = std::from_chars(portName.data(), portName.data() + portName.size(), number);
    if (error != std::errc{} || end != portName.data() + portName.size() || number < 1)
        return std::nullopt;
    return number;
}

std::string PortMap::DefaultDevice(int number)
{
    if (number >= 1 && number <= 10)
        return "/dev/ttyUSB" + std::to_string(number - 1);
    if (number >= 11 && number <= 20)
        return "/dev/ttyACM" + std::to_string(number - 11);
    if (number >= 21 && number <= kLastPort)
        return "/dev/ttyS" + std::to_string(number - 21);
    return {};
}

std::string PortMap::DevicePath(std::string_view portName) const
{
    if (portName.starts_with('/'))
        return std::string(portName);
    const auto number = PortNumber(portName);
    if (!number)
        return {};
    if (const auto mapped = m_devices.find(*number); mapped != m_devices.end() && !mapped->second.empty())
        return mapped->second;
    return DefaultDevice(*number);
}

} // namespace quorvane
