#include "vietnamese/msgbox.h"
#include "toolkit/handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::wstring textOf(HWND w) {
    const LRESULT length = SendMessageW(w, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring classOf(HWND w) {
    wchar_t name[64]{};
    GetClassNameW(w, name, 64);
    return name;
}

struct Button {
    std::wstring caption;
    int id = 0;
    int left = 0;
    HFONT font = nullptr;
};

// What the test saw of the box while it was open.
struct BoxSeen {
    bool found = false;
    std::wstring title;
    std::vector<Button> buttons; // visible ones, left to right
    std::wstring text;
    HFONT textFont = nullptr;
    LOGFONTW textLogFont{};
    bool hasIcon = false;
};

// Watches the thread's windows from a timer (the box's modal loop delivers its ticks),
// records the first message box it finds and presses one of its buttons.
class BoxProbe {
  public:
    // pressLast: which button closes the box, the rightmost one or the leftmost.
    BoxProbe(std::wstring expectedText, bool pressLast = true)
        : expectedText_(std::move(expectedText)), pressLast_(pressLast) {
        active_ = this;
        timer_ = SetTimer(nullptr, 0, 20, &BoxProbe::onTimer);
    }
    ~BoxProbe() {
        KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    const BoxSeen& seen() const { return seen_; }
    int pressedId() const { return pressedId_; }

  private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (active_ && !active_->seen_.found) active_->probe();
    }
    static BOOL CALLBACK findBox(HWND w, LPARAM out) {
        if (IsWindowVisible(w) && classOf(w) == L"#32770") {
            *reinterpret_cast<HWND*>(out) = w;
            return FALSE;
        }
        return TRUE;
    }
    void probe() {
        HWND box = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &BoxProbe::findBox, reinterpret_cast<LPARAM>(&box));
        if (!box) return;
        seen_.found = true;
        seen_.title = textOf(box);
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (!IsWindowVisible(c)) continue;
            const std::wstring cls = classOf(c);
            if (cls == L"Button") {
                RECT r{};
                GetWindowRect(c, &r);
                seen_.buttons.push_back(
                    {textOf(c), GetDlgCtrlID(c), static_cast<int>(r.left),
                     reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0))});
            } else if (cls == L"Static") {
                if (GetWindowLongW(c, GWL_STYLE) & SS_ICON) {
                    seen_.hasIcon = seen_.hasIcon || SendMessageW(c, STM_GETICON, 0, 0) != 0;
                } else if (textOf(c) == expectedText_) {
                    seen_.text = textOf(c);
                    seen_.textFont = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0));
                    GetObjectW(seen_.textFont, sizeof(seen_.textLogFont), &seen_.textLogFont);
                }
            }
        }
        std::sort(seen_.buttons.begin(), seen_.buttons.end(),
                  [](const Button& a, const Button& b) { return a.left < b.left; });
        if (!seen_.buttons.empty()) {
            const Button& press = pressLast_ ? seen_.buttons.back() : seen_.buttons.front();
            pressedId_ = press.id;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(press.id, BN_CLICKED), 0);
        } else {
            PostMessageW(box, WM_CLOSE, 0, 0);
        }
    }

    static inline BoxProbe* active_ = nullptr;
    UINT_PTR timer_ = 0;
    std::wstring expectedText_;
    bool pressLast_;
    BoxSeen seen_;
    int pressedId_ = 0;
};

std::vector<std::wstring> captions(const BoxSeen& seen) {
    std::vector<std::wstring> out;
    for (const Button& b : seen.buttons)
        out.push_back(b.caption);
    return out;
}

// Wine answers 0 here; on Windows this catches any GDI object the box leaves behind.
DWORD gdiObjects() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

const std::wstring kDong = L"\u0110\u00f3ng";
const std::wstring kCo = L"C\u00f3";
const std::wstring kKhong = L"Kh\u00f4ng";
const std::wstring kThuLai = L"Th\u1eed l\u1ea1i";
const std::wstring kThoat = L"Tho\u00e1t";

TEST(UniMsgBox, RelabelsTheStandardButtonsAndGivesTheTextTahoma) {
    struct Case {
        UINT flags;
        std::vector<std::wstring> buttons; // left to right; empty entry: left as the system made it
        bool icon;
    };
    const Case cases[] = {
        {64, {kDong}, true},
        {16, {kDong}, true},
        {3, {kCo, kKhong, kThoat}, false},
        {5, {kThuLai, kThoat}, false},
        {2, {L"", kThuLai, L""}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        const DWORD gdiBefore = gdiObjects();
        BoxProbe probe(L"Th\u00f4ng tin v\u1ec1 Keldrast\r\nPhi\u00ean b\u1ea3n: 1.0");
        const int result = uniMsgBox(L"Tho6ng tin ve62 Keldrast\r\nPhie6n ba3n: 1.0", c.flags,
                                     L"Tho6ng ba1o!", nullptr);
        const BoxSeen& seen = probe.seen();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(result, probe.pressedId());
        EXPECT_EQ(seen.title, L"Th\u00f4ng b\u00e1o!");
        EXPECT_EQ(seen.hasIcon, c.icon);

        ASSERT_FALSE(seen.text.empty()) << "message text not found";
        EXPECT_STREQ(seen.textLogFont.lfFaceName, L"Tahoma");
        EXPECT_EQ(seen.textLogFont.lfHeight, 13);
        EXPECT_EQ(seen.textLogFont.lfWeight, 500);

        ASSERT_EQ(seen.buttons.size(), c.buttons.size());
        for (std::size_t i = 0; i < c.buttons.size(); ++i) {
            const Button& b = seen.buttons[i];
            if (c.buttons[i].empty()) {
                // Abort and Ignore keep their English captions and the system's font.
                EXPECT_NE(b.caption.find(b.id == IDABORT ? L"Abort" : L"Ignore"),
                          std::wstring::npos)
                    << b.caption;
                EXPECT_NE(b.font, seen.textFont);
            } else {
                EXPECT_EQ(b.caption, c.buttons[i]);
                EXPECT_EQ(b.font, seen.textFont);
            }
        }
        // The font went away with the box.
        EXPECT_EQ(GetObjectType(seen.textFont), 0u);
        EXPECT_EQ(gdiObjects(), gdiBefore);
    }

    // The hook removed itself: removing it again fails, and a plain box keeps its caption.
    ASSERT_NE(lastMsgBoxHook(), nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(lastMsgBoxHook())) << "the hook was left in place";
    BoxProbe plain(L"plain");
    MessageBoxW(nullptr, L"plain", L"plain", MB_OK);
    ASSERT_TRUE(plain.seen().found);
    EXPECT_EQ(captions(plain.seen()), std::vector<std::wstring>{L"OK"});
}

TEST(UniMsgBox, ShowsTextsOfAnyLengthAndContent) {
    const std::wstring longText(32767, L'x');
    const std::wstring digits = L"0123456789 1 2 3 4 5 6 7 8 9";
    struct Case {
        std::wstring text, title;
    };
    const Case cases[] = {{L"", L""}, {longText, L"t"}, {L"t", longText}, {digits, digits}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        BoxProbe probe(c.text);
        uniMsgBox(c.text, 64, c.title, nullptr);
        ASSERT_TRUE(probe.seen().found);
        EXPECT_EQ(probe.seen().text, c.text);
        if (!c.title.empty()) {
            EXPECT_EQ(probe.seen().title, c.title);
        }
        EXPECT_EQ(captions(probe.seen()), std::vector<std::wstring>{kDong});
    }
}

// Refuses every dialog window, so that MessageBoxW cannot make its box.
LRESULT CALLBACK refuseDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && classOf(reinterpret_cast<HWND>(wParam)) == L"#32770") return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(UniMsgBox, RemovesItsHookWhenTheBoxCannotBeShown) {
    {
        BoxProbe closer(L"x"); // closes the box should it appear after all
        tk::unique_hhook refuse(
            SetWindowsHookExW(WH_CBT, &refuseDialogs, nullptr, GetCurrentThreadId()));
        ASSERT_TRUE(refuse);
        EXPECT_EQ(uniMsgBox(L"x", 64, L"x", nullptr), 0);
        EXPECT_FALSE(closer.seen().found);
        ASSERT_NE(lastMsgBoxHook(), nullptr);
        EXPECT_FALSE(UnhookWindowsHookEx(lastMsgBoxHook())) << "the hook was left in place";
    }
    BoxProbe plain(L"plain");
    MessageBoxW(nullptr, L"plain", L"plain", MB_OKCANCEL);
    ASSERT_TRUE(plain.seen().found);
    EXPECT_EQ(captions(plain.seen()), (std::vector<std::wstring>{L"OK", L"Cancel"}));
    EXPECT_NE(plain.seen().textLogFont.lfWeight, 500);
}

} // namespace
