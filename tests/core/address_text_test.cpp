#include "controls/address_text.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressText, ReadsOneToFourPartsInAnyBaseAndRejectsTheRest) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> fields;
    } rows[] = {
        {"8.8.4.4", 0x08080404u},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"0.0.0.0", 0u},
        {"10.1", 0x0A000001u}, // the last part fills the remaining bytes
        {"10.1.258", 0x0A010102u},
        {"134744072", 0x08080808u},
        {"010.0x10.0X1f.0", 0x08101F00u}, // octal and hexadecimal parts
        {"0xC0A80001", 0xC0A80001u},
        {"1.2.3.4 rest", 0x01020304u}, // white space ends the address
    };
    for (const auto& row : rows)
        EXPECT_EQ(ctl::parseAddress(row.text), row.fields) << row.text;
    for (const char* text :
         {"", "abc", "1.2.3.4.5", "1..2", "1.2.3.", ".1.2.3", "256.1.1.1", "1.2.3.4x", "-1.2.3.4",
          " 1.2.3.4", "08.1.1.1", "0x.1.1.1", "10.16777216", "4294967296"})
        EXPECT_EQ(ctl::parseAddress(text), std::nullopt) << text;
}

TEST(AddressText, FormatsDecimalWithoutLeadingZeros) {
    EXPECT_EQ(ctl::formatAddress(*ctl::parseAddress("010.0x10.0.9")), "8.16.0.9");
    EXPECT_EQ(ctl::formatAddress(0xFFFFFFFFu), "255.255.255.255");
}

} // namespace
