#pragma once

#include <string>
#include <string_view>

namespace quorvane {

enum class FileWriteError {
    None,
    CreateTemporary,
    Open,
    Write,
    Flush,
    Rename,
    Append,      // the row could not be appended whole; the file is as it was
    AppendFlush, // the appended row could not be flushed to disk; the file is as it was
};

[[nodiscard]] const char* toString(FileWriteError error);

// Replaces the file at `path` with `content` so that a crash or power cut at any moment
// leaves either the old file or the new one, never a half-written one: the content goes to a
// temporary file beside it (`path` + ".tmp"), is flushed to disk, and is renamed over the old
// file.
// On any failure the old file is untouched and the temporary file is removed.
[[nodiscard]] FileWriteError WriteFileAtomically(const std::string& path, std::string_view content);

// Appends `line` (ended by the caller) to the file, creating it when missing, and flushes it to
// disk before returning: an appended row counts as written only once it is on disk. The append
// is all or nothing: when the row cannot be written whole (a full disk) or flushed, the file
// is cut back to its length before the append. A file whose last line was cut off (by a power
// cut during an earlier append) gets its line ended first, so the new row never runs into the
// broken one.
[[nodiscard]] FileWriteError AppendDurably(const std::string& path, std::string_view line);

// For crash tests only: called after the temporary file is on disk and before the rename;
// returning false stops the write right there, as a crash at that moment would.
void SetBeforeRenameHookForTests(bool (*hook)(const std::string& path));

} // namespace quorvane
