// The settings file reader: any text as the settings file.
//
// Invariants:
// - the INI reader keeps every line: writing a parsed file gives the text back with CR LF
//   endings (a last line without one gains it), nothing else changed;
// - settings read from the file, saved over it and read again are the same settings.
#include "FuzzCheck.h"
#include "FuzzEnvironment.h"

#include "config/IniFile.h"
#include "config/Settings.h"
#include "core/LocaleFormats.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

using namespace quorvane;

namespace {

// The text as Serialize must give it back: each line (cut at LF, one CR before it dropped)
// followed by CR LF.
std::string withCrLfLines(std::string_view text)
{
    std::string expected;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        expected.append(line);
        expected += "\r\n";
    }
    return expected;
}

// A file in memory where the system has /dev/shm, so each run costs no disk writes; removed
// when the run ends.
struct ScratchFile {
    ScratchFile()
        : path((::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/quorvane-fuzz-settings-")
               + std::to_string(::getpid()) + ".INI")
    {
    }
    ~ScratchFile() { ::unlink(path.c_str()); }
    const std::string path;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    quorvane::fuzz::PinTimeZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static const LocaleFormats formats("C");
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    static const QDate today(2026, 6, 1);

    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const IniFile file = IniFile::Parse(text);
    FUZZ_CHECK(file.Serialize() == withCrLfLines(text));

    std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
    const TDati loaded = LoadSettings(path, formats, today);
    FUZZ_CHECK(SaveSettings(path, loaded) == FileWriteError::None);
    FUZZ_CHECK(LoadSettings(path, formats, today) == loaded);
    return 0;
}
