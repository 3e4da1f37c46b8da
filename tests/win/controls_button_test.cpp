#include "control_host.h"
#include "controls/kButton.h"
#include "toolkit/colour_win.h"

#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testhost;

enum State { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4, Defaulted = 5 };

struct MouseCall {
    short button, shift;
    float x, y;
};

// A host window with two buttons and a record of the events of the first.
struct ButtonFixture : ::testing::Test {
    Host host;
    kButton button;
    kButton other;
    int clicks = 0;
    int dblClicks = 0;
    std::vector<MouseCall> downs;
    int ups = 0;

    void SetUp() override {
        ASSERT_TRUE(button.create(host.hwnd(), RECT{20, 20, 160, 60}));
        ASSERT_TRUE(other.create(host.hwnd(), RECT{200, 20, 340, 60}));
        button.Caption(L"&Apply DNS");
        button.Click = [this] { ++clicks; };
        button.DblClick = [this] { ++dblClicks; };
        button.MouseDown = [this](short& b, short& s, float& x, float& y) {
            downs.push_back({b, s, x, y});
        };
        button.MouseUp = [this](short&, short&, float&, float&) { ++ups; };
        moveTo(screenPoint(host.hwnd(), 400, 200));
        pump(250);
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
    }
};

TEST_F(ButtonFixture, MousePassPaintsEveryLookInTurn) {
    EXPECT_EQ(button.hoverTimerInterval(), 0u); // the first tick found the cursor elsewhere

    moveTo(screenPoint(button.hwnd()));
    EXPECT_EQ(button.lastPaintedState(), Hot);
    EXPECT_EQ(button.hoverTimerInterval(), 100u);

    leftDown();
    EXPECT_EQ(GetFocus(), button.hwnd());
    EXPECT_EQ(button.lastPaintedState(), Pressed);

    moveTo(screenPoint(host.hwnd(), 400, 200)); // dragged off, button still held
    EXPECT_EQ(button.lastPaintedState(), Hot);
    moveTo(screenPoint(button.hwnd(), 10, 10)); // and back
    EXPECT_EQ(button.lastPaintedState(), Pressed);

    leftUp();
    EXPECT_EQ(button.lastPaintedState(), Defaulted);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(GetCapture(), nullptr);

    moveTo(screenPoint(button.hwnd(), 30, 20));
    EXPECT_EQ(button.lastPaintedState(), Hot);
    moveTo(screenPoint(host.hwnd(), 400, 200));
    pump(300);
    EXPECT_EQ(button.lastPaintedState(), Defaulted);
    EXPECT_EQ(button.hoverTimerInterval(), 0u);
}

TEST_F(ButtonFixture, ReleaseWithoutTheFocusPaintsNormal) {
    moveTo(screenPoint(button.hwnd()));
    leftDown();
    SetFocus(other.hwnd());
    EXPECT_EQ(button.lastPaintedState(), Normal);
    leftUp();
    EXPECT_EQ(button.lastPaintedState(), Normal);
    EXPECT_EQ(other.lastPaintedState(), Defaulted);
}

TEST_F(ButtonFixture, ReleasingOffTheButtonIsNoClick) {
    moveTo(screenPoint(button.hwnd()));
    leftDown();
    moveTo(screenPoint(host.hwnd(), 400, 200));
    leftUp();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(ups, 1);
    click(screenPoint(button.hwnd()));
    click(screenPoint(other.hwnd()));
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonFixture, RightButtonPressesChangeNothingAndMakeNoClick) {
    moveTo(screenPoint(button.hwnd()));
    const int before = button.paintCount();
    sendMouse(MOUSEEVENTF_RIGHTDOWN);
    pump();
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].button, 2);
    EXPECT_EQ(button.lastPaintedState(), Defaulted); // the focus came with the press
    const int afterFocus = button.paintCount();
    moveTo(screenPoint(button.hwnd(), 12, 12)); // moving with the right button held
    EXPECT_EQ(button.paintCount(), afterFocus);
    sendMouse(MOUSEEVENTF_RIGHTUP);
    pump();
    EXPECT_GT(afterFocus, before);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, LeftDoubleClickIsAPressWithoutDblClick) {
    const POINT at = screenPoint(button.hwnd(), 30, 15);
    moveTo(at);
    leftDown();
    leftUp();
    leftDown(); // within the double-click time: WM_LBUTTONDBLCLK
    EXPECT_EQ(button.lastPaintedState(), Pressed);
    EXPECT_EQ(GetCapture(), button.hwnd());
    leftUp();
    EXPECT_EQ(dblClicks, 0);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].x, 30.0f);
    EXPECT_EQ(downs[0].y, 15.0f);
    EXPECT_EQ(downs[1].button, 1);
    EXPECT_EQ(downs[1].shift, 0);
    EXPECT_EQ(downs[1].x, 0.0f);
    EXPECT_EQ(downs[1].y, 0.0f);
    EXPECT_EQ(clicks, 2); // each press and release is a click
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ButtonFixture, ArgumentsChangedByTheHostAreWhatTheButtonActsOn) {
    // The host turns every left press into a right one: no Pressed look.
    button.MouseDown = [](short& b, short&, float&, float&) { b = 2; };
    moveTo(screenPoint(button.hwnd()));
    leftDown();
    EXPECT_EQ(button.lastPaintedState(), Defaulted);
    leftUp();
}

TEST_F(ButtonFixture, DisabledButtonLooksDisabledAndRaisesNothing) {
    button.ForeColor(0x0000C0); // RGB(192, 0, 0)
    button.Enabled(false);
    EXPECT_EQ(button.lastPaintedState(), Disabled);
    const RECT inner{4, 4, button.scaleWidth() - 4, button.scaleHeight() - 4};
    EXPECT_TRUE(anyPixel(button.imageDc(), inner, tk::toColorRef(tk::kColourButtonShadow)));
    EXPECT_FALSE(anyPixel(button.imageDc(), inner, RGB(192, 0, 0)));

    click(screenPoint(button.hwnd()));
    moveTo(screenPoint(button.hwnd(), 5, 5));
    SendMessageW(host.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button.hwnd()), TRUE);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(downs.empty());
    EXPECT_EQ(ups, 0);
    EXPECT_NE(GetFocus(), button.hwnd());
    EXPECT_EQ(button.lastPaintedState(), Disabled);

    button.Enabled(true);
    EXPECT_EQ(button.lastPaintedState(), Normal);
    EXPECT_TRUE(anyPixel(button.imageDc(), inner, RGB(192, 0, 0)));
}

TEST_F(ButtonFixture, PressedLooksDifferentFromNormal) {
    auto pixels = [this] {
        std::vector<COLORREF> all;
        for (int y = 0; y < button.scaleHeight(); ++y)
            for (int x = 0; x < button.scaleWidth(); ++x)
                all.push_back(GetPixel(button.imageDc(), x, y));
        return all;
    };
    const auto normal = pixels();
    EXPECT_EQ(button.lastPaintedState(), Normal);
    SendMessageW(button.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(button.lastPaintedState(), Pressed);
    EXPECT_NE(pixels(), normal);
    SendMessageW(button.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

TEST_F(ButtonFixture, WithoutAThemeOnlyThePressedFrameDiffers) {
    // A theme list that names no theme makes OpenThemeData fail: the classic frame draws.
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(uxtheme, nullptr);
    auto setWindowTheme = reinterpret_cast<SetWindowThemeFn>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")));
    ASSERT_NE(setWindowTheme, nullptr);
    setWindowTheme(button.hwnd(), L" ", L" ");

    auto image = [this] {
        std::vector<COLORREF> all;
        for (int y = 0; y < button.scaleHeight(); ++y)
            for (int x = 0; x < button.scaleWidth(); ++x)
                all.push_back(GetPixel(button.imageDc(), x, y));
        return all;
    };
    button.Caption(L"Classic");
    const auto normal = image();
    SendMessageW(button.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(button.lastPaintedState(), Hot);
    EXPECT_EQ(image(), normal);
    SendMessageW(button.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 6));
    EXPECT_EQ(button.lastPaintedState(), Pressed);
    const auto pressed = image();
    EXPECT_NE(pressed, normal);
    SendMessageW(button.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
    EXPECT_EQ(button.lastPaintedState(), Defaulted);
    EXPECT_EQ(image(), normal);
    FreeLibrary(uxtheme);
}

TEST_F(ButtonFixture, SettersPaintNormalAndNotifyByName) {
    std::vector<std::wstring> changed;
    button.PropertyChanged = [&](const std::wstring& name) { changed.push_back(name); };
    SetFocus(button.hwnd());
    EXPECT_EQ(button.lastPaintedState(), Defaulted);
    button.Caption(L"Flush DNS");
    EXPECT_EQ(button.lastPaintedState(), Normal);
    button.ForeColor(0x008000);
    tk::FontDescription bold;
    bold.weight = 700;
    EXPECT_TRUE(button.Font(tk::makeFont(bold)));
    button.Enabled(true);
    EXPECT_EQ(changed, (std::vector<std::wstring>{L"Caption", L"ForeColor", L"Font", L"Enabled"}));

    const int paints = button.paintCount();
    EXPECT_FALSE(button.ForeColor(0x01000000));
    EXPECT_FALSE(button.Font(nullptr));
    EXPECT_EQ(button.paintCount(), paints);
    EXPECT_EQ(changed.size(), 4u);
    EXPECT_EQ(button.ForeColor(), 0x008000u);
}

TEST_F(ButtonFixture, KeysAreOnlyPassedOn) {
    std::vector<short> keys;
    button.KeyDown = [&](short& code, short&) { keys.push_back(code); };
    button.KeyPress = [&](short& ascii) { keys.push_back(ascii); };
    SetFocus(button.hwnd());
    SendMessageW(button.hwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(button.hwnd(), WM_CHAR, L' ', 0);
    SendMessageW(button.hwnd(), WM_KEYUP, VK_SPACE, 0);
    SendMessageW(button.hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(keys, (std::vector<short>{VK_SPACE, L' ', VK_RETURN}));
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, TakesPartInTheTabOrderWithItsCaptionAsText) {
    EXPECT_TRUE(GetWindowLongW(button.hwnd(), GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(GetNextDlgTabItem(host.hwnd(), button.hwnd(), FALSE), other.hwnd());
    wchar_t text[64]{};
    GetWindowTextW(button.hwnd(), text, 64);
    EXPECT_STREQ(text, L"&Apply DNS");
}

TEST_F(ButtonFixture, ReportsTheButtonRoleToAccessibilityClients) {
    CoInitialize(nullptr);
    SetFocus(button.hwnd());
    IAccessible* accessible = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(button.hwnd(), static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&accessible)),
              S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{};
    EXPECT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.vt, VT_I4);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
    BSTR name = nullptr;
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_STREQ(name, L"Apply DNS");
    SysFreeString(name);
    VARIANT state{};
    EXPECT_EQ(accessible->get_accState(self, &state), S_OK);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_FOCUSED);
    button.Enabled(false);
    EXPECT_EQ(accessible->get_accState(self, &state), S_OK);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_UNAVAILABLE);
    accessible->Release();
    CoUninitialize();
}

TEST(kButtonProperties, NewAndStoredInstancesAndSaving) {
    Host host;
    tk::FontDescription ambientDescription;
    ambientDescription.points = 9.75;
    auto ambient = tk::makeFont(ambientDescription);

    kButton placed;
    ControlSurface::Placement p;
    p.ambientFont = ambient;
    ASSERT_TRUE(placed.create(host.hwnd(), RECT{0, 0, 80, 30}, p));
    EXPECT_EQ(placed.Caption(), L"UniButton");
    EXPECT_EQ(placed.Font(), ambient);
    EXPECT_EQ(placed.ForeColor(), 0x80000012u);
    EXPECT_TRUE(placed.Enabled());
    EXPECT_EQ(placed.lastPaintedState(), Normal); // Resize and Show paint

    ctl::PropertyBag bag;
    placed.saveProperties(bag);
    EXPECT_EQ(bag.size(), 0u); // all defaults

    placed.Caption(L"Apply DNS");
    placed.Enabled(false);
    placed.saveProperties(bag);
    EXPECT_EQ(bag.names(), (std::vector<std::wstring>{L"caption", L"enabled"}));

    kButton stored;
    p.stored = &bag;
    ASSERT_TRUE(stored.create(host.hwnd(), RECT{0, 40, 80, 70}, p));
    EXPECT_EQ(stored.Caption(), L"Apply DNS");
    EXPECT_FALSE(stored.Enabled());
    EXPECT_FALSE(IsWindowEnabled(stored.hwnd()));
    EXPECT_EQ(stored.Font(), ambient);
    EXPECT_EQ(stored.lastPaintedState(), Disabled);

    ctl::PropertyBag empty;
    kButton bare;
    p.stored = &empty;
    ASSERT_TRUE(bare.create(host.hwnd(), RECT{0, 80, 80, 110}, p));
    EXPECT_EQ(bare.Caption(), L"UniButton");
    EXPECT_TRUE(bare.Enabled());
}

TEST(kButtonCaptions, AnyContentDrawsWithoutCrashing) {
    Host host;
    kButton button;
    ASSERT_TRUE(button.create(host.hwnd(), RECT{10, 10, 150, 50}));
    const std::vector<std::wstring> captions = {
        L"",
        std::wstring(20000, L'W'),
        L"a\tb\tc",
        L"line one\r\nline two\nthree",
        L"&&",
        L"&",
        L"Save && &Exit",
        L"\U0001F600 \U00020000 ti\u1EBFng Vi\u1EC7t",
        std::wstring(L"nul\0inside", 10),
    };
    for (const auto& caption : captions) {
        button.Caption(caption);
        button.Refresh();
        button.Enabled(false);
        button.Enabled(true);
        EXPECT_EQ(button.Caption(), caption);
    }
    pump();
}

TEST(kButtonDpi, FontIsMadeAgainForTheNewDpi) {
    Host host;
    kButton button;
    ASSERT_TRUE(button.create(host.hwnd(), RECT{10, 10, 150, 50}));
    auto textHeight = [&] {
        TEXTMETRICW tm{};
        GetTextMetricsW(button.imageDc(), &tm);
        return tm.tmHeight;
    };
    const int before = textHeight();
    const int paints = button.paintCount();
    button.setDpi(button.dpi() * 2);
    EXPECT_GT(textHeight(), before + before / 2);
    EXPECT_GT(button.paintCount(), paints);
}

} // namespace
