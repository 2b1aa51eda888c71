#pragma once

#include "InverterModel.h"
#include "RequestServer.h"

#include <atomic>
#include <functional>
#include <string>

namespace quorvane::sim {

// An inverter on its USB-HID port: the model behind one end of a socket pair of kind
// SOCK_SEQPACKET, which keeps report boundaries as a hidraw device does (a real hidraw node
// cannot be made without uhid). OpenDevice hands the program's end out the way opening the
// device would, for DeviceOpener's open function. The line thread of its RequestServer, owned
// by this object, takes each output report (report number 0, then 8 bytes), gathers the
// request up to its CR and sends the model's reply in 8-byte input reports, each as soon as
// its last byte is due at the model's pace. A report ends after 8 bytes or after a CR (with a
// LF right behind it), the rest of it zeros: bytes sent before the reply and ended by a CR
// never share its reports.
// Start-up is complete when the constructor returns; the destructor stops and joins the line
// thread. The test's thread and the thread that opens the port call the public functions; the
// line thread counts the reports.
class HidInverter {
public:
    explicit HidInverter(InverterModel& model);
    ~HidInverter();
    HidInverter(const HidInverter&) = delete;
    HidInverter& operator=(const HidInverter&) = delete;

    // A descriptor of the program's end, as open() of the device gives; -1 once unplugged.
    [[nodiscard]] int OpenDevice() const;
    // DeviceOpener's open function for a program that finds this device as `device` (a
    // hidraw path) and no other.
    [[nodiscard]] std::function<int(const std::string&)> OpenFileAs(std::string device) const;
    // Pulls the cable: the model stops answering and the device end is closed. When this
    // returns, every open port sees the hang-up.
    void Unplug();
    // Input reports sent so far.
    [[nodiscard]] size_t ReportsSent() const { return m_reportsSent.load(); }

private:
    bool sendReply(int deviceEnd, const ReplySchedule& reply);

    InverterModel& m_model;
    int m_programEnd = -1; // kept, so that ports opened and closed never hang the line up
    std::atomic<size_t> m_reportsSent{0};
    // Last: built after, and stopped before, what its steps use.
    RequestServer m_server;
};

} // namespace quorvane::sim
