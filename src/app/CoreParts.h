#pragma once

#include "app/CoreApp.h"

namespace quorvane {

// The parts of a core, for the tests that set them up or look inside; nothing else uses it.
// Front ends command through CoreCommands and see what the core publishes.
// Thread ownership: use it on the core thread, like the core.
class CoreParts {
public:
    explicit CoreParts(CoreApp& core) : m_core(core) {}

    [[nodiscard]] TDati& LiveDati() { return m_core.m_live; }
    [[nodiscard]] EventMemo& Memo() { return m_core.m_memo; }
    [[nodiscard]] UserNotifier& Person() { return m_core.m_person; }
    [[nodiscard]] MeasurementRecord& Record() { return m_core.m_record; }
    [[nodiscard]] ComputedValues& Computed() { return m_core.m_computed; }
    [[nodiscard]] const DisplayTexts& Display() const { return m_core.m_display; }
    [[nodiscard]] const WindowLabels& Labels() const { return m_core.m_labels; }
    [[nodiscard]] LinkState& Link() { return m_core.m_link; }
    [[nodiscard]] OutputRequests& Requests() { return m_core.m_requests; }
    [[nodiscard]] ConnectionManager& Connection() { return m_core.m_connection; }
    [[nodiscard]] InverterQueries& Queries() { return m_core.m_queries; }
    [[nodiscard]] LogBook& Logs() { return m_core.m_logs; }
    [[nodiscard]] MailSender& Mail() { return m_core.m_mail; }
    [[nodiscard]] WebPages& Pages() { return m_core.m_pages; }
    [[nodiscard]] Supervisor& Tick() { return m_core.m_supervisor; }
    [[nodiscard]] LogSampler& Sampler() { return m_core.m_sampler; }
    [[nodiscard]] EnergyFlowEvents& FlowEvents() { return m_core.m_events; }
    [[nodiscard]] CycleSteps& Steps() { return m_core.m_steps; }
    [[nodiscard]] HttpServer& WebServer() { return m_core.m_server; }
    [[nodiscard]] CoreTimer& Timer() { return m_core.m_timer; }
    [[nodiscard]] CoreTimer& Timer1() { return m_core.m_timer1; }
    [[nodiscard]] CoreTimer& Timer3() { return m_core.m_timer3; }
    [[nodiscard]] CoreTimer& TimerConnect() { return m_core.m_timerConnect; }
    [[nodiscard]] bool ReqByWebBox() const { return m_core.m_reqByWebBox; }
    [[nodiscard]] bool FAutoReconnect() const { return m_core.m_autoReconnectCopy; }
    [[nodiscard]] const std::array<bool, 8>& Outputs() const { return m_core.m_outputs; }
    [[nodiscard]] const std::string& RefreshNote() const { return m_core.m_steps.RefreshNote; }

private:
    CoreApp& m_core;
};

} // namespace quorvane
