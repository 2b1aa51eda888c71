#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// A USB vendor and product id, written "0665:5161" (four hex digits each, lower case).
struct UsbId {
    std::uint16_t Vendor = 0;
    std::uint16_t Product = 0;
    auto operator<=>(const UsbId&) const = default;
};

// The id under which these inverters' USB port commonly shows.
inline constexpr UsbId kInverterUsbId{0x0665, 0x5161};

[[nodiscard]] std::string UsbIdText(UsbId id);
// "0665:5161", "665:5161", "0665:5161 " (blanks around it ignored); nothing for anything else.
[[nodiscard]] std::optional<UsbId> ParseUsbId(std::string_view text);
// The ids the port search tries: kInverterUsbId, then the ids a comma-separated list (the
// settings' [Ports] "HidIds") adds. Entries that are no id are passed over.
[[nodiscard]] std::vector<UsbId> SearchedUsbIds(std::string_view extraIds);

// One raw HID device the kernel shows: "hidraw0" at "/dev/hidraw0", with the USB id and the
// product name of the device it belongs to.
struct HidrawDevice {
    std::string Name;
    std::string DevicePath;
    UsbId Id;
    std::string Product; // as the device names itself; may be empty
    bool operator==(const HidrawDevice&) const = default;
};

// The hidraw devices present, read from sysfs: each /sys/class/hidraw/hidrawN/device/uevent
// holds HID_ID=bus:vendor:product (hex) and HID_NAME. Tests give a fake tree as the root.
// Reads files only when asked; holds no state beyond its roots. Any thread.
class HidrawDirectory {
public:
    explicit HidrawDirectory(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // Every device whose id can be read, by number (hidraw2 before hidraw10).
    [[nodiscard]] std::vector<HidrawDevice> List() const;
    // Those of List() with one of `ids`.
    [[nodiscard]] std::vector<HidrawDevice> WithIds(const std::vector<UsbId>& ids) const;

private:
    std::string m_sysfsRoot;
    std::string m_devRoot;
};

} // namespace quorvane
