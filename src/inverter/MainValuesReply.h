#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace quorvane {

// The payload of a main-values ("QPIGS") reply, judged field by field. Units differ in its
// length: older firmware sends 17 fields, most units 21, larger ones 24, and power fields of
// four or five digits. What the program reads is the same in all of them:
//   fields 1-16  measurements: digits with at most one decimal point
//   field 17     the device status bits, eight characters "0" or "1"
// Fields after the 17th are kept but not judged: nothing here reads them, and they are where
// units differ.
struct MainValuesReply {
    std::vector<std::string_view> Fields; // Fields[0] is field 1; views into the payload
    int ChargeOn = 0;
    int SolarCharging = 0;
    int LineCharging = 0;
};

inline constexpr int kMainValuesFieldsRead = 17;

// The reply's fields and status bits; none when a field the program reads is missing or is
// not what it must be, so that the reply is rejected whole.
[[nodiscard]] std::optional<MainValuesReply> ParseMainValues(std::string_view payload);

// Digits with at most one decimal point anywhere among them ("230.0", "0161", ".5"), nothing
// else: no sign, no blank, no empty text.
[[nodiscard]] bool IsPlainNumber(std::string_view text);

} // namespace quorvane
