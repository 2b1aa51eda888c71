#include "config/Settings.h"
#include "core/ComputedValues.h"
#include "core/DisplayTexts.h"
#include "inverter/MeasurementRecord.h"
#include "monitor/DisplayRefresh.h"
#include "web/WebPages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace quorvane;

namespace {

std::string golden(const char* name)
{
    std::ifstream in(std::string(QUORVANE_WEB_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& page)
{
    std::vector<std::string> lines;
    std::stringstream stream(page);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(WebPages, AsSentBeforeAndAfterTheSettingsAreApplied)
{
    WebPages pages;
    EXPECT_EQ(*pages.MainPageText(), golden("MainPage-template.html"));
    EXPECT_EQ(*pages.TimerPageText(), golden("TimerPage.html"));

    TDati settings(QDate(2026, 6, 1));
    pages.ApplyPageLabels(settings);
    const std::string note = pages.ApplyRefreshChoice(settings.RefreshWeb);
    pages.Publish();
    EXPECT_EQ(note, " (Refresh = 2 sec.)");
    EXPECT_EQ(*pages.MainPageText(), golden("MainPage-applied.html"));
    EXPECT_EQ(*pages.TimerPageText(), golden("TimerPage.html"));
}

TEST(WebPages, LinesThatMatterCharacterForCharacter)
{
    WebPages pages;
    const auto main = linesOf(*pages.MainPageText());
    ASSERT_EQ(main.size(), 237u);
    EXPECT_EQ(main[0], "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
    EXPECT_EQ(main[1], "<html xmlns=\"http://www.w3.org/1999/xhtml\">");
    EXPECT_EQ(main[3], "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />");
    EXPECT_EQ(main[9], ".style7 {\ttext-align: center;");
    EXPECT_EQ(main[31], " ");
    EXPECT_EQ(main[39], "\">");
    EXPECT_EQ(main[48], "    ModeStatus");
    EXPECT_EQ(main[76], "    BVar1");
    EXPECT_EQ(main[227], "Quorvane 1.2.0.0");
    EXPECT_EQ(main[230], "</tr>   ");
    EXPECT_EQ(main[236], "</html>");

    const auto timer = linesOf(*pages.TimerPageText());
    ASSERT_EQ(timer.size(), 106u);
    EXPECT_EQ(timer[39], "\t<p class=\"style7\" style=\"width: 594px\"><font color=\"#0000ff\" size=\"7\">"
                         "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; Timer ");
    EXPECT_EQ(timer[97], "\t<p>&nbsp;</p> ");
    EXPECT_EQ(timer[99], "Quorvane 1.2.0.0");
    EXPECT_EQ(timer[100], "</font><br></div></td></tr>    ");
    EXPECT_EQ(pages.MainPage()[237].Text, "");
}

TEST(WebPages, TheRegistryNamesEveryLineOthersWrite)
{
    WebPages pages;
    const PageLineRegistry& registry = pages.Registry();
    EXPECT_EQ(registry.LastLine, 236);
    const struct {
        int line;
        const char* text;
    } cases[] = {
        {registry.RefreshLine, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"1\">"},
        {registry.TitleLine, "Kestrane Inverter Page - By OstrevalSoftware"},
        {registry.HeadingLine, "Welcome to Dalvenor Server"},
        {registry.DateLine, "01/01/2010 - 23:20:25"},
        {registry.EnergyFlowColour, "#0000FF"},
        {registry.EnergyFlowHeading, "Energy flow"},
        {registry.BatteryStatus, "    BatteryStatus"},
        {registry.LoadStatus, "    LoadStatus"},
        {registry.NameVar[0], "    NameVar1"},
        {registry.NameVar[14], "    NameVar15"},
        {registry.BVar[6], "    BVar7 "},
        {registry.Name[5], "    Name6"},
        {registry.Var[2], "    Var3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pages.MainPage()[static_cast<size_t>(c.line)].Text, c.text) << c.line;
}

TEST(WebPages, RefreshChoices)
{
    const struct {
        int choice;
        const char* line;
        const char* note;
    } cases[] = {
        {0, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"1\">", " (Refresh = 1 sec.)"},
        {1, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"2\">", " (Refresh = 2 sec.)"},
        {2, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"3\">", " (Refresh = 3 sec.)"},
        {3, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"5\">", " (Refresh = 5 sec.)"},
        {4, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"10\">", " (Refresh = 10 sec.)"},
        {5, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"60\">", " (Refresh = 60 sec.)"},
        {6, "<meta http-equiv=\"Content-Language\" content=\"en-gb\">", " (Refresh = manually)"},
        {9, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"1\">", " (Refresh = 1 sec.)"},
        {-1, "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"1\">", " (Refresh = 1 sec.)"},
    };
    WebPages pages;
    for (const auto& c : cases) {
        EXPECT_EQ(pages.ApplyRefreshChoice(c.choice), c.note) << c.choice;
        pages.Publish();
        EXPECT_EQ(linesOf(*pages.MainPageText())[4], c.line) << c.choice;
    }
}

TEST(WebPages, TheDisplayRefreshFillsPanelsAndValueLines)
{
    MeasurementRecord record;
    record.AcVoltage = "230.0";
    record.BatteryVoltage = "26.5";
    record.SccBatteryVoltage = "26.4";
    record.BusVoltage = "460";
    record.Flow.Mode = InverterMode::Battery;
    record.Flow.Charge = ChargeState::Solar;
    record.Flow.DecidedSource = LoadSource::BatteryAndSolar;
    record.Flow.Source = LoadSource::BatteryAndSolar;
    record.Flow.SourceDecided = true;
    record.Flow.PriorityWhenDecided = OutputPriority::SBU;
    record.Flow.Priority = OutputPriority::SBU;
    record.LastReadingStamp = "06/01/26 - 12:00:00 (Refresh = 2 sec.)";
    ComputedValues computed{12.34567, 500, 0, 0.0005, 1234.5, 0};
    DisplayTexts display;
    WebPages pages;
    RefreshDisplay(record, computed, display, pages);
    pages.Publish();

    EXPECT_EQ(display.Basic[4], "26.5[26.4]");
    EXPECT_EQ(display.Computed[0], "12.346");
    EXPECT_EQ(display.Computed[3], "0.001");
    EXPECT_EQ(display.Panel22, "Battery");
    EXPECT_EQ(display.Panel24, "Source:Batt./Solar");
    EXPECT_EQ(display.Panel4, "SBU");
    const auto lines = linesOf(*pages.MainPageText());
    const PageLineRegistry& registry = pages.Registry();
    EXPECT_EQ(lines[static_cast<size_t>(registry.DateLine)], "06/01/26 - 12:00:00 (Refresh = 2 sec.)");
    EXPECT_EQ(lines[static_cast<size_t>(registry.BVar[0])], "230.0");
    EXPECT_EQ(lines[static_cast<size_t>(registry.BVar[4])], "26.5[26.4]");
    EXPECT_EQ(lines[static_cast<size_t>(registry.BVar[1])], ""); // a variable never read is empty
    EXPECT_EQ(lines[static_cast<size_t>(registry.Var[0])], "12.346");
    EXPECT_EQ(lines[static_cast<size_t>(registry.ModeStatus)], "Battery");
    EXPECT_EQ(lines[static_cast<size_t>(registry.LoadStatus)], "Source:Batt./Solar (SBU)");
    EXPECT_EQ(lines[static_cast<size_t>(registry.BatteryStatus)], "Solar charge");
}

TEST(WebPages, NonAsciiNamesGoOutAsUtf8)
{
    TDati settings(QDate(2026, 6, 1));
    settings.Title = "Centrale solaire à Zürich";
    settings.BasicCaptions[0] = "Tension réseau";
    WebPages pages;
    pages.ApplyPageLabels(settings);
    pages.Publish();
    const auto lines = linesOf(*pages.MainPageText());
    EXPECT_EQ(lines[32], "Centrale solaire \xC3\xA0 Z\xC3\xBCrich");
    EXPECT_EQ(lines[73], "Tension r\xC3\xA9seau (V)");
}
