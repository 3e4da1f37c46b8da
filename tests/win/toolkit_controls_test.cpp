#include "toolkit/checkbox.h"
#include "toolkit/handles.h"
#include "toolkit/label.h"
#include "toolkit/textbox.h"
#include "toolkit/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A top-level form that routes its children's notifications like the main window does.
class Host : public tk::Window {
  public:
    Host() {
        registerClass(L"KeldrastToolkitTestHost", 0, GetSysColorBrush(COLOR_BTNFACE));
        if (create(L"KeldrastToolkitTestHost", WS_EX_CONTROLPARENT, WS_OVERLAPPEDWINDOW, L"host", 0,
                   0, 400, 240, nullptr))
            ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (tk::routeToChild(message, wParam, lParam, result)) return result;
        return defaultHandling(message, wParam, lParam);
    }
};

TEST(ToolkitTextBox, KeepsMaxLengthAndGetsEnterAndEscapeThroughTheDialogMessageLoop) {
    Host form;
    tk::TextBox box;
    ASSERT_TRUE(box.create(form.hwnd(), {10, 10, 250, 35}, 102));
    tk::CheckBox a, b; // tab stops in the order they are created
    ASSERT_TRUE(b.create(form.hwnd(), {10, 90, 200, 110}, 104, L"b"));
    ASSERT_TRUE(a.create(form.hwnd(), {10, 60, 200, 80}, 103, L"a"));
    box.setMaxLength(25);
    for (int i = 0; i < 26; ++i)
        SendMessageW(box.hwnd(), WM_CHAR, L'a', 0);
    EXPECT_EQ(box.text(), std::wstring(25, L'a'));

    box.setText(L"");
    std::vector<int> keys;
    box.KeyPress = [&](int& key) {
        keys.push_back(key);
        if (key == 'x') key = 'Y'; // replaced
        if (key == 'q') key = 0;   // dropped
    };
    ASSERT_TRUE(box.setFocus());
    MSG msg{};
    for (WPARAM key :
         {WPARAM{'X'}, WPARAM{'Q'}, WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}, WPARAM{VK_TAB}}) {
        PostMessageW(box.hwnd(), WM_KEYDOWN, key, 1);
        PostMessageW(box.hwnd(), WM_KEYUP, key, 0xC0000001);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) // the program's own loop
            if (!IsDialogMessageW(form.hwnd(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
    }
    EXPECT_EQ(keys, (std::vector<int>{'x', 'q', 13, 27}));
    EXPECT_EQ(box.text(), L"Y");
    EXPECT_EQ(GetFocus(), b.hwnd()) << "Tab still leaves the box, in creation order";
}

TEST(ToolkitControls, WrappersSurviveTheirParentWindowGoingFirst) {
    auto form = std::make_unique<Host>();
    tk::Label label;
    ASSERT_TRUE(label.create(form->hwnd(), {0, 0, 50, 20}, 107, L"text"));
    form.reset(); // destroys the child window with it
    EXPECT_EQ(label.hwnd(), nullptr);
    EXPECT_EQ(label.text(), L"");
}

TEST(ToolkitLabel, DrawsInItsTextColourOnButtonFaceAndReportsClicks) {
    Host form;
    HFONT bold = CreateFontW(-29, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                             NONANTIALIASED_QUALITY, 0, L"Tahoma");
    tk::Label label;
    ASSERT_TRUE(label.create(form.hwnd(), {6, 6, 145, 43}, 108, L"Keldrast"));
    label.setFont(bold);
    label.setTextColor(RGB(0, 192, 0));
    RedrawWindow(form.hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    int green = 0, face = 0;
    const tk::unique_window_dc dc(label.hwnd());
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 139; ++x) {
            const COLORREF p = GetPixel(dc.get(), x, y);
            green += p == RGB(0, 192, 0);
            face += p == GetSysColor(COLOR_BTNFACE);
        }
    EXPECT_GT(green, 50);
    EXPECT_GT(face, 37 * 139 / 2);

    int clicks = 0;
    label.Click = [&] { ++clicks; };
    SendMessageW(label.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(label.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(clicks, 1);
    DeleteObject(bold);
}

} // namespace
