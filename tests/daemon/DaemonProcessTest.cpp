// quorvaned as a service manager meets it: the real program in a folder of its own, against the
// simulator on a pseudo-terminal, watched through its standard output and the messages it sends
// to a notification socket the test holds, as systemd's would be.
#include "ChildProcess.h"
#include "DaemonRun.h"
#include "HttpClient.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "WaitUntil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace quorvane;
using fakes::kPatience;

namespace {

// The service manager's end of sd_notify: a datagram socket; each datagram is one message.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(m_fd); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    [[nodiscard]] bool Bound() const { return m_bound; }
    [[nodiscard]] const std::string& Path() const { return m_path; }

    // Waits until a message with `text` in it has come; the messages before it are passed.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = kPatience)
    {
        return fakes::WaitUntil([&] {
            for (std::string message; next(message);)
                if (message.find(text) != std::string::npos)
                    return true;
            return false;
        }, limit);
    }
    // Waits until `gap` has passed without a message holding `text`: the sender has stopped.
    bool WaitForSilence(const std::string& text, std::chrono::milliseconds gap)
    {
        auto last = std::chrono::steady_clock::now();
        return fakes::WaitUntil([&] {
            for (std::string message; next(message);)
                if (message.find(text) != std::string::npos)
                    last = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - last >= gap;
        });
    }

private:
    bool next(std::string& message)
    {
        char buffer[4096];
        const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (count < 0)
            return false;
        message.assign(buffer, static_cast<size_t>(count));
        return true;
    }

    std::string m_path;
    int m_fd = -1;
    bool m_bound = false;
};

class Daemon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(notify.Bound());
        model.SetFullSpeed(true);
        writeSettings(settingsPath);
    }

    void writeSettings(const std::string& path, bool autoConnect = true) const
    {
        std::ofstream(path, std::ios::binary) << fakes::SerialLineSettings(pty.DevicePath(), autoConnect);
    }

    // quorvaned on the folder, as the unit starts it: with a notification socket and a watchdog.
    std::unique_ptr<fakes::ChildProcess> start()
    {
        ::setenv("NOTIFY_SOCKET", notify.Path().c_str(), 1);
        ::setenv("WATCHDOG_USEC", "30000000", 1);
        auto daemon = std::make_unique<fakes::ChildProcess>(
            QUORVANED, std::vector<std::string>{"--config", settingsPath, "--log-dir", folder.path().toStdString()});
        ::unsetenv("NOTIFY_SOCKET");
        ::unsetenv("WATCHDOG_USEC");
        return daemon;
    }

    std::optional<std::string> waitForLine(fakes::ChildProcess& daemon, const std::string& text)
    {
        return fakes::WaitForOutputLine(daemon, text, output);
    }
    int livePagePort(fakes::ChildProcess& daemon) { return fakes::LivePagePort(daemon, output); }

    QTemporaryDir folder;
    sim::InverterModel model;
    sim::PtyInverter pty{model};
    NotifySocket notify{QDir(folder.path()).filePath("notify").toStdString()};
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    std::string output;
};

} // namespace

TEST_F(Daemon, ConnectsServesLogsAndEndsCleanlyOnSigterm)
{
    auto daemon = start();
    const int port = livePagePort(*daemon);
    ASSERT_GT(port, 0) << output;
    ASSERT_TRUE(waitForLine(*daemon, "Inverter connected.")) << output;
    ASSERT_TRUE(notify.WaitFor("READY=1"));
    ASSERT_TRUE(notify.WaitFor("WATCHDOG=1")); // the core's tick keeps it alive

    const auto page = fakes::Http("http://localhost:" + std::to_string(port) + "/");
    ASSERT_TRUE(page.Ok);
    EXPECT_EQ(page.Status, 200);

    daemon->Signal(SIGTERM);
    EXPECT_TRUE(notify.WaitFor("STOPPING=1"));
    EXPECT_EQ(daemon->WaitForExit(kPatience), 0) << output;
    // The close sequence ran: the totals are on disk.
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("Log/EnergyTotalSolar.csv")));
}

TEST_F(Daemon, ReadsItsSettingsAgainOnSighupAndKeepsASecondStartOff)
{
    auto daemon = start();
    ASSERT_TRUE(notify.WaitFor("READY=1"));

    fakes::ChildProcess second("/bin/sh", {"-c", std::string(QUORVANED) + " --config '" + settingsPath + "' 2>&1"});
    EXPECT_EQ(second.WaitForExit(kPatience), 1);
    const auto refusal = second.ReadLine(kPatience);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("not started: another program already runs on " + settingsPath), std::string::npos) << *refusal;

    daemon->Signal(SIGHUP);
    EXPECT_TRUE(waitForLine(*daemon, "Settings read again from " + settingsPath + ".")) << output;

    daemon->Signal(SIGINT);
    EXPECT_EQ(daemon->WaitForExit(kPatience), 0) << output;
}

// Not connected (no cable, or no automatic connection), the core is still alive and says so:
// otherwise systemd would restart a healthy service every watchdog period.
TEST_F(Daemon, KeepsTheWatchdogAliveWhileNotConnected)
{
    writeSettings(settingsPath, false);
    auto daemon = start();
    ASSERT_TRUE(notify.WaitFor("READY=1"));
    EXPECT_TRUE(notify.WaitFor("WATCHDOG=1"));
    EXPECT_TRUE(notify.WaitFor("WATCHDOG=1")); // and again, not once only
    daemon->Signal(SIGTERM);
    EXPECT_EQ(daemon->WaitForExit(kPatience), 0) << output;
}

// A core that hangs stops the keep-alive, so systemd's watchdog restarts the service. Here the
// core hangs as a real one could, in a read that never ends: the settings file became a pipe
// nobody writes to, and SIGHUP made the core read it. The program itself is still there.
TEST_F(Daemon, AHungCoreStopsTheKeepAliveUntilItGoesOn)
{
    auto daemon = start();
    const int port = livePagePort(*daemon);
    ASSERT_TRUE(notify.WaitFor("WATCHDOG=1"));

    const std::string saved = settingsPath + ".saved";
    ASSERT_EQ(std::rename(settingsPath.c_str(), saved.c_str()), 0);
    ASSERT_EQ(::mkfifo(settingsPath.c_str(), 0600), 0);
    daemon->Signal(SIGHUP);

    ASSERT_TRUE(notify.WaitForSilence("WATCHDOG=1", std::chrono::seconds(3)));
    const auto page = fakes::Http("http://localhost:" + std::to_string(port) + "/");
    EXPECT_TRUE(page.Ok && page.Status == 200); // the web answers from what the core published

    // The pipe gets its settings; the core reads them and ticks again.
    {
        std::ifstream settings(saved, std::ios::binary);
        std::ofstream(settingsPath, std::ios::binary) << settings.rdbuf();
    }
    EXPECT_TRUE(notify.WaitFor("WATCHDOG=1"));
    EXPECT_TRUE(waitForLine(*daemon, "Settings read again from")) << output;

    daemon->Signal(SIGTERM);
    EXPECT_EQ(daemon->WaitForExit(kPatience), 0) << output;
}
