#pragma once

#include <QDate>

#include <string>

namespace quorvane {

class UserNotifier;

enum class DayLog { Basic, Computed, Event };

// Where the records live: one tree under "Log" in the program's folder,
//   Log/EnergyTotalSolar.csv
//   Log/LogEnergy/Y/M/EnergyLog_M-Y.csv
//   Log/LogVariables/Y/M/D/BasicLog_D-M-Y.csv
//   Log/LogComputed/Y/M/D/ComputedLog_D-M-Y.csv
//   Log/LogEvent/Y/M/D/EventLogD-M-Y.txt
// with no leading zeros. A folder that cannot be made sends the log to a fallback name in
// the program's folder.
// Thread ownership: the core thread.
class LogTree {
public:
    // `base` is the folder that holds "Log" (the current folder when empty).
    LogTree(std::string base, UserNotifier& person);

    // Makes "Log" when it is missing; run once at start-up.
    void CreateLogRoot();
    // Each roll names its log for `day`, making the folders level by level; the energy roll
    // returns the month number as text.
    std::string RollEnergyLogName(const QDate& day);
    void RollBasicLogName(const QDate& day);
    void RollComputedLogName(const QDate& day);
    void RollEventLogName(const QDate& day);
    void SetTotalsPath();
    // Rolls a day log's name to `day` unless it already names that day, so rows of one day
    // never overwrite the file of another (a log switched off over a day change keeps the
    // name of its last roll).
    void EnsureDayLogName(DayLog log, const QDate& day);

    // Where the log of `day` (of its month, for the energy log) is when its folders could be
    // made, as they can but on a broken disk; makes nothing. Any thread.
    [[nodiscard]] static std::string UsualDayLogPath(const std::string& base, DayLog log, const QDate& day);
    [[nodiscard]] static std::string UsualEnergyLogPath(const std::string& base, const QDate& day);

    [[nodiscard]] const std::string& EnergyLogPath() const { return m_energyLogPath; }
    [[nodiscard]] const std::string& BasicLogPath() const { return m_basicLogPath; }
    [[nodiscard]] const std::string& ComputedLogPath() const { return m_computedLogPath; }
    [[nodiscard]] const std::string& EventLogPath() const { return m_eventLogPath; }
    [[nodiscard]] const std::string& TotalsPath() const { return m_totalsPath; }
    [[nodiscard]] const std::string& MonthText() const { return m_monthText; }

private:
    struct DayLogNames {
        const char* top;
        const char* prefix;
        const char* extension;
        const char* fallbackPrefix;
        const char* message;
    };
    std::string rollDayLog(const DayLogNames& names, const QDate& day);
    [[nodiscard]] std::string inBase(const std::string& relative) const;
    // Makes each missing level in turn; false at the first that cannot be made.
    bool makeLevel(const std::string& relative) const;

    std::string m_base;
    UserNotifier& m_person;
    std::string m_energyLogPath;
    std::string m_basicLogPath;
    std::string m_computedLogPath;
    std::string m_eventLogPath;
    std::string m_totalsPath;
    std::string m_monthText;
    QDate m_basicDay;
    QDate m_computedDay;
    QDate m_eventDay;
};

} // namespace quorvane
