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

TEST(HiddenList, KeepsItemsInTheOrderAddedOrAtTheGivenIndex) {
    tk::HiddenList list;
    EXPECT_TRUE(list.addItem(L"8.8.8.8,8.8.4.4"));
    EXPECT_TRUE(list.addItem(L"4.2.2.1,4.2.2.2"));
    EXPECT_TRUE(list.addItem(L"first", 0));
    EXPECT_TRUE(list.addItem(L"last", 3));
    EXPECT_EQ(itemsOf(list), (std::vector<std::wstring>{L"first", L"8.8.8.8,8.8.4.4",
                                                        L"4.2.2.1,4.2.2.2", L"last"}));
    EXPECT_FALSE(list.addItem(L"beyond the end", 5));
    EXPECT_FALSE(list.addItem(L"negative", -2));
    EXPECT_EQ(list.count(), 4);
}

TEST(HiddenList, RemovingAnIndexShiftsTheRestAndBadIndexesChangeNothing) {
    tk::HiddenList list;
    for (const wchar_t* item : {L"a", L"b", L"c"})
        list.addItem(item);
    EXPECT_TRUE(list.removeItem(1));
    EXPECT_EQ(itemsOf(list), (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_FALSE(list.removeItem(2));
    EXPECT_FALSE(list.removeItem(-1));
    EXPECT_EQ(list.count(), 2);
    EXPECT_FALSE(list.item(2).has_value());
    EXPECT_FALSE(list.item(-1).has_value());

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(list.item(0).has_value());
    EXPECT_FALSE(list.removeItem(0));
}

} // namespace
