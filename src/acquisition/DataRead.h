#pragma once

#include "acquisition/AcquisitionSteps.h"
#include "acquisition/CyclePacer.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvane {

struct OutputRequests;

// One acquisition cycle: main values, mode, the second PV input, energies, stamp and the
// warning status, then the pending requests in their fixed order (SBU,
// utility, solar, rated information). `handOff` runs a step where the steps must run (on the
// core thread) and returns when it is done; the acquisition thread uses its hand-off, a test
// that steps the cycle itself calls the step directly.
void RunAcquisitionCycle(AcquisitionSteps& steps, OutputRequests& requests,
                         const std::function<void(const std::function<void()>&)>& handOff);

// ReadPlot paces all inverter traffic. Its worker thread does no inverter work itself: it
// hands each step of a cycle to the core thread and waits for it, serves the pending
// priority and status requests in their fixed order, counts the cycle, pauses for the
// measuring interval, and waits when acquisition is held or left to web requests.
//
// Thread ownership: the object lives on the core thread, which calls every public function
// except LoopCount (any thread). The worker thread is owned by the object and joined by it.
// The steps run on the core thread only, so the measurement record needs no lock.
class ReadPlot final : public QObject {
    Q_OBJECT
public:
    // WaitFor's result; the owner frees the thread only when it is this value.
    static constexpr int kReturnValue = 1;

    // The thread is created suspended: nothing runs before the first Resume.
    ReadPlot(AcquisitionSteps& steps, OutputRequests& requests, AcquisitionControl& control,
             std::unique_ptr<CyclePacer> pacer, QObject* parent = nullptr);
    ~ReadPlot() override;

    // Wakes the thread when it is suspended; does nothing otherwise.
    void Resume();
    [[nodiscard]] bool Suspended() const;
    // Honoured only after the cycle that follows: the thread completes that cycle and ends.
    // A pause under way ends at once, and the thread no longer suspends.
    void Terminate();
    // Serves the thread's hand-offs until it has ended, then returns kReturnValue. Blocks
    // without spinning.
    int WaitFor();
    [[nodiscard]] bool Finished() const;

    // Completed cycles; 0 when the thread starts.
    [[nodiscard]] int LoopCount() const { return m_loopCount.load(); }

private:
    void execute();
    void cycle();
    // Worker side: runs `step` on the core thread and waits until it is done.
    void handOff(const std::function<void()>& step);
    // Core side: runs the step handed over, if there is one.
    void servePending();
    // Worker side: waits until resumed (or told to terminate).
    void suspend();

    AcquisitionSteps& m_steps;
    OutputRequests& m_requests;
    AcquisitionControl& m_control;
    std::unique_ptr<CyclePacer> m_pacer;
    std::atomic<int> m_loopCount{0};
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_abandoned{false}; // set by the destructor: skip every remaining step

    mutable std::mutex m_mutex;
    std::condition_variable m_stepChanged;   // a step handed over, a step done, the thread ended
    std::condition_variable m_resumed;
    const std::function<void()>* m_pendingStep = nullptr; // guarded by m_mutex
    bool m_stepDone = false;                                 // guarded by m_mutex
    bool m_suspended = true;                                 // guarded by m_mutex
    bool m_finished = false;                                 // guarded by m_mutex

    std::thread m_thread;
};

} // namespace quorvane
