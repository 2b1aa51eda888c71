// quorvane-inverter-sim: an inverter on a pseudo-terminal, for trying Quorvane without one.
//
//   quorvane-inverter-sim [--full-speed] [--delay MS] [--mode LETTER] [--priority 0|1|2]
//                         [--line-absent] [--link PATH] [--serial NUMBER] [--serial-digits N]
//                         [--qpigs-length N] [--lf] [--stale] [--nak COMMAND] [--warnings BITS]
//                         [--pv2 CURRENT VOLTAGE POWER] [--battery-voltage 12|24|48]
//
// Prints the device to connect to, then takes commands on standard input, one per line:
//   field N VALUE | mode LETTER | priority N | line present|absent | bits CHARGE SOLAR LINE
//   fault no-answer|wrong-crc|truncated|garbage|extra-bytes|delay|split|unplug [TIMES] [MS]
//   clear-faults | unplug | commands | quit
//   warnings BITS|clear      the warning-status reply ("QPIWS"): one 0 or 1 for each bit,
//                            bit N being character N (36 zeros at the start, 32 characters
//                            for an older unit); clear: every bit 0, as many as before.
//                            --warnings BITS at the start gives the bits from the first reply
//   pv2 CURRENT VOLTAGE POWER|off   a second PV input ("QPIGS2"), e.g. pv2 01.0 202.0 00205;
//                            off: one input only, the query is refused (the start's way)
//   battery-voltage 12|24|48 the battery's rated voltage, the voltage settings scaled to it
//                            (48 at the start)
//   ignore-settings on|off   setting commands ("PBCV46.0", "MCHGC030", ...) are answered
//                            "(ACK" and change nothing; off: applied (the start's way)
// and the habits of real units:
//   serial-digits N          a serial number of N digits (13, 14, 16 are seen); --serial
//                            NUMBER at the start gives the number itself
//   qpigs-length N           main-values replies of 94, 110, 112, 119, 120 or 122 bytes
//   lf on|off                a LF after the CR of every reply
//   stale [HEX ...]|off      these bytes (by default the tail of an earlier reply) before
//                            every reply
//   nak COMMAND|off          "(NAK" to COMMAND (off: no command is refused); "nak QPIWS"
//                            for a unit that has no warning-status query
// Runs until "quit", SIGINT or SIGTERM.
#include "InverterModel.h"
#include "PtyInverter.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

using namespace quorvane::sim;

namespace {

const std::map<std::string, Fault> kFaultNames = {
    {"no-answer", Fault::NoAnswer}, {"wrong-crc", Fault::WrongCrc},     {"truncated", Fault::Truncated},
    {"garbage", Fault::Garbage},    {"extra-bytes", Fault::ExtraBytes}, {"delay", Fault::Delay},
    {"split", Fault::SplitWithPauses}, {"unplug", Fault::Unplug},
};

void usage()
{
    std::cerr << "usage: quorvane-inverter-sim [--full-speed] [--delay MS] [--mode LETTER] "
                 "[--priority 0|1|2] [--line-absent] [--link PATH] [--serial NUMBER] [--serial-digits N] "
                 "[--qpigs-length N] [--lf] [--stale] [--nak COMMAND] [--warnings BITS] "
                 "[--pv2 CURRENT VOLTAGE POWER] [--battery-voltage 12|24|48]\n";
}

// Bytes written in hexadecimal ("0a", "A9"); none when a word is not one byte.
std::optional<quorvane::Bytes> hexBytes(const std::vector<std::string>& words)
{
    quorvane::Bytes bytes;
    for (const std::string& word : words) {
        std::uint8_t value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
        if (error != std::errc() || end != word.data() + word.size())
            return std::nullopt;
        bytes.push_back(value);
    }
    return bytes;
}

// Warning bits as the tool takes them: one or more of '0' and '1', nothing else.
bool areWarningBits(const std::string& bits)
{
    return !bits.empty() && bits.find_first_not_of("01") == std::string::npos;
}

// The next word as "on" (true) or "off" (false); none for anything else.
std::optional<bool> onOrOff(std::istream& words)
{
    std::string state;
    words >> state;
    if (state != "on" && state != "off")
        return std::nullopt;
    return state == "on";
}

std::string handleCommand(const std::string& line, InverterModel& model, PtyInverter& inverter)
{
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    if (verb == "field") {
        int field = 0;
        std::string value;
        if (words >> field >> value && field >= 1 && field <= InverterModel::kMainFieldCount) {
            model.SetMainField(field, value);
            return "ok";
        }
        return "error: field N VALUE (N from 1 to 21)";
    }
    if (verb == "mode") {
        std::string letter;
        if (words >> letter && letter.size() == 1) {
            model.SetModeLetter(letter[0]);
            return "ok";
        }
        return "error: mode LETTER";
    }
    if (verb == "priority") {
        int code = -1;
        if (words >> code && code >= 0 && code <= 2) {
            model.SetOutputPriority(code);
            return "ok";
        }
        return "error: priority 0|1|2";
    }
    if (verb == "line") {
        std::string state;
        words >> state;
        if (state == "present" || state == "absent") {
            model.SetLinePresent(state == "present");
            return "ok";
        }
        return "error: line present|absent";
    }
    if (verb == "bits") {
        int charge = 0, solar = 0, mains = 0;
        if (words >> charge >> solar >> mains) {
            model.SetStatusBits(charge != 0, solar != 0, mains != 0);
            return "ok";
        }
        return "error: bits CHARGE SOLAR LINE";
    }
    if (verb == "serial-digits") {
        int digits = 0;
        if (words >> digits && digits >= 1 && digits <= 64) {
            model.SetSerialNumberLength(digits);
            return "ok";
        }
        return "error: serial-digits N (1 to 64)";
    }
    if (verb == "qpigs-length") {
        int bytes = 0;
        if (words >> bytes && model.SetMainValuesLength(bytes))
            return "ok";
        return "error: qpigs-length 94|110|112|119|120|122";
    }
    if (verb == "lf") {
        const auto on = onOrOff(words);
        if (!on)
            return "error: lf on|off";
        model.SetLineFeedAfterCr(*on);
        return "ok";
    }
    if (verb == "stale") {
        const std::vector<std::string> rest{std::istream_iterator<std::string>(words), {}};
        if (rest == std::vector<std::string>{"off"}) {
            model.SetStaleBytes({});
            return "ok";
        }
        const auto bytes = hexBytes(rest);
        if (!bytes)
            return "error: stale [HEX ...]|off";
        model.SetStaleBytes(bytes->empty() ? InverterModel::kDefaultStaleBytes : *bytes);
        return "ok";
    }
    if (verb == "nak") {
        std::string command;
        if (!(words >> command))
            return "error: nak COMMAND|off";
        if (command == "off")
            model.ClearRefusals();
        else
            model.SetRefused(command, true);
        return "ok";
    }
    if (verb == "warnings") {
        std::string bits;
        words >> bits;
        if (bits == "clear") {
            model.SetWarningBits(std::string(model.WarningBits().size(), '0'));
            return "ok";
        }
        if (areWarningBits(bits)) {
            model.SetWarningBits(bits);
            return "ok";
        }
        return "error: warnings BITS|clear (BITS: 0 and 1 only)";
    }
    if (verb == "pv2") {
        std::string current;
        std::string voltage;
        std::string power;
        words >> current;
        if (current == "off") {
            model.SetSecondPv("");
            return "ok";
        }
        if (!(words >> voltage >> power))
            return "error: pv2 CURRENT VOLTAGE POWER|off";
        model.SetSecondPv(current + " " + voltage + " " + power);
        return "ok";
    }
    if (verb == "battery-voltage") {
        int volts = 0;
        if (words >> volts && model.SetBatteryVoltage(volts))
            return "ok";
        return "error: battery-voltage 12|24|48";
    }
    if (verb == "ignore-settings") {
        const auto on = onOrOff(words);
        if (!on)
            return "error: ignore-settings on|off";
        model.SetIgnoreSettings(*on);
        return "ok";
    }
    if (verb == "fault") {
        std::string name;
        words >> name;
        const auto kind = kFaultNames.find(name);
        if (kind == kFaultNames.end())
            return "error: unknown fault";
        FaultSpec fault{.kind = kind->second};
        int milliseconds = 0;
        if (words >> fault.times && words >> milliseconds)
            fault.duration = std::chrono::milliseconds(milliseconds);
        model.InjectFault(fault);
        if (fault.kind == Fault::Unplug)
            return "ok (unplugs at the next request)";
        return "ok";
    }
    if (verb == "clear-faults") {
        model.ClearFaults();
        return "ok";
    }
    if (verb == "unplug") {
        inverter.Unplug();
        return "ok";
    }
    if (verb == "commands") {
        std::string list;
        for (const auto& command : model.ReceivedCommands())
            list += command + ' ';
        return list;
    }
    return "error: unknown command";
}

} // namespace

int main(int argc, char** argv)
{
    InverterModel model;
    std::string linkPath;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--full-speed") {
            model.SetFullSpeed(true);
            model.SetAnswerDelay(std::chrono::milliseconds(0));
        } else if (option == "--delay" && hasValue) {
            model.SetAnswerDelay(std::chrono::milliseconds(std::atoi(argv[++i])));
        } else if (option == "--mode" && hasValue) {
            model.SetModeLetter(argv[++i][0]);
        } else if (option == "--priority" && hasValue) {
            model.SetOutputPriority(std::atoi(argv[++i]));
        } else if (option == "--line-absent") {
            model.SetLinePresent(false);
        } else if (option == "--link" && hasValue) {
            linkPath = argv[++i];
        } else if (option == "--serial" && hasValue) {
            model.SetSerialNumber(argv[++i]);
        } else if (option == "--serial-digits" && hasValue) {
            model.SetSerialNumberLength(std::atoi(argv[++i]));
        } else if (option == "--qpigs-length" && hasValue && model.SetMainValuesLength(std::atoi(argv[i + 1]))) {
            ++i;
        } else if (option == "--lf") {
            model.SetLineFeedAfterCr(true);
        } else if (option == "--stale") {
            model.SetStaleBytes(InverterModel::kDefaultStaleBytes);
        } else if (option == "--nak" && hasValue) {
            model.SetRefused(argv[++i], true);
        } else if (option == "--warnings" && hasValue && areWarningBits(argv[i + 1])) {
            model.SetWarningBits(argv[++i]);
        } else if (option == "--battery-voltage" && hasValue && model.SetBatteryVoltage(std::atoi(argv[i + 1]))) {
            ++i;
        } else if (option == "--pv2" && i + 3 < argc) {
            model.SetSecondPv(std::string(argv[i + 1]) + " " + argv[i + 2] + " " + argv[i + 3]);
            i += 3;
        } else {
            usage();
            return 2;
        }
    }

    // Signals are taken by sigwait below, in this thread only.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    PtyInverter inverter(model);
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(inverter.DevicePath().c_str(), linkPath.c_str()) != 0) {
            std::cerr << "cannot create " << linkPath << ": " << std::strerror(errno) << '\n';
            return 1;
        }
    }
    std::cout << "Inverter simulator on " << inverter.DevicePath();
    if (!linkPath.empty())
        std::cout << " (also " << linkPath << ")";
    std::cout << std::endl;

    std::thread console([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line == "quit") {
                ::kill(::getpid(), SIGTERM);
                return;
            }
            if (!line.empty())
                std::cout << handleCommand(line, model, inverter) << std::endl;
        }
    });
    console.detach(); // may sit in a read of standard input until the process ends

    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (!linkPath.empty())
        ::unlink(linkPath.c_str());
    // The console thread may be in the middle of a command: the process ends here, without
    // destroying on its way out what that command may still be using.
    std::cout.flush();
    std::_Exit(0);
}
