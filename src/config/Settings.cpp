#include "config/Settings.h"

#include "config/IniFile.h"
#include "core/LocaleFormats.h"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>

namespace quorvane {

const std::array<const char*, 15> kBasicInfoKeys = {
    "AC Voltage",          "AC Frequency",          "PV Input Voltage",    "PV Input Corrent",
    "Battery Voltage",     "Battery Capacity",      "Charging Current",    "Discharge Current",
    "Output Frequency",    "Output Voltage",        "Output Apparent Power", "Output Active Power",
    "Load Percent",        "Inverter Heat Sink temperature", "Bus Voltage",
};

namespace {

constexpr std::array<const char*, 6> kAuxDefaults = {
    "Solar Energy (24h)", "Solar Power", "Line Energy (app)", "Line Energy (act)", "[A]Total Solar Energy",
    "[B]Total Line Energy",
};
constexpr std::array<const char*, 6> kUnitDefaults = {"kWh", "W", "kWh", "kWh", "kWh", "kWh"};
constexpr std::array<const char*, 4> kTimerLetters = {"A", "B", "C", "D"};
constexpr int kPortKeys = 29;
constexpr std::string_view kHidIdsKey = "HidIds";
constexpr std::string_view kMqttSection = "Mqtt";
constexpr std::string_view kInverterSection = "Inverter";

// Calls visit(section, key, field) for every setting, in the order the file is written.
// Load and save share this one list, so a key can never be read under one name and written
// under another.
template <typename Dati, typename Visit>
void visitSettings(Dati& d, Visit&& visit)
{
    visit("Main", "MeasTime", d.MeasTime);
    visit("Main", "UpdateLog", d.UpdateLog);
    visit("Main", "RefreshWeb", d.RefreshWeb);
    visit("Main", "COM PORT", d.ComPort);
    visit("Main", "COM PORT index", d.ComPortIndex);
    visit("Main", "AutoSearch", d.AutoSearch);
    visit("Main", "Baud rate", d.BaudRate);
    visit("Main", "Password", d.Password);
    visit("Main", "Ext view", d.ExtView);
    visit("Main", "AutoConnect", d.AutoConnect);
    visit("Main", "AutoReConnect", d.AutoReConnect);

    visit("Mail", "AuthRequired", d.AuthRequired);
    visit("Mail", "Username", d.MailUsername);
    visit("Mail", "Password", d.MailPassword);
    visit("Mail", "SMTP", d.Smtp);
    visit("Mail", "Port", d.MailPort);
    visit("Mail", "Address", d.Address);
    visit("Mail", "Url Proxy", d.UrlProxy);
    visit("Mail", "Port Proxy", d.PortProxy);
    visit("Mail", "ProxyRequired", d.ProxyRequired);
    visit("Mail", "Useinternal", d.Useinternal);

    visit("Http", "Port", d.HttpPort);
    visit("Http", "Title", d.Title);
    visit("Http", "ReqByWeb", d.ReqByWeb);

    for (size_t i = 0; i < 4; ++i)
        visit("Timer", kTimerLetters[i], d.TimerEnabled[i]);
    for (size_t i = 0; i < 4; ++i)
        visit("Timer", std::string(kTimerLetters[i]) + "next", d.TimerNext[i]);
    for (size_t i = 0; i < 4; ++i)
        visit("Timer", std::string(kTimerLetters[i]) + " input", d.TimerInput[i]);
    for (size_t i = 0; i < 4; ++i)
        visit("Timer", "Time " + std::string(kTimerLetters[i]) + " ON", d.TimeOn[i]);
    for (size_t i = 0; i < 4; ++i)
        visit("Timer", "Time " + std::string(kTimerLetters[i]) + " OFF", d.TimeOff[i]);

    for (size_t i = 0; i < kBasicInfoKeys.size(); ++i)
        visit("BasicInfo", kBasicInfoKeys[i], d.BasicCaptions[i]);
    for (size_t i = 0; i < 6; ++i)
        visit("ComputedInfo", "Aux" + std::to_string(i + 1), d.Aux[i]);
    for (size_t i = 0; i < 6; ++i)
        visit("ComputedInfo", "UnitAux" + std::to_string(i + 1), d.UnitAux[i]);

    for (size_t i = 0; i < 5; ++i)
        visit("Trigger", "Out " + std::to_string(i + 1), d.Out[i]);
    visit("Trigger", "Err", d.Err);

    visit("Log", "Frequency", d.Frequency);
    visit("Log", "EachMonth", d.EachMonth);

    visit("LogIn", "LogComputed", d.LogComputed);
    visit("LogIn", "LogBasic", d.LogBasic);
    visit("LogIn", "LogEvent", d.LogEvent);
    visit("LogIn", "LogEnergy", d.LogEnergy);

    visit("Condition", "input", d.ConditionInput);
    visit("Condition", "output", d.ConditionOutput);
    visit("Condition", "Time", d.ConditionTime);
    visit("Condition", "ForceON", d.ForceON);

    visit("REBOOT", "Reboot", d.Reboot);
}

// The [Mqtt] keys, kept apart from visitSettings because the section is not always written.
template <typename Mqtt, typename Visit>
void visitMqttSettings(Mqtt& m, Visit&& visit)
{
    visit(kMqttSection, "Enabled", m.Enabled);
    visit(kMqttSection, "Host", m.Host);
    visit(kMqttSection, "Port", m.Port);
    visit(kMqttSection, "Username", m.Username);
    visit(kMqttSection, "Password", m.Password);
    visit(kMqttSection, "Tls", m.Tls);
    visit(kMqttSection, "CaFile", m.CaFile);
    visit(kMqttSection, "ClientId", m.ClientId);
    visit(kMqttSection, "TopicPrefix", m.TopicPrefix);
    visit(kMqttSection, "Retain", m.Retain);
    visit(kMqttSection, "Discovery", m.Discovery);
    visit(kMqttSection, "DiscoveryPrefix", m.DiscoveryPrefix);
    visit(kMqttSection, "AllowCommands", m.AllowCommands);
    visit(kMqttSection, "DeviceId", m.DeviceId);
}

// The [Inverter] keys, kept apart for the same reason.
template <typename Inverter, typename Visit>
void visitInverterSettings(Inverter& i, Visit&& visit)
{
    visit(kInverterSection, "MailFaults", i.MailFaults);
    visit(kInverterSection, "MailWarnings", i.MailWarnings);
}

// Decimal, or hexadecimal after "$" or "0x", with one sign in front; the whole text must be
// the number.
std::optional<int> parseInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with('$')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    // The digits are read without a sign of their own, so no second sign gets in and the
    // sign is applied to a magnitude that is known to fit.
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    const std::uint64_t largest = negative ? std::uint64_t{1} << 31 : INT32_MAX;
    if (magnitude > largest)
        return std::nullopt;
    const auto value = static_cast<std::int64_t>(magnitude);
    return static_cast<int>(negative ? -value : value);
}

std::optional<QTime> parseTimeOfDay(const std::string& text, const LocaleFormats& formats)
{
    for (const char* pattern : {"H:mm:ss", "H:m:s", "H:mm"}) {
        const QTime time = QTime::fromString(QString::fromStdString(text), pattern);
        if (time.isValid())
            return time;
    }
    return formats.parseLongTime(text);
}

class SettingsReader {
public:
    SettingsReader(const IniFile& file, const LocaleFormats& formats, const QDate& today)
        : m_file(file), m_formats(formats), m_today(today)
    {
    }

    void operator()(std::string_view section, const std::string& key, std::string& field) const
    {
        if (const auto value = m_file.Value(section, key))
            field = *value;
    }
    void operator()(std::string_view section, const std::string& key, int& field) const
    {
        if (const auto value = m_file.Value(section, key))
            field = parseInteger(*value).value_or(field);
    }
    void operator()(std::string_view section, const std::string& key, bool& field) const
    {
        if (const auto value = m_file.Value(section, key)) {
            if (const auto number = parseInteger(*value))
                field = *number != 0;
        }
    }
    void operator()(std::string_view section, const std::string& key, QDateTime& field) const
    {
        // An empty or unreadable time is midnight; whole seconds only.
        const auto value = m_file.Value(section, key);
        QTime time = value ? parseTimeOfDay(*value, m_formats).value_or(QTime(0, 0)) : field.time();
        time = QTime(time.hour(), time.minute(), time.second());
        field = QDateTime(m_today, time);
    }

private:
    const IniFile& m_file;
    const LocaleFormats& m_formats;
    QDate m_today;
};

class SettingsWriter {
public:
    explicit SettingsWriter(IniFile& file) : m_file(file) {}

    void operator()(std::string_view section, const std::string& key, const std::string& field) const
    {
        m_file.SetValue(section, key, field);
    }
    void operator()(std::string_view section, const std::string& key, int field) const
    {
        m_file.SetValue(section, key, std::to_string(field));
    }
    void operator()(std::string_view section, const std::string& key, bool field) const
    {
        m_file.SetValue(section, key, field ? "1" : "0");
    }
    void operator()(std::string_view section, const std::string& key, const QDateTime& field) const
    {
        m_file.SetValue(section, key, field.time().toString("HH:mm:ss").toStdString());
    }

private:
    IniFile& m_file;
};

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TDati::TDati(const QDate& today)
{
    for (size_t i = 0; i < BasicCaptions.size(); ++i)
        BasicCaptions[i] = kBasicInfoKeys[i];
    BasicCaptions[13] = "Inverter HS Temperature";
    for (size_t i = 0; i < Aux.size(); ++i) {
        Aux[i] = kAuxDefaults[i];
        UnitAux[i] = kUnitDefaults[i];
    }
    for (auto& time : TimeOn)
        time = QDateTime(today, QTime(0, 0));
    for (auto& time : TimeOff)
        time = QDateTime(today, QTime(0, 0));
}

std::string SettingsFilePath(const std::string& executablePath)
{
    const auto slash = executablePath.rfind('/');
    const auto dot = executablePath.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".INI";
}

TDati LoadSettings(const std::string& path, const LocaleFormats& formats, const QDate& today)
{
    TDati settings(today);
    const IniFile file = IniFile::Parse(readWholeFile(path).value_or(""));
    visitSettings(settings, SettingsReader(file, formats, today));
    for (int number = 1; number <= kPortKeys; ++number) {
        if (const auto device = file.Value("Ports", "COM" + std::to_string(number)); device && !device->empty())
            settings.Ports[number] = *device;
    }
    settings.HidIds = file.Value("Ports", kHidIdsKey).value_or("");
    visitMqttSettings(settings.Mqtt, SettingsReader(file, formats, today));
    if (settings.Mqtt.Port < 1 || settings.Mqtt.Port > 65535)
        settings.Mqtt.Port = MqttSettings{}.Port;
    visitInverterSettings(settings.Inverter, SettingsReader(file, formats, today));
    return settings;
}

FileWriteError SaveSettings(const std::string& path, const TDati& settings)
{
    IniFile file = IniFile::Parse(readWholeFile(path).value_or(""));
    visitSettings(settings, SettingsWriter(file));
    for (int number = 1; number <= kPortKeys; ++number) {
        const std::string key = "COM" + std::to_string(number);
        if (const auto mapped = settings.Ports.find(number); mapped != settings.Ports.end() && !mapped->second.empty())
            file.SetValue("Ports", key, mapped->second);
        else
            file.RemoveKey("Ports", key);
    }
    // A file that never had the key does not get it.
    if (settings.HidIds.empty())
        file.RemoveKey("Ports", kHidIdsKey);
    else
        file.SetValue("Ports", kHidIdsKey, settings.HidIds);
    // Sections a file did not have are added only once they hold something but defaults, so
    // files written before them stay as they were.
    if (file.HasSection(kMqttSection) || settings.Mqtt != MqttSettings{})
        visitMqttSettings(settings.Mqtt, SettingsWriter(file));
    if (file.HasSection(kInverterSection) || settings.Inverter != InverterSettings{})
        visitInverterSettings(settings.Inverter, SettingsWriter(file));
    return WriteFileAtomically(path, file.Serialize());
}

int MeasuringIntervalMs(int measTime)
{
    static constexpr std::array<int, 8> kIntervals = {1000, 2000, 5000, 10000, 20000, 60000, 600000, 3600000};
    return measTime >= 0 && measTime < static_cast<int>(kIntervals.size()) ? kIntervals[static_cast<size_t>(measTime)] : 0;
}

} // namespace quorvane
