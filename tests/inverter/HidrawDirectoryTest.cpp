// The hidraw devices as sysfs shows them, read from a fake tree laid out as the kernel's:
// class/hidraw/hidrawN/device/uevent with HID_ID=bus:vendor:product and HID_NAME.
#include "inverter/HidrawDirectory.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quorvane;

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void addDevice(const std::string& name, const std::string& uevent) const
    {
        const std::filesystem::path folder = root() + "/class/hidraw/" + name + "/device";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "uevent") << uevent;
    }
    [[nodiscard]] std::string root() const { return m_folder.path().toStdString(); }

private:
    QTemporaryDir m_folder;
};

HidrawDevice device(const char* name, UsbId id, const char* product)
{
    return {name, std::string("/dev/") + name, id, product};
}

} // namespace

TEST(UsbIds, AreReadAndWrittenAsFourHexDigitsEach)
{
    const struct {
        const char* text;
        std::optional<UsbId> id;
    } cases[] = {
        {"0665:5161", UsbId{0x0665, 0x5161}},
        {" 1234:ABCD ", UsbId{0x1234, 0xABCD}},
        {"665:5161", UsbId{0x0665, 0x5161}},
        {"0665", std::nullopt},
        {"0665:", std::nullopt},
        {"10665:5161", std::nullopt},
        {"0x665:5161", std::nullopt},
        {"-1:5161", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseUsbId(c.text), c.id) << c.text;
    EXPECT_EQ(UsbIdText({0x0665, 0x5161}), "0665:5161");
    EXPECT_EQ(UsbIdText({0x1234, 0xABCD}), "1234:abcd");
}

TEST(UsbIds, TheSearchTriesTheInvertersIdAndThoseTheSettingsAdd)
{
    EXPECT_EQ(SearchedUsbIds(""), std::vector<UsbId>{kInverterUsbId});
    EXPECT_EQ(SearchedUsbIds("1234:abcd, junk,,0665:5161,beef:0001"),
              (std::vector<UsbId>{kInverterUsbId, {0x1234, 0xABCD}, {0xBEEF, 0x0001}}));
}

TEST_F(FakeSysfs, ListsTheDevicesWithTheirIdsInNumberOrder)
{
    addDevice("hidraw10", "DRIVER=hid-generic\nHID_ID=0003:00001234:0000ABCD\nHID_NAME=Other Inverter\n");
    addDevice("hidraw2", "DRIVER=hid-generic\nHID_ID=0003:00000665:00005161\nHID_NAME=INNO TECH USB to Serial\n"
                         "HID_PHYS=usb-0000:00:14.0-2/input0\n");
    addDevice("hidraw0", "HID_ID=0005:0000046D:0000C31C\nHID_NAME=Keyboard\n");
    addDevice("hidraw3", "DRIVER=hid-generic\n"); // no id: not listed
    std::filesystem::create_directories(root() + "/class/hidraw/hidraw4"); // no uevent at all

    const HidrawDirectory directory(root());
    EXPECT_EQ(directory.List(), (std::vector<HidrawDevice>{
                                    device("hidraw0", {0x046D, 0xC31C}, "Keyboard"),
                                    device("hidraw2", kInverterUsbId, "INNO TECH USB to Serial"),
                                    device("hidraw10", {0x1234, 0xABCD}, "Other Inverter"),
                                }));
    EXPECT_EQ(directory.WithIds(SearchedUsbIds("")),
              std::vector<HidrawDevice>{device("hidraw2", kInverterUsbId, "INNO TECH USB to Serial")});
    EXPECT_EQ(directory.WithIds(SearchedUsbIds("1234:abcd")),
              (std::vector<HidrawDevice>{device("hidraw2", kInverterUsbId, "INNO TECH USB to Serial"),
                                         device("hidraw10", {0x1234, 0xABCD}, "Other Inverter")}));
}

TEST_F(FakeSysfs, AMachineWithoutHidrawListsNothing)
{
    EXPECT_TRUE(HidrawDirectory(root()).List().empty());
    EXPECT_TRUE(HidrawDirectory(root() + "/missing").List().empty());
}
