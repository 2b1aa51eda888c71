// The USB-id texts and the hidraw devices' uevent files: the input as an id, as the settings'
// list of extra ids, and as the uevent file of one device in a fake sysfs tree. The HID_ID
// reading is reached only through HidrawDirectory::List, so the input is written as
// class/hidraw/hidraw0/device/uevent under a folder in /dev/shm, kept for the whole run.
//
// Invariants:
// - an id is read exactly when the text, blanks around it aside, is two runs of hex digits
//   around one colon, each worth at most 0xffff; written, it is "hhhh:hhhh" in lower case and
//   reads back as the same id;
// - the searched ids are the inverter's, then each entry of the comma-separated list that
//   reads as an id, in their order, none twice;
// - the device is listed exactly when a line "HID_ID=bus:vendor:product" has hex vendor and
//   product (the last such line counts), with the low 16 bits of each and the last HID_NAME
//   line's text, blanks around it aside; it is found by its id only.
#include "FuzzCheck.h"

#include "inverter/HidrawDirectory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace quorvane;

namespace {

std::string_view withoutBlanks(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    while (!text.empty() && blanks.find(text.front()) != std::string_view::npos)
        text.remove_prefix(1);
    while (!text.empty() && blanks.find(text.back()) != std::string_view::npos)
        text.remove_suffix(1);
    return text;
}

// Hex digits only, worth at most `largest`.
std::optional<std::uint32_t> hexNumber(std::string_view text, std::uint64_t largest)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > largest)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<UsbId> expectedId(std::string_view text)
{
    text = withoutBlanks(text);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto vendor = hexNumber(text.substr(0, colon), 0xFFFF);
    const auto product = hexNumber(text.substr(colon + 1), 0xFFFF);
    if (!vendor || !product)
        return std::nullopt;
    return UsbId{static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product)};
}

void checkIdText(std::string_view text)
{
    const auto id = ParseUsbId(text);
    FUZZ_CHECK(id == expectedId(text));
    if (!id)
        return;
    const std::string written = UsbIdText(*id);
    FUZZ_CHECK(written.size() == 9 && written[4] == ':');
    FUZZ_CHECK(written.find_first_not_of("0123456789abcdef:") == std::string::npos);
    FUZZ_CHECK(ParseUsbId(written) == id);
}

std::vector<std::string_view> linesOf(std::string_view text, char separator)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find(separator);
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

void checkSearchedIds(std::string_view list)
{
    std::vector<UsbId> expected{kInverterUsbId};
    for (const std::string_view entry : linesOf(list, ',')) {
        const auto id = expectedId(entry);
        if (id && std::find(expected.begin(), expected.end(), *id) == expected.end())
            expected.push_back(*id);
    }
    FUZZ_CHECK(SearchedUsbIds(list) == expected);
}

std::optional<HidrawDevice> expectedDevice(std::string_view uevent)
{
    std::optional<UsbId> id;
    std::string product;
    for (const std::string_view line : linesOf(uevent, '\n')) {
        if (line.starts_with("HID_ID=")) {
            const auto value = withoutBlanks(line.substr(7));
            const auto first = value.find(':');
            const auto second = first == std::string_view::npos ? first : value.find(':', first + 1);
            id.reset();
            if (second == std::string_view::npos)
                continue;
            const auto vendor = hexNumber(value.substr(first + 1, second - first - 1), 0xFFFFFFFF);
            const auto product = hexNumber(value.substr(second + 1), 0xFFFFFFFF);
            if (vendor && product)
                id = UsbId{static_cast<std::uint16_t>(*vendor & 0xFFFF), static_cast<std::uint16_t>(*product & 0xFFFF)};
        } else if (line.starts_with("HID_NAME=")) {
            product = withoutBlanks(line.substr(9));
        }
    }
    if (!id)
        return std::nullopt;
    return HidrawDevice{"hidraw0", "/dev/hidraw0", *id, product};
}

// A sysfs tree with one hidraw device in memory where the system has /dev/shm; removed when
// the run ends.
struct ScratchSysfs {
    ScratchSysfs()
        : root((::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/quorvane-fuzz-sysfs-")
               + std::to_string(::getpid())),
          uevent(root + "/class/hidraw/hidraw0/device/uevent")
    {
        std::filesystem::create_directories(std::filesystem::path(uevent).parent_path());
    }
    ~ScratchSysfs()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    const std::string root;
    const std::string uevent;
};

void checkUevent(std::string_view text)
{
    static const ScratchSysfs sysfs;
    std::ofstream(sysfs.uevent, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    const HidrawDirectory directory(sysfs.root, "/dev");
    const auto expected = expectedDevice(text);
    const std::vector<HidrawDevice> listed = directory.List();
    FUZZ_CHECK(listed == (expected ? std::vector<HidrawDevice>{*expected} : std::vector<HidrawDevice>{}));
    if (!expected)
        return;
    FUZZ_CHECK(directory.WithIds({expected->Id}) == listed);
    const UsbId other{static_cast<std::uint16_t>(expected->Id.Vendor + 1), expected->Id.Product};
    FUZZ_CHECK(directory.WithIds({other}).empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkIdText(text);
    for (const std::string_view line : linesOf(text, '\n'))
        checkIdText(line);
    checkSearchedIds(text);
    checkUevent(text);
    // Ids built from any four bytes are written and read back.
    if (size >= 4) {
        const UsbId id{static_cast<std::uint16_t>(data[0] << 8 | data[1]), static_cast<std::uint16_t>(data[2] << 8 | data[3])};
        FUZZ_CHECK(ParseUsbId(UsbIdText(id)) == id);
    }
    return 0;
}
