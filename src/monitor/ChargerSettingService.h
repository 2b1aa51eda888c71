#pragma once

#include "inverter/ChargerSettings.h"
#include "inverter/InverterQueries.h"
#include "inverter/SettingCheck.h"

#include <deque>
#include <string>

namespace quorvane {

class EventMemo;
class TComm;
struct MeasurementRecord;
struct OutputRequests;

// The inverter's charger and battery settings as the program changes them. A request is
// checked against what the unit reports (its rated information and the charging currents it
// lists), queued, and sent by the acquisition cycle one at a time, never inside another
// exchange; each is confirmed by the unit's "(ACK" and by reading the rated information back,
// and its outcome, either way, is a memo line naming where the request came from.
//
// Thread ownership: the core thread (the acquisition thread only hands the steps over).
class ChargerSettingService {
public:
    ChargerSettingService(InverterQueries& queries, TComm& comm, MeasurementRecord& record, EventMemo& memo,
                          OutputRequests& requests);

    // Whether the unit would take `value` for `setting` now, and if not, why.
    [[nodiscard]] SettingCheck Check(ChargerSetting setting, double value) const;
    // The value in force for people ("30 A"), or "unknown".
    [[nodiscard]] std::string ValueInForce(ChargerSetting setting) const;
    // Queues a request Check accepted; `origin` says who asked ("the window").
    void Queue(ChargerSetting setting, double value, std::string origin);

    // Acquisition steps. After the rated information: the charging current steps, once per
    // connection. In their turn: the oldest queued request.
    void AskCurrentStepsOnce();
    void ServeNext();
    // A connection was made: the steps are asked again; what is queued stays queued.
    void LinkOpened();

private:
    struct Pending {
        ChargerSetting Setting;
        double Value;
        std::string Origin;
    };

    void serve(const Pending& request);
    // Sends the request's command; the maximum charging current is tried in the form the unit
    // took before, else in both.
    InverterQueries::CommandReply send(const Pending& request);
    void note(const Pending& request, const std::string& oldValue, const std::string& outcome);

    InverterQueries& m_queries;
    TComm& m_comm;
    MeasurementRecord& m_record;
    EventMemo& m_memo;
    OutputRequests& m_requests;
    std::deque<Pending> m_pending;
    bool m_stepsAsked = false;
    CurrentCommandForm m_currentForm = CurrentCommandForm::Classic;
};

} // namespace quorvane
