#include "config/IniFile.h"
#include "config/Settings.h"
#include "core/LocaleFormats.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace quorvane;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    [[nodiscard]] TDati load() const { return LoadSettings(path, formats, today); }
    void write(const std::string& content) const { std::ofstream(path, std::ios::binary) << content; }
    [[nodiscard]] std::string content() const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    QTemporaryDir folder;
    std::string path = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    LocaleFormats formats{"C"};
    QDate today{2026, 12, 10};
};

std::string golden(const char* name)
{
    std::ifstream in(std::string(QUORVANE_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST_F(SettingsFile, WithoutAFileEveryKeyHasItsDefault)
{
    const TDati settings = load();
    EXPECT_EQ(MeasuringIntervalMs(settings.MeasTime), 5000);
    EXPECT_EQ(settings.UpdateLog, 2);
    EXPECT_EQ(settings.RefreshWeb, 1);
    EXPECT_EQ(settings.ComPort, "COM1");
    EXPECT_EQ(settings.ComPortIndex, 1);
    EXPECT_TRUE(settings.AutoSearch);
    EXPECT_EQ(settings.HttpPort, "80");
    EXPECT_EQ(settings.MailPort, "25");
    EXPECT_EQ(settings.PortProxy, "80");
    EXPECT_EQ(settings.Title, "Welcome to Home server");
    EXPECT_TRUE(settings.LogComputed && settings.LogBasic && settings.LogEvent && settings.LogEnergy);
    EXPECT_EQ(settings.Password, "");
    EXPECT_FALSE(settings.AutoConnect);
    EXPECT_EQ(settings.BaudRate, 2400);
    EXPECT_EQ(settings.BasicCaptions[3], "PV Input Corrent");
    EXPECT_EQ(settings.BasicCaptions[13], "Inverter HS Temperature");
    EXPECT_EQ(settings.Aux[4], "[A]Total Solar Energy");
    EXPECT_EQ(settings.TimeOn[0], QDateTime(today, QTime(0, 0)));
    EXPECT_TRUE(settings.Ports.empty());
    EXPECT_EQ(settings, TDati(today));
}

TEST_F(SettingsFile, ValuesAreReadLikeAWindowsIniFile)
{
    write("[main]\n"
          "meastime = 5\n"
          "UpdateLog=$7\n"
          "RefreshWeb=0x3\n"
          "COM PORT index=twelve\n"
          "AutoSearch=0\n"
          "AutoConnect=5\n"
          "[TIMER]\n"
          "A=-1\n"
          "time a on=15:30:07\n"
          "Time B ON=3:04:05 PM\n"
          "Time C ON=garbage\n"
          "[Log]\n"
          "EachMonth=2\n"
          "[Http]\n"
          "Title=  Casa solare  \n");
    const TDati settings = load();
    EXPECT_EQ(settings.MeasTime, 5);
    EXPECT_EQ(settings.UpdateLog, 7);
    EXPECT_EQ(settings.RefreshWeb, 3);
    EXPECT_EQ(settings.ComPortIndex, 1); // not an integer: the default
    EXPECT_FALSE(settings.AutoSearch);
    EXPECT_TRUE(settings.AutoConnect);
    EXPECT_TRUE(settings.TimerEnabled[0]);
    EXPECT_EQ(settings.TimeOn[0], QDateTime(today, QTime(15, 30, 7)));
    EXPECT_EQ(settings.TimeOn[1], QDateTime(today, QTime(0, 0))); // not the C locale's time format
    EXPECT_EQ(settings.TimeOn[2], QDateTime(today, QTime(0, 0)));
    EXPECT_TRUE(settings.EachMonth);
    EXPECT_EQ(settings.Title, "Casa solare");
}

TEST_F(SettingsFile, AnIntegerTakesOneSignAndTheRangeOfAnInt)
{
    const struct {
        const char* text;
        int expected; // the default, 2, when the text is no integer in range
    } cases[] = {
        {"-2147483648", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"+7", 7},
        {"-$10", -16},
        {"2147483648", 2},
        {"-2147483649", 2},
        // A second sign makes it no number; the largest magnitude once overflowed the negation.
        {"--5", 2},
        {"+-5", 2},
        {"$-5", 2},
        {"0x-5", 2},
        {"--9223372036854775808", 2},
        {"-$-8000000000000000", 2},
    };
    for (const auto& c : cases) {
        write(std::string("[Main]\nMeasTime=") + c.text + "\n");
        EXPECT_EQ(load().MeasTime, c.expected) << c.text;
    }
}

TEST_F(SettingsFile, TimesWrittenInAnotherLocaleStillLoad)
{
    const LocaleFormats american("en_US.UTF-8");
    write("[Timer]\r\nTime B ON=03:04:05 PM\r\nTime B OFF=07:00:00\r\n");
    const TDati settings = LoadSettings(path, american, today);
    EXPECT_EQ(settings.TimeOn[1], QDateTime(today, QTime(15, 4, 5)));
    EXPECT_EQ(settings.TimeOff[1], QDateTime(today, QTime(7, 0, 0)));
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_NE(content().find("Time B ON=15:04:05\r\n"), std::string::npos);
}

TEST_F(SettingsFile, FlagsAreWrittenAsOneOrZero)
{
    write("[Main]\r\nAutoConnect=5\r\n[Log]\r\nEachMonth=2\r\n");
    ASSERT_EQ(SaveSettings(path, load()), FileWriteError::None);
    const IniFile saved = IniFile::Parse(content());
    EXPECT_EQ(saved.Value("Main", "AutoConnect"), "1");
    EXPECT_EQ(saved.Value("Log", "EachMonth"), "1");
}

TEST_F(SettingsFile, SavingAFileWithOneKeyWritesEverySection)
{
    write("[Main]\r\nMeasTime=4\r\n");
    ASSERT_EQ(SaveSettings(path, load()), FileWriteError::None);
    EXPECT_EQ(content(), golden("measTime4.INI"));
}

TEST_F(SettingsFile, LinesTheSystemDoesNotKnowSurviveASave)
{
    write("; written by hand\n"
          "[Main]\n"
          "MeasTime=3\n"
          "Colour=blue\n"
          "\n"
          "[Notes]\n"
          "first=keep me\n");
    TDati settings = load();
    settings.MeasTime = 6;
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    const std::string saved = content();
    EXPECT_TRUE(saved.starts_with("; written by hand\r\n[Main]\r\nMeasTime=6\r\nColour=blue\r\n"));
    EXPECT_NE(saved.find("[Notes]\r\nfirst=keep me\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("MeasTime=3"), std::string::npos);
    EXPECT_EQ(saved.find('\n', 0), saved.find("\r\n", 0) + 1); // CR LF line ends
    EXPECT_EQ(load().MeasTime, 6);
}

TEST_F(SettingsFile, PortMappingsAreReadAndWrittenBack)
{
    write("[Ports]\nCOM1=/dev/ttyUSB3\nCOM12=/dev/pts/7\nCOM30=/dev/ignored\n");
    TDati settings = load();
    EXPECT_EQ(settings.Ports, (std::map<int, std::string>{{1, "/dev/ttyUSB3"}, {12, "/dev/pts/7"}}));
    settings.Ports.erase(1);
    settings.Ports[2] = "/dev/ttyACM0";
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(load().Ports, (std::map<int, std::string>{{2, "/dev/ttyACM0"}, {12, "/dev/pts/7"}}));
    EXPECT_NE(content().find("COM30=/dev/ignored"), std::string::npos);
}

TEST_F(SettingsFile, TheSearchedHidIdsAreReadAndWrittenBackAndNeverAdded)
{
    // A file without the key: saved as it was, with no such key.
    const std::string without = "[Ports]\r\nCOM3=/dev/hidraw0\r\n";
    write(without);
    TDati settings = load();
    EXPECT_EQ(settings.HidIds, "");
    EXPECT_EQ(settings.Ports, (std::map<int, std::string>{{3, "/dev/hidraw0"}}));
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(IniFile::Parse(content()).Value("Ports", "HidIds"), std::nullopt);
    EXPECT_EQ(IniFile::Parse(content()).Value("Ports", "COM3"), "/dev/hidraw0");

    // With the key: kept as written, next to the port mappings; cleared, it goes.
    write("[Ports]\r\nHidIds=0665:5161,1234:ABCD\r\nCOM3=/dev/hidraw0\r\n");
    settings = load();
    EXPECT_EQ(settings.HidIds, "0665:5161,1234:ABCD");
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_NE(content().find("[Ports]\r\nHidIds=0665:5161,1234:ABCD\r\nCOM3=/dev/hidraw0\r\n"), std::string::npos);
    settings.HidIds.clear();
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(load().HidIds, "");
    EXPECT_EQ(content().find("HidIds"), std::string::npos);
}

TEST_F(SettingsFile, TheMqttSectionIsWrittenAndReadBack)
{
    write("[Main]\r\nMeasTime=3\r\n");
    TDati settings = load();
    EXPECT_EQ(settings.Mqtt, MqttSettings{});
    // Every field away from its default, so a key read under the wrong name shows.
    settings.Mqtt = {.Enabled = true,
                     .Host = "broker.lan",
                     .Port = 8883,
                     .Username = "solar",
                     .Password = "s3cret=x",
                     .Tls = true,
                     .CaFile = "/etc/ssl/broker-ca.pem",
                     .ClientId = "roof",
                     .TopicPrefix = "home/inverter",
                     .Retain = false,
                     .Discovery = false,
                     .DiscoveryPrefix = "ha",
                     .AllowCommands = true,
                     .DeviceId = "92931509101901"};
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(load(), settings);
    EXPECT_TRUE(content().ends_with("[Mqtt]\r\n"
                                    "Enabled=1\r\n"
                                    "Host=broker.lan\r\n"
                                    "Port=8883\r\n"
                                    "Username=solar\r\n"
                                    "Password=s3cret=x\r\n"
                                    "Tls=1\r\n"
                                    "CaFile=/etc/ssl/broker-ca.pem\r\n"
                                    "ClientId=roof\r\n"
                                    "TopicPrefix=home/inverter\r\n"
                                    "Retain=0\r\n"
                                    "Discovery=0\r\n"
                                    "DiscoveryPrefix=ha\r\n"
                                    "AllowCommands=1\r\n"
                                    "DeviceId=92931509101901\r\n"))
        << content();
}

TEST_F(SettingsFile, TheMqttSectionIsWrittenOnlyOnceItIsInUse)
{
    // A file saved before MQTT existed, with its defaults: saved again byte for byte.
    const std::string before = golden("measTime4.INI");
    write(before);
    TDati settings = load();
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(content(), before);

    // Any value away from its default (here the serial number learned) adds the section.
    settings.Mqtt.DeviceId = "92931509101901";
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(IniFile::Parse(content()).Value("Mqtt", "DeviceId"), "92931509101901");
    EXPECT_TRUE(content().starts_with(before + "\r\n[Mqtt]\r\n")) << content();

    // Once in the file the section stays, also when every value is back to its default.
    settings.Mqtt = {};
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    const IniFile saved = IniFile::Parse(content());
    EXPECT_EQ(saved.Value("Mqtt", "DeviceId"), "");
    EXPECT_EQ(saved.Value("Mqtt", "Host"), "localhost");
    EXPECT_EQ(saved.Value("Mqtt", "Port"), "1883");
    EXPECT_EQ(load(), settings);
}

TEST_F(SettingsFile, TheInverterSectionIsWrittenOnlyOnceItIsInUse)
{
    const std::string before = golden("measTime4.INI");
    write(before);
    TDati settings = load();
    EXPECT_EQ(settings.Inverter, InverterSettings{});
    EXPECT_TRUE(settings.Inverter.MailFaults); // faults are mailed unless the file says no
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(content(), before);

    settings.Inverter = {.MailFaults = false, .MailWarnings = true};
    ASSERT_EQ(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_TRUE(content().ends_with("[Inverter]\r\nMailFaults=0\r\nMailWarnings=1\r\n")) << content();
    EXPECT_EQ(load(), settings);
}

TEST_F(SettingsFile, AnUnreadableMqttValueGivesThatKeysDefault)
{
    const auto with = [](auto change) {
        MqttSettings settings;
        change(settings);
        return settings;
    };
    const MqttSettings defaults;
    const struct {
        const char* line;
        MqttSettings expected;
    } cases[] = {
        {"Port=0", defaults},
        {"Port=65536", defaults},
        {"Port=-1883", defaults},
        {"Port=mqtt", defaults},
        {"Port=", defaults},
        {"Port=1", with([](MqttSettings& m) { m.Port = 1; })},
        {"Port=65535", with([](MqttSettings& m) { m.Port = 65535; })},
        {"Port=$22B3", with([](MqttSettings& m) { m.Port = 8883; })},
        {"Enabled=yes", defaults},
        {"Enabled=2", with([](MqttSettings& m) { m.Enabled = true; })},
        {"Tls=true", defaults},
        {"Retain=no", defaults},
        {"Discovery=", defaults},
        {"AllowCommands=on", defaults},
        // The other keys of the section keep their defaults beside a bad one.
        {"Host=broker\r\nPort=99999\r\nRetain=0",
         with([](MqttSettings& m) {
             m.Host = "broker";
             m.Retain = false;
         })},
    };
    for (const auto& c : cases) {
        write(std::string("[Main]\r\nMeasTime=3\r\n[mqtt]\r\n") + c.line + "\r\n");
        const TDati settings = load();
        EXPECT_EQ(settings.Mqtt, c.expected) << c.line;
        EXPECT_EQ(settings.MeasTime, 3) << c.line;
    }
}

TEST_F(SettingsFile, AFailedSaveLeavesThePreviousFileWhole)
{
    write("[Main]\r\nMeasTime=3\r\n");
    const std::string before = content();
    // A folder where the temporary file goes stops the save, for root too.
    ASSERT_EQ(::mkdir((path + ".tmp").c_str(), 0755), 0);
    TDati settings = load();
    settings.MeasTime = 7;
    EXPECT_NE(SaveSettings(path, settings), FileWriteError::None);
    EXPECT_EQ(content(), before);
}

TEST(SettingsFilePath, ReplacesTheExecutablesExtension)
{
    const struct {
        const char* executable;
        const char* settings;
    } cases[] = {
        {"/opt/quorvane/bin/quorvane", "/opt/quorvane/bin/quorvane.INI"},
        {"/opt/quorvane/bin/quorvane.exe", "/opt/quorvane/bin/quorvane.INI"},
        {"/opt/quorvane.d/bin/quorvane", "/opt/quorvane.d/bin/quorvane.INI"},
        {"/home/me/.hidden", "/home/me/.hidden.INI"},
        {"quorvane", "quorvane.INI"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFilePath(c.executable), c.settings) << c.executable;
}

TEST(MeasuringInterval, Choices)
{
    const int expected[] = {1000, 2000, 5000, 10000, 20000, 60000, 600000, 3600000};
    for (int choice = 0; choice < 8; ++choice)
        EXPECT_EQ(MeasuringIntervalMs(choice), expected[choice]);
    EXPECT_EQ(MeasuringIntervalMs(8), 0);
    EXPECT_EQ(MeasuringIntervalMs(-1), 0);
}
