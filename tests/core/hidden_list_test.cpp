#include "toolkit/hidden_list.h"

#include <gtest/gtest.h>

TEST(HiddenList, AddsAndRemovesByIndexAndIgnoresIndexesOutsideTheList) {
    tk::HiddenList list;
    for (const wchar_t* item : {L"8.8.8.8,8.8.4.4", L"b", L"c"})
        EXPECT_TRUE(list.addItem(item));
    EXPECT_TRUE(list.addItem(L"first", 0));
    EXPECT_TRUE(list.removeItem(2));
    EXPECT_FALSE(list.addItem(L"x", 4));
    EXPECT_FALSE(list.addItem(L"x", -2));
    EXPECT_FALSE(list.removeItem(3));
    EXPECT_FALSE(list.removeItem(-1));
    EXPECT_FALSE(list.item(-1).has_value());
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(0), L"first");
    EXPECT_EQ(list.item(1), L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(list.item(2), L"c");
    EXPECT_FALSE(list.item(3).has_value());
    list.clear();
    EXPECT_FALSE(list.item(0).has_value());
}
