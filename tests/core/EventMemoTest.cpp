#include "FakeUserNotifier.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace quorvane;

namespace {

class EventMemoTest : public ::testing::Test {
protected:
    void flushEvents() { QCoreApplication::processEvents(); }

    ManualClock clock{QDateTime(QDate(2015, 3, 21), QTime(7, 5, 9))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
};

} // namespace

TEST_F(EventMemoTest, LineIsStampBracketsMessageAndOneTrailingSpace)
{
    const struct {
        const char* message;
        const char* line;
    } cases[] = {
        {"Inverter connected.", "[03/21/15 07:05:09] Inverter connected. "},
        {"", "[03/21/15 07:05:09]  "},
        {"  spaced  ", "[03/21/15 07:05:09]   spaced   "},
    };
    for (const auto& c : cases) {
        memo.Clear();
        memo.AddEventLine(c.message);
        ASSERT_EQ(memo.Lines().size(), 1u);
        EXPECT_EQ(memo.Lines()[0], c.line);
    }
}

TEST_F(EventMemoTest, LineFollowsTheLocaleAndTheMomentOfTheCall)
{
    LocaleFormats german("de_DE.UTF-8");
    if (german.shortDatePattern() == "%m/%d/%y")
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EventMemo germanMemo{clock, german};
    germanMemo.AddEventLine("a");
    clock.advance(std::chrono::hours(10));
    germanMemo.AddEventLine("b");
    EXPECT_EQ(germanMemo.Lines(), (std::vector<std::string>{"[21.03.2015 07:05:09] a ", "[21.03.2015 17:05:09] b "}));
}

TEST_F(EventMemoTest, ViewsGetAllNewLinesInBatches)
{
    std::vector<std::pair<qsizetype, QStringList>> batches;
    QObject::connect(&memo, &EventMemo::linesAppended,
                     [&](qsizetype first, const QStringList& lines) { batches.emplace_back(first, lines); });
    for (int i = 0; i < 1000; ++i)
        memo.AddEventLine("line " + std::to_string(i));
    EXPECT_TRUE(batches.empty()); // nothing is published line by line
    flushEvents();
    memo.AddEventLine("later");
    flushEvents();

    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].first, 0);
    EXPECT_EQ(batches[0].second.size(), 1000);
    EXPECT_EQ(batches[0].second.back(), "[03/21/15 07:05:09] line 999 ");
    EXPECT_EQ(batches[1].first, 1000);
    EXPECT_EQ(batches[1].second, QStringList{"[03/21/15 07:05:09] later "});
}

TEST_F(EventMemoTest, LinesFromOtherThreadsArriveInTheOrderProduced)
{
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 500;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([this, t] {
            for (int i = 0; i < kLinesEach; ++i)
                memo.PostEventLine(std::to_string(t) + ":" + std::to_string(i));
        });
    }
    for (auto& producer : producers)
        producer.join();
    memo.AddEventLine("after"); // lines produced earlier on other threads come first
    flushEvents();

    const auto& lines = memo.Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesEach + 1));
    EXPECT_EQ(lines.back(), "[03/21/15 07:05:09] after ");
    std::vector<int> next(kThreads, 0);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string message = lines[i].substr(20, lines[i].size() - 21);
        const int thread = message[0] - '0';
        ASSERT_EQ(message.substr(2), std::to_string(next[static_cast<size_t>(thread)]++)) << lines[i];
    }
}

TEST_F(EventMemoTest, ClearAsksFirstAndOnlyNoKeepsTheLines)
{
    fakes::FakeUserNotifier person;
    memo.AddEventLine("one");
    person.nextAnswer = UserNotifier::Answer::No;
    memo.ClearAfterConfirmation(person);
    EXPECT_EQ(memo.Lines().size(), 1u);
    person.nextAnswer = UserNotifier::Answer::Yes;
    memo.ClearAfterConfirmation(person);
    EXPECT_TRUE(memo.Lines().empty());
    EXPECT_EQ(person.questions,
              (std::vector<std::string>{"Event log will be deleted. Are you sure?", "Event log will be deleted. Are you sure?"}));

    memo.AddEventLine("after clear");
    EXPECT_EQ(memo.Text(), "[03/21/15 07:05:09] after clear \r\n");
}

TEST_F(EventMemoTest, SavesWithCrLfAndLoadsEitherLineEnd)
{
    QTemporaryDir folder;
    const std::string saved = QDir(folder.path()).filePath("EventLog.txt").toStdString();
    memo.AddEventLine("first");
    memo.AddEventLine("second");
    ASSERT_EQ(memo.SaveToFile(saved), FileWriteError::None);
    std::ifstream in(saved, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "[03/21/15 07:05:09] first \r\n[03/21/15 07:05:09] second \r\n");

    const std::string unixFile = QDir(folder.path()).filePath("unix.txt").toStdString();
    std::ofstream(unixFile, std::ios::binary) << "a\nb \nc";
    QStringList reset;
    QObject::connect(&memo, &EventMemo::reset, [&](const QStringList& lines) { reset = lines; });
    ASSERT_TRUE(memo.LoadFromFile(unixFile));
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"a", "b ", "c"}));
    EXPECT_EQ(reset, (QStringList{"a", "b ", "c"}));

    ASSERT_TRUE(memo.LoadFromFile(saved));
    EXPECT_EQ(memo.Text(), content);
    EXPECT_FALSE(memo.LoadFromFile(QDir(folder.path()).filePath("missing.txt").toStdString()));
    EXPECT_EQ(memo.Text(), content);
}
