#include "inverter/PortMap.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(PortMap, ResolvesNamesThroughSettingsThenTheDefaultTable)
{
    const PortMap ports({{1, "/dev/pts/7"}, {12, "/dev/ttyUSB4"}, {3, ""}, {4, "/dev/hidraw0"}});
    const struct {
        const char* name;
        const char* device;
    } cases[] = {
        {"COM1", "/dev/pts/7"},     // from the settings
        {"\\\\.\\COM12", "/dev/ttyUSB4"}, // prefixed name, from the settings
        {"COM3", "/dev/ttyUSB2"},   // an empty mapping falls back to the table
        {"com2", "/dev/ttyUSB1"},
        {"COM4", "/dev/hidraw0"},   // a USB-HID device, mapped like any other
        {"COM10", "/dev/ttyUSB9"},
        {"COM11", "/dev/ttyACM0"},
        {"COM20", "/dev/ttyACM9"},
        {"COM21", "/dev/ttyS0"},
        {"COM29", "/dev/ttyS8"},
        {"COM30", ""},
        {"COM0", ""},
        {"COM", ""},
        {"COM1x", ""},
        {"", ""},
        {"/dev/ttyUSB7", "/dev/ttyUSB7"}, // a path stands as it is
    };
    for (const auto& c : cases)
        EXPECT_EQ(ports.DevicePath(c.name), c.device) << c.name;
}

TEST(PortMap, PortNamesCarryTheDevicePrefixFromTenOn)
{
    EXPECT_EQ(PortMap::PortName(1), "COM1");
    EXPECT_EQ(PortMap::PortName(9), "COM9");
    EXPECT_EQ(PortMap::PortName(10), "\\\\.\\COM10");
    EXPECT_EQ(PortMap::PortName(29), "\\\\.\\COM29");
    for (int n = 1; n <= PortMap::kLastPort; ++n)
        EXPECT_EQ(PortMap::PortNumber(PortMap::PortName(n)), n);
}
