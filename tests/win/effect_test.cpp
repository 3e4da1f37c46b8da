#include "effect/frmEff.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kSafetySteps = 200000; // a test that fails to stop the effect ends here

// A full-screen window whose rows each have their own colour: red and green hold the row
// number, blue a marker that tells one pattern from another.
std::uint8_t patternMarker = 0;
LRESULT CALLBACK paintRows(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_PAINT) return DefWindowProcW(w, m, wp, lp);
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(w, &ps);
    for (int y = 0; y < GetSystemMetrics(SM_CYSCREEN); ++y) {
        const RECT row{0, y, GetSystemMetrics(SM_CXSCREEN), y + 1};
        SetDCBrushColor(dc, RGB(y & 0xff, y >> 8, patternMarker));
        FillRect(dc, &row, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    EndPaint(w, &ps);
    return 0;
}

// How far the picture on a device context has moved from the rows it was drawn on.
struct Drift {
    double inPlace = 0;  // share of the pixels still on their own row
    double meanRise = 0; // rows moved up, on average, over the pixels of the pattern
};

Drift measure(HDC source, int W, int H) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    tk::unique_hbitmap dib(CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    tk::unique_hdc memory(CreateCompatibleDC(source));
    tk::select_object keep(memory.get(), dib.get());
    BitBlt(memory.get(), 0, 0, W, H, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::int64_t counted = 0, inPlace = 0, rise = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t p = static_cast<const std::uint32_t*>(bits)[y * W + x];
            if ((p & 0xff) != patternMarker) continue;
            const int drawnOn = static_cast<int>(((p >> 16) & 0xff) | (p & 0xff00));
            ++counted;
            inPlace += drawnOn == y;
            rise += drawnOn - y;
        }
    return {static_cast<double>(inPlace) / (static_cast<double>(W) * H),
            counted ? static_cast<double>(rise) / static_cast<double>(counted) : 0.0};
}

TEST(ScreenEffect, CrumblesTheScreenUpwardsUntilAClickAndGivesTheScreenBack) {
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &paintRows;
    wc.lpszClassName = L"KeldrastTestRowPattern";
    RegisterClassW(&wc);
    const std::pair<UINT, WPARAM> clicks[] = {{WM_LBUTTONDOWN, 0},
                                              {WM_RBUTTONDOWN, 0},
                                              {WM_MBUTTONDOWN, 0},
                                              {WM_XBUTTONDOWN, XBUTTON1 << 16}};
    for (const auto& [click, wParam] : clicks) {
        SCOPED_TRACE(click);
        // A new pattern each run: every run must capture the screen afresh.
        patternMarker = static_cast<std::uint8_t>(0x50 + click);
        tk::unique_hwnd pattern(CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0,
                                                0, W, H, nullptr, nullptr, nullptr, nullptr));
        UpdateWindow(pattern.get());
        frmEff effect;
        HWND window = nullptr;
        Drift first, last;
        effect.stopAfterSteps = kSafetySteps;
        effect.Stepped = [&](frmEff& e, const fx::EffectStep&) {
            if (e.stepCount() == 1) {
                window = e.hwnd();
                EXPECT_TRUE(e.holdsScreenDC());
                first = measure(e.surface(), W, H);
            } else if (e.stepCount() == 4000) {
                last = measure(e.surface(), W, H);
                PostMessageW(e.hwnd(), click, wParam, MAKELPARAM(10, 10));
            }
        };
        effect.doeffect();
        EXPECT_EQ(effect.stepCount(), 4000u); // the click ends it at once
        // Right after the first block copy the picture lines up with the screen it covers;
        // later it has crumbled and crept upwards.
        EXPECT_GT(first.inPlace, 0.97);
        EXPECT_LT(last.inPlace, 0.5);
        EXPECT_GT(last.meanRise, 10.0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(FindWindowW(frmEff::kClassName, nullptr), nullptr);
        EXPECT_FALSE(effect.holdsScreenDC());
    }
}

TEST(ScreenEffect, RealMouseClickEndsIt) {
    frmEff effect;
    effect.stopAfterSteps = kSafetySteps;
    effect.Stepped = [](frmEff& e, const fx::EffectStep&) {
        if (e.stepCount() != 50) return;
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        SendInput(2, input, sizeof(INPUT));
    };
    effect.doeffect();
    EXPECT_GE(effect.stepCount(), 50u);
    EXPECT_LT(effect.stepCount(), kSafetySteps);
}

TEST(ScreenEffect, NeverRunsTwiceAtOnceAndPassesAQuitOn) {
    frmEff effect, second;
    effect.stopAfterSteps = kSafetySteps;
    effect.Stepped = [&](frmEff& e, const fx::EffectStep&) {
        if (e.stepCount() != 10) return;
        e.doeffect();      // the same effect, from a handler inside the loop
        second.doeffect(); // another instance
        PostQuitMessage(42);
    };
    effect.doeffect();
    EXPECT_EQ(effect.stepCount(), 10u);
    EXPECT_EQ(second.stepCount(), 0u);
    EXPECT_EQ(FindWindowW(frmEff::kClassName, nullptr), nullptr);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 42u);
}

} // namespace
