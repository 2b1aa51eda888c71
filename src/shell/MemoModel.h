#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace quorvane {

// The GUI's copy of the event memo, kept up to date from the memo's batches: a batch of new
// lines is one row insertion, so the view never redraws everything per line, also with
// 100,000 lines and hundreds of changes a second.
// Thread ownership: the GUI thread.
class MemoModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_lines.size(); }
    QVariant data(const QModelIndex& index, int role) const override;

    void appendLines(qsizetype first, const QStringList& lines);
    void removeLine(qsizetype index);
    void resetLines(const QStringList& lines);
    [[nodiscard]] const QStringList& Lines() const { return m_lines; }

private:
    QStringList m_lines;
};

} // namespace quorvane
