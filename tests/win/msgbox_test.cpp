#include "vietnamese/msgbox.h"
#include "toolkit/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

std::wstring textOf(HWND w) {
    std::wstring text(40000, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(w, text.data(), 40000)));
    return text;
}

bool isClass(HWND w, const wchar_t* name) {
    wchar_t cls[64]{};
    GetClassNameW(w, cls, 64);
    return lstrcmpiW(cls, name) == 0;
}

// What the test saw of the box while it was open.
struct BoxSeen {
    bool found = false;
    std::wstring title, text;
    std::vector<std::wstring> buttons; // left to right
    HFONT textFont = nullptr;
    LOGFONTW textLogFont{};
    int pressed = 0, result = -1;
};
BoxSeen* watching = nullptr;

// Runs from a timer inside the box's modal loop: reads the thread's message box and presses
// its rightmost button.
void CALLBACK readBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = GetActiveWindow();
    if (!box || !isClass(box, L"#32770") || !watching || watching->found) return;
    BoxSeen& seen = *watching;
    seen.found = true;
    seen.title = textOf(box);
    std::vector<std::pair<LONG, HWND>> buttons;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r{};
        if (!IsWindowVisible(c) || !GetWindowRect(c, &r)) continue;
        if (isClass(c, L"Button")) buttons.emplace_back(r.left, c);
        if (isClass(c, L"Static") && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            seen.text = textOf(c);
            seen.textFont = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0));
            GetObjectW(seen.textFont, sizeof(seen.textLogFont), &seen.textLogFont);
        }
    }
    std::sort(buttons.begin(), buttons.end());
    for (const auto& b : buttons)
        seen.buttons.push_back(textOf(b.second));
    seen.pressed = buttons.empty() ? IDCANCEL : GetDlgCtrlID(buttons.back().second);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(seen.pressed, BN_CLICKED), 0);
}

BoxSeen show(const std::wstring& text, UINT flags, const std::wstring& title) {
    BoxSeen seen;
    watching = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &readBox);
    seen.result = uniMsgBox(text, flags, title, nullptr);
    KillTimer(nullptr, timer);
    watching = nullptr;
    return seen;
}

const std::wstring kDong = L"\u0110\u00f3ng", kThuLai = L"Th\u1eed l\u1ea1i",
                   kThoat = L"Tho\u00e1t";

TEST(UniMsgBox, ShowsVietnameseCaptionsAndTextsOfAnyLengthInTahomaThenLetsGoOfTheFont) {
    const std::wstring longText(32767, L'x'), digits = L"0123456789 1 2 3 4 5 6 7 8 9";
    const struct {
        UINT flags;
        std::vector<std::wstring> buttons;
        std::wstring text, title, shownText, shownTitle;
    } cases[] = {
        {64,
         {kDong},
         L"Phie6n ba3n: 1.0",
         L"Tho6ng ba1o!",
         L"Phi\u00ean b\u1ea3n: 1.0",
         L"Th\u00f4ng b\u00e1o!"},
        {16, {kDong}, L"", L"", L"", L""},
        {3, {L"C\u00f3", L"Kh\u00f4ng", kThoat}, longText, L"t", longText, L"t"},
        {5, {kThuLai, kThoat}, L"t", longText, L"t", longText},
        {2, {L"&Abort", kThuLai, L"&Ignore"}, digits, digits, digits, digits}, // only Retry
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        const BoxSeen seen = show(c.text, c.flags, c.title);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.result, seen.pressed);
        if (!c.title.empty()) {
            EXPECT_EQ(seen.title, c.shownTitle);
        }
        EXPECT_EQ(seen.text, c.shownText);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_STREQ(seen.textLogFont.lfFaceName, L"Tahoma");
        EXPECT_EQ(seen.textLogFont.lfHeight, 13);
        EXPECT_EQ(seen.textLogFont.lfWeight, 500);
        EXPECT_EQ(GetObjectType(seen.textFont), 0u) << "the font outlived the box";
    }
}

TEST(UniMsgBox, GoesThroughTheMessageBoxEntryPointInUnicode) {
    std::wstring text, title;
    {
        tk::ScopedMessageBox noBox{[&](HWND, std::wstring_view t, std::wstring_view c, UINT) {
            text = t;
            title = c;
            return 0; // as when the system cannot make the box
        }};
        const BoxSeen seen = show(L"Phie6n ba3n", 64, L"Tho6ng ba1o!");
        EXPECT_FALSE(seen.found);
        EXPECT_EQ(seen.result, 0);
    }
    EXPECT_EQ(text, L"Phi\u00ean b\u1ea3n");
    EXPECT_EQ(title, L"Th\u00f4ng b\u00e1o!");
}

} // namespace
