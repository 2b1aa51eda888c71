#pragma once

namespace quorvane {

// The [Inverter] settings: what is done with the warnings and faults the inverter reports.
// Thread ownership: a value, part of the settings.
struct InverterSettings {
    // A fault that turns on or off is mailed (when a mail address is set).
    bool MailFaults = true;
    // So is a warning.
    bool MailWarnings = false;

    bool operator==(const InverterSettings&) const = default;
};

} // namespace quorvane
