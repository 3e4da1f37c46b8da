#include "toolkit/checkbox.h"
#include "toolkit/combobox.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/textbox.h"
#include "toolkit/tooltip.h"
#include "toolkit_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_toolkit::Host;
using testing_toolkit::pumpLikeTheProgram;

TEST(ToolkitComboBox, ClickComesForUserPicksAndForCodeButNotForRefusedIndexes) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::ComboBox list;
    ASSERT_TRUE(list.create(form.hwnd(), {10, 10, 200, 31}, 101));
    for (const wchar_t* name : {L"Google DNS", L"Open DNS", L"Level3 (2)"})
        EXPECT_TRUE(list.addItem(name));
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(list.text(), L"");

    std::vector<std::wstring> clicks;
    list.Click = [&] { clicks.push_back(list.text()); };

    EXPECT_TRUE(list.setListIndex(0));
    // The user presses Down in the closed list: the system control moves the selection and
    // tells the form, which hands it to the wrapper.
    SendMessageW(list.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(list.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(clicks, (std::vector<std::wstring>{L"Google DNS", L"Open DNS", L"Level3 (2)"}));
    EXPECT_EQ(list.listIndex(), 2);

    clicks.clear();
    EXPECT_FALSE(list.setListIndex(3));
    EXPECT_FALSE(list.setListIndex(-2));
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(list.listIndex(), 2);
}

TEST(ToolkitComboBox, RemovingAndInsertingKeepTheOrderAndDropTheSelection) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::ComboBox list;
    ASSERT_TRUE(list.create(form.hwnd(), {10, 10, 200, 31}, 101));
    for (const wchar_t* name : {L"b", L"c", L"d"})
        list.addItem(name);
    EXPECT_TRUE(list.addItem(L"a", 0));
    EXPECT_FALSE(list.addItem(L"x", 9));
    EXPECT_EQ(list.item(0).value_or(L"?"), L"a");
    EXPECT_EQ(list.item(3).value_or(L"?"), L"d");
    EXPECT_FALSE(list.item(4).has_value());

    list.setListIndex(2);
    EXPECT_TRUE(list.removeItem(2));
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(list.text(), L"");
    EXPECT_EQ(list.count(), 3);
    EXPECT_FALSE(list.removeItem(3));

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(list.setListIndex(0)); // selecting index 0 of an empty list fails
}

TEST(ToolkitTextBox, RefusesTheCharacterBeyondMaxLengthAndLetsKeyPressChangeKeys) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::TextBox box;
    ASSERT_TRUE(box.create(form.hwnd(), {10, 10, 250, 35}, 102));
    box.setMaxLength(25);
    std::vector<int> keys;
    box.KeyPress = [&](int& key) {
        keys.push_back(key);
        if (key == L'#') key = 0;    // dropped
        if (key == L'u') key = L'U'; // replaced
    };
    for (int i = 0; i < 26; ++i)
        SendMessageW(box.hwnd(), WM_CHAR, L'a', 0);
    EXPECT_EQ(box.text(), std::wstring(25, L'a'));

    box.setText(L"");
    for (wchar_t c : std::wstring(L"u#v"))
        SendMessageW(box.hwnd(), WM_CHAR, c, 0);
    EXPECT_EQ(box.text(), L"Uv");
    EXPECT_EQ(keys.size(), 29u);
}

TEST(ToolkitTextBox, EnterAndEscapeReachKeyPressThroughTheDialogMessageLoop) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::CheckBox other; // a second tab stop, so that Tab has somewhere to go
    ASSERT_TRUE(other.create(form.hwnd(), {10, 60, 200, 80}, 103, L"Custom DNS Servers"));
    tk::TextBox box;
    ASSERT_TRUE(box.create(form.hwnd(), {10, 10, 250, 35}, 102));
    std::vector<int> keys;
    box.KeyPress = [&](int& key) { keys.push_back(key); };
    ASSERT_TRUE(box.setFocus());

    for (WPARAM key : {WPARAM{'X'}, WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        PostMessageW(box.hwnd(), WM_KEYDOWN, key, 1);
        PostMessageW(box.hwnd(), WM_KEYUP, key, 0xC0000001);
        pumpLikeTheProgram(form.hwnd());
    }
    EXPECT_EQ(keys, (std::vector<int>{'x', 13, 27}));
    EXPECT_EQ(box.text(), L"x");

    // Tab still leaves the text box: only Enter and Escape are kept from the dialog manager.
    PostMessageW(box.hwnd(), WM_KEYDOWN, VK_TAB, 1);
    pumpLikeTheProgram(form.hwnd());
    EXPECT_EQ(GetFocus(), other.hwnd());
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
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(box.value(), 1);
    box.setValue(0); // by code: raises Click once, like the user's click
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
    EXPECT_FALSE(box.enabled());
}

TEST(ToolkitControls, WrappersSurviveTheirParentWindowGoingFirst) {
    auto form = std::make_unique<Host>();
    ASSERT_TRUE(form->open());
    tk::Label label;
    ASSERT_TRUE(label.create(form->hwnd(), {0, 0, 50, 20}, 106, L"text"));
    form.reset(); // destroys the child window with it
    EXPECT_EQ(label.hwnd(), nullptr);
    EXPECT_EQ(label.text(), L"");
    EXPECT_FALSE(label.visible());
}

// Paints the form and reads back what the label shows.
std::vector<COLORREF> labelPixels(HWND label) {
    RedrawWindow(GetParent(label), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r{};
    GetClientRect(label, &r);
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(label);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(label, dc);
    return pixels;
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

    const auto pixels = labelPixels(label.hwnd());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    std::size_t green = 0, background = 0;
    for (COLORREF p : pixels) {
        green += p == RGB(0, 192, 0);
        background += p == face;
    }
    EXPECT_GT(green, 50u);
    EXPECT_GT(background, pixels.size() / 2);

    int clicks = 0;
    label.Click = [&] { ++clicks; };
    SendMessageW(label.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(label.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(clicks, 1);
    DeleteObject(bold);
}

TEST(ToolkitToolTip, RegistersOneWrappingTextPerTool) {
    Host form;
    ASSERT_TRUE(form.open());
    tk::CheckBox plus;
    ASSERT_TRUE(plus.create(form.hwnd(), {10, 10, 40, 30}, 108, L"+"));
    tk::ToolTip tips;
    ASSERT_TRUE(tips.create(form.hwnd()));
    EXPECT_TRUE(tips.add(plus.hwnd(), L"Add DNS Server"));
    EXPECT_TRUE(tips.add(plus.hwnd(), L"Delete Selected Item"));
    EXPECT_EQ(SendMessageW(tips.hwnd(), TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_GT(SendMessageW(tips.hwnd(), TTM_GETMAXTIPWIDTH, 0, 0), 0);

    wchar_t text[80]{};
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = form.hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(plus.hwnd());
    info.lpszText = text;
    SendMessageW(tips.hwnd(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(text, L"Delete Selected Item");
}

} // namespace
