#include "control_host.h"
#include "controls/kButton.h"
#include "toolkit/colour_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testhost;

enum State { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4, Defaulted = 5 };

// The timer ticks this thread takes from its queue while pumping messages for a while: a
// button's hover timer runs only while the cursor is over it.
int timerTicksWithin(DWORD milliseconds) {
    static int ticks;
    ticks = 0;
    HHOOK hook = SetWindowsHookExW(
        WH_GETMESSAGE,
        [](int code, WPARAM removed, LPARAM message) -> LRESULT {
            if (code == HC_ACTION && removed == PM_REMOVE &&
                reinterpret_cast<const MSG*>(message)->message == WM_TIMER)
                ++ticks;
            return CallNextHookEx(nullptr, code, removed, message);
        },
        nullptr, GetCurrentThreadId());
    pump(milliseconds);
    UnhookWindowsHookEx(hook);
    return ticks;
}

// A host window with two buttons and a record of the events of the first.
struct ButtonFixture : ::testing::Test {
    Host host;
    kButton button, other;
    Paints paints;
    int clicks = 0, ups = 0;
    std::vector<std::vector<float>> downs; // button, shift, x, y
    std::vector<std::wstring> changed;

    POINT away() const { return screenPoint(host.hwnd, 400, 200); }
    POINT on(int x = -1, int y = -1) const { return screenPoint(button.hwnd(), x, y); }
    void SetUp() override {
        ASSERT_TRUE(button.create(host.hwnd, RECT{20, 20, 160, 60}));
        ASSERT_TRUE(other.create(host.hwnd, RECT{200, 20, 340, 60}));
        button.Caption(L"&Apply DNS");
        button.Click = [this] { ++clicks; };
        button.DblClick = [] { ADD_FAILURE() << "a button raises no DblClick"; };
        button.MouseDown = [this](short& b, short& s, float& x, float& y) {
            downs.push_back({float(b), float(s), x, y});
        };
        button.MouseUp = [this](short&, short&, float&, float&) { ++ups; };
        button.PropertyChanged = [this](const std::wstring& name) { changed.push_back(name); };
        moveTo(away());
        pump(250);
    }
    void TearDown() override { ReleaseCapture(); }
};

// Which look answers which event is the button look's rule (tests/core); here that the
// window's mouse, capture, focus and hover timer reach it.
TEST_F(ButtonFixture, MousePassPaintsEveryLookInTurn) {
    EXPECT_EQ(timerTicksWithin(250), 0) << "the first tick found the cursor elsewhere";
    moveTo(on());
    EXPECT_EQ(paints.of(button), Hot);
    EXPECT_GT(timerTicksWithin(250), 0) << "the hover timer watches for the cursor leaving";
    leftDown();
    EXPECT_EQ(GetFocus(), button.hwnd());
    EXPECT_EQ(paints.of(button), Pressed);
    leftUp();
    EXPECT_EQ(paints.of(button), Defaulted);
    EXPECT_EQ(GetCapture(), nullptr);
    moveTo(away()); // the next tick sees the cursor gone
    pump(300);
    EXPECT_EQ(paints.of(button), Defaulted);
    EXPECT_EQ(timerTicksWithin(250), 0);
}

TEST_F(ButtonFixture, ClickIsOnePressAndReleaseOnTheButtonNeverADblClick) {
    moveTo(on(30, 15));
    leftDown();
    leftUp();
    EXPECT_EQ(clicks, 1);
    leftDown(); // within the double-click time: WM_LBUTTONDBLCLK
    EXPECT_EQ(paints.of(button), Pressed);
    EXPECT_EQ(GetCapture(), button.hwnd());
    leftUp();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(downs, (std::vector<std::vector<float>>{{1, 0, 30, 15}, {1, 0, 0, 0}}));

    pump(600); // beyond the double-click time; a release off the button is no click
    leftDown();
    moveTo(away());
    leftUp();
    EXPECT_EQ(ups, 3);
}

TEST_F(ButtonFixture, SpaceAndEnterPressTheFocusedButtonAndTheHostStillHearsTheKeys) {
    std::vector<short> heard;
    button.KeyDown = [&](short& code, short&) { heard.push_back(code); };
    button.KeyPress = [&](short& ascii) { heard.push_back(ascii); };
    int pressedWhenClicked = 0;
    button.Click = [&] {
        ++clicks;
        pressedWhenClicked = paints.of(button);
    };
    // The focus rectangle is a dotted line 3 pixels inside the edge.
    auto dotted = [&] {
        int changes = 0;
        for (int x = 6; x < button.scaleWidth() - 6; ++x)
            changes += GetPixel(button.imageDc(), x, 3) != GetPixel(button.imageDc(), x - 1, 3);
        return changes > button.scaleWidth() / 3;
    };
    EXPECT_FALSE(dotted());
    SetFocus(button.hwnd());
    EXPECT_EQ(paints.of(button), Defaulted);
    EXPECT_TRUE(dotted()) << "no focus rectangle";

    keys({VK_SPACE});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(pressedWhenClicked, Defaulted); // drawn released before Click runs
    keys({VK_RETURN});
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(heard, (std::vector<short>{VK_SPACE, L' ', VK_RETURN, L'\r'}));
    EXPECT_EQ(GetFocus(), button.hwnd());

    SetFocus(other.hwnd());
    EXPECT_FALSE(dotted());
}

TEST_F(ButtonFixture, DisabledButtonLooksDisabledAndRaisesNothing) {
    auto shows = [&](COLORREF colour) {
        for (int y = 4; y < button.scaleHeight() - 4; ++y)
            for (int x = 4; x < button.scaleWidth() - 4; ++x)
                if (GetPixel(button.imageDc(), x, y) == colour) return true;
        return false;
    };
    button.ForeColor(0x0000C0);                 // RGB(192, 0, 0)
    EXPECT_FALSE(button.ForeColor(0x01000000)); // no colour: refused, not notified
    button.Enabled(false);
    EXPECT_EQ(paints.of(button), Disabled);
    EXPECT_TRUE(shows(tk::toColorRef(tk::kColourButtonShadow)));
    EXPECT_FALSE(shows(RGB(192, 0, 0)));

    moveTo(on());
    leftDown();
    leftUp();
    SendMessageW(host.hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button.hwnd()), TRUE);
    EXPECT_EQ(clicks + ups + int(downs.size()), 0);
    EXPECT_NE(GetFocus(), button.hwnd());
    EXPECT_EQ(paints.of(button), Disabled);

    button.Enabled(true);
    EXPECT_EQ(paints.of(button), Normal);
    EXPECT_TRUE(shows(RGB(192, 0, 0)));
    EXPECT_EQ(changed, (std::vector<std::wstring>{L"ForeColor", L"Enabled", L"Enabled"}));
}

TEST_F(ButtonFixture, ReportsTheButtonRoleToAccessibilityClients) {
    CoInitialize(nullptr);
    IAccessible* accessible = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(button.hwnd(), static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&accessible)),
              S_OK);
    VARIANT self{}, role{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    EXPECT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
    BSTR name = nullptr;
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_STREQ(name, L"Apply DNS");
    SysFreeString(name);
    accessible->Release();
    CoUninitialize();
}

} // namespace
