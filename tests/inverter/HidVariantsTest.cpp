// The habits in which real units differ, over the USB-HID transport: the queries against the
// simulator's HID device (a SOCK_SEQPACKET socket pair standing in for hidraw), at full speed
// in real time. The reports change where bytes may be padding, so every shape of reply, a LF
// after the CR, bytes before the reply and serial numbers of other lengths are read here too.
// A reading is asked for until it is valid: a simulator thread that wakes late on a busy
// machine costs a query, never the test; a reply the transport spoils never becomes valid.
#include "QueryFixture.h"
#include "SimulatedHidDevice.h"
#include "WaitUntil.h"
#include "inverter/Frame.h"

#include <gtest/gtest.h>

using namespace quorvane;
using quorvane::fakes::WaitUntil;

namespace {

class HidVariants : public testsupport::QueryFixture {
protected:
    std::string inverterDevice() const override { return testsupport::SimulatedHidDevice::kPath; }
    SerialOpener& portOpener() override { return hid.opener; }
    void SetUp() override
    {
        model.SetFullSpeed(true);
        model.SetAnswerDelay(std::chrono::milliseconds(0));
        QueryFixture::SetUp();
    }

    testsupport::SimulatedHidDevice hid{model};
};

} // namespace

TEST_F(HidVariants, EveryShapeOfReplyAndHabitOfUnitIsReadOverHid)
{
    const struct {
        const char* name;
        int length;
        bool lineFeed;
        Bytes stale;
        int serialDigits;
    } cases[] = {
        {"110 bytes", 110, false, {}, 14},
        {"17 fields of older firmware", 94, false, {}, 14},
        {"five-digit power fields, the CR last in its report", 112, false, {}, 14},
        {"24 fields", 119, false, {}, 14},
        {"24 fields, a longer last one", 120, false, {}, 14},
        {"24 fields, five-digit power fields", 122, false, {}, 14},
        {"a LF after the CR, inside its report", 110, true, {}, 14},
        {"a LF after the CR, in a report of its own", 112, true, {}, 14},
        {"the tail of an earlier reply first", 110, false, sim::InverterModel::kDefaultStaleBytes, 14},
        {"an echo of the request first", 122, false, FrameCommand("QPIGS"), 14},
        {"an earlier partial frame first", 110, false, {'(', '2', '3', '0', '.', '0', ' '}, 14},
        {"a 13-digit serial number", 110, false, {}, 13},
        {"a 16-digit serial number with a LF after the CR", 110, true, {}, 16},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(model.SetMainValuesLength(c.length)) << c.name;
        model.SetLineFeedAfterCr(c.lineFeed);
        model.SetStaleBytes(c.stale);
        model.SetSerialNumberLength(c.serialDigits);
        for (int poll = 0; poll < 2; ++poll) { // the second after whatever the first left behind
            record = MeasurementRecord();
            ASSERT_TRUE(WaitUntil([&] {
                queries.QueryMainValues();
                return record.ValuesValid;
            })) << c.name << ", poll " << poll;
        }
        EXPECT_EQ(record.AcVoltage, "230.0") << c.name;
        EXPECT_EQ(record.OutputApparentPower, "161") << c.name; // "0161" or "00161"
        EXPECT_EQ(record.OutputActivePower, "119") << c.name;
        EXPECT_EQ(record.MainValues[17], "00110110") << c.name;
        EXPECT_TRUE(WaitUntil([&] { return queries.CheckInverter(); })) << c.name;
    }
}

TEST_F(HidVariants, AReplyWhoseCrcHasAZeroByteIsRead)
{
    // The main-values payload with its last field chosen so that the low CRC byte is 0x00,
    // and a QID reply whose high one is: neither zero may be taken for padding.
    const std::string fields = "230.0 50.0 230.0 49.9 0161 0119 003 460 57.50 012 100 0069 0014 103.8 57.45 00000 "
                               "00110110 00 00 00856 ";
    const auto withZeroCrcByte = [](const std::string& prefix, int width, bool lowByte) {
        for (int n = 0; n < 100000; ++n) {
            std::string number = std::to_string(n);
            const std::string payload = prefix + std::string(static_cast<size_t>(width) - number.size(), '0') + number;
            const Bytes reply = sim::InverterModel::FrameReply(payload);
            if (reply[reply.size() - (lowByte ? 2 : 3)] == 0x00)
                return reply;
        }
        return Bytes{};
    };
    const Bytes mainValues = withZeroCrcByte(fields, 3, true);
    const Bytes serial = withZeroCrcByte("9293200410", 4, false);
    ASSERT_FALSE(mainValues.empty());
    ASSERT_FALSE(serial.empty());
    model.SetRawReply("QPIGS", mainValues);
    model.SetRawReply("QID", serial);

    ASSERT_TRUE(WaitUntil([&] {
        queries.QueryMainValues();
        return record.ValuesValid;
    }));
    EXPECT_EQ(record.AcVoltage, "230.0");
    EXPECT_TRUE(WaitUntil([&] { return queries.CheckInverter(); }));
}
