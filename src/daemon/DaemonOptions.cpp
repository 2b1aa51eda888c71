#include "daemon/DaemonOptions.h"

#include "config/Settings.h"

namespace quorvane {

namespace {

// "--name VALUE" or "--name=VALUE": the value, or nothing when `argument` is not this option.
// Sets `error` when the option is there without a value.
bool takeValue(const std::vector<std::string>& arguments, size_t& index, const std::string& name, std::string& value,
               std::string& error)
{
    const std::string& argument = arguments[index];
    if (argument == name) {
        if (index + 1 >= arguments.size() || arguments[index + 1].empty()) {
            error = name + " needs a value";
            return true;
        }
        value = arguments[++index];
        return true;
    }
    if (argument.starts_with(name + "=")) {
        value = argument.substr(name.size() + 1);
        if (value.empty())
            error = name + " needs a value";
        return true;
    }
    return false;
}

} // namespace

DaemonOptions DaemonOptions::Parse(const std::vector<std::string>& arguments, const std::string& executablePath,
                                   const std::string& currentFolder)
{
    DaemonOptions options;
    options.SettingsPath = SettingsFilePath(executablePath);
    options.LogBase = currentFolder;
    for (size_t i = 0; i < arguments.size() && options.Error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (takeValue(arguments, i, "--config", options.SettingsPath, options.Error)
            || takeValue(arguments, i, "--log-dir", options.LogBase, options.Error))
            continue;
        if (argument == "--version")
            options.ShowVersion = true;
        else if (argument == "--help" || argument == "-h")
            options.ShowHelp = true;
        else
            options.Error = "unknown argument '" + argument + "'";
    }
    return options;
}

std::string DaemonUsage()
{
    return "Usage: quorvaned [--config FILE] [--log-dir DIR]\n"
           "Watches one off-grid solar inverter without a window: polls it, integrates the energies,\n"
           "writes the logs, mails notices, serves the live page and runs the daily timers.\n"
           "\n"
           "  --config FILE   the settings file (default: beside the program, its name with \".INI\")\n"
           "  --log-dir DIR   the folder that holds Log/ (default: the current folder)\n"
           "  --version       print the version and exit\n"
           "  --help          print this help and exit\n"
           "\n"
           "Event lines go to standard output, notices to standard error. SIGTERM or SIGINT close\n"
           "it (the day's logs and the totals are written); SIGHUP reads the settings file again.\n";
}

} // namespace quorvane
