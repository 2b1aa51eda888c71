// The program's opener: which transport a device gets, and that every device is held for
// this program alone. Serial devices are the simulator's pseudo-terminals; a hidraw device is
// stood in for by one end of a socket pair handed out for its name.
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "WaitUntil.h"
#include "inverter/DeviceDescriptor.h"
#include "inverter/DeviceOpener.h"
#include "inverter/Frame.h"
#include "inverter/HidrawPort.h"
#include "inverter/PosixSerialPort.h"
#include "inverter/Wincom.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

using namespace quorvane;
using namespace std::chrono_literals;

TEST(DeviceOpener, APathUnderDevHidrawIsDrivenAsHidAnythingElseAsASerialLine)
{
    const struct {
        const char* device;
        bool hid;
    } cases[] = {
        {"/dev/hidraw0", true},
        {"/dev/hidraw12", true},
        {"/dev/ttyUSB0", false},
        {"/tmp/inverter", false},
    };
    for (const auto& c : cases) {
        int ends[2] = {-1, -1};
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        DeviceOpener opener([&](const std::string&) { return ends[0]; });
        OpenedPort opened = opener.open(c.device);
        ASSERT_NE(opened.transport, nullptr) << c.device;
        EXPECT_EQ(dynamic_cast<HidrawPort*>(opened.transport.get()) != nullptr, c.hid) << c.device;
        // A socket has no line settings: only the serial route tries and fails to read them.
        EXPECT_EQ(opened.setupProblem, c.hid ? LineSetupProblem::None : LineSetupProblem::ReadSettings) << c.device;
        ::close(ends[1]);
    }
}

TEST(DeviceOpener, ASerialDeviceWorksAsBeforeAndIsHeldForThisProgramAlone)
{
    sim::InverterModel model;
    model.SetFullSpeed(true);
    sim::PtyInverter inverter{model};
    DeviceOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open(inverter.DevicePath());
    ASSERT_EQ(comm.LastError(), 0u);
    EXPECT_TRUE(notifier.messages.empty()); // the line took its settings

    EXPECT_FALSE(comm.PortExists(inverter.DevicePath())); // held by comm
    ASSERT_EQ(comm.Write(FrameCommand("QPIGS")), 8);
    const size_t size = model.MainValuesReply().size();
    ASSERT_TRUE(fakes::WaitUntil([&] { return inverter.UnreadBytes() >= size; }));
    std::uint8_t buffer[200] = {};
    const int count = comm.ReadBlock(std::span(buffer, size));
    EXPECT_EQ(Bytes(buffer, buffer + std::max(count, 0)), model.MainValuesReply());
    comm.Close();
    EXPECT_TRUE(comm.PortExists(inverter.DevicePath()));
}

TEST(DeviceOpener, AnExclusiveOpenKeepsOutASecondUntilTheFirstCloses)
{
    QTemporaryDir folder;
    const std::string device = folder.filePath("device").toStdString();
    std::ofstream(device) << "";
    const int first = OpenExclusively(device);
    ASSERT_GE(first, 0);
    EXPECT_EQ(OpenExclusively(device), -1);
    ::close(first);
    const int again = OpenExclusively(device);
    EXPECT_GE(again, 0);
    ::close(again);
    EXPECT_EQ(OpenExclusively(folder.filePath("missing").toStdString()), -1);
}
