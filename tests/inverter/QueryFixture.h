#pragma once

// The inverter queries wired to the simulator on the in-process line (virtual time: a read
// that times out costs nothing and no thread's scheduling can split a reply), with a pinned
// clock and locale, the memo, and a fake person.
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
    void SetUp() override
    {
        opener.Attach("/sim/inverter", model);
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
    TComm comm{opener, person, PortMap({{1, "/sim/inverter"}})};
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
