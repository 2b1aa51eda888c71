#include "inverter/DeviceOpener.h"

#include "inverter/DeviceDescriptor.h"
#include "inverter/HidrawPort.h"
#include "inverter/PosixSerialPort.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

namespace quorvane {

DeviceOpener::DeviceOpener(OpenFile openFile)
    : m_openFile(openFile ? std::move(openFile) : OpenFile([](const std::string& device) { return OpenExclusively(device); }))
{
}

bool DeviceOpener::IsHidDevice(const std::string& device, int fd)
{
    if (device.starts_with("/dev/hidraw"))
        return true;
    hidraw_devinfo info{};
    return ::ioctl(fd, HIDIOCGRAWINFO, &info) == 0;
}

OpenedPort DeviceOpener::open(const std::string& device)
{
    const int fd = m_openFile(device);
    if (fd < 0)
        return {};
    if (!IsHidDevice(device, fd))
        return PosixSerialOpener::OpenSerialLine(fd);
    OpenedPort opened;
    opened.transport = std::make_unique<HidrawPort>(fd);
    return opened;
}

} // namespace quorvane
