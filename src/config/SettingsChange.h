#pragma once

#include "config/Settings.h"

#include <QDateTime>
#include <QMetaType>

#include <array>
#include <optional>
#include <string>

namespace quorvane {

// Fields of the settings that something other than the settings dialog changed (the
// requested-by-web box, timer A, the web Timer form, the serial number learned for MQTT), each with its new value; a field left
// empty did not change. The dialog's working copy takes them, so that a later Apply keeps
// them instead of undoing them.
// A value: made on the core thread, handed to the GUI thread.
struct SettingsChange {
    std::optional<bool> ReqByWeb;
    std::optional<bool> AutoReConnect;
    std::array<std::optional<bool>, 4> TimerEnabled;   // timers A..D
    std::array<std::optional<QDateTime>, 4> TimeOn;
    std::array<std::optional<QDateTime>, 4> TimeOff;
    std::optional<std::string> MqttDeviceId; // the inverter's serial number, learned

    // Writes the changed fields into `settings`, leaving every other field as it is.
    void ApplyTo(TDati& settings) const
    {
        if (ReqByWeb)
            settings.ReqByWeb = *ReqByWeb;
        if (AutoReConnect)
            settings.AutoReConnect = *AutoReConnect;
        if (MqttDeviceId)
            settings.Mqtt.DeviceId = *MqttDeviceId;
        for (size_t timer = 0; timer < TimerEnabled.size(); ++timer) {
            if (TimerEnabled[timer])
                settings.TimerEnabled[timer] = *TimerEnabled[timer];
            if (TimeOn[timer])
                settings.TimeOn[timer] = *TimeOn[timer];
            if (TimeOff[timer])
                settings.TimeOff[timer] = *TimeOff[timer];
        }
    }
};

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::SettingsChange)
