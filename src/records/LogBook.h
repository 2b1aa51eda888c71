#pragma once

#include "core/AtomicFile.h"
#include "records/EnergyRowWriter.h"
#include "records/LogList.h"
#include "records/LogTree.h"

#include <QDate>

#include <optional>
#include <string>

namespace quorvane {

class EventMemo;
class LocaleFormats;
class UserNotifier;
struct ComputedValues;
struct TDati;

// The records the system keeps: the three log lists, the day and month log files, the event
// log and the energy totals. Every rewrite of a file goes through an atomic replace and every
// append is on disk before it counts, so a power cut never costs a household its history.
// A write that fails leaves the previous file as it was and is reported; the caller goes on.
//
// Thread ownership: the core thread.
// Which energies the start-up read back from the files.
struct RestoredEnergies {
    bool Totals = false; // [A] and [B] from the totals file
    bool Today = false;  // today's solar and line energies from today's last energy row
};

class LogBook {
public:
    LogBook(std::string base, const TDati& settings, ComputedValues& computed, EventMemo& memo,
            const LocaleFormats& formats, UserNotifier& person);

    // At start-up: the "Log" root, today's names, the totals, the event memo, then the lists.
    RestoredEnergies StartUp(const QDate& today);

    // The day lists written out whole, as the log of `day`.
    void WriteBasicLog(const QDate& day);
    void WriteComputedLog(const QDate& day);
    // One energy row for `day` with the daily and total energies as they stand (in place of
    // the open row the progress saves keep).
    void AppendEnergyRow(const QDate& day);
    // While the program runs: the day's energy row kept current, the totals and the event log
    // put on disk, without a message box. The first failure, as a memo line's text, or nothing.
    [[nodiscard]] std::optional<std::string> SaveProgress(const QDate& day, const QDate& today);
    void SaveEventLog(const QDate& day);
    bool LoadEventLog();
    // The newest sampled rows put on disk at once, each while its log is enabled.
    void AppendSampledRows(const QDate& day);

    bool LoadTotals(const QDate& today);
    void SaveTotals(const QDate& today);
    bool ReloadBasicList();
    bool ReloadComputedList();
    bool ReloadEnergyList(const QDate& today);

    // "Computed values ( [A] and [B] from " + start date + " )".
    [[nodiscard]] std::string ComputedHeading() const;
    [[nodiscard]] const std::string& TotalsStartDate() const { return m_totalsStartDate; }

    [[nodiscard]] LogTree& Tree() { return m_tree; }
    [[nodiscard]] LogList& BasicList() { return m_basic; }
    [[nodiscard]] LogList& ComputedList() { return m_computed; }
    [[nodiscard]] LogList& EnergyList() { return m_energy; }
    // "Month = " + month + " (updated at midnight)"
    void SetEnergyCaption();

private:
    void writeDayLog(LogList& list, const std::string& path);
    [[nodiscard]] std::string energyRow(const QDate& day) const;
    [[nodiscard]] FileWriteError writeTotals(const QDate& today);
    [[nodiscard]] FileWriteError writeEventLog(const QDate& day);
    void reportFileError(const std::string& path, const char* what);

    LogTree m_tree;
    const TDati& m_settings;
    ComputedValues& m_values;
    EventMemo& m_memo;
    const LocaleFormats& m_formats;
    UserNotifier& m_person;
    // Units with a second PV input add its voltage, current and charging power.
    LogList m_basic{16, "VariablesList", 3};
    LogList m_computed{7, "ComputedList"};
    LogList m_energy{6, "ListEnergy"};
    std::string m_totalsStartDate;
    RestoredEnergies m_restored;
    EnergyRowWriter m_energyRows;
};

} // namespace quorvane
