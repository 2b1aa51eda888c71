#include "inverter/HidrawDirectory.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace quorvane {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

template <typename Number>
std::optional<Number> parseHex(std::string_view text)
{
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "0003:00000665:00005161" (bus, vendor, product): the two ids in their low 16 bits.
std::optional<UsbId> parseHidId(std::string_view text)
{
    const auto first = text.find(':');
    const auto second = text.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return std::nullopt;
    const auto vendor = parseHex<std::uint32_t>(text.substr(first + 1, second - first - 1));
    const auto product = parseHex<std::uint32_t>(text.substr(second + 1));
    if (!vendor || !product)
        return std::nullopt;
    return UsbId{static_cast<std::uint16_t>(*vendor & 0xFFFF), static_cast<std::uint16_t>(*product & 0xFFFF)};
}

// The number in "hidraw12", for the order of the list.
int deviceNumber(const std::string& name)
{
    int number = 0;
    const std::string_view digits = std::string_view(name).substr(std::min(name.size(), std::string_view("hidraw").size()));
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return number;
}

std::optional<HidrawDevice> readDevice(const std::filesystem::path& entry, const std::string& devRoot)
{
    std::ifstream uevent(entry / "device" / "uevent");
    std::optional<UsbId> id;
    std::string product;
    for (std::string line; std::getline(uevent, line);) {
        if (line.starts_with("HID_ID="))
            id = parseHidId(trimmed(std::string_view(line).substr(7)));
        else if (line.starts_with("HID_NAME="))
            product = trimmed(std::string_view(line).substr(9));
    }
    if (!id)
        return std::nullopt;
    const std::string name = entry.filename().string();
    return HidrawDevice{name, devRoot + "/" + name, *id, product};
}

} // namespace

std::string UsbIdText(UsbId id)
{
    char text[10];
    std::snprintf(text, sizeof text, "%04x:%04x", id.Vendor, id.Product);
    return text;
}

std::optional<UsbId> ParseUsbId(std::string_view text)
{
    text = trimmed(text);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto vendor = parseHex<std::uint16_t>(text.substr(0, colon));
    const auto product = parseHex<std::uint16_t>(text.substr(colon + 1));
    if (!vendor || !product)
        return std::nullopt;
    return UsbId{*vendor, *product};
}

std::vector<UsbId> SearchedUsbIds(std::string_view extraIds)
{
    std::vector<UsbId> ids{kInverterUsbId};
    while (!extraIds.empty()) {
        const auto comma = extraIds.find(',');
        const auto id = ParseUsbId(extraIds.substr(0, comma));
        if (id && std::find(ids.begin(), ids.end(), *id) == ids.end())
            ids.push_back(*id);
        extraIds = comma == std::string_view::npos ? std::string_view{} : extraIds.substr(comma + 1);
    }
    return ids;
}

HidrawDirectory::HidrawDirectory(std::string sysfsRoot, std::string devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot))
{
}

std::vector<HidrawDevice> HidrawDirectory::List() const
{
    std::vector<HidrawDevice> devices;
    // Devices come and go while the folder is read: an error ends the list, it never throws.
    std::error_code error;
    for (std::filesystem::directory_iterator entry(m_sysfsRoot + "/class/hidraw", error), end; !error && entry != end;
         entry.increment(error)) {
        if (!entry->path().filename().string().starts_with("hidraw"))
            continue;
        if (auto device = readDevice(entry->path(), m_devRoot))
            devices.push_back(std::move(*device));
    }
    std::sort(devices.begin(), devices.end(), [](const HidrawDevice& a, const HidrawDevice& b) {
        return deviceNumber(a.Name) < deviceNumber(b.Name);
    });
    return devices;
}

std::vector<HidrawDevice> HidrawDirectory::WithIds(const std::vector<UsbId>& ids) const
{
    std::vector<HidrawDevice> devices = List();
    std::erase_if(devices, [&](const HidrawDevice& device) {
        return std::find(ids.begin(), ids.end(), device.Id) == ids.end();
    });
    return devices;
}

} // namespace quorvane
