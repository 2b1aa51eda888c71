#pragma once

#include "config/InverterSettings.h"
#include "config/MqttSettings.h"
#include "core/AtomicFile.h"

#include <QDate>
#include <QDateTime>

#include <array>
#include <map>
#include <string>

namespace quorvane {

class LocaleFormats;

// Every user setting, one field per key of the settings file. Two instances live for the
// whole run: LiveDati, the applied settings everything reads, and EditDati, the settings
// dialog's working copy.
// Thread ownership: the core thread.
struct TDati {
    // [Main]
    int MeasTime = 2;        // measuring interval choice 0..7: 1 s .. 1 h
    int UpdateLog = 2;       // log update interval choice 0..7
    std::string ComPort = "COM1";
    int ComPortIndex = 1;
    int BaudRate = 2400;     // stored only: the line always runs at 2400 baud
    bool AutoSearch = true;
    int RefreshWeb = 1;      // web refresh choice 0..6
    std::string Password;    // of the web interface
    bool ExtView = true;     // stored only
    bool AutoConnect = false;
    bool AutoReConnect = false;

    // [Mail]
    bool AuthRequired = false;
    std::string MailUsername;
    std::string MailPassword;
    std::string Smtp;
    std::string MailPort = "25";
    std::string Address;
    std::string UrlProxy;           // stored only
    std::string PortProxy = "80";   // stored only
    bool ProxyRequired = false;     // stored only
    bool Useinternal = false;

    // [Http]
    std::string HttpPort = "80";
    std::string Title = "Welcome to Home server";
    bool ReqByWeb = false;

    // [Timer], index 0..3 for A..D
    std::array<bool, 4> TimerEnabled{};
    std::array<bool, 4> TimerNext{};   // stored only
    std::array<int, 4> TimerInput{};   // stored only
    std::array<QDateTime, 4> TimeOn;   // today's date plus the stored time of day
    std::array<QDateTime, 4> TimeOff;

    // [BasicInfo] captions in list order; [ComputedInfo] captions and units
    std::array<std::string, 15> BasicCaptions;
    std::array<std::string, 6> Aux;
    std::array<std::string, 6> UnitAux;

    // [Trigger] Out 1..Out 5 and Err (stored only)
    std::array<bool, 5> Out{};
    bool Err = false;

    // [Log] (stored only)
    int Frequency = 0;
    bool EachMonth = false;

    // [LogIn]
    bool LogComputed = true;
    bool LogBasic = true;
    bool LogEvent = true;
    bool LogEnergy = true;

    // [Condition] (stored only)
    int ConditionInput = 0;
    int ConditionOutput = 0;
    int ConditionTime = 0;
    bool ForceON = false;

    // [REBOOT] (stored only)
    int Reboot = 0;

    // [Ports]: "COM" number -> device file, for the serial port names.
    std::map<int, std::string> Ports;
    // [Ports] "HidIds": USB ids ("1234:abcd", comma-separated) of further raw HID devices the
    // port search tries besides the inverters' own; empty: the key is not in the file.
    std::string HidIds;

    // [Mqtt]
    MqttSettings Mqtt;
    // [Inverter]
    InverterSettings Inverter;

    // The defaults of every key, with the times on `today`.
    explicit TDati(const QDate& today = QDate::currentDate());

    bool operator==(const TDati&) const = default;
};

// The keys of [BasicInfo] in list order; also the captions' defaults but one.
extern const std::array<const char*, 15> kBasicInfoKeys;

// The executable's path with its extension replaced by ".INI" ("/opt/q/bin/quorvane" gives
// "/opt/q/bin/quorvane.INI").
[[nodiscard]] std::string SettingsFilePath(const std::string& executablePath);

// Reads the file; a missing file or key gives the defaults, an unreadable value that key's
// default, and so does an MQTT port outside 1..65535. Times come back on `today`; they are
// read as 24-hour "hh:mm:ss" or in the locale's time format, so a file survives a change of
// locale.
[[nodiscard]] TDati LoadSettings(const std::string& path, const LocaleFormats& formats, const QDate& today);

// Writes every key at once, keeping the lines and keys of the file that are not ours. The old
// file stays whole if the save fails. [Mqtt] is written only when the file has it already or
// a value of it differs from its default, so a file that never used MQTT is saved as before.
[[nodiscard]] FileWriteError SaveSettings(const std::string& path, const TDati& settings);

// The measuring interval of a MeasTime choice, in milliseconds; 0 for a choice out of range.
[[nodiscard]] int MeasuringIntervalMs(int measTime);

} // namespace quorvane
