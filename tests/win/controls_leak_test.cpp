#include "control_host.h"
#include "controls/kButton.h"
#include "controls/kLabel.h"

#include <gtest/gtest.h>

namespace {

using namespace testhost;

// Live GDI objects of the process. GetGuiResources where the system counts them; otherwise
// (Wine) the entries in use in the process's GDI handle table, which has the same layout.
DWORD gdiObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
#if defined(__x86_64__)
    const unsigned char* peb = nullptr;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    // Entries of 24 bytes, the object type at byte 14 (0 for a free entry).
    const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + 0xF8);
    DWORD live = 0;
    for (int i = 0; table && i < 0x10000; ++i)
        if (table[i * 24 + 14]) ++live;
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

// Makes one button (even `i`) or label (odd `i`) and repaints it 20 times in several ways.
void makeAndRepaint(HWND host, const ControlSurface::Placement& p, int i) {
    const RECT r{10, 10, 150, 50};
    if (i % 2 == 0) {
        kButton button;
        ASSERT_TRUE(button.create(host, r, p));
        for (int k = 0; k < 20; ++k) {
            button.Caption(k % 2 ? L"&Apply DNS" : L"\U0001F600 Flush");
            if (k == 10) button.Enabled(false);
            button.Refresh();
        }
    } else {
        kLabel label;
        ASSERT_TRUE(label.create(host, r, p));
        for (int k = 0; k < 20; ++k) {
            label.Caption(L"ti\u1EBFng Vi\u1EC7t");
            label.Alignment(k % 3);
            if (k == 10) label.BorderStyle(1);
            label.Refresh();
        }
    }
}

TEST(ControlResources, ThousandControlsRepaintedGiveBackEveryGdiObjectAndWindow) {
    Host host;
    ControlSurface::Placement p;
    p.ambientFont = tk::makeFont();
    // The shared font's handle and the system's one-time objects exist before the count.
    makeAndRepaint(host.hwnd, p, 0);
    makeAndRepaint(host.hwnd, p, 1);
    pump();
    const DWORD before = gdiObjects();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 1000; ++i)
        makeAndRepaint(host.hwnd, p, i);
    pump();
    EXPECT_EQ(gdiObjects(), before);
    EXPECT_EQ(childWindows(host.hwnd), 0);
}

} // namespace
