// Entry point of the tray tests: a bare X server (Xvfb) with a small tray host (trayer), so the
// desktop has a notification area, and the widgets on the xcb platform.
#include "ChildProcess.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    const std::string display = ":" + std::to_string(90 + ::getpid() % 100);
    quorvane::fakes::ChildProcess server("/usr/bin/Xvfb", {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    struct stat info {};
    for (int i = 0; i < 100 && ::stat(socket.c_str(), &info) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    quorvane::fakes::ChildProcess tray("/usr/bin/trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "64"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
