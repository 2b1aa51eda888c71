#pragma once

#include <optional>
#include <string>

namespace quorvane {

// True when `path` names a regular file.
[[nodiscard]] bool RegularFileExists(const std::string& path);

// The whole content of a regular file, or nothing when it is missing, no regular file or
// cannot be read.
[[nodiscard]] std::optional<std::string> ReadFileText(const std::string& path);

} // namespace quorvane
