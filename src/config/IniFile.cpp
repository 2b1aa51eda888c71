#include "config/IniFile.h"

#include <algorithm>
#include <utility>
#include <cctype>

namespace quorvane {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The lower-case key of a "key=value" line; empty for comments, blanks and anything else.
std::string keyOf(std::string_view line)
{
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == ';' || content.front() == '#')
        return {};
    const auto equals = content.find('=');
    if (equals == std::string_view::npos)
        return {};
    return lowered(trimmed(content.substr(0, equals)));
}

} // namespace

IniFile IniFile::Parse(std::string_view content)
{
    IniFile file;
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::string_view body = trimmed(line);
        if (body.size() >= 2 && body.front() == '[' && body.find(']') != std::string_view::npos) {
            const std::string_view name = trimmed(body.substr(1, body.find(']') - 1));
            file.m_sections.push_back({std::string(line), lowered(name), {}});
            continue;
        }
        Line parsed{std::string(line), keyOf(line)};
        if (file.m_sections.empty())
            file.m_preamble.push_back(std::move(parsed));
        else
            file.m_sections.back().lines.push_back(std::move(parsed));
    }
    return file;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const
{
    const std::string wanted = lowered(name);
    const auto found = std::find_if(m_sections.begin(), m_sections.end(),
                                    [&](const Section& section) { return section.name == wanted; });
    return found == m_sections.end() ? nullptr : &*found;
}

IniFile::Section* IniFile::findSection(std::string_view name)
{
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const
{
    const Section* found = findSection(section);
    if (found == nullptr)
        return std::nullopt;
    const std::string wanted = lowered(key);
    for (const Line& line : found->lines) {
        if (line.key == wanted) {
            const std::string_view text = line.text;
            return std::string(trimmed(text.substr(text.find('=') + 1)));
        }
    }
    return std::nullopt;
}

bool IniFile::HasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

void IniFile::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    Section* target = findSection(section);
    if (target == nullptr) {
        if (!m_sections.empty() || !m_preamble.empty())
            (m_sections.empty() ? m_preamble : m_sections.back().lines).push_back({"", ""});
        m_sections.push_back({"[" + std::string(section) + "]", lowered(section), {}});
        target = &m_sections.back();
    }
    const std::string wanted = lowered(key);
    Line replacement{std::string(key) + "=" + std::string(value), wanted};
    for (Line& line : target->lines) {
        if (line.key == wanted) {
            line = std::move(replacement);
            return;
        }
    }
    // New keys go after the section's last key, before the blank lines that part sections.
    auto position = target->lines.end();
    while (position != target->lines.begin() && trimmed((position - 1)->text).empty())
        --position;
    target->lines.insert(position, std::move(replacement));
}

void IniFile::RemoveKey(std::string_view section, std::string_view key)
{
    Section* target = findSection(section);
    if (target == nullptr)
        return;
    const std::string wanted = lowered(key);
    std::erase_if(target->lines, [&](const Line& line) { return line.key == wanted; });
}

std::string IniFile::Serialize() const
{
    std::string text;
    auto emit = [&text](const std::string& line) {
        text += line;
        text += "\r\n";
    };
    for (const Line& line : m_preamble)
        emit(line.text);
    for (const Section& section : m_sections) {
        emit(section.header);
        for (const Line& line : section.lines)
            emit(line.text);
    }
    return text;
}

} // namespace quorvane
