#include "records/LogTree.h"

#include "core/UserNotifier.h"

#include <sys/stat.h>

#include <cerrno>

namespace quorvane {

namespace {

constexpr const char* kRoot = "Log";

std::string number(int value)
{
    return std::to_string(value);
}

// "D-M-Y" with no leading zeros.
std::string dayText(const QDate& day)
{
    return number(day.day()) + "-" + number(day.month()) + "-" + number(day.year());
}

} // namespace

std::string LogTree::UsualDayLogPath(const std::string& base, DayLog log, const QDate& day)
{
    const char* top = log == DayLog::Basic ? "LogVariables" : log == DayLog::Computed ? "LogComputed" : "LogEvent";
    const char* prefix = log == DayLog::Basic ? "BasicLog_" : log == DayLog::Computed ? "ComputedLog_" : "EventLog";
    const char* extension = log == DayLog::Event ? ".txt" : ".csv";
    const std::string relative = std::string(kRoot) + "/" + top + "/" + number(day.year()) + "/" + number(day.month())
                                 + "/" + number(day.day()) + "/" + prefix + dayText(day) + extension;
    return base.empty() ? relative : base + "/" + relative;
}

std::string LogTree::UsualEnergyLogPath(const std::string& base, const QDate& day)
{
    const std::string relative = std::string(kRoot) + "/LogEnergy/" + number(day.year()) + "/" + number(day.month())
                                 + "/EnergyLog_" + number(day.month()) + "-" + number(day.year()) + ".csv";
    return base.empty() ? relative : base + "/" + relative;
}

LogTree::LogTree(std::string base, UserNotifier& person) : m_base(std::move(base)), m_person(person) {}

std::string LogTree::inBase(const std::string& relative) const
{
    return m_base.empty() ? relative : m_base + "/" + relative;
}

bool LogTree::makeLevel(const std::string& relative) const
{
    const std::string path = inBase(relative);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    return ::mkdir(path.c_str(), 0777) == 0;
}

void LogTree::CreateLogRoot()
{
    if (!makeLevel(kRoot))
        m_person.showMessage("Cannot create Directory for log file. Current directory will be used.");
}

std::string LogTree::RollEnergyLogName(const QDate& day)
{
    const std::string top = std::string(kRoot) + "/LogEnergy";
    const std::string year = top + "/" + number(day.year());
    const std::string month = year + "/" + number(day.month());
    const std::string monthYear = number(day.month()) + "-" + number(day.year()) + ".csv";
    m_monthText = number(day.month());
    const bool topMade = makeLevel(top);
    if (!topMade)
        m_person.showMessage("Cannot create Directory for Energy log file. Current directory will be used.");
    if (topMade && makeLevel(year) && makeLevel(month))
        m_energyLogPath = inBase(month + "/EnergyLog_" + monthYear);
    else
        m_energyLogPath = inBase("EmergencyNameEnergy" + monthYear);
    return m_monthText;
}

std::string LogTree::rollDayLog(const DayLogNames& names, const QDate& day)
{
    const std::string top = std::string(kRoot) + "/" + names.top;
    const std::string year = top + "/" + number(day.year());
    const std::string month = year + "/" + number(day.month());
    const std::string dayFolder = month + "/" + number(day.day());
    const std::string fallback = inBase(names.fallbackPrefix + dayText(day) + names.extension);
    if (!makeLevel(top)) {
        m_person.showMessage(names.message);
        return fallback;
    }
    if (!makeLevel(year) || !makeLevel(month) || !makeLevel(dayFolder))
        return fallback;
    return inBase(dayFolder + "/" + names.prefix + dayText(day) + names.extension);
}

void LogTree::RollBasicLogName(const QDate& day)
{
    m_basicLogPath = rollDayLog({"LogVariables", "BasicLog_", ".csv", "EmergencyNameVariables",
                                 "Cannot create Directory for Variables log file. Current directory will be used."},
                                day);
    m_basicDay = day;
}

void LogTree::RollComputedLogName(const QDate& day)
{
    m_computedLogPath =
        rollDayLog({"LogComputed", "ComputedLog_", ".csv", "EmergencyComputedNameVariables",
                    "Cannot create Directory for Computed Variables log file. Current directory will be used."},
                   day);
    m_computedDay = day;
}

void LogTree::RollEventLogName(const QDate& day)
{
    m_eventLogPath = rollDayLog({"LogEvent", "EventLog", ".txt", "EmergencyNameEvent",
                                 "Cannot create Directory for Event log file. Current directory will be used."},
                                day);
    m_eventDay = day;
}

void LogTree::SetTotalsPath()
{
    m_totalsPath = inBase(std::string(kRoot) + "/EnergyTotalSolar.csv");
}

void LogTree::EnsureDayLogName(DayLog log, const QDate& day)
{
    switch (log) {
    case DayLog::Basic:
        if (m_basicDay != day)
            RollBasicLogName(day);
        break;
    case DayLog::Computed:
        if (m_computedDay != day)
            RollComputedLogName(day);
        break;
    case DayLog::Event:
        if (m_eventDay != day)
            RollEventLogName(day);
        break;
    }
}

} // namespace quorvane
