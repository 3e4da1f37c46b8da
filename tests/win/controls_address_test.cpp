#include "control_host.h"
#include "controls/IPAddressBox.h"
#include "controls/address_text.h"
#include "toolkit/scale.h"

#include <winsock2.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testhost;

struct AddressFixture : ::testing::Test {
    Host host;
    IPAddressBox box;
    void SetUp() override { ASSERT_TRUE(box.create(host.hwnd(), RECT{20, 20, 160, 45})); }
    DWORD fields() const {
        DWORD value = 0;
        SendMessageW(box.hwndIP(), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
        return value;
    }
};

TEST_F(AddressFixture, TextAndNumberReadAndWriteThroughTheEditor) {
    box.IPAddressAsString(L"8.8.8.8");
    EXPECT_EQ(box.IPAddressAsString(), L"8.8.8.8");
    EXPECT_EQ(box.IPAddressAsLong(), 134744072);

    box.IPAddressAsLong(67373064);
    EXPECT_EQ(fields(), MAKEIPADDRESS(8, 8, 4, 4));
    EXPECT_EQ(box.IPAddressAsString(), L"8.8.4.4");

    box.IPAddressAsString(L"208.67.222.222");
    EXPECT_EQ(box.IPAddressAsLong(), -555858992);

    box.IPAddressAsString(L"abc");
    EXPECT_EQ(fields(), MAKEIPADDRESS(255, 255, 255, 255));
    EXPECT_EQ(box.IPAddressAsString(), L"255.255.255.255");

    box.IPAddressAsString(L"0.0.0.0");
    EXPECT_EQ(SendMessageW(box.hwndIP(), IPM_ISBLANK, 0, 0), 0);
    EXPECT_EQ(box.IPAddressAsString(), L"0.0.0.0");

    box.IPAddressAsString(L"10.1");
    EXPECT_EQ(box.IPAddressAsString(), L"10.0.0.1");
}

TEST_F(AddressFixture, BlankFieldsReadAsZero) {
    SendMessageW(box.hwndIP(), IPM_CLEARADDRESS, 0, 0);
    EXPECT_EQ(box.IPAddressAsLong(), 0);
    EXPECT_EQ(box.IPAddressAsString(), L"0.0.0.0");

    box.IPAddressAsString(L"1.2.3.4");
    HWND firstField = nullptr;
    // The fields are edit windows; blank the one that shows "1".
    for (HWND child = GetWindow(box.hwndIP(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[8]{};
        GetWindowTextW(child, text, 8);
        if (std::wstring(text) == L"1") firstField = child;
    }
    ASSERT_NE(firstField, nullptr);
    SetWindowTextW(firstField, L"");
    EXPECT_EQ(box.IPAddressAsString(), L"0.2.3.4");
}

TEST_F(AddressFixture, KeepsItsFixedSizeWhateverTheContainerAsks) {
    const int width = tk::scaleFrom96(140, box.dpi());
    const int height = tk::scaleFrom96(25, box.dpi());
    RECT r{};
    GetWindowRect(box.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);

    box.move(RECT{20, 20, 400, 120});
    GetWindowRect(box.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
    GetWindowRect(box.hwndIP(), &r);
    EXPECT_EQ(r.right - r.left, width);

    box.setDpi(box.dpi() * 3 / 2);
    GetWindowRect(box.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, tk::scaleFrom96(140, box.dpi()));
}

TEST_F(AddressFixture, EnabledAndFontActOnTheControlOnly) {
    const auto childFont = SendMessageW(box.hwndIP(), WM_GETFONT, 0, 0);
    std::wstring changed;
    box.PropertyChanged = [&](const std::wstring& name) { changed += name + L";"; };
    box.Enabled(false);
    EXPECT_FALSE(IsWindowEnabled(box.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(box.hwndIP()));
    tk::FontDescription big;
    big.points = 20;
    EXPECT_TRUE(box.Font(tk::makeFont(big)));
    EXPECT_EQ(SendMessageW(box.hwndIP(), WM_GETFONT, 0, 0), childFont);
    EXPECT_EQ(changed, L"Enabled;Font;");

    ctl::PropertyBag bag;
    box.saveProperties(bag);
    EXPECT_EQ(bag.names(), (std::vector<std::wstring>{L"enabled", L"font"}));
    IPAddressBox stored;
    ControlSurface::Placement p;
    p.stored = &bag;
    ASSERT_TRUE(stored.create(host.hwnd(), RECT{20, 60, 160, 85}, p));
    EXPECT_FALSE(stored.Enabled());
    EXPECT_EQ(stored.Font()->description().points, 20);
}

TEST_F(AddressFixture, EditorWindowGoesWithTheControl) {
    HWND child = box.hwndIP();
    ASSERT_TRUE(IsWindow(child));
    box.destroy();
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(box.IPAddressAsLong(), 0);
    EXPECT_EQ(box.IPAddressAsString(), L"0.0.0.0");
}

// The core's reading of address text agrees with the system's inet_addr.
TEST(AddressTextOnWindows, AgreesWithInetAddr) {
    for (const char* text :
         {"8.8.8.8", "208.67.222.222", "10.1", "10.1.258", "134744072", "010.0x10.0X1f.0",
          "0xC0A80001", "255.255.255.255", "1.2.3.4 rest", "", "abc", "1.2.3.4.5", "1..2", "1.2.3.",
          "256.1.1.1", "08.1.1.1", "1.2.3.4x", "4294967296", "10.16777216"}) {
        const unsigned long system = inet_addr(text);
        EXPECT_EQ(ctl::addressLongFromText(text), static_cast<std::int32_t>(system)) << text;
    }
}

} // namespace
