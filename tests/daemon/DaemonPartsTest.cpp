// The pieces of quorvaned that do not need a running core: its command line, its lock against a
// second start, and how it tells nobody in particular about notices and questions.
#include "daemon/DaemonOptions.h"
#include "daemon/InstanceLock.h"
#include "daemon/StandardErrorNotifier.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

struct CommandLine {
    const char* name;
    std::vector<std::string> arguments;
    std::string settingsPath;
    std::string logBase;
    bool version;
    bool help;
    std::string error;
};

void PrintTo(const CommandLine& line, std::ostream* out)
{
    *out << line.name;
}

class DaemonCommandLine : public ::testing::TestWithParam<CommandLine> {};

} // namespace

TEST_P(DaemonCommandLine, IsReadAsItSays)
{
    const CommandLine& line = GetParam();
    const DaemonOptions options = DaemonOptions::Parse(line.arguments, "/opt/q/quorvaned", "/home/me/solar");
    EXPECT_EQ(options.Error, line.error);
    if (!line.error.empty())
        return;
    EXPECT_EQ(options.SettingsPath, line.settingsPath);
    EXPECT_EQ(options.LogBase, line.logBase);
    EXPECT_EQ(options.ShowVersion, line.version);
    EXPECT_EQ(options.ShowHelp, line.help);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, DaemonCommandLine,
    ::testing::Values(
        CommandLine{"Defaults", {}, "/opt/q/quorvaned.INI", "/home/me/solar", false, false, ""},
        CommandLine{"BothFolders", {"--config", "/etc/q.INI", "--log-dir", "/var/lib/q"}, "/etc/q.INI", "/var/lib/q", false, false, ""},
        CommandLine{"WithEquals", {"--config=/etc/q.INI", "--log-dir=/var/lib/q"}, "/etc/q.INI", "/var/lib/q", false, false, ""},
        CommandLine{"Version", {"--version"}, "/opt/q/quorvaned.INI", "/home/me/solar", true, false, ""},
        CommandLine{"Help", {"--help"}, "/opt/q/quorvaned.INI", "/home/me/solar", false, true, ""},
        CommandLine{"ConfigWithoutValue", {"--config"}, "", "", false, false, "--config needs a value"},
        CommandLine{"EmptyValue", {"--log-dir="}, "", "", false, false, "--log-dir needs a value"},
        CommandLine{"Unknown", {"--verbose"}, "", "", false, false, "unknown argument '--verbose'"},
        CommandLine{"StrayWord", {"start"}, "", "", false, false, "unknown argument 'start'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstanceLock, ASecondStartOnTheSameSettingsIsRefusedUntilTheFirstEnds)
{
    QTemporaryDir folder;
    const std::string settings = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    const std::string other = QDir(folder.path()).filePath("other.INI").toStdString();
    {
        const InstanceLock first(settings);
        ASSERT_TRUE(first.Held()) << first.Problem();
        const InstanceLock second(settings);
        EXPECT_FALSE(second.Held());
        EXPECT_NE(second.Problem().find("another program already runs on " + settings), std::string::npos) << second.Problem();
        EXPECT_NE(second.Problem().find("(process " + std::to_string(::getpid()) + ")"), std::string::npos) << second.Problem();
        EXPECT_TRUE(InstanceLock(other).Held()); // another settings file, another program
    }
    EXPECT_TRUE(InstanceLock(settings).Held()); // the first has ended
}

TEST(InstanceLock, AFolderWhereNoLockCanBeMadeSaysSo)
{
    const InstanceLock lock("/nonexistent/folder/quorvane.INI");
    EXPECT_FALSE(lock.Held());
    EXPECT_NE(lock.Problem().find("cannot open /nonexistent/folder/quorvane.INI.lock"), std::string::npos) << lock.Problem();
}

TEST(StandardErrorNotifier, NoticesAreOneLineEachAndQuestionsAreAnsweredNo)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    StandardErrorNotifier person(stream);
    person.showWarning("Error writing Energy Log.");
    person.showMessage("Cannot create Directory\nfor log file.");
    EXPECT_EQ(person.askYesNo("Event log will be deleted. Are you sure?"), UserNotifier::Answer::No);

    std::rewind(stream);
    std::string written;
    char chunk[256];
    while (const size_t count = std::fread(chunk, 1, sizeof chunk, stream))
        written.append(chunk, count);
    std::fclose(stream);
    EXPECT_EQ(written, "Warning: Error writing Energy Log.\n"
                       "Notice: Cannot create Directory for log file.\n"
                       "Question answered No (nobody to ask): Event log will be deleted. Are you sure?\n");
}
