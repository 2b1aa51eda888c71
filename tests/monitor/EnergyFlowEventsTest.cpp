#include "CoreRig.h"
#include "MemoMessages.h"

#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "monitor/EnergyFlowEvents.h"
#include "web/WebPages.h"

#include <optional>

using namespace quorvane;

namespace {

struct Poll {
    bool line;
    int switchEvent = 0;
};

class LineEvents : public ::testing::Test {
protected:
    // One valid poll, then one tick.
    void poll(const Poll& p)
    {
        record.AcVoltage = p.line ? "230.0" : "0";
        record.TakeLinePresenceFromReading();
        record.UpdateLineTransition(MeasurementRecord::AbsenceThreshold(settings.MeasTime));
        if (p.switchEvent != 0)
            record.SwitchEvent = p.switchEvent;
        events->ReportEnergyFlowEvents("06/01/26 12:00:00");
    }
    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(memo.Lines()); }

    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    TDati settings{QDate(2026, 6, 1)};
    MeasurementRecord record;
    testsupport::RecordingOutbox outbox;
    WebPages pages;
    std::optional<EnergyFlowEvents> events{std::in_place, record, settings, memo, outbox, pages};
};

} // namespace

TEST_F(LineEvents, PollSequences)
{
    const std::string fault = "Line Fault: 06/01/26 12:00:00";
    const std::string restored = "Line restored: 06/01/26 12:00:00";
    const std::string toBattery = "Inverter switched from Line-bypass to Battery: 06/01/26 12:00:00";
    const struct {
        const char* name;
        int measTime; // 0: threshold -5; 5: threshold -1
        bool mailOnLine;
        std::vector<Poll> polls;
        std::vector<std::string> lines;
        size_t mails;
    } cases[] = {
        {"three absent polls: nothing", 0, true, {{false}, {false}, {false}, {true}, {true}}, {}, 0},
        {"a fault after the fifth, one only", 0, false, {{false}, {false}, {false}, {false}, {false}, {false}}, {fault}, 0},
        {"restore after five present", 0, true,
         {{false}, {false}, {false}, {false}, {false}, {true}, {true}, {true}, {true}, {true}},
         {fault, restored}, 2},
        {"long interval: one poll each way", 5, true, {{false}, {true}}, {fault, restored}, 2},
        {"the switch comes before the fault of the same tick", 0, false,
         {{false}, {false}, {false}, {false}, {false, 1}}, {toBattery, fault}, 0},
    };
    for (const auto& c : cases) {
        record = MeasurementRecord{};
        memo.Clear();
        outbox.mails.clear();
        events.emplace(record, settings, memo, outbox, pages);
        settings.MeasTime = c.measTime;
        settings.Out[4] = c.mailOnLine;
        for (const Poll& p : c.polls)
            poll(p);
        EXPECT_EQ(messages(), c.lines) << c.name;
        EXPECT_EQ(outbox.mails.size(), c.mails) << c.name;
    }
}

TEST_F(LineEvents, ThePageHeadingFollowsTheLine)
{
    for (int i = 0; i < 5; ++i)
        poll({false});
    pages.Publish();
    EXPECT_NE(pages.MainPageText()->find("\n#FF0000\n"), std::string::npos);
    EXPECT_NE(pages.MainPageText()->find("\nEnergy flow -- **WARNING** Line down --\n"), std::string::npos);
    EXPECT_TRUE(events->LineFaultActive());
    settings.Out[4] = true;
    for (int i = 0; i < 5; ++i)
        poll({true});
    pages.Publish();
    EXPECT_NE(pages.MainPageText()->find("\n#0000FF\n"), std::string::npos);
    EXPECT_EQ(outbox.mails.back().Body, "Line restored: 06/01/26 12:00:00");
    EXPECT_FALSE(events->LineFaultActive());
}
