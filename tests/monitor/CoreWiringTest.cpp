// The whole core put together: what the applied settings and the files read at start reach.
#include "CoreRig.h"

#include "core/NumberText.h"

using namespace quorvane;

namespace {

struct AbsenceCase {
    int measTime;
    int lineTransition; // after three polls without the line and two with it
};

class LineAbsenceThreshold : public testsupport::CoreRig, public ::testing::WithParamInterface<AbsenceCase> {
protected:
    std::string settings() const override { return "MeasTime=" + std::to_string(GetParam().measTime) + "\r\n"; }
};

} // namespace

// At intervals up to 2 s an absence of three polls is too short to count; at longer
// intervals it counts.
TEST_P(LineAbsenceThreshold, FollowsTheAppliedMeasuringInterval)
{
    connect();
    cycle();
    model.SetLinePresent(false);
    for (int poll = 0; poll < 3; ++poll)
        cycle();
    model.SetLinePresent(true);
    for (int poll = 0; poll < 2; ++poll)
        cycle();
    EXPECT_EQ(core->ForTests().Record().LineTransition, GetParam().lineTransition);
}

INSTANTIATE_TEST_SUITE_P(Intervals, LineAbsenceThreshold,
                         ::testing::Values(AbsenceCase{0, 0}, AbsenceCase{2, 0}, AbsenceCase{3, 2}, AbsenceCase{7, 2}),
                         [](const auto& info) { return "MeasTime" + std::to_string(info.param.measTime); });

namespace {

class Restart : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "MeasTime=0\r\n"; }
};

} // namespace

TEST_F(Restart, TheEnergiesReadBackAreShownAtOnceWithoutAConnect)
{
    const DisplayTexts fresh;
    EXPECT_EQ(core->ForTests().Display().Computed, fresh.Computed); // nothing stored yet: "---"

    connect();
    for (int s = 0; s < 600; ++s)
        second();
    core->CloseSequence();
    const ComputedValues before = core->ForTests().Computed();
    ASSERT_GT(before.Aux5, 0.0);

    startCore();
    const auto& shown = core->ForTests().Display().Computed;
    EXPECT_EQ(shown[0], FormatFixed3(before.Aux1)); // today's solar energy
    EXPECT_EQ(shown[1], "---");                      // the solar power needs a reading
    EXPECT_EQ(shown[2], FormatFixed3(before.Aux3));
    EXPECT_EQ(shown[3], FormatFixed3(before.Aux4));
    EXPECT_EQ(shown[4], FormatFixed3(before.Aux5)); // [A]
    EXPECT_EQ(shown[5], FormatFixed3(before.Aux6)); // [B]
    EXPECT_EQ(core->Snapshot().Display.Computed, shown);
}

TEST_F(Restart, AConnectRefreshesThePanelsAFailedOneLeavesThem)
{
    model.InjectFault({.kind = sim::Fault::NoAnswer, .times = -1});
    core->ForTests().Connection().Connect1Click();
    ASSERT_FALSE(core->ForTests().Link().LinkConnected);
    EXPECT_EQ(core->ForTests().Display().Basic[0], "---");

    model.ClearFaults();
    connect();
    cycle(); // read, but not shown until the next refresh
    core->ForTests().Connection().Connect1Click(); // disconnect
    connect();
    EXPECT_EQ(core->ForTests().Display().Basic[0], "230.0");
}

namespace {

class EnergyOverAnHour : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "MeasTime=0\r\n"; }
};

} // namespace

// Cycles that take 1.757 s each, as a real line gives at the 1-second interval: every
// millisecond counts, none of each cycle's fraction of a second is dropped.
TEST_F(EnergyOverAnHour, AFixedPowerGivesThatPowerTimesTheHour)
{
    connect();
    const QDateTime connected = clock.now();
    while (connected.msecsTo(clock.now()) < 3600 * 1000) {
        clock.advance(std::chrono::milliseconds(1757));
        cycle();
    }
    const double hours = static_cast<double>(connected.msecsTo(clock.now())) / 3'600'000.0;
    const double expectedKwh = 14 * 57.50 * hours / 1000.0; // 14 A into a 57.50 V battery
    EXPECT_NEAR(core->ForTests().Computed().Aux1, expectedKwh, expectedKwh * 0.001);
    EXPECT_NEAR(core->ForTests().Computed().Aux5, expectedKwh, expectedKwh * 0.001);
}

namespace {

// A core with no window: what it does at start is its own, whoever listens.
class StartUp : public testsupport::CoreRig, public ::testing::WithParamInterface<bool> {
protected:
    std::string settings() const override { return GetParam() ? "AutoConnect=1\r\nMeasTime=0\r\n" : "MeasTime=0\r\n"; }
};

} // namespace

TEST_P(StartUp, TheCoreConnectsByItselfOnlyWhenItsSettingsSaySoAndOnlyOnce)
{
    const bool automatic = GetParam();
    std::vector<bool> firstMeasurements;
    QObject::connect(core.get(), &CoreApp::firstMeasurement,
                     [&firstMeasurements](bool firstSinceAutomaticStart) { firstMeasurements.push_back(firstSinceAutomaticStart); });
    EXPECT_FALSE(core->ForTests().Link().LinkConnected); // built, not yet begun

    core->Begin();
    EXPECT_EQ(core->ForTests().Link().LinkConnected, automatic);
    if (!automatic)
        connect();
    second();

    // A second front end that begins later sees everything again, but nothing reconnects.
    core->ForTests().Connection().Connect1Click(); // disconnect
    core->Begin();
    EXPECT_FALSE(core->ForTests().Link().LinkConnected);
    connect();
    second();

    // Only the first measurement after a start that connected by itself moves a window away.
    EXPECT_EQ(firstMeasurements, (std::vector<bool>{automatic, false}));
}

INSTANTIATE_TEST_SUITE_P(AutoConnect, StartUp, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

namespace {

class Reload : public testsupport::CoreRig {};

} // namespace

TEST_F(Reload, TheSettingsFileIsReadAgainAndAppliedWithoutBeingRewritten)
{
    std::ofstream(settingsPath, std::ios::binary | std::ios::app) << "[ComputedInfo]\r\nAux1=Sun today\r\n";
    const auto fileText = [this] {
        std::ifstream in(settingsPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string edited = fileText();

    core->ReloadSettings();

    EXPECT_EQ(core->Snapshot().Labels.ComputedCaptions[0], "Sun today");
    EXPECT_EQ(fileText(), edited);
}

namespace {

class PublishedState : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "MeasTime=0\r\n"; }
    SerialOpener& portOpener() override { return phaseNoting; }

    // Opens the in-process inverter and notes the phase the core reports meanwhile.
    struct PhaseNotingOpener final : SerialOpener {
        explicit PhaseNotingOpener(PublishedState& rig) : rig(rig) {}
        OpenedPort open(const std::string& device) override
        {
            phasesWhileOpening.push_back(rig.core->State().Phase);
            return rig.opener.open(device);
        }
        PublishedState& rig;
        std::vector<LinkPhase> phasesWhileOpening;
    } phaseNoting{*this};
};

} // namespace

// Front ends get the readings as numbers, the inverter's states as values and the link's
// phase, published once per change.
TEST_F(PublishedState, HoldsTheReadingsAsNumbersTheStatesAndThePhase)
{
    std::vector<CoreState> published;
    QObject::connect(core.get(), &CoreApp::stateUpdated, [&](const CoreState& state) { published.push_back(state); });
    EXPECT_EQ(core->State().Phase, LinkPhase::Disconnected);
    EXPECT_FALSE(core->State().ValuesValid);

    model.SetModeLetter('B');
    connect();
    EXPECT_EQ(phaseNoting.phasesWhileOpening, std::vector<LinkPhase>{LinkPhase::Connecting});
    EXPECT_EQ(core->State().Phase, LinkPhase::Connected);
    EXPECT_EQ(core->Snapshot().Phase, LinkPhase::Connected);
    clock.advance(std::chrono::seconds(1));
    const int readingsBefore = core->ForTests().Record().ValidReadings;
    cycle();
    // The reading is handed on when its cycle ends, not at the next publishing tick.
    ASSERT_FALSE(published.empty());
    EXPECT_EQ(published.back().ValidReadings, core->ForTests().Record().ValidReadings);
    EXPECT_EQ(published.back().ValidReadings, readingsBefore + 1);
    const QDateTime readAt = clock.now();
    clock.advance(std::chrono::seconds(1)); // the state keeps the reading's time, not the clock's

    const CoreState state = core->State();
    const struct {
        int field; // of the main-values reply
        double CoreState::*value;
    } readings[] = {
        {1, &CoreState::AcVoltageV},         {2, &CoreState::AcFrequencyHz},
        {3, &CoreState::OutputVoltageV},     {4, &CoreState::OutputFrequencyHz},
        {5, &CoreState::ApparentPowerVA},    {6, &CoreState::ActivePowerW},
        {7, &CoreState::LoadPercent},        {8, &CoreState::BusVoltageV},
        {9, &CoreState::BatteryVoltageV},    {10, &CoreState::ChargingCurrentA},
        {11, &CoreState::BatteryCapacityPercent}, {12, &CoreState::HeatSinkTemperatureC},
        {13, &CoreState::PvInputCurrentA},   {14, &CoreState::PvInputVoltageV},
        {15, &CoreState::SccBatteryVoltageV}, {16, &CoreState::DischargeCurrentA},
    };
    for (const auto& r : readings)
        EXPECT_DOUBLE_EQ(state.*r.value, TextToDouble(model.MainField(r.field))) << "field " << r.field;
    EXPECT_TRUE(state.ValuesValid);
    EXPECT_EQ(state.Mode, InverterMode::Battery);
    EXPECT_EQ(state.Source, LoadSource::BatteryAndSolar); // the PV current is above 0
    EXPECT_EQ(state.Priority, static_cast<OutputPriority>(model.OutputPriority()));
    EXPECT_DOUBLE_EQ(state.SolarPowerW, TextToDouble(model.MainField(13)) * TextToDouble(model.MainField(9)));
    EXPECT_EQ(state.Phase, LinkPhase::Connected);
    EXPECT_EQ(state.LastValidReading, readAt);
    EXPECT_EQ(state.ValidReadings, readingsBefore + 1);

    core->PublishSnapshot();
    ASSERT_FALSE(published.empty());
    EXPECT_EQ(published.back(), state);
    const size_t publishedCount = published.size();
    core->PublishSnapshot(); // nothing changed: nothing published
    EXPECT_EQ(published.size(), publishedCount);

    core->ForTests().Connection().Connect1Click(); // disconnect
    EXPECT_EQ(core->State().Phase, LinkPhase::Disconnected);
    EXPECT_EQ(core->Snapshot().Phase, LinkPhase::Disconnected);
    core->PublishSnapshot();
    EXPECT_EQ(published.back().Phase, LinkPhase::Disconnected);

    core->TestClick(true);
    connect();
    cycle();
    EXPECT_EQ(core->State().Phase, LinkPhase::TestMode);
    EXPECT_EQ(core->State().Mode, InverterMode::Test);
}

namespace quorvane {

// Failures name the events rather than dump their bytes.
void PrintTo(const CoreEvent& event, std::ostream* out)
{
    *out << EventName(event.Kind) << " at " << event.Time.toString(Qt::ISODateWithMs).toStdString();
}

} // namespace quorvane

namespace {

// The core's events as values, each followed from the inverter's side.
class Events : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "MeasTime=0\r\n"; }
    QDateTime start() const override { return QDateTime(QDate(2026, 6, 1), QTime(23, 58, 0)); }

    void SetUp() override
    {
        CoreRig::SetUp();
        QObject::connect(core.get(), &CoreApp::eventOccurred, core.get(),
                         [this](const CoreEvent& event) { seen.push_back(event); }, Qt::DirectConnection);
    }
    // Seconds pass until the next event; it is expected to be `kind`, at the clock's time then.
    void expectNext(CoreEventKind kind, int limitSeconds)
    {
        const size_t before = seen.size();
        for (int s = 0; s < limitSeconds && seen.size() == before; ++s)
            second();
        expected.push_back({kind, clock.now()});
        ASSERT_GT(seen.size(), before) << EventName(kind) << " never came";
    }

    std::vector<CoreEvent> seen;
    std::vector<CoreEvent> expected;
};

} // namespace

TEST_F(Events, EachIsPublishedOnceInOrderWithTheClocksTime)
{
    connect();
    expected.push_back({CoreEventKind::Connected, clock.now()});
    second();

    model.SetLinePresent(false);
    expectNext(CoreEventKind::LineFault, 10);
    model.SetLinePresent(true);
    expectNext(CoreEventKind::LineRestored, 10);
    model.SetModeLetter('B');
    expectNext(CoreEventKind::SwitchedToBattery, 5);
    model.SetModeLetter('L');
    expectNext(CoreEventKind::SwitchedToLine, 5);

    // The port goes away; the silence that follows is the same outage, not a second one.
    model.InjectFault({.kind = sim::Fault::Unplug});
    expectNext(CoreEventKind::ConnectionLost, 5);
    for (int s = 0; s < 20 && !memoHas("Inverter stopped answering"); ++s)
        second();
    ASSERT_TRUE(memoHas("Inverter stopped answering"));
    ASSERT_EQ(clock.now().date(), QDate(2026, 6, 1)); // the memo is still the day's
    expectNext(CoreEventKind::DayChanged, 120);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2026, 6, 2), QTime(0, 0, 0)));

    model.PlugIn();
    core->ForTests().Connection().Connect1Click(); // disconnect
    connect();
    expected.push_back({CoreEventKind::Connected, clock.now()});
    for (int s = 0; s < 3; ++s)
        second();

    EXPECT_EQ(seen, expected);
    EXPECT_EQ(core->ForTests().Record().Polls.Reconnects, 1u); // the first connection is none
}

// An inverter that falls silent and answers again on the same link, without a reconnect.
TEST_F(Events, ASilenceEndsWithConnectedWhenTheInverterAnswersAgain)
{
    connect();
    expected.push_back({CoreEventKind::Connected, clock.now()});
    second();
    model.InjectFault({.kind = sim::Fault::NoAnswer, .times = -1});
    expectNext(CoreEventKind::ConnectionLost, 2 * ConnectionManager::kStalledTicksBeforeReconnect);
    model.ClearFaults();
    expectNext(CoreEventKind::Connected, 5);
    ASSERT_TRUE(memoHas("Inverter answering again."));
    for (int s = 0; s < 3; ++s)
        second();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(core->ForTests().Record().Polls.Reconnects, 1u);
}
