#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// A Windows-style INI file held as its lines, so that saving it back changes only the keys
// that were set: comments, blank lines, unknown sections and unknown keys stay as they were.
// Section and key names match without regard to letter case; values are unquoted and lose
// the blanks around them. Reads LF and CR LF files; writes CR LF.
class IniFile {
public:
    [[nodiscard]] static IniFile Parse(std::string_view content);

    // The first value of the key in the first section of that name.
    [[nodiscard]] std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    [[nodiscard]] bool HasSection(std::string_view section) const;
    // Replaces the key's line, or adds it at the end of its section (the section at the end
    // of the file when it is new).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    void RemoveKey(std::string_view section, std::string_view key);

    [[nodiscard]] std::string Serialize() const;

private:
    struct Line {
        std::string text;
        std::string key; // lower-case key of a "key=value" line, empty for any other line
    };
    struct Section {
        std::string header; // the "[name]" line as written
        std::string name;   // lower-case name
        std::vector<Line> lines;
    };

    [[nodiscard]] const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);

    std::vector<Line> m_preamble; // lines before the first section
    std::vector<Section> m_sections;
};

} // namespace quorvane
