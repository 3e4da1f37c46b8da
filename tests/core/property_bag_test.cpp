#include "controls/property_bag.h"
#include "toolkit/colour.h"

#include <gtest/gtest.h>

namespace {

using ctl::PropertyBag;

TEST(PropertyBag, ValuesEqualToTheirDefaultAreNotWritten) {
    PropertyBag bag;
    bag.write(L"Enabled", true, true);
    bag.write(L"ForeColor", tk::kColourButtonText, tk::kColourButtonText);
    bag.write(L"Font", tk::makeFont(), tk::makeFont()); // other objects, same description
    bag.write(L"Caption", std::wstring(L"Apply DNS"), std::wstring(L"UniButton"));
    // What was not written reads as whatever default the reader gives.
    EXPECT_FALSE(bag.readBool(L"Enabled", false));
    EXPECT_EQ(bag.readColour(L"ForeColor", 0), 0u);
    EXPECT_EQ(bag.readFont(L"Font", nullptr), nullptr);
    EXPECT_EQ(bag.readString(L"Caption", L""), L"Apply DNS");
    // Writing the default again removes the earlier entry.
    bag.write(L"Caption", std::wstring(L"UniButton"), std::wstring(L"UniButton"));
    EXPECT_EQ(bag.readString(L"Caption", L""), L"");
}

TEST(PropertyBag, NamesIgnoreCaseAndMissingOrOtherTypeEntriesReadAsTheirDefaults) {
    PropertyBag bag;
    tk::FontDescription boldDescription;
    boldDescription.weight = 700;
    auto bold = tk::makeFont(boldDescription);
    bag.write(L"Font", bold, tk::makeFont());
    bag.write(L"ForeColor", std::uint32_t{0xC0}, tk::kColourButtonText);
    bag.write(L"BORDERSTYLE", std::int32_t{1}, std::int32_t{0});
    bag.write(L"Enabled", std::wstring(L"yes"), true);
    EXPECT_EQ(bag.readFont(L"FONT", nullptr), bold);
    EXPECT_EQ(bag.readColour(L"forecolor", 0), 0xC0u);
    EXPECT_EQ(bag.readLong(L"BorderStyle", 0), 1);

    EXPECT_FALSE(bag.readBool(L"Enabled", false)); // a string where a bool belongs
    EXPECT_EQ(bag.readString(L"BorderStyle", L"none"), L"none");
    EXPECT_EQ(bag.readLong(L"Alignment", 7), 7);
    EXPECT_EQ(bag.readFont(L"ForeColor", bold), bold);
}

} // namespace
