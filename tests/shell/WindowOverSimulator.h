#pragma once

// The main window over a core on its own thread, with the simulator answering on the
// in-process line that COM1 names, as the GUI tests build it.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "app/CoreHost.h"
#include "core/Clock.h"
#include "shell/MainWindow.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace quorvane::fakes {

class WindowOverSimulator {
public:
    // `localeName`: of the dates and times the core shows; `moreSettings`: further lines of
    // the settings file.
    explicit WindowOverSimulator(const std::string& localeName = "C", const std::string& moreSettings = {})
    {
        using namespace std::chrono_literals;
        std::ofstream(settingsPath) << "[Main]\nAutoSearch=0\nMeasTime=0\n[Http]\nPort=0\n[Ports]\nCOM1=/sim/inverter\n"
                                    << moreSettings;
        opener.Attach("/sim/inverter", model);
        model.SetFullSpeed(true);
        model.SetAnswerDelay(0ms);
        CoreApp::Options options;
        options.SettingsPath = settingsPath;
        options.LogBase = folder.path().toStdString();
        options.LocaleName = localeName;
        options.MailRoutes = {{"127.0.0.1", 9}, 25};
        host = std::make_unique<CoreHost>(options, clock, opener, person);
        window = std::make_unique<TForm1>(*host, person);
    }
    ~WindowOverSimulator()
    {
        window.reset();
        host.reset();
    }
    WindowOverSimulator(const WindowOverSimulator&) = delete;
    WindowOverSimulator& operator=(const WindowOverSimulator&) = delete;

    // Shows the window and starts the core; true once the window is attached and shows the
    // core's first picture of itself.
    [[nodiscard]] bool ShowAndStart()
    {
        QObject::connect(host.get(), &CoreHost::ready, window.get(), [this](CoreApp* core) {
            window->Attach(core);
            m_attached = true;
        });
        window->show();
        host->Start();
        return PumpUntil([this] { return m_attached && window->findChild<QLabel*>("Panel3")->text() != "---"; });
    }

    QTemporaryDir folder;
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    sim::InverterModel model;
    SystemClock clock;
    sim::InProcessOpener opener;
    FakeUserNotifier person;
    std::unique_ptr<CoreHost> host;
    std::unique_ptr<TForm1> window;

private:
    bool m_attached = false;
};

} // namespace quorvane::fakes
