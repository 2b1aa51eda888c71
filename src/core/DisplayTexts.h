#pragma once

#include <array>
#include <string>
#include <vector>

namespace quorvane {

// The names of the second PV input's values, in the order of DisplayTexts::SecondPv: the
// window's captions and the basic log's extra column names.
inline const std::array<std::string, 3> kSecondPvCaptions = {"PV2 Input Voltage", "PV2 Input Current",
                                                             "PV2 Charging Power"};

// What the main window's value panels show, as the display refresh leaves them: the texts
// the window, the web page and the log rows all copy. Every panel starts as "---".
// Thread ownership: the core thread.
struct DisplayTexts {
    // The fifteen display variables in display order: Label4, Label5, Panel6, Panel25,
    // Panel7 (battery voltage "26.5[26.4]"), Panel1, Panel5, Panel8, Panel13, Panel15,
    // Panel12, Panel11, Panel10, Panel9, Panel14.
    std::array<std::string, 15> Basic;
    // Panel16 to Panel21: Aux1 to Aux6 with three decimals.
    std::array<std::string, 6> Computed;
    std::string Panel22 = "---"; // mode
    std::string Panel23 = "---"; // battery (charge state)
    std::string Panel24 = "---"; // load source
    std::string Panel4 = "---";  // output priority
    // The second PV input's voltage, current and charging power, for a unit that has one;
    // empty for a unit with one input.
    std::vector<std::string> SecondPv;

    DisplayTexts()
    {
        Basic.fill("---");
        Computed.fill("---");
    }
    bool operator==(const DisplayTexts&) const = default;
};

} // namespace quorvane
