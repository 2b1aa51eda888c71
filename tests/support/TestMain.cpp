// Test entry point: a Qt application object for queued calls and signals, and a fixed time
// zone so that dates and times in expectations do not depend on the machine.
#include "core/ThreadHandover.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    quorvane::MakeQtHandoversVisibleToRaceChecker();
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
