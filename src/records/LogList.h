#pragma once

#include <QObject>
#include <QStringList>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// A sampled row of the basic-variables list: time, date, then the fifteen values (or the
// fifteen names) in display order, then the values a unit has beyond them (its second PV
// input's), if any.
struct VAR {
    std::string Time;
    std::string Date;
    std::array<std::string, 15> Values;
    std::vector<std::string> Extra{};
};

// A sampled row of the computed-variables list: time, date, then Aux1..Aux6.
struct VAR_COMP {
    std::string Time;
    std::string Date;
    std::array<std::string, 6> Values;
};

// One of the three log lists: the day's basic or computed rows, or the month's energy rows.
// The day lists are the in-memory logs of the day: their text is exactly the day file.
//
// Rows are kept as the file's own text (fields joined by "," and ended by CR LF) in one
// growing buffer with an index of where each row starts, so a day of 432,000 rows costs
// little more than its text, appending is constant time and writing the file is one copy.
// As a grid the list always ends with one empty row, the one the next sample fills.
//
// Rows of a reloaded file beyond the number shown stay in the list, unseen, and are written
// back with the others.
//
// Thread ownership: the core thread. Views follow through `rowsAppended` (every new row since
// the last emission in one batch) and `reset`.
class LogList final : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kReloadShown = 1500;

    // `extraColumns`: columns a row may have beyond `columns` (for some units only); they are
    // shown once the column names include them.
    LogList(int columns, std::string designCaption, int extraColumns = 0, QObject* parent = nullptr);

    // Column names: "date" (the time column) and the value names.
    void SetColumnNames(const VAR& names);
    void SetColumnNames(const VAR_COMP& names);
    void SetColumnNames(std::vector<std::string> names);
    // The empty last row takes the time and the values; the caption becomes "Day = " + date.
    void AddRow(const VAR& row);
    void AddRow(const VAR_COMP& row);
    // Empties the list; the caption and the "Lines = " text stay until the next row.
    void ClearRows();
    void SetCaption(std::string caption);
    // Replaces the rows with the lines of a file (CR LF or LF), each cut to the list's
    // columns. Rows after `shown` are kept for the next write but not shown. Returns the
    // number of rows shown.
    size_t Load(std::string_view content, size_t shown = kReloadShown);

    // The columns shown: the list's own, and the extra ones the names include.
    [[nodiscard]] int ColumnCount() const;
    [[nodiscard]] const std::vector<std::string>& ColumnNames() const { return m_names; }
    [[nodiscard]] size_t RowCount() const { return m_rowStarts.size() - hiddenCount(); }
    // Grid rows, the empty last one included.
    [[nodiscard]] size_t GridRowCount() const { return RowCount() + 1; }
    [[nodiscard]] std::vector<std::string> Row(size_t index) const;
    [[nodiscard]] const std::string& Caption() const { return m_caption; }
    [[nodiscard]] const std::string& LinesText() const { return m_linesText; }

    // The file text of all rows, unseen ones included.
    [[nodiscard]] std::string_view FileText() const { return {m_text.data(), m_text.size()}; }
    // The newest row as a file line, for putting each sample on disk as it is taken.
    [[nodiscard]] std::string_view LastRowLine() const;
    // Bytes held for the rows (buffer and index), to compare with the rows' own text.
    [[nodiscard]] size_t BytesHeld() const;

    // Splits a line at "," into at most `columns` fields; the last field ends at the next ","
    // and anything after it is dropped.
    [[nodiscard]] static std::vector<std::string_view> SplitFields(std::string_view line, int columns);

    // The shown rows as file lines (without their line ends), for a view that starts afresh.
    [[nodiscard]] QStringList ShownRows() const;
    // Sends the whole list again (to a view that has just been attached).
    void Republish();

signals:
    void rowsAppended(qsizetype firstIndex, const QStringList& rows);
    void reset(const QStringList& rows);
    // Caption, "Lines = " text and column names, after they may have changed.
    void labelsChanged(const QString& caption, const QString& linesText, const QStringList& columnNames);

private:
    void addRow(const std::string& time, const std::string& date, std::span<const std::string> values,
                std::span<const std::string> extra = {});
    void appendLine(std::string_view line);
    [[nodiscard]] size_t hiddenCount() const { return m_hiddenEnd - m_hiddenBegin; }
    [[nodiscard]] size_t storedIndex(size_t shownIndex) const;
    [[nodiscard]] std::string_view rowText(size_t storedIndex) const;
    void updateLinesText();
    void publishPending();
    void publishLabels();

    int m_columns;
    int m_extraColumns;
    std::vector<std::string> m_names;
    std::string m_caption;
    std::string m_linesText = "Lines = 0";
    std::vector<char> m_text;        // rows as file lines (a vector: it grows exactly as reserved)
    std::vector<std::uint32_t> m_rowStarts; // where each row starts in m_text (a day is far below 4 GiB)
    size_t m_hiddenBegin = 0;        // stored rows [begin, end) are not shown
    size_t m_hiddenEnd = 0;
    size_t m_firstUnpublished = 0;   // shown index
    bool m_publishScheduled = false;
};

} // namespace quorvane
