#include "core/ThreadHandover.h"

#if defined(__SANITIZE_THREAD__)
#define QUORVANE_RACE_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVANE_RACE_CHECKED 1
#endif
#endif

#ifdef QUORVANE_RACE_CHECKED

#include <QObject>

extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);

// Qt's hook for watching signal emissions (exported by Qt Core, used by its test library).
// It runs in the emitting thread before any queued call is posted.
struct QSignalSpyCallbackSet {
    using BeginCallback = void (*)(QObject* caller, int signalOrMethodIndex, void** argv);
    using EndCallback = void (*)(QObject* caller, int signalOrMethodIndex);
    BeginCallback signal_begin_callback;
    BeginCallback slot_begin_callback;
    EndCallback signal_end_callback;
    EndCallback slot_end_callback;
};
void qt_register_signal_spy_callbacks(QSignalSpyCallbackSet* callbackSet);

namespace quorvane {
namespace {

// The one address every handover releases to and every delivery acquires from: coarser than
// Qt's per-thread queues, so it may hide a race between two unrelated handovers, never report
// a false one.
char handoverToken;

void releaseOnEmit(QObject*, int, void**)
{
    __tsan_release(&handoverToken);
}

bool acquireOnDelivery(void**)
{
    __tsan_acquire(&handoverToken);
    return false; // the event goes on to its receiver
}

} // namespace

void MakeQtHandoversVisibleToRaceChecker()
{
    static QSignalSpyCallbackSet callbacks{&releaseOnEmit, nullptr, nullptr, nullptr};
    qt_register_signal_spy_callbacks(&callbacks);
    QInternal::registerCallback(QInternal::EventNotifyCallback, &acquireOnDelivery);
}

void AnnounceHandover()
{
    __tsan_release(&handoverToken);
}

} // namespace quorvane

#else

namespace quorvane {

void MakeQtHandoversVisibleToRaceChecker() {}
void AnnounceHandover() {}

} // namespace quorvane

#endif
