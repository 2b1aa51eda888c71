#include "records/LogBook.h"

#include "config/Settings.h"
#include "core/AtomicFile.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/NumberText.h"
#include "core/UserNotifier.h"
#include "core/ComputedValues.h"
#include "core/FileText.h"

#include <optional>

namespace quorvane {

namespace {

constexpr int kTotalsFields = 4;

// The last non-empty line of a text.
std::string_view lastLine(std::string_view content)
{
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
        content.remove_suffix(1);
    const auto start = content.rfind('\n');
    return start == std::string_view::npos ? content : content.substr(start + 1);
}

// A reading that stops at the first bad field; what was read before it stays.
class ReadError {};

double numberOrThrow(std::string_view text)
{
    const auto value = ParseNumber(text);
    if (!value)
        throw ReadError{};
    return *value;
}

} // namespace

LogBook::LogBook(std::string base, const TDati& settings, ComputedValues& computed, EventMemo& memo,
                 const LocaleFormats& formats, UserNotifier& person)
    : m_tree(std::move(base), person)
    , m_settings(settings)
    , m_values(computed)
    , m_memo(memo)
    , m_formats(formats)
    , m_person(person)
{
}

RestoredEnergies LogBook::StartUp(const QDate& today)
{
    m_restored = {};
    m_tree.CreateLogRoot();
    m_tree.RollEnergyLogName(today);
    m_tree.RollBasicLogName(today);
    m_tree.RollEventLogName(today);
    m_tree.RollComputedLogName(today);
    m_tree.SetTotalsPath();
    LoadTotals(today);
    LoadEventLog();
    ReloadBasicList();
    ReloadComputedList();
    ReloadEnergyList(today);
    return m_restored;
}

void LogBook::reportFileError(const std::string& path, const char* what)
{
    m_memo.AddEventLine(std::string("Error writing ") + path + ": " + what + ".");
}

void LogBook::writeDayLog(LogList& list, const std::string& path)
{
    const FileWriteError error = WriteFileAtomically(path, list.FileText());
    if (error != FileWriteError::None)
        reportFileError(path, toString(error));
}

void LogBook::WriteBasicLog(const QDate& day)
{
    m_tree.EnsureDayLogName(DayLog::Basic, day);
    writeDayLog(m_basic, m_tree.BasicLogPath());
}

void LogBook::WriteComputedLog(const QDate& day)
{
    m_tree.EnsureDayLogName(DayLog::Computed, day);
    writeDayLog(m_computed, m_tree.ComputedLogPath());
}

void LogBook::AppendSampledRows(const QDate& day)
{
    const std::pair<bool, std::pair<LogList*, DayLog>> logs[] = {
        {m_settings.LogBasic, {&m_basic, DayLog::Basic}},
        {m_settings.LogComputed, {&m_computed, DayLog::Computed}},
    };
    for (const auto& [enabled, target] : logs) {
        const auto [list, log] = target;
        if (!enabled || list->RowCount() == 0)
            continue;
        m_tree.EnsureDayLogName(log, day);
        const std::string& path = log == DayLog::Basic ? m_tree.BasicLogPath() : m_tree.ComputedLogPath();
        const FileWriteError error = AppendDurably(path, list->LastRowLine());
        if (error != FileWriteError::None)
            reportFileError(path, toString(error));
    }
}

std::string LogBook::energyRow(const QDate& day) const
{
    return m_formats.shortDate(day) + "," + FormatFixed3(m_values.Aux1) + "," + FormatFixed3(m_values.Aux3) + ","
           + FormatFixed3(m_values.Aux4) + "," + FormatFixed3(m_values.Aux5) + "," + FormatFixed3(m_values.Aux6)
           + "\r\n";
}

void LogBook::AppendEnergyRow(const QDate& day)
{
    if (m_energyRows.WriteFinal(m_tree.EnergyLogPath(), energyRow(day)) != FileWriteError::None)
        m_person.showWarning("Error writing Energy Log.");
}

std::optional<std::string> LogBook::SaveProgress(const QDate& day, const QDate& today)
{
    std::optional<std::string> failure;
    const auto note = [&failure](const std::string& path, FileWriteError error) {
        if (error != FileWriteError::None && !failure)
            failure = "Error writing " + path + ": " + toString(error) + ".";
    };
    if (m_settings.LogEnergy)
        note(m_tree.EnergyLogPath(), m_energyRows.WriteOpen(m_tree.EnergyLogPath(), energyRow(day)));
    note(m_tree.TotalsPath(), writeTotals(today));
    if (m_settings.LogEvent)
        note(m_tree.EventLogPath(), writeEventLog(day));
    return failure;
}

FileWriteError LogBook::writeEventLog(const QDate& day)
{
    m_tree.EnsureDayLogName(DayLog::Event, day);
    return m_memo.SaveToFile(m_tree.EventLogPath());
}

void LogBook::SaveEventLog(const QDate& day)
{
    const FileWriteError error = writeEventLog(day);
    if (error != FileWriteError::None)
        reportFileError(m_tree.EventLogPath(), toString(error));
}

bool LogBook::LoadEventLog()
{
    return RegularFileExists(m_tree.EventLogPath()) && m_memo.LoadFromFile(m_tree.EventLogPath());
}

std::string LogBook::ComputedHeading() const
{
    return "Computed values ( [A] and [B] from " + m_totalsStartDate + " )";
}

bool LogBook::LoadTotals(const QDate& today)
{
    const auto content = ReadFileText(m_tree.TotalsPath());
    if (!content) {
        m_totalsStartDate = m_formats.shortDate(today);
        return false;
    }
    try {
        // Whole lines; the last one wins.
        const auto fields = LogList::SplitFields(lastLine(*content), kTotalsFields);
        m_totalsStartDate = std::string(fields[0]);
        if (fields.size() < kTotalsFields)
            throw ReadError{};
        m_values.Aux5 = numberOrThrow(fields[2]);
        m_values.Aux6 = numberOrThrow(fields[3]);
        m_restored.Totals = true;
    } catch (const ReadError&) {
        m_person.showWarning("Error reading Total Energy Log."); // also on record in the memo
        return false;
    }
    return true;
}

FileWriteError LogBook::writeTotals(const QDate& today)
{
    const std::string todayText = m_formats.shortDate(today);
    if (m_totalsStartDate.empty())
        m_totalsStartDate = todayText;
    const std::string start = RegularFileExists(m_tree.TotalsPath()) ? m_totalsStartDate : todayText;
    const std::string line =
        start + "," + todayText + "," + FormatFixed3(m_values.Aux5) + "," + FormatFixed3(m_values.Aux6) + "\r\n";
    return WriteFileAtomically(m_tree.TotalsPath(), line);
}

void LogBook::SaveTotals(const QDate& today)
{
    if (writeTotals(today) != FileWriteError::None)
        m_person.showWarning("Error writing Total Energy Log.");
}

bool LogBook::ReloadBasicList()
{
    m_basic.ClearRows();
    if (!RegularFileExists(m_tree.BasicLogPath()))
        return false;
    const auto content = ReadFileText(m_tree.BasicLogPath());
    if (!content) {
        m_person.showWarning("Error reading Variables Log.");
        return false;
    }
    m_basic.Load(*content);
    VAR names;
    std::copy(m_settings.BasicCaptions.begin(), m_settings.BasicCaptions.end(), names.Values.begin());
    m_basic.SetColumnNames(names);
    return true;
}

bool LogBook::ReloadComputedList()
{
    m_computed.ClearRows();
    const auto content = ReadFileText(m_tree.ComputedLogPath());
    if (!content)
        return false;
    m_computed.Load(*content);
    VAR_COMP names;
    std::copy(m_settings.Aux.begin(), m_settings.Aux.end(), names.Values.begin());
    m_computed.SetColumnNames(names);
    return true;
}

void LogBook::SetEnergyCaption()
{
    m_energy.SetCaption("Month = " + m_tree.MonthText() + " (updated at midnight)");
}

bool LogBook::ReloadEnergyList(const QDate& today)
{
    m_energy.ClearRows();
    const auto content = ReadFileText(m_tree.EnergyLogPath());
    if (!content)
        return false;
    m_energy.SetColumnNames(std::vector<std::string>{"Date", "Sol. Energy", "Line. Energy (app)", "Line Energy (act)",
                                                     "Total Solar Energy", "Total Line Energy"});
    SetEnergyCaption();
    m_energy.Load(*content);
    try {
        const std::string_view last = lastLine(*content);
        if (last.empty())
            return true;
        const auto fields = LogList::SplitFields(last, m_energy.ColumnCount());
        const auto date = m_formats.parseShortDate(fields[0]);
        if (!date)
            throw ReadError{};
        // The day's energies resume from the last row of today (the one a close wrote).
        if (*date == today && fields.size() >= 4 && !fields[1].empty()) {
            m_values.Aux1 = numberOrThrow(fields[1]);
            m_values.Aux3 = numberOrThrow(fields[2]);
            m_values.Aux4 = numberOrThrow(fields[3]);
            m_restored.Today = true;
        }
    } catch (const ReadError&) {
        m_person.showWarning("Error reading Energy log file."); // also on record in the memo
        return false;
    }
    return true;
}

} // namespace quorvane
