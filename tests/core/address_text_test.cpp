#include "controls/address_text.h"

#include <gtest/gtest.h>

namespace {

using ctl::parseAddress;

TEST(AddressText, DottedDecimalGivesTheFieldValue) {
    EXPECT_EQ(parseAddress("8.8.4.4"), 0x08080404u);
    EXPECT_EQ(parseAddress("208.67.222.222"), 0xD043DEDEu);
    EXPECT_EQ(parseAddress("0.0.0.0"), 0u);
    EXPECT_EQ(parseAddress("255.255.255.255"), 0xFFFFFFFFu);
}

TEST(AddressText, FewerPartsFillTheRemainingBytesWithTheLast) {
    EXPECT_EQ(parseAddress("10.1"), 0x0A000001u);
    EXPECT_EQ(parseAddress("10.1.258"), 0x0A010102u);
    EXPECT_EQ(parseAddress("134744072"), 0x08080808u);
    EXPECT_FALSE(parseAddress("10.16777216"));
    EXPECT_FALSE(parseAddress("4294967296"));
}

TEST(AddressText, OctalAndHexadecimalParts) {
    EXPECT_EQ(parseAddress("010.0x10.0X1f.0"), 0x08101F00u);
    EXPECT_EQ(parseAddress("0xC0A80001"), 0xC0A80001u);
    EXPECT_FALSE(parseAddress("08.1.1.1"));
    EXPECT_FALSE(parseAddress("0x.1.1.1"));
}

TEST(AddressText, TextThatIsNotAnAddressIsRejected) {
    for (const char* text : {"", "abc", "1.2.3.4.5", "1..2", "1.2.3.", ".1.2.3", "256.1.1.1",
                             "1.2.3.4x", "-1.2.3.4", " 1.2.3.4"})
        EXPECT_FALSE(parseAddress(text)) << text;
    // White space ends the address.
    EXPECT_EQ(parseAddress("1.2.3.4 rest"), 0x01020304u);
}

TEST(AddressText, TheLongIsNetworkOrderReadLittleEndian) {
    EXPECT_EQ(ctl::addressLongFromFields(0x08080404u), 67373064);
    EXPECT_EQ(ctl::addressLongFromFields(0xD043DEDEu), -555858992);
    EXPECT_EQ(ctl::addressLongFromFields(0x08080808u), 134744072);
    EXPECT_EQ(ctl::fieldsFromAddressLong(67373064), 0x08080404u);
    EXPECT_EQ(ctl::addressLongFromText("8.8.4.4"), 67373064);
    EXPECT_EQ(ctl::addressLongFromText("abc"), -1);
}

TEST(AddressText, FormatsDecimalWithoutLeadingZeros) {
    EXPECT_EQ(ctl::formatAddress(0x08080404u), "8.8.4.4");
    EXPECT_EQ(ctl::formatAddress(0u), "0.0.0.0");
    EXPECT_EQ(ctl::formatAddress(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(ctl::formatAddress(*parseAddress("010.0x10.0.9")), "8.16.0.9");
}

} // namespace
