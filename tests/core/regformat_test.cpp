// The text parsers of the registry module at their limits; how their results land in
// the registry is checked through writeValue in the Win32 tests.
#include "registry/regformat.h"

#include <gtest/gtest.h>

using namespace modReg;

TEST(RootKeyCode, SevenNamesExactlyAsWritten) {
    const wchar_t* names[] = {
        L"HKEY_CLASSES_ROOT",     L"HKEY_CURRENT_USER",   L"HKEY_LOCAL_MACHINE", L"HKEY_USERS",
        L"HKEY_PERFORMANCE_DATA", L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA"};
    for (std::uint32_t i = 0; i < 7; ++i)
        EXPECT_EQ(rootKeyCode(names[i]), 0x80000000u + i) << names[i];
    for (const auto* other : {L"hkey_local_machine", L"HKLM", L"", L" HKEY_USERS", L"HKEY_USERS "})
        EXPECT_EQ(rootKeyCode(other), 0u) << other;
}

TEST(TextToData, DwordWithin32BitsAndHexPairs) {
    EXPECT_EQ(dwordFromText("+7"), 7u);
    EXPECT_EQ(dwordFromText("0000000000012"), 12u);
    EXPECT_EQ(dwordFromText("2147483647"), 0x7FFFFFFFu);
    EXPECT_EQ(dwordFromText("-2147483648"), 0x80000000u);
    EXPECT_EQ(dwordFromText("&hff"), 255u);
    EXPECT_EQ(dwordFromText("&HFFFFFFFF"), 0xFFFFFFFFu);
    for (const auto* bad :
         {"", "-", "+", "2147483648", "-2147483649", "4294967295", "12a", " 1",
          "99999999999999999999", "&H", "&H100000000", "&HG", "0xFF", "&O17", "&H-1"})
        EXPECT_FALSE(dwordFromText(bad).has_value()) << bad;
    EXPECT_EQ(bytesFromHex("00f"), std::string("\0\x0F", 2));
    for (const auto* bad : {"-1", "0x0A", "A,", "\xAE"})
        EXPECT_FALSE(bytesFromHex(bad).has_value()) << bad;
}
