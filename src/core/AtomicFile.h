#pragma once

#include <string>
#include <string_view>

namespace quorvane {

enum class FileWriteError { None, CreateTemporary, Write, Flush, Rename };

[[nodiscard]] const char* toString(FileWriteError error);

// Replaces the file at `path` with `content` so that a crash or power cut at any moment
// leaves either the old file or the new one, never a half-written one: the content goes to a
// temporary file beside it (`path` + ".tmp"), is flushed to disk, and is renamed over the old
// file.
// On any failure the old file is untouched and the temporary file is removed.
[[nodiscard]] FileWriteError WriteFileAtomically(const std::string& path, std::string_view content);

} // namespace quorvane
