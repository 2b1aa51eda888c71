#pragma once

#include <string>
#include <vector>

namespace quorvane {

// What quorvaned's command line asks for.
struct DaemonOptions {
    std::string SettingsPath; // --config; default: the executable's path with ".INI"
    std::string LogBase;      // --log-dir: the folder that holds "Log"; default: the current one
    bool ShowVersion = false; // --version
    bool ShowHelp = false;    // --help
    std::string Error;        // not empty: the command line was wrong, and this says how

    // Reads `arguments` (without the program's name). `executablePath` and `currentFolder`
    // give the defaults.
    [[nodiscard]] static DaemonOptions Parse(const std::vector<std::string>& arguments, const std::string& executablePath,
                                             const std::string& currentFolder);
};

// The text --help prints.
[[nodiscard]] std::string DaemonUsage();

} // namespace quorvane
