#include "monitor/ChargerSettingService.h"

#include "core/EventMemo.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "inverter/Wincom.h"

#include <cmath>

namespace quorvane {

namespace {

// Half a step of the finest grid (0.1 V): a value read back within it is the value sent.
constexpr double kSameValue = 0.05;

} // namespace

ChargerSettingService::ChargerSettingService(InverterQueries& queries, TComm& comm, MeasurementRecord& record,
                                             EventMemo& memo, OutputRequests& requests)
    : m_queries(queries), m_comm(comm), m_record(record), m_memo(memo), m_requests(requests)
{
}

SettingCheck ChargerSettingService::Check(ChargerSetting setting, double value) const
{
    if (!m_record.Rated)
        return {SettingFault::BatteryVoltageUnknown, "the inverter's settings have not been read yet"};
    return CheckSetting(setting, value, *m_record.Rated, m_record.ChargingSteps.value_or(CurrentSteps{}));
}

std::string ChargerSettingService::ValueInForce(ChargerSetting setting) const
{
    const std::optional<double> value = m_record.Rated ? SettingValue(setting, *m_record.Rated) : std::nullopt;
    return value ? SettingValueText(setting, *value) : "unknown";
}

void ChargerSettingService::Queue(ChargerSetting setting, double value, std::string origin)
{
    m_pending.push_back({setting, value, std::move(origin)});
    m_requests.ChargerSettingRequest = true;
}

void ChargerSettingService::AskCurrentStepsOnce()
{
    if (m_stepsAsked || !m_record.Rated)
        return;
    m_stepsAsked = true;
    CurrentSteps steps;
    for (auto [command, list] : {std::pair{"QMCHGCR", &steps.Charging}, std::pair{"QMUCHGCR", &steps.Utility}}) {
        m_comm.Purge();
        auto result = m_queries.QueryCurrentSteps(command);
        if (result.Result == QueryOutcome::Answered)
            *list = std::move(result.Reading);
    }
    m_record.ChargingSteps = std::move(steps);
}

void ChargerSettingService::ServeNext()
{
    if (!m_pending.empty()) {
        const Pending request = std::move(m_pending.front());
        m_pending.pop_front();
        serve(request);
    }
    m_requests.ChargerSettingRequest = !m_pending.empty();
}

void ChargerSettingService::LinkOpened()
{
    m_stepsAsked = false;
    m_currentForm = CurrentCommandForm::Classic;
}

void ChargerSettingService::serve(const Pending& request)
{
    const std::string oldValue = ValueInForce(request.Setting);
    // What the unit reports may have changed since the request was checked.
    if (const SettingCheck check = Check(request.Setting, request.Value); !check.Ok()) {
        note(request, oldValue, "not sent: " + check.Reason + ".");
        return;
    }
    switch (send(request)) {
    case InverterQueries::CommandReply::NoReply:
        note(request, oldValue, "the inverter did not answer.");
        return;
    case InverterQueries::CommandReply::Refused:
        note(request, oldValue, "refused by the inverter (NAK).");
        return;
    case InverterQueries::CommandReply::Acknowledged:
        break;
    }
    m_comm.Purge();
    m_queries.QueryRatedInfo();
    const std::optional<double> now = m_record.Rated ? SettingValue(request.Setting, *m_record.Rated) : std::nullopt;
    if (now && std::abs(*now - request.Value) < kSameValue)
        note(request, oldValue, "done.");
    else
        note(request, oldValue, "acknowledged, but the inverter reports " + ValueInForce(request.Setting) + ".");
}

InverterQueries::CommandReply ChargerSettingService::send(const Pending& request)
{
    const auto sendIn = [&](CurrentCommandForm form) {
        m_comm.Purge();
        return m_queries.SendSettingCommand(SettingCommand({request.Setting, request.Value, form}));
    };
    auto reply = sendIn(m_currentForm);
    if (request.Setting == ChargerSetting::MaxChargingCurrent && reply == InverterQueries::CommandReply::Refused) {
        // Older firmware knows one form, newer the other: the one that works is kept.
        const CurrentCommandForm other = m_currentForm == CurrentCommandForm::Classic ? CurrentCommandForm::PerMachine
                                                                                      : CurrentCommandForm::Classic;
        reply = sendIn(other);
        if (reply == InverterQueries::CommandReply::Acknowledged)
            m_currentForm = other;
    }
    return reply;
}

void ChargerSettingService::note(const Pending& request, const std::string& oldValue, const std::string& outcome)
{
    m_memo.AddEventLine("Inverter setting " + std::string(SettingName(request.Setting)) + " " + oldValue + " -> "
                        + SettingValueText(request.Setting, request.Value) + " (asked from " + request.Origin
                        + "): " + outcome);
}

} // namespace quorvane
