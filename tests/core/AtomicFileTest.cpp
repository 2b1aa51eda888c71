#include "core/AtomicFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

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
