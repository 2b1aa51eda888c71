#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace quorvane {

// The process's stop and reload signals as Qt signals on the thread that made this object:
// SIGTERM and SIGINT ask the program to close, SIGHUP to read its settings again. A signal
// handler may do next to nothing, so it only writes a byte to a socket pair; the reading end
// is watched by the event loop.
// Thread ownership: the main thread; make one per process.
class ProcessSignals final : public QObject {
    Q_OBJECT
public:
    // `reload`: whether SIGHUP is taken (otherwise it keeps its default action).
    explicit ProcessSignals(bool reload, QObject* parent = nullptr);
    ~ProcessSignals() override;

    ProcessSignals(const ProcessSignals&) = delete;
    ProcessSignals& operator=(const ProcessSignals&) = delete;

signals:
    void stopRequested();
    void reloadRequested();

private:
    void readPending();

    bool m_reload;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorvane
