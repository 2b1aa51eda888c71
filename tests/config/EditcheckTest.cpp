#include "FakeUserNotifier.h"
#include "config/Editcheck.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(Editcheck, PortFieldEntries)
{
    const std::string below = "Pellmara: Value out of range; minimum value allowed = 0.";
    const std::string above = "Pellmara: Value out of range; maximum value allowed= 65535.";
    const struct {
        const char* text;
        int value;
        std::vector<std::string> messages;
    } cases[] = {
        {"8080", 8080, {}},
        {"", 0, {}},
        {"-", 0, {}},
        {"70000", -1, {above}},
        {"-5", -1, {below}},
        {"5-5", -1, {"Pellmara: Wrong integer", below}},
        {"99999999999", -1, {"Pellmara: Wrong integer", below}},
        {"0", 0, {}},
        {"65535", 65535, {}},
    };
    for (const auto& c : cases) {
        fakes::FakeUserNotifier person;
        EXPECT_EQ(ValidatedIntegerEntry(c.text, -1, 0, 65535, &person), c.value) << '"' << c.text << '"';
        EXPECT_EQ(person.captionedWarnings, c.messages) << '"' << c.text << '"';
        EXPECT_EQ(ValidatedIntegerEntry(c.text, -1, 0, 65535, nullptr), c.value) << '"' << c.text << '"';
    }
}

TEST(Editcheck, OnlyAnIntegersKeysReachTheField)
{
    for (int key = 1; key < 128; ++key) {
        const char c = static_cast<char>(key);
        const bool passes = (c >= '0' && c <= '9') || c == '\b' || c == '\r' || c == '-';
        EXPECT_EQ(FilterIntegerKey(c), passes ? c : '\0') << key;
    }
}
