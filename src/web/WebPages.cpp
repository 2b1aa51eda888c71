#include "web/WebPages.h"

#include "config/Settings.h"
#include "core/DisplayTexts.h"
#include "inverter/FlowTexts.h"
#include "inverter/MeasurementRecord.h"
#include "web/PageTemplates.h"

namespace quorvane {

namespace {

// The units shown beside the fifteen values on the main window.
constexpr std::array<const char*, 15> kBasicUnits = {"V", "Hz", "V", "A", "V", "%", "A", "A", "Hz", "V", "VA", "W",
                                                     "%", "C", "V"};

constexpr const char* kContentLanguage = "<meta http-equiv=\"Content-Language\" content=\"en-gb\">";

constexpr std::array<std::pair<const char*, const char*>, 7> kRefreshChoices = {{
    {"1", " (Refresh = 1 sec.)"},
    {"2", " (Refresh = 2 sec.)"},
    {"3", " (Refresh = 3 sec.)"},
    {"5", " (Refresh = 5 sec.)"},
    {"10", " (Refresh = 10 sec.)"},
    {"60", " (Refresh = 60 sec.)"},
    {nullptr, " (Refresh = manually)"},
}};

template <size_t N>
std::shared_ptr<const std::string> joined(const std::array<TPageWeb, N>& page, int lastLine)
{
    size_t size = 0;
    for (int line = 0; line <= lastLine; ++line)
        size += page[static_cast<size_t>(line)].Text.size() + 1;
    auto text = std::make_shared<std::string>();
    text->reserve(size);
    for (int line = 0; line <= lastLine; ++line) {
        *text += page[static_cast<size_t>(line)].Text;
        *text += '\n';
    }
    return text;
}

} // namespace

WebPages::WebPages(QObject* parent) : QObject(parent)
{
    for (size_t line = 0; line < kTimerPageTemplate.size(); ++line)
        m_timer[line].Text = kTimerPageTemplate[line];
    m_timer[kTimerFooterLine].Text = std::string("Quorvane ") + kVersionText;
    buildMainPage();
    Publish();
}

void WebPages::buildMainPage()
{
    // The variable lines: five rows of three for the fifteen values, three rows of two for
    // the six computed values, filled by column; each name line is followed three lines later
    // by its value line.
    static constexpr std::array<int, 15> kNameVarLines = {73, 94, 115, 136, 157, 79, 100, 121, 142, 163,
                                                          85, 106, 127, 148, 169};
    static constexpr std::array<int, 6> kNameLines = {182, 196, 210, 188, 202, 216};
    int counter = -1;
    for (const std::string_view text : kMainPageTemplate)
        m_main[static_cast<size_t>(++counter)].Text = text;
    m_main[227].Text = std::string("Quorvane ") + kVersionText;
    m_registry.RefreshLine = 4;
    m_registry.TitleLine = 6;
    m_registry.HeadingLine = 32;
    m_registry.DateLine = 35;
    m_registry.EnergyFlowColour = 38;
    m_registry.EnergyFlowHeading = 40;
    m_registry.ModeStatus = 48;
    m_registry.BatteryStatus = 56;
    m_registry.LoadStatus = 64;
    for (size_t k = 0; k < kNameVarLines.size(); ++k) {
        m_registry.NameVar[k] = kNameVarLines[k];
        m_registry.BVar[k] = kNameVarLines[k] + 3;
    }
    m_registry.ComputedHeading = 177;
    for (size_t k = 0; k < kNameLines.size(); ++k) {
        m_registry.Name[k] = kNameLines[k];
        m_registry.Var[k] = kNameLines[k] + 3;
    }
    m_registry.LastLine = counter;
}

void WebPages::setLine(int line, std::string text)
{
    std::string& current = m_main[static_cast<size_t>(line)].Text;
    if (current == text)
        return;
    current = std::move(text);
    if (!m_publishScheduled) {
        m_publishScheduled = true;
        QMetaObject::invokeMethod(this, &WebPages::Publish, Qt::QueuedConnection);
    }
}

void WebPages::ApplyPageLabels(const TDati& settings)
{
    setLine(m_registry.HeadingLine, settings.Title);
    setLine(m_registry.TitleLine, "Quorvane");
    for (size_t k = 0; k < m_registry.Name.size(); ++k)
        setLine(m_registry.Name[k], settings.Aux[k] + " (" + settings.UnitAux[k] + ")");
    for (size_t k = 0; k < m_registry.NameVar.size(); ++k)
        setLine(m_registry.NameVar[k], settings.BasicCaptions[k] + " (" + kBasicUnits[k] + ")");
}

void WebPages::UpdatePageValues(const DisplayTexts& display, const EnergyFlow& flow, const std::string& lastReadingStamp)
{
    setLine(m_registry.DateLine, lastReadingStamp);
    for (size_t k = 0; k < m_registry.BVar.size(); ++k)
        setLine(m_registry.BVar[k], display.Basic[k]);
    for (size_t k = 0; k < m_registry.Var.size(); ++k)
        setLine(m_registry.Var[k], display.Computed[k]);
    setLine(m_registry.ModeStatus, ModeText(flow.Mode));
    setLine(m_registry.LoadStatus, LoadSourceWithPriorityText(flow));
    setLine(m_registry.BatteryStatus, ChargeStateText(flow.Charge));
}

std::string WebPages::ApplyRefreshChoice(int refreshWeb)
{
    const size_t choice = refreshWeb >= 0 && refreshWeb < static_cast<int>(kRefreshChoices.size())
                              ? static_cast<size_t>(refreshWeb)
                              : 0; // out of range: as the first choice
    const auto [seconds, note] = kRefreshChoices[choice];
    std::string line = kContentLanguage;
    if (seconds != nullptr)
        line += std::string(" <meta http-equiv=\"refresh\" content=\"") + seconds + "\">";
    setLine(m_registry.RefreshLine, line);
    return note;
}

void WebPages::SetEnergyFlow(const std::string& colour, const std::string& heading)
{
    setLine(m_registry.EnergyFlowColour, colour);
    setLine(m_registry.EnergyFlowHeading, heading);
}

void WebPages::SetComputedHeading(const std::string& heading)
{
    setLine(m_registry.ComputedHeading, heading);
}

std::shared_ptr<const std::string> WebPages::MainPageText() const
{
    const std::lock_guard lock(m_publishedMutex);
    return m_mainText;
}

std::shared_ptr<const std::string> WebPages::TimerPageText() const
{
    const std::lock_guard lock(m_publishedMutex);
    return m_timerText;
}

void WebPages::Publish()
{
    m_publishScheduled = false;
    auto main = joined(m_main, m_registry.LastLine);
    auto timer = joined(m_timer, kTimerPageLastLine);
    const std::lock_guard lock(m_publishedMutex);
    m_mainText = std::move(main);
    m_timerText = std::move(timer);
}

} // namespace quorvane
