// The energy log's rows: the running day's row kept current in place, closes and day ends as
// final rows, and the file as it would be without the saves.
#include "records/EnergyRowWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvane;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EnergyRows : public ::testing::Test {
protected:
    QTemporaryDir folder;
    std::string path = QDir(folder.path()).filePath("EnergyLog_6-2026.csv").toStdString();
    EnergyRowWriter writer;
};

} // namespace

TEST_F(EnergyRows, TheOpenRowIsReplacedInPlaceAndAFinalRowTakesItsPlace)
{
    std::ofstream(path, std::ios::binary) << "5/31/26,1.000,0,0,9.000,0\r\n"; // an earlier run's row
    const struct {
        bool final;
        const char* row;
        const char* file;
    } steps[] = {
        {false, "6/1/26,0.100,0,0,9.100,0\r\n", "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.100,0,0,9.100,0\r\n"},
        {false, "6/1/26,0.200,0,0,9.200,0\r\n", "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.200,0,0,9.200,0\r\n"},
        {true, "6/1/26,0.250,0,0,9.250,0\r\n", "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.250,0,0,9.250,0\r\n"},
        {false, "6/2/26,0.010,0,0,9.260,0\r\n",
         "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.250,0,0,9.250,0\r\n6/2/26,0.010,0,0,9.260,0\r\n"},
        {true, "6/2/26,0.020,0,0,9.270,0\r\n",
         "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.250,0,0,9.250,0\r\n6/2/26,0.020,0,0,9.270,0\r\n"},
        {true, "6/2/26,0.030,0,0,9.280,0\r\n", // a close with no open row appends
         "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.250,0,0,9.250,0\r\n6/2/26,0.020,0,0,9.270,0\r\n"
         "6/2/26,0.030,0,0,9.280,0\r\n"},
    };
    for (const auto& step : steps) {
        const FileWriteError error = step.final ? writer.WriteFinal(path, step.row) : writer.WriteOpen(path, step.row);
        ASSERT_EQ(error, FileWriteError::None) << step.row;
        EXPECT_EQ(readAll(path), step.file) << step.row;
    }
}

TEST_F(EnergyRows, ANewMonthFileGetsItsOwnRowAndABrokenLastLineIsEnded)
{
    std::ofstream(path, std::ios::binary) << "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.1";
    ASSERT_EQ(writer.WriteOpen(path, "6/1/26,0.200,0,0,9.200,0\r\n"), FileWriteError::None);
    EXPECT_EQ(readAll(path), "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.1\r\n6/1/26,0.200,0,0,9.200,0\r\n");

    const std::string july = QDir(folder.path()).filePath("EnergyLog_7-2026.csv").toStdString();
    ASSERT_EQ(writer.WriteOpen(july, "7/1/26,0.300,0,0,9.500,0\r\n"), FileWriteError::None);
    EXPECT_EQ(readAll(july), "7/1/26,0.300,0,0,9.500,0\r\n");
    EXPECT_EQ(readAll(path), "5/31/26,1.000,0,0,9.000,0\r\n6/1/26,0.1\r\n6/1/26,0.200,0,0,9.200,0\r\n");
}

TEST_F(EnergyRows, AFileThatCannotBeReadIsReportedAndLeftAlone)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir("EnergyLog_6-2026.csv"));
    EXPECT_EQ(writer.WriteOpen(path, "6/1/26,0.100,0,0,9.100,0\r\n"), FileWriteError::Open);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).isDir());
}
