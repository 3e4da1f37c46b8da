#include "controls/property_bag.h"
#include "toolkit/colour.h"

#include <gtest/gtest.h>

namespace {

using ctl::PropertyBag;

TEST(PropertyBag, ValuesEqualToTheirDefaultAreNotWritten) {
    PropertyBag bag;
    bag.write(L"Caption", std::wstring(L"UniButton"), std::wstring(L"UniButton"));
    bag.write(L"Enabled", true, true);
    bag.write(L"ForeColor", tk::kColourButtonText, tk::kColourButtonText);
    EXPECT_EQ(bag.size(), 0u);

    bag.write(L"Caption", std::wstring(L"Apply DNS"), std::wstring(L"UniButton"));
    EXPECT_EQ(bag.readString(L"Caption", L"UniButton"), L"Apply DNS");
    // Writing the default again removes the earlier entry.
    bag.write(L"Caption", std::wstring(L"UniButton"), std::wstring(L"UniButton"));
    EXPECT_FALSE(bag.contains(L"Caption"));
}

TEST(PropertyBag, MissingEntriesReadAsTheirDefaults) {
    const PropertyBag bag;
    EXPECT_EQ(bag.readString(L"Caption", L"UniLabel"), L"UniLabel");
    EXPECT_TRUE(bag.readBool(L"Enabled", true));
    EXPECT_EQ(bag.readLong(L"Alignment", 0), 0);
    EXPECT_EQ(bag.readColour(L"BackColor", tk::kColourButtonFace), tk::kColourButtonFace);
    auto ambient = tk::makeFont();
    EXPECT_EQ(bag.readFont(L"Font", ambient), ambient);
}

TEST(PropertyBag, NamesIgnoreCaseAndAreStoredInLowerCase) {
    PropertyBag bag;
    bag.write(L"ForeColor", std::uint32_t{0xC0}, tk::kColourButtonText);
    bag.write(L"BORDERSTYLE", std::int32_t{1}, std::int32_t{0});
    EXPECT_EQ(bag.readColour(L"forecolor", 0), 0xC0u);
    EXPECT_EQ(bag.readLong(L"BorderStyle", 0), 1);
    EXPECT_EQ(bag.names(), (std::vector<std::wstring>{L"borderstyle", L"forecolor"}));
}

TEST(PropertyBag, AnEntryOfAnotherTypeReadsAsTheDefault) {
    PropertyBag bag;
    bag.write(L"Enabled", std::wstring(L"yes"), true);
    bag.write(L"Alignment", true, std::int32_t{0});
    EXPECT_FALSE(bag.readBool(L"Enabled", false));
    EXPECT_EQ(bag.readLong(L"Alignment", 7), 7);
}

TEST(PropertyBag, FontsCompareByDescription) {
    auto ambient = tk::makeFont();
    PropertyBag bag;
    bag.write(L"Font", tk::makeFont(), ambient); // another object, same description
    EXPECT_FALSE(bag.contains(L"Font"));
    bag.write(L"Font", tk::FontPtr{}, ambient);
    EXPECT_FALSE(bag.contains(L"Font"));

    tk::FontDescription boldDescription;
    boldDescription.weight = 700;
    auto bold = tk::makeFont(boldDescription);
    bag.write(L"Font", bold, ambient);
    EXPECT_EQ(bag.readFont(L"font", ambient), bold);
}

} // namespace
