#pragma once

#include <QCoreApplication>

#include <cstdlib>

namespace quorvane::fuzz {

// A time zone given as rules, not as a file: with the zone taken from /etc/localtime the C
// library looks at that file on every local-time conversion, a third of a run's time.
inline void PinTimeZone()
{
    ::setenv("TZ", "UTC0", 1);
}

// For targets whose code posts queued calls or stamps times: the pinned zone and Qt Core's
// application object, made once for the whole run.
inline void StartQtCore(int* argc, char*** argv)
{
    PinTimeZone();
    static QCoreApplication application(*argc, *argv);
}

} // namespace quorvane::fuzz
