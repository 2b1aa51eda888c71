// The README's picture of the main window, as a user sees it: on a real X server, with the
// program's style sheet, connected to the simulator, every text whole. The picture is written
// to the build folder; docs/main-window.png is a copy of it.
#include "GatedPacer.h"
#include "TextCuts.h"
#include "WindowOverSimulator.h"
#include "shell/Style.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace quorvane;
using fakes::PumpUntil;

TEST(ReadmePicture, TheStyledWindowConnectedToTheSimulator)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    ApplyAmethystKamri(*qApp); // before the window is made, as the program does
    {
        fakes::WindowOverSimulator shell("en_US.UTF-8"); // four-digit years
        TForm1& window = *shell.window;
        ASSERT_TRUE(shell.ShowAndStart());
        const auto label = [&window](const char* name) { return window.findChild<QLabel*>(name)->text(); };
        window.findChild<QPushButton*>("Connect1")->click();
        // Values, the output priority and both memo lines of the connection on show.
        ASSERT_TRUE(PumpUntil([&] {
            return label("Label4") == "230.0" && label("Panel16") != "---" && label("Panel4") != "--"
                   && label("Label51").startsWith("Output source") && window.Memo().Lines().size() >= 2;
        }));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(fakes::CutTexts(window), std::vector<std::string>{});
        const QPixmap picture = window.grab();
        EXPECT_EQ(picture.deviceIndependentSize().toSize(), window.size());
        EXPECT_TRUE(picture.save(QDir(QUORVANE_BUILD_DIR).filePath("main-window.png")));
    }
    qApp->setStyleSheet({});
}
