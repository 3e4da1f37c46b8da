#include "toolkit/hidden_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> itemsOf(const tk::HiddenList& list) {
    std::vector<std::wstring> items;
    for (int i = 0; i < list.count(); ++i)
        items.push_back(list.item(i).value());
    return items;
}

TEST(HiddenList, AddsAtTheEndOrAnIndexAndRemovesByIndex) {
    tk::HiddenList list;
    for (const wchar_t* item : {L"8.8.8.8,8.8.4.4", L"b", L"c"})
        EXPECT_TRUE(list.addItem(item));
    EXPECT_TRUE(list.addItem(L"first", 0));
    EXPECT_TRUE(list.removeItem(2));
    EXPECT_EQ(itemsOf(list), (std::vector<std::wstring>{L"first", L"8.8.8.8,8.8.4.4", L"c"}));
}

TEST(HiddenList, IndexesOutsideTheListChangeNothing) {
    tk::HiddenList list;
    list.addItem(L"a");
    EXPECT_FALSE(list.addItem(L"x", 2));
    EXPECT_FALSE(list.addItem(L"x", -2));
    EXPECT_FALSE(list.removeItem(1));
    EXPECT_FALSE(list.removeItem(-1));
    EXPECT_FALSE(list.item(1).has_value());
    EXPECT_FALSE(list.item(-1).has_value());
    EXPECT_EQ(itemsOf(list), std::vector<std::wstring>{L"a"});
    list.clear();
    EXPECT_FALSE(list.item(0).has_value());
    EXPECT_FALSE(list.removeItem(0));
}

} // namespace
