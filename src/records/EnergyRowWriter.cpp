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
        m_openOffset.reset();
    return result;
}

FileWriteError EnergyRowWriter::write(const std::string& path, const std::string& row)
{
    const auto content = contentOf(path);
    if (!content)
        return FileWriteError::Open;
    // The open row is replaced while the file still holds what came before it; a file changed
    // by someone else meanwhile gets a new row.
    if (!m_openOffset || m_openPath != path || content->size() < *m_openOffset) {
        m_openPath = path;
        m_openOffset = content->size();
    }
    std::string replaced = content->substr(0, *m_openOffset);
    // A line cut off by a crash during an earlier append is ended, never joined to this row.
    if (!replaced.empty() && replaced.back() != '\n')
        replaced += "\r\n";
    replaced += row;
    return WriteFileAtomically(path, replaced);
}

} // namespace quorvane
