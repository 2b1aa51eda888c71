#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace quorvane {

const char* toString(FileWriteError error)
{
    switch (error) {
    case FileWriteError::None: return "no error";
    case FileWriteError::CreateTemporary: return "the temporary file could not be created";
    case FileWriteError::Open: return "the file could not be opened";
    case FileWriteError::Write: return "the temporary file could not be written";
    case FileWriteError::Flush: return "the temporary file could not be flushed to disk";
    case FileWriteError::Rename: return "the temporary file could not replace the old file";
    case FileWriteError::Append: return "the row could not be appended, the file is as it was";
    case FileWriteError::AppendFlush: return "the row could not be flushed to disk, the file is as it was";
    }
    return "unknown error";
}

namespace {

bool writeAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        content.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is durable only once the folder entry itself is on disk.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool (*g_beforeRename)(const std::string&) = nullptr;

} // namespace

void SetBeforeRenameHookForTests(bool (*hook)(const std::string& path))
{
    g_beforeRename = hook;
}

FileWriteError WriteFileAtomically(const std::string& path, std::string_view content)
{
    // One writer per file (the core thread), so a fixed name beside the file will do; a stale
    // one left by a crash is simply overwritten.
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return FileWriteError::CreateTemporary;

    FileWriteError result = FileWriteError::None;
    if (!writeAll(fd, content))
        result = FileWriteError::Write;
    else if (::fsync(fd) != 0)
        result = FileWriteError::Flush;
    ::close(fd);
    if (result == FileWriteError::None && g_beforeRename != nullptr && !g_beforeRename(path))
        return FileWriteError::Rename; // the "crash": the temporary file stays, as it would
    if (result == FileWriteError::None && ::rename(temporary.c_str(), path.c_str()) != 0)
        result = FileWriteError::Rename;
    if (result != FileWriteError::None) {
        ::unlink(temporary.c_str());
        return result;
    }
    syncFolder(folderOf(path));
    return FileWriteError::None;
}


FileWriteError AppendDurably(const std::string& path, std::string_view line)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return FileWriteError::Open;
    std::string content;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n')
        content = "\r\n";
    content += line;
    FileWriteError result = FileWriteError::None;
    if (!writeAll(fd, content))
        result = FileWriteError::Append;
    else if (::fsync(fd) != 0)
        result = FileWriteError::AppendFlush;
    if (result != FileWriteError::None && size >= 0 && ::ftruncate(fd, size) == 0)
        ::fsync(fd);
    ::close(fd);
    return result;
}

} // namespace quorvane
