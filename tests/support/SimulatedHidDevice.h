#pragma once

// The simulator's USB-HID device as the program finds it: a hidraw path that the program's
// own opener drives as HID, where only the opening of the device file is the simulator's (it
// hands out the program's end of the simulator's socket pair).
// Built and used on the test's thread; the simulator answers on its own line thread.
#include "HidInverter.h"
#include "InverterModel.h"
#include "inverter/DeviceOpener.h"

#include <string>

namespace quorvane::testsupport {

struct SimulatedHidDevice {
    static inline const std::string kPath = "/dev/hidraw0";

    explicit SimulatedHidDevice(sim::InverterModel& model) : inverter(model), opener(inverter.OpenFileAs(kPath)) {}

    sim::HidInverter inverter;
    DeviceOpener opener;
};

} // namespace quorvane::testsupport
