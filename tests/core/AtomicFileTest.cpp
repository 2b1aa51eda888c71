#include "core/AtomicFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

using namespace quorvane;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNoTemporary)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("totals.csv").toStdString();
    ASSERT_EQ(WriteFileAtomically(path, "old\r\n"), FileWriteError::None);
    ASSERT_EQ(WriteFileAtomically(path, "new\r\n"), FileWriteError::None);
    EXPECT_EQ(readAll(path), "new\r\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"totals.csv"});
}

TEST(AtomicFile, AFailedWriteLeavesTheOldContentAndNoTemporary)
{
    QTemporaryDir folder;
    // A folder standing where the file goes cannot be replaced (also not by root).
    const std::string blocked = QDir(folder.path()).filePath("blocked").toStdString();
    ASSERT_EQ(::mkdir(blocked.c_str(), 0755), 0);
    EXPECT_EQ(WriteFileAtomically(blocked, "data"), FileWriteError::Rename);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"blocked"});

    EXPECT_EQ(WriteFileAtomically(QDir(folder.path()).filePath("no/such/folder.csv").toStdString(), "data"),
              FileWriteError::CreateTemporary);

    // A folder standing where the temporary file goes: the old file keeps its content.
    const std::string kept = QDir(folder.path()).filePath("kept.csv").toStdString();
    ASSERT_EQ(WriteFileAtomically(kept, "old"), FileWriteError::None);
    ASSERT_EQ(::mkdir((kept + ".tmp").c_str(), 0755), 0);
    EXPECT_EQ(WriteFileAtomically(kept, "new"), FileWriteError::CreateTemporary);
    EXPECT_EQ(readAll(kept), "old");
}

namespace {

// Limits the size of files this process may write, as a full disk would, for one scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

} // namespace

TEST(AppendDurably, ARowThatDoesNotFitLeavesTheFileAsItWasAndTheNextRowStartsClean)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("day.csv").toStdString();
    ASSERT_EQ(AppendDurably(path, "07:06:50,1,2\r\n"), FileWriteError::None);
    {
        const FileSizeLimit full(14 + 4); // room for four more bytes only
        const FileWriteError error = AppendDurably(path, "07:06:51,2,3\r\n");
        EXPECT_EQ(error, FileWriteError::Append);
        EXPECT_EQ(std::string(toString(error)).find("temporary"), std::string::npos);
    }
    EXPECT_EQ(readAll(path), "07:06:50,1,2\r\n");
    ASSERT_EQ(AppendDurably(path, "07:06:52,3,4\r\n"), FileWriteError::None);
    EXPECT_EQ(readAll(path), "07:06:50,1,2\r\n07:06:52,3,4\r\n");
}

TEST(AppendDurably, ALineCutOffByAnEarlierCrashIsEndedBeforeTheNewRow)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("day.csv").toStdString();
    std::ofstream(path, std::ios::binary) << "07:06:50,1,2\r\n07:06:5";
    ASSERT_EQ(AppendDurably(path, "07:06:52,3,4\r\n"), FileWriteError::None);
    EXPECT_EQ(readAll(path), "07:06:50,1,2\r\n07:06:5\r\n07:06:52,3,4\r\n");
}
