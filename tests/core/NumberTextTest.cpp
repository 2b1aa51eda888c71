#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace quorvane;

TEST(NumberText, PointIsTheDecimalSeparatorAndJunkIsZero)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"230.0", 230.0}, {".0", 0.0}, {".5", 0.5}, {"57.50", 57.5}, {"0161", 161.0}, {"5.", 5.0},
        {"", 0.0}, {".", 0.0}, {"1.2.3", 0.0}, {"12a", 0.0}, {" 12", 0.0}, {"00110110000", 110110000.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(TextToDouble(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberText, IgnoresAProcessLocaleWithACommaSeparator)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_DOUBLE_EQ(TextToDouble("57.5"), 57.5);
    EXPECT_DOUBLE_EQ(TextToDouble("57,5"), 0.0);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberText, StatusBitsAndCounts)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {{"0", 0}, {"1", 1}, {".", 0}, {"", 0}, {"12", 12}, {"1.0", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TextToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberText, FixedPointNeverShowsMinusZero)
{
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {202.04, 1, "202.0"}, {205.0, 0, "205"}, {-0.0001, 3, "0.000"}, {-0.04, 1, "0.0"},
        {-1.25, 1, "-1.2"},   {12.3456, 3, "12.346"}, {0.0, 0, "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
    EXPECT_EQ(FormatFixed3(-0.0004), "0.000");
}
