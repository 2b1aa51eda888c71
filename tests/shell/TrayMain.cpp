// Entry point of the tray tests: a bare X server (Xvfb) with a small tray host (trayer), so the
// desktop has a notification area, and the widgets on the xcb platform.
#include "ChildProcess.h"
#include "GatedPacer.h"
#include "core/ThreadHandover.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    using quorvane::fakes::kPatience;
    // The server picks a free display itself and writes its number once it takes connections.
    quorvane::fakes::ChildProcess server("/usr/bin/Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    const auto displayNumber = server.ReadLine(kPatience);
    if (!displayNumber || displayNumber->empty()) {
        std::fprintf(stderr, "tray tests: Xvfb did not start\n");
        return 1;
    }
    const std::string display = ":" + *displayNumber;
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    quorvane::fakes::ChildProcess tray("/usr/bin/trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "64"});

    quorvane::MakeQtHandoversVisibleToRaceChecker();
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    // The tray host is ready once it owns the notification area.
    if (!quorvane::fakes::PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, kPatience)) {
        std::fprintf(stderr, "tray tests: no notification area on %s\n", display.c_str());
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
