// The core's notices and questions as the desktop shows them: a notice never holds the
// thread that gave it, a question waits for its answer until the program closes, and the
// program ends on SIGTERM while a notice nobody can close is on the screen.
#include "GatedPacer.h"
#include "ProgramInFolder.h"
#include "shell/MessageBoxNotifier.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

using namespace quorvane;
using fakes::PumpUntil;

namespace {

// The visible message box showing `text`, if any.
QMessageBox* boxShowing(const QString& text)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible() && box->text() == text)
            return box;
    return nullptr;
}

} // namespace

TEST(Notices, ANoticeFromTheCoreThreadIsShownWithoutWaiting)
{
    MessageBoxNotifier notifier;
    std::atomic<int> given = 0;
    std::thread core([&] {
        notifier.showWarning("Error writing Energy Log.");
        notifier.showMessage("Errore BuildCommDCB");
        notifier.showCaptionedWarning("Pellmara", "Value out of range");
        given = 3;
    });
    // Nobody closes a box here: the thread must be done all the same.
    ASSERT_TRUE(PumpUntil([&] { return given == 3; }));
    core.join();
    ASSERT_TRUE(PumpUntil([] {
        return boxShowing("Error writing Energy Log.") && boxShowing("Errore BuildCommDCB")
               && boxShowing("Value out of range");
    }));
    EXPECT_EQ(boxShowing("Error writing Energy Log.")->windowTitle(), "Quorvane");
    EXPECT_EQ(boxShowing("Value out of range")->windowTitle(), "Pellmara");
    for (const char* text : {"Error writing Energy Log.", "Errore BuildCommDCB", "Value out of range"})
        boxShowing(text)->close();
}

TEST(Notices, AQuestionWaitsForItsAnswerAndAClosingProgramAnswersNo)
{
    MessageBoxNotifier notifier;
    std::atomic<int> answers = 0;
    std::atomic<bool> firstYes = true;
    std::thread core([&] {
        firstYes = notifier.askYesNo("Event log will be deleted. Are you sure?") == UserNotifier::Answer::Yes;
        ++answers;
        // Asked while the program closes: No at once.
        if (notifier.askYesNo("Event log will be deleted. Are you sure?") == UserNotifier::Answer::No)
            ++answers;
    });
    // The box runs its own event loop; a timer in it plays the close request once the box is up.
    bool waitedWhileShown = false;
    QTimer closeRequest;
    QObject::connect(&closeRequest, &QTimer::timeout, [&] {
        if (boxShowing("Event log will be deleted. Are you sure?") != nullptr) {
            waitedWhileShown = answers == 0;
            closeRequest.stop();
            notifier.CancelQuestions();
        }
    });
    closeRequest.start(20);
    ASSERT_TRUE(PumpUntil([&] { return answers == 2; }));
    EXPECT_TRUE(waitedWhileShown);
    core.join();
    EXPECT_FALSE(firstYes);
}

namespace {

struct StuckStart {
    const char* name;
    const char* ports;       // the [Ports] line
    bool logIsAFile;         // a file named Log where the log folder should go
    const char* noticeShown; // an event line the notice leaves
    const char* writtenFile; // a file the close writes, where one can be written
};

class StopWithANoticeOpen : public ::testing::TestWithParam<StuckStart> {};

} // namespace

// Each of these once left the core waiting in a box nobody could close, and SIGTERM did nothing.
TEST_P(StopWithANoticeOpen, SigtermEndsTheProgramAndItsLogsAreWritten)
{
    const StuckStart& start = GetParam();
    QTemporaryDir folder;
    std::ofstream(fakes::SettingsFileIn(folder.path()).toStdString())
        << "[Main]\nAutoSearch=0\nAutoConnect=1\nMeasTime=0\n[Http]\nPort=0\n[Ports]\n" << start.ports << "\n";
    if (start.logIsAFile)
        std::ofstream(folder.filePath("Log").toStdString()) << "not a folder\n";

    QProcess quorvane;
    ASSERT_TRUE(fakes::StartProgramIn(quorvane, folder.path(),
                                      static_cast<int>(std::chrono::milliseconds(fakes::kPatience).count())));

    // The notice is on record, and the core went on (it answers on the web and polls on).
    std::string output;
    ASSERT_TRUE(PumpUntil([&] {
        quorvane.waitForReadyRead(100);
        output += quorvane.readAll().toStdString();
        return output.find(start.noticeShown) != std::string::npos && output.find("Live page: ") != std::string::npos;
    })) << output;

    quorvane.terminate();
    ASSERT_TRUE(quorvane.waitForFinished(static_cast<int>(std::chrono::milliseconds(fakes::kPatience).count())))
        << start.name << ": SIGTERM did not end the program";
    EXPECT_EQ(quorvane.exitStatus(), QProcess::NormalExit);
    if (start.writtenFile != nullptr) {
        EXPECT_TRUE(QFileInfo::exists(folder.filePath(start.writtenFile))) << start.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StopWithANoticeOpen,
    ::testing::Values(StuckStart{"DevNullAsThePort", "COM1=/dev/null", false, "Errore BuildCommDCB",
                                 "Log/EnergyTotalSolar.csv"},
                      StuckStart{"LogIsAFile", "COM1=/nonexistent/port", true,
                                 "Cannot create Directory for log file.", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });
