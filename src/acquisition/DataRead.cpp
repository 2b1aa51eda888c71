#include "acquisition/DataRead.h"

#include "inverter/OutputRequests.h"

#include <utility>

namespace quorvane {

ReadPlot::ReadPlot(AcquisitionSteps& steps, OutputRequests& requests, AcquisitionControl& control,
                   std::unique_ptr<CyclePacer> pacer, QObject* parent)
    : QObject(parent)
    , m_steps(steps)
    , m_requests(requests)
    , m_control(control)
    , m_pacer(std::move(pacer))
    , m_thread([this] { execute(); })
{
}

ReadPlot::~ReadPlot()
{
    // An owner that did not wait for the thread: end it without running any more steps, since
    // what they work on may be going away too.
    m_abandoned = true;
    Terminate();
    WaitFor();
    m_thread.join();
}

void ReadPlot::Resume()
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_suspended)
            return;
        m_suspended = false;
    }
    m_resumed.notify_all();
}

bool ReadPlot::Suspended() const
{
    const std::lock_guard lock(m_mutex);
    return m_suspended;
}

void ReadPlot::Terminate()
{
    {
        // Under the lock, so a thread just about to suspend sees it and does not.
        const std::lock_guard lock(m_mutex);
        m_terminated = true;
    }
    m_resumed.notify_all();
    m_pacer->Interrupt();
}

bool ReadPlot::Finished() const
{
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

int ReadPlot::WaitFor()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_stepChanged.wait(lock, [this] { return m_pendingStep != nullptr || m_finished; });
        if (m_pendingStep == nullptr)
            return kReturnValue;
        lock.unlock();
        servePending();
        lock.lock();
    }
}

void ReadPlot::servePending()
{
    std::unique_lock lock(m_mutex);
    const std::function<void()>* step = std::exchange(m_pendingStep, nullptr);
    if (step == nullptr)
        return; // already served while the core thread waited for the thread
    lock.unlock();
    if (!m_abandoned) {
        try {
            (*step)();
        } catch (...) {
            // A step that fails ends; the cycle goes on, as after any failed exchange.
        }
    }
    lock.lock();
    m_stepDone = true;
    m_stepChanged.notify_all();
}

void ReadPlot::handOff(const std::function<void()>& step)
{
    std::unique_lock lock(m_mutex);
    m_pendingStep = &step;
    m_stepDone = false;
    m_stepChanged.notify_all(); // a WaitFor in progress serves it directly
    lock.unlock();
    // The usual way: a queued call on the core thread. Deleting this object discards it.
    QMetaObject::invokeMethod(this, &ReadPlot::servePending, Qt::QueuedConnection);
    lock.lock();
    m_stepChanged.wait(lock, [this] { return m_stepDone; });
}

void ReadPlot::suspend()
{
    std::unique_lock lock(m_mutex);
    if (m_terminated)
        return;
    m_suspended = true;
    // A termination releases the thread too: a wake-up that came just before the thread
    // suspended does nothing, and the owner, waiting for the end, would wait forever.
    m_resumed.wait(lock, [this] { return !m_suspended || m_terminated; });
    m_suspended = false;
}

void ReadPlot::execute()
{
    {
        std::unique_lock lock(m_mutex);
        m_resumed.wait(lock, [this] { return !m_suspended || m_terminated; });
        m_suspended = false;
    }
    m_loopCount = 0;
    while (!m_abandoned) {
        cycle();
        m_loopCount.fetch_add(1);
        if (m_terminated)
            break;
        m_pacer->Wait(std::chrono::milliseconds(m_control.IntervalMs.load()));
        // Once told to terminate the thread never waits again: nobody would wake it, and the
        // owner is waiting for it to end.
        if (m_control.ReqByWeb)
            suspend();
        if (m_control.HoldAcquisition)
            suspend();
    }
    const std::lock_guard lock(m_mutex);
    m_finished = true;
    m_stepChanged.notify_all();
}

void RunAcquisitionCycle(AcquisitionSteps& steps, OutputRequests& requests,
                         const std::function<void(const std::function<void()>&)>& handOff)
{
    handOff([&] { steps.PurgeAndQueryMainValues(); });
    handOff([&] { steps.PurgeAndQueryMode(); });
    handOff([&] { steps.PurgeAndQuerySecondPv(); });
    handOff([&] { steps.ComputeValues(); });
    handOff([&] { steps.StampReading(); });
    handOff([&] { steps.QueryWarnings(); });
    // Fixed order: SBU, utility, solar, then the rated information.
    const std::pair<std::atomic<bool>*, OutputPriority> priorities[] = {
        {&requests.SetSbuRequest, OutputPriority::SBU},
        {&requests.SetUtiRequest, OutputPriority::UtilityFirst},
        {&requests.SetSolRequest, OutputPriority::SolarFirst},
    };
    for (const auto& [request, priority] : priorities) {
        if (*request) {
            handOff([&steps, priority = priority] { steps.ServePriority(priority); });
            *request = false; // a request made again while it was served is served with it
        }
    }
    if (requests.StatusRequest) {
        handOff([&] { steps.PurgeAndQueryRatedInfo(); });
        requests.StatusRequest = false;
    }
    // One setting a cycle; the step clears the request once none is left.
    if (requests.ChargerSettingRequest)
        handOff([&] { steps.ServeChargerSetting(); });
}

void ReadPlot::cycle()
{
    RunAcquisitionCycle(m_steps, m_requests, [this](const std::function<void()>& step) { handOff(step); });
}

} // namespace quorvane
