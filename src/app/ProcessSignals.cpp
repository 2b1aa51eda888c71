#include "app/ProcessSignals.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvane {

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
}

void take(int number)
{
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}

void restoreDefault(int number)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(number, &action, nullptr);
}

} // namespace

ProcessSignals::ProcessSignals(bool reload, QObject* parent) : QObject(parent), m_reload(reload)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return; // the signals keep their default actions: the program still ends on them
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ProcessSignals::readPending);
    take(SIGTERM);
    take(SIGINT);
    if (reload)
        take(SIGHUP);
}

ProcessSignals::~ProcessSignals()
{
    if (m_notifier == nullptr)
        return;
    restoreDefault(SIGTERM);
    restoreDefault(SIGINT);
    if (m_reload)
        restoreDefault(SIGHUP);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void ProcessSignals::readPending()
{
    char received[64];
    ssize_t count = 0;
    while ((count = ::read(g_pipe[0], received, sizeof received)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (received[i] == SIGHUP)
                emit reloadRequested();
            else
                emit stopRequested();
        }
    }
}

} // namespace quorvane
