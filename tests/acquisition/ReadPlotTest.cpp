// The acquisition thread with recording steps: the order of a cycle, suspension, wake-up and
// termination. The test's thread plays the core thread.
#include "GatedPacer.h"
#include "acquisition/DataRead.h"
#include "inverter/OutputRequests.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::PumpUntil;

namespace {

// Records which step ran, and checks it ran on the core thread.
class RecordingSteps final : public AcquisitionSteps {
public:
    void PurgeAndQueryMainValues() override { note("main"); }
    void PurgeAndQueryMode() override { note("mode"); }
    void ComputeValues() override { note("compute"); }
    void StampReading() override { note("stamp"); }
    void PurgeAndQuerySecondPv() override { note("pv2"); }
    void LinkOpened() override { note("opened"); }
    void ServeChargerSetting() override { note("setting"); }
    void QueryWarnings() override { note("warnings"); }
    void ServePriority(OutputPriority priority) override
    {
        note(priority == OutputPriority::SBU ? "SBU" : priority == OutputPriority::UtilityFirst ? "UTI" : "SOL");
    }
    void PurgeAndQueryRatedInfo() override { note("rated"); }

    std::vector<std::string> steps;
    std::thread::id coreThread = std::this_thread::get_id();
    bool allOnCoreThread = true;

private:
    void note(const char* step)
    {
        allOnCoreThread = allOnCoreThread && std::this_thread::get_id() == coreThread;
        steps.emplace_back(step);
    }
};

const std::vector<std::string> kPlainCycle = {"main", "mode", "pv2", "compute", "stamp", "warnings"};

std::vector<std::string> cycles(int count)
{
    std::vector<std::string> all;
    for (int i = 0; i < count; ++i)
        all.insert(all.end(), kPlainCycle.begin(), kPlainCycle.end());
    return all;
}

class ReadPlotTest : public ::testing::Test {
protected:
    ReadPlotTest() { control.HoldAcquisition = false; }

    // Runs the core thread's side until the worker sits in its pause.
    void untilPaused() { ASSERT_TRUE(PumpUntil([this] { return pacer->Waiting(); })); }

    RecordingSteps steps;
    OutputRequests requests;
    AcquisitionControl control;
    fakes::GatedPacer* pacer = new fakes::GatedPacer;
    ReadPlot thread{steps, requests, control, std::unique_ptr<CyclePacer>(pacer)};
};

} // namespace

TEST_F(ReadPlotTest, NothingRunsBeforeTheFirstResume)
{
    // That nothing happens can only be watched for a while; on a busy machine the test gets
    // weaker, never wrong.
    PumpUntil([] { return false; }, 100ms);
    EXPECT_TRUE(steps.steps.empty());
    EXPECT_TRUE(thread.Suspended());
    EXPECT_EQ(thread.LoopCount(), 0);
}

TEST_F(ReadPlotTest, ACycleRunsItsStepsAndRequestsInTheFixedOrder)
{
    requests.Button7Click(); // UTI
    requests.Button6Click(); // SOL
    requests.Button5Click(); // SBU
    requests.Button8Click(); // Status
    thread.Resume();
    untilPaused();
    EXPECT_EQ(steps.steps, (std::vector<std::string>{"main", "mode", "pv2", "compute", "stamp", "warnings", "SBU", "UTI", "SOL", "rated"}));
    EXPECT_TRUE(steps.allOnCoreThread);
    EXPECT_EQ(thread.LoopCount(), 1);
    EXPECT_FALSE(requests.SetSbuRequest || requests.SetUtiRequest || requests.SetSolRequest || requests.StatusRequest);

    pacer->Release();
    ASSERT_TRUE(PumpUntil([this] { return thread.LoopCount() == 2 && pacer->Waiting(); }));
    EXPECT_EQ(steps.steps.size(), 10u + 6u); // served requests are not served again
}

TEST_F(ReadPlotTest, HeldAcquisitionSuspendsAfterThePauseAndAWakeUpBeforeThatDoesNothing)
{
    thread.Resume();
    untilPaused();
    thread.Resume(); // not suspended: no effect
    control.HoldAcquisition = true;
    pacer->Release();
    ASSERT_TRUE(PumpUntil([this] { return thread.Suspended(); })); // parked until resumed
    EXPECT_EQ(thread.LoopCount(), 1);
    EXPECT_EQ(steps.steps, cycles(1));

    control.HoldAcquisition = false;
    thread.Resume();
    ASSERT_TRUE(PumpUntil([this] { return thread.LoopCount() == 2 && pacer->Waiting(); }));
    EXPECT_EQ(steps.steps, cycles(2));
}

TEST_F(ReadPlotTest, RequestedByWebRunsOneCyclePerWakeUp)
{
    control.ReqByWeb = true;
    thread.Resume();
    untilPaused();
    pacer->Release();
    ASSERT_TRUE(PumpUntil([this] { return thread.Suspended(); }));
    for (int wake = 2; wake <= 3; ++wake) {
        thread.Resume();
        pacer->Release();
        ASSERT_TRUE(PumpUntil([&] { return thread.LoopCount() == wake && thread.Suspended(); }));
    }
    EXPECT_EQ(steps.steps, cycles(3));
}

TEST_F(ReadPlotTest, TerminateEndsThePauseAtOnceThenOneMoreCycle)
{
    thread.Resume();
    untilPaused();
    thread.Terminate(); // no Release: the pause of up to an hour must not be sat out
    EXPECT_EQ(thread.WaitFor(), ReadPlot::kReturnValue);
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(thread.LoopCount(), 2);
    EXPECT_EQ(steps.steps, cycles(2));
}

TEST_F(ReadPlotTest, WaitingForASuspendedThreadServesItsLastCycleWithoutAnEventLoop)
{
    control.HoldAcquisition = true;
    thread.Resume();
    untilPaused();
    pacer->Release();
    ASSERT_TRUE(PumpUntil([this] { return thread.Suspended(); }));

    // The exit sequence: woken, told to terminate, waited for. WaitFor itself serves the
    // hand-offs; no event loop runs here.
    control.HoldAcquisition = false;
    thread.Resume();
    thread.Terminate();
    EXPECT_EQ(thread.WaitFor(), ReadPlot::kReturnValue);
    EXPECT_EQ(steps.steps, cycles(2));
}

TEST_F(ReadPlotTest, TerminateAloneReleasesASuspendedThread)
{
    // A wake-up that came just before the thread suspended did nothing; the owner then only
    // terminates and waits. The thread must not stay suspended and leave the owner waiting.
    control.ReqByWeb = true;
    thread.Resume();
    untilPaused();
    pacer->Release();
    ASSERT_TRUE(PumpUntil([this] { return thread.Suspended(); }));
    thread.Terminate();
    EXPECT_EQ(thread.WaitFor(), ReadPlot::kReturnValue);
    EXPECT_EQ(steps.steps, cycles(2));
}

TEST(ReadPlotLifetime, AThreadNeverStartedEndsQuietly)
{
    RecordingSteps steps;
    OutputRequests requests;
    AcquisitionControl control;
    {
        ReadPlot thread{steps, requests, control, std::make_unique<RealTimePacer>()};
    }
    EXPECT_TRUE(steps.steps.empty());
}
