#include "shell/LogListWindow.h"

#include <QHeaderView>
#include <QVBoxLayout>

namespace quorvane {

QVariant LogTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    const QString& row = m_rows.at(index.row());
    // The index-th field; a line never has more fields than the list's columns.
    return row.section(',', index.column(), index.column());
}

void LogTableModel::appendRows(qsizetype first, const QStringList& rows)
{
    if (rows.isEmpty() || first != m_rows.size())
        return;
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + rows.size() - 1));
    m_rows.append(rows);
    endInsertRows();
}

void LogTableModel::resetRows(const QStringList& rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

LogListWindow::LogListWindow(const QString& className, const QString& caption, QSize clientSize, int columns,
                             int columnWidth, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_model(columns, this)
{
    setObjectName(className);
    setWindowTitle(caption);
    setAttribute(Qt::WA_StyledBackground, true); // a plain QWidget paints a style sheet's background only so
    resize(clientSize);
    m_nameGrid = new QTableWidget(1, columns, this);
    m_nameGrid->setObjectName("NameGrid");
    m_nameGrid->horizontalHeader()->hide();
    m_nameGrid->verticalHeader()->hide();
    m_nameGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_nameGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_nameGrid->horizontalHeader()->setDefaultSectionSize(columnWidth);
    m_nameGrid->setFixedHeight(m_nameGrid->verticalHeader()->defaultSectionSize() + 4);
    m_grid = new QTableView(this);
    m_grid->setObjectName("Grid");
    m_grid->setModel(&m_model);
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setDefaultSectionSize(columnWidth);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed); // no per-row measuring
    m_lines = new QLabel("Lines = 0", this);
    m_lines->setObjectName("Label1");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_nameGrid);
    layout->addWidget(m_grid);
    layout->addWidget(m_lines);
}

void LogListWindow::setLabels(const QString& caption, const QString& linesText, const QStringList& columnNames)
{
    setWindowTitle(caption);
    m_lines->setText(linesText);
    for (int column = 0; column < columnNames.size() && column < m_nameGrid->columnCount(); ++column)
        m_nameGrid->setItem(0, column, new QTableWidgetItem(columnNames.at(column)));
}

} // namespace quorvane
