#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include <QObject>

namespace quorvane {

struct DisplayTexts;
struct EnergyFlow;
struct TDati;

// One line of a page.
struct TPageWeb {
    std::string Text;
};

// The numbers of the main page lines that other parts overwrite, recorded as the page is
// built; writers address lines only through these.
struct PageLineRegistry {
    int RefreshLine = -1;
    int TitleLine = -1;
    int HeadingLine = -1;
    int DateLine = -1;
    int EnergyFlowColour = -1;
    int EnergyFlowHeading = -1;
    int ModeStatus = -1;
    int BatteryStatus = -1;
    int LoadStatus = -1;
    std::array<int, 15> NameVar{};
    std::array<int, 15> BVar{};
    int ComputedHeading = -1;
    std::array<int, 6> Name{};
    std::array<int, 6> Var{};
    int LastLine = -1;
};

// The two pages as arrays of lines, and the joined text of each that the server sends.
//
// Thread ownership: the lines belong to the core thread, which writes them. Server threads
// only take the published texts (MainPageText, TimerPageText): each is one consistent page,
// rebuilt at most once per turn of the core's event loop after lines changed, so serving a
// page is a copy of a ready text, never half of one refresh and half of the next.
class WebPages final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMainPageSize = 400;
    static constexpr int kTimerPageSize = 150;
    static constexpr int kTimerPageLastLine = 105;
    static constexpr int kTimerFooterLine = 99;

    explicit WebPages(QObject* parent = nullptr);

    // Title, heading, the names and units of every value line.
    void ApplyPageLabels(const TDati& settings);
    // The date line, every value line from what the window shows, and the energy-flow texts.
    void UpdatePageValues(const DisplayTexts& display, const EnergyFlow& flow, const std::string& lastReadingStamp);
    // The refresh header for a [Main] RefreshWeb choice; returns the note that ends the date
    // line (" (Refresh = 2 sec.)").
    std::string ApplyRefreshChoice(int refreshWeb);
    void SetEnergyFlow(const std::string& colour, const std::string& heading);
    void SetComputedHeading(const std::string& heading);

    [[nodiscard]] const PageLineRegistry& Registry() const { return m_registry; }
    [[nodiscard]] const std::array<TPageWeb, kMainPageSize>& MainPage() const { return m_main; }
    [[nodiscard]] const std::array<TPageWeb, kTimerPageSize>& TimerPage() const { return m_timer; }

    // Any thread: the page as sent (lines joined by LF, each line ended by one).
    [[nodiscard]] std::shared_ptr<const std::string> MainPageText() const;
    [[nodiscard]] std::shared_ptr<const std::string> TimerPageText() const;
    // Core thread: publishes the joined texts now (normally done once per event-loop turn).
    void Publish();

private:
    void setLine(int line, std::string text);
    void buildMainPage();

    std::array<TPageWeb, kMainPageSize> m_main;
    std::array<TPageWeb, kTimerPageSize> m_timer;
    PageLineRegistry m_registry;
    bool m_publishScheduled = false;

    mutable std::mutex m_publishedMutex;
    std::shared_ptr<const std::string> m_mainText;  // guarded by m_publishedMutex
    std::shared_ptr<const std::string> m_timerText; // guarded by m_publishedMutex
};

} // namespace quorvane
