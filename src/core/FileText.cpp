#include "core/FileText.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace quorvane {

bool RegularFileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> ReadFileText(const std::string& path)
{
    if (!RegularFileExists(path))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return content;
}

} // namespace quorvane
