#include "toolkit/checkbox.h"
#include "toolkit/combobox.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/textbox.h"
#include "toolkit/tooltip.h"
#include "toolkit_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testing_toolkit::Host;

TEST(ToolkitComboBox, ClickComesForUserPicksAndForCodeButNotForRefusedIndexes) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::ComboBox list;
    ASSERT_TRUE(list.create(form.hwnd(), {10, 10, 200, 31}, 101));
    for (const wchar_t* name : {L"Open DNS", L"Level3 (2)"})
        EXPECT_TRUE(list.addItem(name));
    EXPECT_TRUE(list.addItem(L"Google DNS", 0));
    EXPECT_EQ(list.text(), L"");
    std::vector<std::wstring> clicks;
    list.Click = [&] { clicks.push_back(list.text()); };

    EXPECT_TRUE(list.setListIndex(0));
    // Down in the closed list: the system control moves the selection and tells the form.
    SendMessageW(list.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(list.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_FALSE(list.setListIndex(3));
    EXPECT_FALSE(list.setListIndex(-2));
    EXPECT_EQ(clicks, (std::vector<std::wstring>{L"Google DNS", L"Open DNS", L"Level3 (2)"}));
    EXPECT_EQ(list.listIndex(), 2);

    EXPECT_TRUE(list.removeItem(2)); // the selected one: nothing is selected afterwards
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(list.text(), L"");
    EXPECT_FALSE(list.removeItem(2));
    EXPECT_EQ(list.item(1).value_or(L"?"), L"Open DNS");
    list.clear();
    EXPECT_FALSE(list.setListIndex(0));
    EXPECT_EQ(clicks.size(), 3u);
}

TEST(ToolkitTextBox, RefusesTheCharacterBeyondMaxLengthAndLetsKeyPressChangeKeys) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::TextBox box;
    ASSERT_TRUE(box.create(form.hwnd(), {10, 10, 250, 35}, 102));
    box.setMaxLength(25);
    for (int i = 0; i < 26; ++i)
        SendMessageW(box.hwnd(), WM_CHAR, L'a', 0);
    EXPECT_EQ(box.text(), std::wstring(25, L'a'));

    box.setText(L"");
    box.KeyPress = [&](int& key) {
        if (key == L'#') key = 0;    // dropped
        if (key == L'u') key = L'U'; // replaced
    };
    for (wchar_t c : std::wstring(L"u#v"))
        SendMessageW(box.hwnd(), WM_CHAR, c, 0);
    EXPECT_EQ(box.text(), L"Uv");
}

TEST(ToolkitTextBox, EnterAndEscapeReachKeyPressThroughTheDialogMessageLoop) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::TextBox box;
    ASSERT_TRUE(box.create(form.hwnd(), {10, 10, 250, 35}, 102));
    tk::CheckBox next; // a second tab stop, for Tab to go to
    ASSERT_TRUE(next.create(form.hwnd(), {10, 60, 200, 80}, 103, L"Custom DNS Servers"));
    std::vector<int> keys;
    box.KeyPress = [&](int& key) { keys.push_back(key); };
    ASSERT_TRUE(box.setFocus());

    for (WPARAM key : {WPARAM{'X'}, WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        PostMessageW(box.hwnd(), WM_KEYDOWN, key, 1);
        PostMessageW(box.hwnd(), WM_KEYUP, key, 0xC0000001);
        testing_toolkit::pumpLikeTheProgram(form.hwnd());
    }
    EXPECT_EQ(keys, (std::vector<int>{'x', 13, 27}));
    EXPECT_EQ(box.text(), L"x");
    // Tab still leaves the text box: only Enter and Escape are kept from the dialog manager.
    PostMessageW(box.hwnd(), WM_KEYDOWN, VK_TAB, 1);
    testing_toolkit::pumpLikeTheProgram(form.hwnd());
    EXPECT_EQ(GetFocus(), next.hwnd());
}

TEST(ToolkitPanel, HidesItsChildrenAndPassesTheirClicksToTheirWrappers) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::Panel panel;
    ASSERT_TRUE(panel.create(form.hwnd(), {10, 10, 260, 90}, 104));
    tk::CheckBox box;
    ASSERT_TRUE(box.create(panel.hwnd(), {5, 5, 200, 25}, 105, L"inside"));
    int clicks = 0;
    box.Click = [&] { ++clicks; };

    SendMessageW(box.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(box.value(), 1);
    box.setValue(0); // by code: raises Click like the user's click
    box.setValue(0); // no change, no Click
    EXPECT_EQ(clicks, 2);

    panel.setVisible(false);
    EXPECT_FALSE(IsWindowVisible(box.hwnd()));
    EXPECT_TRUE(box.visible()); // its own flag is unchanged
    EXPECT_FALSE(box.setFocus());
    panel.setVisible(true);
    EXPECT_TRUE(IsWindowVisible(box.hwnd()));
    box.setEnabled(false);
    EXPECT_FALSE(box.setFocus());
}

TEST(ToolkitControls, WrappersSurviveTheirParentWindowGoingFirst) {
    auto form = std::make_unique<Host>();
    ASSERT_TRUE(form->open());
    tk::Label label;
    ASSERT_TRUE(label.create(form->hwnd(), {0, 0, 50, 20}, 106, L"text"));
    form.reset(); // destroys the child window with it
    EXPECT_EQ(label.hwnd(), nullptr);
    EXPECT_EQ(label.text(), L"");
}

TEST(ToolkitControls, TabFollowsTheGivenOrder) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::CheckBox a, b, c;
    ASSERT_TRUE(a.create(form.hwnd(), {10, 10, 100, 30}, 1, L"a"));
    ASSERT_TRUE(b.create(form.hwnd(), {10, 40, 100, 60}, 2, L"b"));
    ASSERT_TRUE(c.create(form.hwnd(), {10, 70, 100, 90}, 3, L"c"));
    tk::setTabOrder({c.hwnd(), a.hwnd(), b.hwnd()});
    EXPECT_EQ(GetNextDlgTabItem(form.hwnd(), c.hwnd(), FALSE), a.hwnd());
    EXPECT_EQ(GetNextDlgTabItem(form.hwnd(), a.hwnd(), FALSE), b.hwnd());
}

TEST(ToolkitLabel, DrawsInItsTextColourOnButtonFaceAndReportsClicks) {
    Host form;
    ASSERT_TRUE(form.open());
    HFONT bold = CreateFontW(-29, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                             NONANTIALIASED_QUALITY, 0, L"Tahoma");
    tk::Label label;
    ASSERT_TRUE(label.create(form.hwnd(), {6, 6, 145, 43}, 107, L"Keldrast"));
    label.setFont(bold);
    label.setTextColor(RGB(0, 192, 0));

    RedrawWindow(form.hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::size_t green = 0, face = 0, all = 0;
    HDC dc = GetDC(label.hwnd());
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 139; ++x, ++all) {
            const COLORREF p = GetPixel(dc, x, y);
            green += p == RGB(0, 192, 0);
            face += p == GetSysColor(COLOR_BTNFACE);
        }
    ReleaseDC(label.hwnd(), dc);
    EXPECT_GT(green, 50u);
    EXPECT_GT(face, all / 2);

    int clicks = 0;
    label.Click = [&] { ++clicks; };
    SendMessageW(label.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(label.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(clicks, 1);
    DeleteObject(bold);
}

TEST(ToolkitToolTip, KeepsOneTextPerTool) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::CheckBox plus;
    ASSERT_TRUE(plus.create(form.hwnd(), {10, 10, 40, 30}, 108, L"+"));
    tk::ToolTip tips;
    ASSERT_TRUE(tips.create(form.hwnd()));
    EXPECT_TRUE(tips.add(plus.hwnd(), L"Add DNS Server"));
    EXPECT_TRUE(tips.add(plus.hwnd(), L"Delete Selected Item"));
    EXPECT_EQ(SendMessageW(tips.hwnd(), TTM_GETTOOLCOUNT, 0, 0), 1);
}

} // namespace
