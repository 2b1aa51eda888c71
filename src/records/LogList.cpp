#include "records/LogList.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Grows a buffer by a quarter at a time, so the slack never exceeds a quarter of the data
// while appends stay constant time on average.
template <typename Buffer>
void reserveFor(Buffer& buffer, size_t needed)
{
    if (needed > buffer.capacity())
        buffer.reserve(std::max(needed, buffer.capacity() + buffer.capacity() / 4 + 4096));
}

} // namespace

LogList::LogList(int columns, std::string designCaption, int extraColumns, QObject* parent)
    : QObject(parent), m_columns(columns), m_extraColumns(extraColumns), m_caption(std::move(designCaption))
{
}

int LogList::ColumnCount() const
{
    const int named = static_cast<int>(m_names.size());
    return std::clamp(named, m_columns, m_columns + m_extraColumns);
}

std::vector<std::string_view> LogList::SplitFields(std::string_view line, int columns)
{
    std::vector<std::string_view> fields;
    while (static_cast<int>(fields.size()) < columns) {
        const auto comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

void LogList::SetColumnNames(const VAR& names)
{
    std::vector<std::string> all{"date"};
    all.insert(all.end(), names.Values.begin(), names.Values.end());
    all.insert(all.end(), names.Extra.begin(), names.Extra.end());
    SetColumnNames(std::move(all));
}

void LogList::SetColumnNames(const VAR_COMP& names)
{
    std::vector<std::string> all{"date"};
    all.insert(all.end(), names.Values.begin(), names.Values.end());
    SetColumnNames(std::move(all));
}

void LogList::SetColumnNames(std::vector<std::string> names)
{
    m_names = std::move(names);
}

void LogList::AddRow(const VAR& row)
{
    addRow(row.Time, row.Date, row.Values, row.Extra);
}

void LogList::AddRow(const VAR_COMP& row)
{
    addRow(row.Time, row.Date, row.Values);
}

void LogList::addRow(const std::string& time, const std::string& date, std::span<const std::string> values,
                     std::span<const std::string> extra)
{
    m_caption = "Day = " + date;
    std::string line = time;
    for (const std::string& value : values) {
        line += ',';
        line += value;
    }
    for (const std::string& value : extra.first(std::min(extra.size(), static_cast<size_t>(m_extraColumns)))) {
        line += ',';
        line += value;
    }
    appendLine(line);
    updateLinesText();
    if (!m_publishScheduled) {
        m_publishScheduled = true;
        QMetaObject::invokeMethod(this, &LogList::publishPending, Qt::QueuedConnection);
    }
}

void LogList::appendLine(std::string_view line)
{
    reserveFor(m_text, m_text.size() + line.size() + kLineEnd.size());
    reserveFor(m_rowStarts, m_rowStarts.size() + 1);
    m_rowStarts.push_back(static_cast<std::uint32_t>(m_text.size()));
    m_text.insert(m_text.end(), line.begin(), line.end());
    m_text.insert(m_text.end(), kLineEnd.begin(), kLineEnd.end());
}

void LogList::ClearRows()
{
    m_text.clear();
    m_text.shrink_to_fit();
    m_rowStarts.clear();
    m_rowStarts.shrink_to_fit();
    m_hiddenBegin = m_hiddenEnd = 0;
    m_firstUnpublished = 0;
    emit reset({});
}

void LogList::SetCaption(std::string caption)
{
    m_caption = std::move(caption);
    publishLabels();
}

QStringList LogList::ShownRows() const
{
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(RowCount()));
    for (size_t index = 0; index < RowCount(); ++index) {
        const std::string_view text = rowText(storedIndex(index));
        rows.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    return rows;
}

void LogList::Republish()
{
    m_firstUnpublished = RowCount();
    emit reset(ShownRows());
    publishLabels();
}

void LogList::publishLabels()
{
    QStringList names;
    for (const auto& name : m_names)
        names.append(QString::fromStdString(name));
    emit labelsChanged(QString::fromStdString(m_caption), QString::fromStdString(m_linesText), names);
}

size_t LogList::Load(std::string_view content, size_t shown)
{
    m_text.clear();
    m_rowStarts.clear();
    m_text.reserve(content.size() + content.size() / 16);
    std::string normalised;
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        normalised.clear();
        const auto fields = SplitFields(line, m_columns + m_extraColumns);
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                normalised += ',';
            normalised += fields[i];
        }
        appendLine(normalised);
    }
    m_hiddenBegin = std::min(shown, m_rowStarts.size());
    m_hiddenEnd = m_rowStarts.size();
    m_firstUnpublished = RowCount();
    updateLinesText();
    emit reset(ShownRows());
    publishLabels();
    return RowCount();
}

size_t LogList::storedIndex(size_t shownIndex) const
{
    return shownIndex < m_hiddenBegin ? shownIndex : shownIndex + hiddenCount();
}

std::string_view LogList::rowText(size_t stored) const
{
    const size_t start = m_rowStarts[stored];
    const size_t end = stored + 1 < m_rowStarts.size() ? m_rowStarts[stored + 1] : m_text.size();
    return FileText().substr(start, end - start - kLineEnd.size());
}

std::vector<std::string> LogList::Row(size_t index) const
{
    std::vector<std::string> cells;
    for (const std::string_view field : SplitFields(rowText(storedIndex(index)), m_columns + m_extraColumns))
        cells.emplace_back(field);
    cells.resize(static_cast<size_t>(ColumnCount()));
    return cells;
}

std::string_view LogList::LastRowLine() const
{
    if (m_rowStarts.empty())
        return {};
    return FileText().substr(m_rowStarts.back());
}

size_t LogList::BytesHeld() const
{
    return m_text.capacity() + m_rowStarts.capacity() * sizeof(std::uint32_t);
}

void LogList::updateLinesText()
{
    m_linesText = "Lines = " + std::to_string(RowCount());
}

void LogList::publishPending()
{
    m_publishScheduled = false;
    if (m_firstUnpublished >= RowCount())
        return;
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(RowCount() - m_firstUnpublished));
    for (size_t index = m_firstUnpublished; index < RowCount(); ++index) {
        const std::string_view text = rowText(storedIndex(index));
        rows.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    const auto first = static_cast<qsizetype>(m_firstUnpublished);
    m_firstUnpublished = RowCount();
    emit rowsAppended(first, rows);
    publishLabels();
}

} // namespace quorvane
