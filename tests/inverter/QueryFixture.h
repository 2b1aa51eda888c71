#pragma once

// The inverter queries wired to the simulator on the in-process line (virtual time: a read
// that times out costs nothing and no thread's scheduling can split a reply), with a pinned
// clock and locale, the memo, and a fake person. A test may put the simulator on a device
// file instead, opened by an opener of its own.
#include "FakeUserNotifier.h"
#include "MemoMessages.h"
#include "InverterModel.h"
#include "InProcessLine.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "inverter/InverterQueries.h"
#include "inverter/Wincom.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane::testsupport {

class QueryFixture : public ::testing::Test {
protected:
    // The device COM1 stands for and the opener the port is opened with: the in-process
    // inverter, unless a test puts the simulator on a device file.
    virtual std::string inverterDevice() const { return "/sim/inverter"; }
    virtual SerialOpener& portOpener() { return opener; }

    void SetUp() override
    {
        opener.Attach("/sim/inverter", model);
        comm.SetPortMap(PortMap({{1, inverterDevice()}}));
        comm.Open("COM1");
        ASSERT_EQ(comm.LastError(), 0u);
        link.LinkConnected = true;
    }

    // The memo's messages, without their time stamps.
    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(memo.Lines()); }

    // A reply a query is given and the memo lines it must leave with all errors shown.
    struct ReplyCase {
        const char* name;
        Bytes reply;
        std::vector<std::string> lines;
    };
    // The lines `query` leaves in a cleared memo, all errors shown, when the inverter answers
    // `command` with `reply`.
    std::vector<std::string> linesAfterReply(const std::string& command, const Bytes& reply,
                                             void (InverterQueries::*query)())
    {
        link.ShowAllErrors = true;
        memo.Clear();
        model.SetRawReply(command, reply);
        (queries.*query)();
        return messages();
    }

    sim::InverterModel model;
    sim::InProcessOpener opener;
    fakes::FakeUserNotifier person;

private:
    // Opens through portOpener(), asked when the port opens: a test's own opener is built
    // after the port, with the test's members.
    class ChosenOpener final : public SerialOpener {
    public:
        explicit ChosenOpener(QueryFixture& fixture) : m_fixture(fixture) {}
        OpenedPort open(const std::string& device) override { return m_fixture.portOpener().open(device); }

    private:
        QueryFixture& m_fixture;
    };
    ChosenOpener m_chosenOpener{*this};

protected:
    TComm comm{m_chosenOpener, person};
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    MeasurementRecord record;
    LinkState link;
    OutputRequests requests;
    std::vector<std::chrono::milliseconds> pauses;
    InverterQueries queries{comm,   record, memo, link, requests, clock,
                            [this](std::chrono::milliseconds pause) {
                                pauses.push_back(pause);
                                clock.advance(pause);
                            },
                            42};
};

} // namespace quorvane::testsupport
