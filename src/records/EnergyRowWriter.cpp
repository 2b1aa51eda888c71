#include "records/EnergyRowWriter.h"

#include "core/FileText.h"

#include <sys/stat.h>

#include <cerrno>

namespace quorvane {

namespace {

// The file's content; empty when it does not exist yet, nothing when it cannot be read.
std::optional<std::string> contentOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT)
        return std::string();
    return ReadFileText(path);
}

} // namespace

FileWriteError EnergyRowWriter::WriteOpen(const std::string& path, const std::string& row)
{
    return write(path, row);
}

FileWriteError EnergyRowWriter::WriteFinal(const std::string& path, const std::string& row)
{
    const FileWriteError result = write(path, row);
    if (result == FileWriteError::None)
        m_openPrefix.reset();
    return result;
}

FileWriteError EnergyRowWriter::write(const std::string& path, const std::string& row)
{
    // What comes before the open row is read once, when the row is first written; the saves
    // after it only rewrite the file (this run is the file's one writer).
    if (!m_openPrefix || m_openPath != path) {
        auto content = contentOf(path);
        if (!content)
            return FileWriteError::Open;
        // A line cut off by a crash during an earlier append is ended, never joined to this row.
        if (!content->empty() && content->back() != '\n')
            *content += "\r\n";
        m_openPath = path;
        m_openPrefix = std::move(*content);
    }
    return WriteFileAtomically(path, *m_openPrefix + row);
}

} // namespace quorvane
