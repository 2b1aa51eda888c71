// The pure parts of the forms: reading a posted body, who counts as local, the password guard.
#include "web/WebAccess.h"
#include "web/WebForms.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;

TEST(WebForms, FieldsAreDecodedAndMatchedByTheirWholeName)
{
    const FormFields form("T2=p+w%26x%3D&B1=zzT2%3Dsecret&T2=second&empty=&bare&%zz=50%&C1TA=ON");
    EXPECT_EQ(form.Count("T2"), 2u);
    EXPECT_EQ(form.First("T2"), "p w&x=");
    EXPECT_EQ(form.First("B1"), "zzT2=secret"); // a field's text never counts as another field
    EXPECT_EQ(form.First("empty"), "");
    EXPECT_EQ(form.First("bare"), "");
    EXPECT_EQ(form.First("%zz"), "50%"); // a "%" that starts no escape stays as it is
    EXPECT_EQ(form.First("C1TA"), "ON");
    EXPECT_EQ(form.First("TAON"), std::nullopt);
    EXPECT_FALSE(IsTimerForm(form));
    EXPECT_TRUE(IsTimerForm(FormFields("TAON=&T2=")));
    EXPECT_FALSE(IsTimerForm(FormFields("T1=TAON")));
}

TEST(WebForms, TimerTimesAreReadFromTheirOwnFields)
{
    const struct {
        const char* on;
        bool valid;
    } cases[] = {
        {"07.00.00", true},
        {"9.30.00", true},
        {"23.59.59+", true}, // a trailing blank
        {"07.00.00x", false}, // no longer cut to eight characters
        {"9.30", false},
        {"12%3A30%3A00", false}, // hh.mm.ss only
        {"24.00.00", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const TimerFormPost post = ReadTimerForm(FormFields(std::string("C2TB=ON&TBON=") + c.on + "&TBOFF=19.00.00&T2="));
        EXPECT_TRUE(post.Enabled[1]) << c.on;
        EXPECT_FALSE(post.Enabled[0]) << c.on;
        EXPECT_FALSE(post.Times[0].has_value()) << c.on; // timer A was not posted
        ASSERT_TRUE(post.Times[1].has_value()) << c.on;
        EXPECT_EQ(post.Times[1]->has_value(), c.valid) << c.on;
    }
    const TimerFormPost onlyOn = ReadTimerForm(FormFields("TAON=07.00.00"));
    ASSERT_TRUE(onlyOn.Times[0].has_value());
    EXPECT_FALSE(onlyOn.Times[0]->has_value()); // a missing OFF field is an invalid time
}

TEST(WebForms, CommandWordsAreTheWholeFieldOnlyOnce)
{
    using Word = CommandFormPost::Word;
    const struct {
        const char* body;
        Word word;
    } cases[] = {
        {"T1=log", Word::Log},         {"T1=logout", Word::None}, {"T1=data", Word::Data},
        {"T1=data2", Word::None},      {"T1=exe", Word::Exe},     {"T1=log&T1=log", Word::None},
        {"C1=ON&T1=secret", Word::None}, {"B1=T1%3Dlog", Word::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadCommandForm(FormFields(c.body)).Command, c.word) << c.body;
    const CommandFormPost post = ReadCommandForm(FormFields("C1=ON&C3=on&C8=ON&C9=ON"));
    EXPECT_EQ(post.Requested, (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
}

TEST(WebAccess, LocalNetworkAddresses)
{
    const struct {
        const char* address;
        bool local;
    } cases[] = {
        {"127.0.0.1", true},       {"127.45.6.7", true},        {"10.1.2.3", true},
        {"172.16.0.1", true},      {"172.31.255.255", true},    {"172.15.0.1", false},
        {"172.32.0.1", false},     {"192.168.1.20", true},      {"192.169.1.20", false},
        {"169.254.3.4", true},     {"203.0.113.5", false},      {"8.8.8.8", false},
        {"100.64.0.1", false},     {"::1", true},               {"fd12:3456::1", true},
        {"fc00::1", true},         {"fe80::1%eth0", true},      {"febf::1", true},
        {"fec0::1", false},        {"2001:db8::1", false},      {"::ffff:192.168.0.9", true},
        {"::ffff:203.0.113.5", false}, {"::", false},           {"", false},
        {"localhost", false},      {"192.168.1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLocalNetworkAddress(c.address), c.local) << c.address;
}

TEST(WebAccess, PasswordsCompareExactly)
{
    EXPECT_TRUE(ConstantTimeEquals("secret123", "secret123"));
    EXPECT_TRUE(ConstantTimeEquals("", ""));
    for (const char* given : {"secret12", "secret123XYZ", "Secret123", "", "secret124"})
        EXPECT_FALSE(ConstantTimeEquals(given, "secret123")) << given;
    EXPECT_FALSE(ConstantTimeEquals("x", ""));
}

TEST(WebAccess, FiveWrongPasswordsRefuseAnAddressForAMinute)
{
    PasswordGuard guard;
    const PasswordGuard::Millis start{1'000'000};
    for (int i = 1; i < PasswordGuard::kAllowedFailures; ++i)
        EXPECT_FALSE(guard.Failed("10.0.0.5", start)) << i;
    EXPECT_FALSE(guard.Refused("10.0.0.5", start));
    EXPECT_TRUE(guard.Failed("10.0.0.5", start)); // the fifth: the lockout begins, reported once
    EXPECT_TRUE(guard.Refused("10.0.0.5", start + 59s));
    EXPECT_FALSE(guard.Refused("10.0.0.6", start)); // other addresses are not affected
    EXPECT_FALSE(guard.Refused("10.0.0.5", start + 60s));
    EXPECT_FALSE(guard.Failed("10.0.0.5", start + 60s)); // a new count

    // Wrong passwords a minute apart never add up.
    for (int i = 0; i < 2 * PasswordGuard::kAllowedFailures; ++i)
        EXPECT_FALSE(guard.Failed("10.0.0.8", start + i * 60s)) << i;

    // A right password in between starts the count again.
    for (int i = 1; i < PasswordGuard::kAllowedFailures; ++i)
        guard.Failed("10.0.0.7", start);
    guard.Succeeded("10.0.0.7");
    EXPECT_FALSE(guard.Failed("10.0.0.7", start));
    EXPECT_FALSE(guard.Refused("10.0.0.7", start));
}

TEST(WebAccess, TheGuardForgetsTheOldestWhenFullButKeepsLockouts)
{
    PasswordGuard guard;
    const PasswordGuard::Millis start{1'000'000};
    for (int i = 0; i < PasswordGuard::kAllowedFailures; ++i)
        guard.Failed("locked", start);
    for (size_t i = 0; i < PasswordGuard::kMaxAddresses + 10; ++i)
        guard.Failed("10.9." + std::to_string(i / 256) + "." + std::to_string(i % 256), start + std::chrono::milliseconds(i));
    EXPECT_TRUE(guard.Refused("locked", start + 1s));
}
