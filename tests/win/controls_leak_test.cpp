#include "control_host.h"
#include "controls/IPAddressBox.h"
#include "controls/kButton.h"
#include "controls/kLabel.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

using namespace testhost;

// Live GDI objects of the process. GetGuiResources where the system counts them; otherwise
// (Wine) the entries in use in the process's GDI handle table, which has the same layout.
DWORD gdiObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
#if defined(_M_X64) || defined(__x86_64__)
    struct Entry {
        std::uint64_t kernelObject;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type;
        std::uint8_t flags;
        std::uint64_t userPointer;
    };
    static_assert(sizeof(Entry) == 24);
    const unsigned char* peb = nullptr;
#if defined(__GNUC__)
    asm("movq %%gs:0x60, %0" : "=r"(peb));
#else
    peb = reinterpret_cast<const unsigned char*>(__readgsqword(0x60));
#endif
    const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0xF8);
    if (!table) return 0;
    DWORD live = 0;
    for (int i = 0; i < 0x10000; ++i)
        if (table[i].type) ++live;
    return live;
#else
    return 0;
#endif
}

int childWindows(HWND parent) {
    int count = 0;
    EnumChildWindows(
        parent, [](HWND, LPARAM counter) { return ++*reinterpret_cast<int*>(counter), TRUE; },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

constexpr int kRepaints = 20;

void exerciseButton(kButton& button) {
    for (int k = 0; k < kRepaints; ++k) {
        button.Caption(k % 2 ? L"&Apply DNS" : L"\U0001F600 Flush");
        if (k == kRepaints / 2) button.Enabled(false);
        button.Refresh();
    }
}

void exerciseLabel(kLabel& label) {
    for (int k = 0; k < kRepaints; ++k) {
        label.Caption(L"ti\u1EBFng Vi\u1EC7t");
        label.Alignment(k % 3);
        if (k == kRepaints / 2) label.BorderStyle(1);
        label.Refresh();
    }
}

TEST(ControlResources, ThousandControlsRepaintedGiveBackEveryGdiObject) {
    Host host;
    ControlSurface::Placement p;
    p.ambientFont = tk::makeFont();
    const RECT r{10, 10, 150, 50};
    {
        // The shared font's handle and the system's one-time objects exist before the count.
        kButton button;
        ASSERT_TRUE(button.create(host.hwnd(), r, p));
        exerciseButton(button);
        kLabel label;
        ASSERT_TRUE(label.create(host.hwnd(), r, p));
        exerciseLabel(label);
        pump();
    }
    pump();
    const DWORD before = gdiObjects();
    ASSERT_GT(before, 0u);

    for (int i = 0; i < 1000; ++i) {
        if (i % 2 == 0) {
            kButton button;
            ASSERT_TRUE(button.create(host.hwnd(), r, p));
            exerciseButton(button);
        } else {
            kLabel label;
            ASSERT_TRUE(label.create(host.hwnd(), r, p));
            exerciseLabel(label);
        }
    }
    pump();
    EXPECT_EQ(gdiObjects(), before);
    EXPECT_EQ(childWindows(host.hwnd()), 0);
}

// The address box costs no more than the system's address editor it holds, used the same way.
TEST(ControlResources, AddressBoxesCostNoMoreThanTheirEditors) {
    Host host;
    constexpr int kBoxes =
        30; // the system editor alone takes about a quarter second each under Wine
    auto useEditor = [](HWND editor) {
        for (int k = 0; k < 10; ++k) {
            SendMessageW(editor, IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 0, 0, k));
            InvalidateRect(editor, nullptr, TRUE);
            UpdateWindow(editor);
        }
    };
    ControlSurface::Placement p;
    p.ambientFont = tk::makeFont();
    for (int i = 0; i < 10; ++i) {
        IPAddressBox warmUp;
        ASSERT_TRUE(warmUp.create(host.hwnd(), RECT{10, 10, 150, 50}, p));
        useEditor(warmUp.hwndIP());
        warmUp.move(RECT{10, 10, 300, 60});
        warmUp.Refresh();
    }
    pump();
    const DWORD beforeEditors = gdiObjects();
    for (int i = 0; i < kBoxes; ++i) {
        HWND editor =
            CreateWindowExW(WS_EX_CLIENTEDGE, L"SysIPAddress32", nullptr, WS_CHILD | WS_VISIBLE, 0,
                            0, 140, 25, host.hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
        useEditor(editor);
        DestroyWindow(editor);
    }
    pump();
    const DWORD editorCost = gdiObjects() - beforeEditors;

    const DWORD before = gdiObjects();
    for (int i = 0; i < kBoxes; ++i) {
        IPAddressBox box;
        ASSERT_TRUE(box.create(host.hwnd(), RECT{10, 10, 150, 50}, p));
        useEditor(box.hwndIP());
        box.move(RECT{10, 10, 300, 60});
        box.Refresh();
    }
    pump();
    EXPECT_LE(gdiObjects() - before, editorCost);
    EXPECT_EQ(childWindows(host.hwnd()), 0);
}

} // namespace
