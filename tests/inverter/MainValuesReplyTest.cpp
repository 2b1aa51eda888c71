// How a main-values payload is judged: the shapes real units send are read, anything else in
// the fields the program reads rejects the reply whole.
#include "inverter/MainValuesReply.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvane;

namespace {

// Fields 1-16 of a usual reply, then the status bits, then what follows them.
const std::string kMeasurements =
    "230.0 50.0 230.0 49.9 0161 0119 003 460 57.50 012 100 0069 0014 103.8 57.45 00000";

std::string payload(const std::string& statusBits, const std::string& tail = " 00 00 00856 010")
{
    return kMeasurements + " " + statusBits + tail;
}

} // namespace

TEST(ParseMainValues, TheShapesUnitsSendAreRead)
{
    const struct {
        const char* name;
        std::string payload;
        size_t fields;
        int chargeOn, solar, line;
    } cases[] = {
        {"21 fields", payload("00110110"), 21, 1, 1, 0},
        {"17 fields of older firmware", payload("00010101", ""), 17, 1, 0, 1},
        {"24 fields of larger units", payload("00000000", " 00 00 00856 010 0 00 0000"), 24, 0, 0, 0},
        {"five-digit power fields",
         "201.6 50.0 201.6 50.0 03749 03724 034 435 55.60 001 100 0046 00.0 000.0 00.00 00000 00010111 00 00 00000 110",
         21, 1, 1, 1},
        {"trailing fields are not judged", payload("00010110", " 00 xx -1 ABC"), 21, 1, 1, 0},
        {"a space at the end", payload("00010110") + " ", 21, 1, 1, 0},
    };
    for (const auto& c : cases) {
        const auto reply = ParseMainValues(c.payload);
        ASSERT_TRUE(reply) << c.name;
        EXPECT_EQ(reply->Fields.size(), c.fields) << c.name;
        EXPECT_EQ(reply->Fields.front(), c.payload.substr(0, c.payload.find(' '))) << c.name;
        EXPECT_EQ(reply->ChargeOn, c.chargeOn) << c.name;
        EXPECT_EQ(reply->SolarCharging, c.solar) << c.name;
        EXPECT_EQ(reply->LineCharging, c.line) << c.name;
    }
}

TEST(ParseMainValues, AFieldTheProgramReadsThatIsNotWhatItMustBeRejectsTheReply)
{
    const struct {
        const char* name;
        std::string payload;
    } cases[] = {
        {"two fields", "230.0 50.0"},
        {"sixteen fields", kMeasurements},
        {"the refusal", "NAK"},
        {"nothing", ""},
        {"a letter in a measurement", "23A.0" + payload("00110110").substr(5)},
        {"a sign", "-30.0" + payload("00110110").substr(5)},
        {"two decimal points", "2.30.0" + payload("00110110").substr(5)},
        {"a NUL in a field", std::string("230.0 50.0 230.0 4\0.9", 21) + payload("00110110").substr(21)},
        {"an empty field (two spaces)", "230.0  " + payload("00110110").substr(6)},
        {"a point alone", "." + payload("00110110").substr(5)},
        {"status bits of seven characters", payload("0011011")},
        {"status bits of nine characters", payload("001101100")},
        {"a status bit that is no bit", payload("00110120")},
        {"the status bits as a number", payload("110110")},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ParseMainValues(c.payload)) << c.name;
}

TEST(IsPlainNumber, DigitsWithAtMostOnePoint)
{
    for (const char* number : {"0", "230.0", "0161", ".5", "5.", "00000"})
        EXPECT_TRUE(IsPlainNumber(number)) << number;
    for (const char* other : {"", ".", "1.2.3", "-1", "+1", "1e3", " 1", "1 ", "0x1", "23A"})
        EXPECT_FALSE(IsPlainNumber(other)) << '"' << other << '"';
}
