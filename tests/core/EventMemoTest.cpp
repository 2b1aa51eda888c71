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

namespace {

// A view that follows the memo only through its signals, as the window's list does.
struct MirrorView {
    explicit MirrorView(EventMemo& memo)
    {
        QObject::connect(&memo, &EventMemo::linesAppended, [this](qsizetype first, const QStringList& added) {
            EXPECT_EQ(first, lines.size());
            lines.append(added);
        });
        QObject::connect(&memo, &EventMemo::lineRemoved, [this](qsizetype index) {
            ASSERT_LT(index, lines.size());
            lines.removeAt(index);
            ++removals;
        });
        QObject::connect(&memo, &EventMemo::reset, [this](const QStringList& all) {
            lines = all;
            ++resets;
        });
    }
    [[nodiscard]] std::vector<std::string> Lines() const
    {
        std::vector<std::string> result;
        for (const QString& line : lines)
            result.push_back(line.toStdString());
        return result;
    }
    QStringList lines;
    int removals = 0;
    int resets = 0;
};

std::string requestLine(const std::string& stamp, const std::string& address, long long count)
{
    return stamp + "[ipstart]" + address + "[ipend] requested webpage [CS]" + std::to_string(count) + "[CE]";
}

} // namespace

TEST_F(EventMemoTest, AWebRequestLineMovesToTheEndAndViewsFollow)
{
    MirrorView view(memo);
    memo.AddEventLine("start");
    memo.LogWebRequest("10.0.0.1", "s1");
    memo.LogWebRequest("10.0.0.2", "s1");
    flushEvents();
    memo.AddEventLine("between");
    memo.LogWebRequest("10.0.0.1", "s2");
    memo.LogWebRequest("10.0.0.3", "s2", 3); // three requests taken together
    memo.LogWebRequest("10.0.0.3", "s3", 2);
    flushEvents();
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{
                                "[03/21/15 07:05:09] start ",
                                "[03/21/15 07:05:09] " + requestLine("s1", "10.0.0.2", 1) + " ",
                                "[03/21/15 07:05:09] between ",
                                requestLine("s2", "10.0.0.1", 2),
                                requestLine("s3", "10.0.0.3", 5),
                            }));
    EXPECT_EQ(view.Lines(), memo.Lines());
    EXPECT_EQ(view.removals, 1);
    EXPECT_EQ(memo.LineCount(), 5u);

    // Many addresses moving in one turn: the views get the whole content once.
    for (int i = 0; i < 100; ++i)
        memo.LogWebRequest("10.1.0." + std::to_string(i), "s4");
    flushEvents();
    for (int i = 0; i < 100; ++i)
        memo.LogWebRequest("10.1.0." + std::to_string(i), "s5");
    memo.LogWebRequest("10.0.0.2", "s5");
    flushEvents();
    EXPECT_EQ(view.resets, 1);
    EXPECT_EQ(view.Lines(), memo.Lines());
    EXPECT_EQ(memo.LineCount(), 105u);
    EXPECT_EQ(memo.Lines()[3], requestLine("s3", "10.0.0.3", 5));
    EXPECT_EQ(memo.Lines().back(), requestLine("s5", "10.0.0.2", 2));
}

TEST_F(EventMemoTest, AFloodOfRequestsLeavesOneLinePerAddress)
{
    // Enough moves that the holes they leave are compacted several times over, with views
    // attached and lines published in between.
    MirrorView view(memo);
    for (int i = 0; i < 2000; ++i)
        memo.LogWebRequest("127.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), "a");
    memo.AddEventLine("middle");
    flushEvents();
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 200; ++i)
            memo.LogWebRequest("127.0.0." + std::to_string(i % 7), "b");
        flushEvents();
    }
    EXPECT_EQ(memo.LineCount(), 2001u);
    EXPECT_EQ(view.Lines(), memo.Lines());
    const auto lines = memo.Lines();
    EXPECT_EQ(lines[1993], "[03/21/15 07:05:09] middle ");
    EXPECT_EQ(lines.back(), requestLine("b", "127.0.0.3", 1 + 50 * 29)); // 199 % 7 == 3 came last
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find("[ipstart]127.0.0.6[ipend]") != std::string::npos; }),
              1);
    // The same after a save and a load: counting goes on from the file.
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("EventLog.txt").toStdString();
    ASSERT_EQ(memo.SaveToFile(path), FileWriteError::None);
    ASSERT_TRUE(memo.LoadFromFile(path));
    memo.LogWebRequest("127.0.0.6", "c");
    EXPECT_EQ(memo.Lines().back(), requestLine("c", "127.0.0.6", 1 + 50 * 28 + 1));
    EXPECT_EQ(memo.LineCount(), 2001u);
}
