#include "registry/regformat.h"

#include <gtest/gtest.h>

using namespace modReg;

TEST(RootKeyCode, SevenNamesExactlyAsWritten) {
    EXPECT_EQ(rootKeyCode(L"HKEY_CLASSES_ROOT"), 0x80000000u);
    EXPECT_EQ(rootKeyCode(L"HKEY_CURRENT_USER"), 0x80000001u);
    EXPECT_EQ(rootKeyCode(L"HKEY_LOCAL_MACHINE"), 0x80000002u);
    EXPECT_EQ(rootKeyCode(L"HKEY_USERS"), 0x80000003u);
    EXPECT_EQ(rootKeyCode(L"HKEY_PERFORMANCE_DATA"), 0x80000004u);
    EXPECT_EQ(rootKeyCode(L"HKEY_CURRENT_CONFIG"), 0x80000005u);
    EXPECT_EQ(rootKeyCode(L"HKEY_DYN_DATA"), 0x80000006u);
    for (const auto* other : {L"hkey_local_machine", L"HKLM", L"", L" HKEY_USERS", L"HKEY_USERS "})
        EXPECT_EQ(rootKeyCode(other), 0u) << other;
}

TEST(ValueText, StringStopsAtFirstNulAndDropsBlanks) {
    EXPECT_EQ(stringValueText(std::string_view("  8.8.8.8 \0tail   ", 19)), "8.8.8.8");
    std::string filler(1024, ' ');
    filler.replace(0, 7, "1.1.1.1");
    EXPECT_EQ(stringValueText(filler), "1.1.1.1");
    EXPECT_EQ(stringValueText(std::string(1024, ' ')), "");
    EXPECT_EQ(stringValueText(std::string_view("\0abc", 4)), "");
}

TEST(ValueText, BinaryIsUpperHexOfTheBlankTrimmedBuffer) {
    std::string buffer(1024, ' ');
    buffer.replace(0, 3, "\x0A\x1B\xFF");
    EXPECT_EQ(binaryValueText(buffer), "0A1BFF");
    // Blanks inside the data stay; those at the ends are taken for filler.
    buffer = std::string(1024, ' ');
    buffer.replace(0, 4, " \x01 \x02");
    EXPECT_EQ(binaryValueText(buffer), "012002");
    EXPECT_EQ(binaryValueText(std::string_view("\0\x0f", 2)), "000F");
    EXPECT_EQ(binaryValueText(std::string(1024, ' ')), "");
}

TEST(ValueText, DwordIsSignedDecimal) {
    EXPECT_EQ(dwordValueText(1), "1");
    EXPECT_EQ(dwordValueText(0), "0");
    EXPECT_EQ(dwordValueText(0xFFFFFFFFu), "-1");
    EXPECT_EQ(dwordValueText(0x80000000u), "-2147483648");
    EXPECT_EQ(dwordValueText(0x7FFFFFFFu), "2147483647");
}

TEST(BytesFromHex, PairsAndALastSingleDigit) {
    EXPECT_EQ(bytesFromHex("0A1BFF"), std::string("\x0A\x1B\xFF"));
    EXPECT_EQ(bytesFromHex("0a1bff"), std::string("\x0A\x1B\xFF"));
    EXPECT_EQ(bytesFromHex("ABC"), std::string("\xAB\x0C"));
    EXPECT_EQ(bytesFromHex(""), std::string());
    EXPECT_EQ(bytesFromHex("00"), std::string(1, '\0'));
}

TEST(BytesFromHex, RefusesAnythingButHexDigits) {
    for (const auto* bad : {"0G", "0A 1B", "-1", "0x0A", "A,", "\xAE"})
        EXPECT_FALSE(bytesFromHex(bad).has_value()) << bad;
}

TEST(DwordFromText, DecimalWithin32BitsSigned) {
    EXPECT_EQ(dwordFromText("1"), 1u);
    EXPECT_EQ(dwordFromText("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(dwordFromText("+7"), 7u);
    EXPECT_EQ(dwordFromText("2147483647"), 0x7FFFFFFFu);
    EXPECT_EQ(dwordFromText("-2147483648"), 0x80000000u);
    EXPECT_EQ(dwordFromText("0000000000012"), 12u);
    for (const auto* bad : {"", "-", "2147483648", "-2147483649", "4294967295", "1.5", "12a", " 1",
                            "99999999999999999999"})
        EXPECT_FALSE(dwordFromText(bad).has_value()) << bad;
}

TEST(DwordFromText, AmpersandHHex) {
    EXPECT_EQ(dwordFromText("&HFF"), 255u);
    EXPECT_EQ(dwordFromText("&hff"), 255u);
    EXPECT_EQ(dwordFromText("&HFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(dwordFromText("&H0"), 0u);
    for (const auto* bad : {"&H", "&H100000000", "&HG", "0xFF", "&O17", "&H-1"})
        EXPECT_FALSE(dwordFromText(bad).has_value()) << bad;
}

TEST(ValueKindFromName, CaseInsensitiveThreeNames) {
    EXPECT_EQ(valueKindFromName(L"string"), ValueKind::String);
    EXPECT_EQ(valueKindFromName(L"String"), ValueKind::String);
    EXPECT_EQ(valueKindFromName(L"BINARY"), ValueKind::Binary);
    EXPECT_EQ(valueKindFromName(L"DWORD"), ValueKind::Dword);
    for (const auto* other : {L"text", L"", L" string", L"sz", L"dword "})
        EXPECT_EQ(valueKindFromName(other), ValueKind::Unknown) << other;
}
