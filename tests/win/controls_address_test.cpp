#include "control_host.h"
#include "controls/IPAddressBox.h"
#include "dns/address.h"
#include "toolkit/scale.h"
#include "toolkit/text.h"

#include <winsock2.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testhost;

struct AddressFixture : ::testing::Test {
    Host host;
    IPAddressBox box;
    void SetUp() override { ASSERT_TRUE(box.create(host.hwnd, RECT{20, 20, 160, 45})); }
    DWORD fields() const {
        DWORD value = 0;
        SendMessageW(box.hwndIP(), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
        return value;
    }
};

TEST_F(AddressFixture, TextAndNumberReadAndWriteThroughTheEditor) {
    const struct {
        const wchar_t* text;
        std::int32_t number;
        DWORD shown;
        const wchar_t* readBack;
    } rows[] = {
        {L"8.8.8.8", 134744072, MAKEIPADDRESS(8, 8, 8, 8), L"8.8.8.8"},
        {L"208.67.222.222", -555858992, MAKEIPADDRESS(208, 67, 222, 222), L"208.67.222.222"},
        {L"abc", -1, MAKEIPADDRESS(255, 255, 255, 255), L"255.255.255.255"},
        {L"10.1", 0x0100000A, MAKEIPADDRESS(10, 0, 0, 1), L"10.0.0.1"},
        {L"0.0.0.0", 0, 0, L"0.0.0.0"},
    };
    for (const auto& row : rows) {
        box.IPAddressAsString(row.text);
        EXPECT_EQ(box.IPAddressAsLong(), row.number) << row.text;
        EXPECT_EQ(fields(), row.shown) << row.text;
        EXPECT_EQ(box.IPAddressAsString(), row.readBack);
    }
    EXPECT_EQ(SendMessageW(box.hwndIP(), IPM_ISBLANK, 0, 0), 0); // 0.0.0.0 shows zeros, not blanks

    box.IPAddressAsLong(67373064);
    EXPECT_EQ(fields(), MAKEIPADDRESS(8, 8, 4, 4));
    EXPECT_EQ(box.IPAddressAsString(), L"8.8.4.4");

    SendMessageW(box.hwndIP(), IPM_CLEARADDRESS, 0, 0); // blank fields read as zero
    EXPECT_EQ(box.IPAddressAsLong(), 0);
    EXPECT_EQ(box.IPAddressAsString(), L"0.0.0.0");
}

TEST(ClassicIPv4, ReadsWhatTheSystemsInetAddrReads) {
    // The address fields read catalogue text as inet_addr did, without loading Winsock.
    for (const wchar_t* text :
         {L"8.8.8.8",    L"10.1",     L"10.1.2",    L"167772161", L"010.0.0.1",       L"0x0A.0.0.1",
          L"0xA",        L"08.1.1.1", L"1.2.3.256", L"1.2.65535", L"1.2.65536",       L"1.2.3.4.5",
          L"1..2.3",     L"1.2.3.",   L".1.2.3",    L"abc",       L"255.255.255.255", L"4294967295",
          L"4294967296", L"0",        L"00",        L"0x"}) {
        const std::string ansi = tk::toAnsi(text);
        const unsigned long system = ntohl(inet_addr(ansi.c_str()));
        const auto own = dns::classicIPv4(text);
        EXPECT_EQ(own.value_or(0xFFFFFFFFu), system) << ansi;
    }
}

TEST_F(AddressFixture, KeepsItsFixedSizeWhateverTheContainerAsks) {
    box.move(RECT{20, 20, 400, 120});
    RECT r{}, editor{};
    GetWindowRect(box.hwnd(), &r);
    GetWindowRect(box.hwndIP(), &editor);
    EXPECT_EQ(r.right - r.left, tk::scaleFrom96(140, box.dpi()));
    EXPECT_EQ(r.bottom - r.top, tk::scaleFrom96(25, box.dpi()));
    EXPECT_EQ(editor.right - editor.left, r.right - r.left);
}

} // namespace
