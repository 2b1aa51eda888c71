#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QStringList>
#include <QTableView>
#include <QTableWidget>
#include <QWidget>

namespace quorvane {

// The rows of one log list as the GUI holds them: each row is its file line, split into cells
// only when the view asks, so 432,000 rows cost little more than their text.
class LogTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogTableModel(int columns, QObject* parent = nullptr) : QAbstractTableModel(parent), m_columns(columns) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows.size(); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_columns; }
    QVariant data(const QModelIndex& index, int role) const override;

    void appendRows(qsizetype first, const QStringList& rows);
    void resetRows(const QStringList& rows);

private:
    int m_columns;
    QStringList m_rows;
};

// TVariablesList, TComputedList, TListEnergy: a tool window with the column names (NameGrid),
// the rows (Grid) and "Lines = " (Label1). Closing only hides it.
// Thread ownership: the GUI thread.
class LogListWindow final : public QWidget {
    Q_OBJECT
public:
    LogListWindow(const QString& className, const QString& caption, QSize clientSize, int columns, int columnWidth,
                  QWidget* parent = nullptr);

    [[nodiscard]] LogTableModel& Model() { return m_model; }
    void setLabels(const QString& caption, const QString& linesText, const QStringList& columnNames);

private:
    LogTableModel m_model;
    QTableWidget* m_nameGrid;
    QTableView* m_grid;
    QLabel* m_lines;
};

} // namespace quorvane
