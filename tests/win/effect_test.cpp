#include "effect/frmEff.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kSafetySteps = 200000; // a test that fails to stop the effect ends here

// Paints the screen row by row in colours that tell the row: red and green hold the row
// number, blue a marker that tells one picture from another.
std::uint8_t patternMarker = 0;
void paintRows(int W, int H, std::uint8_t marker) {
    patternMarker = marker;
    tk::unique_window_dc screen(nullptr);
    for (int y = 0; y < H; ++y) {
        const RECT row{0, y, W, y + 1};
        SetDCBrushColor(screen.get(), RGB(y & 0xff, y >> 8, marker));
        FillRect(screen.get(), &row, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
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
    // Any mouse button ends it within one step; so does a quit, which is posted again.
    for (const UINT click :
         {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_XBUTTONDOWN, WM_QUIT}) {
        SCOPED_TRACE(click);
        paintRows(W, H, static_cast<std::uint8_t>(click)); // each run must capture it afresh
        frmEff effect;
        HWND window = nullptr;
        Drift first, last;
        std::uint64_t steps = 0;
        effect.Stepped = [&](frmEff& e, const fx::EffectStep&) {
            if (++steps == 1) {
                window = e.hwnd();
                EXPECT_TRUE(e.holdsScreenDC());
                first = measure(e.surface(), W, H);
            } else if (steps == 4000) {
                last = measure(e.surface(), W, H);
                PostMessageW(e.hwnd(), click, click == WM_XBUTTONDOWN ? XBUTTON1 << 16 : 42, 0);
            }
        };
        effect.doeffect(kSafetySteps);
        EXPECT_EQ(steps, 4000u);
        // Right after the first block copy the picture lines up with the screen it covers;
        // later it has crumbled and crept upwards.
        EXPECT_GT(first.inPlace, 0.97);
        EXPECT_LT(last.inPlace, 0.5);
        EXPECT_GT(last.meanRise, 10.0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(FindWindowW(frmEff::kClassName, nullptr), nullptr);
        EXPECT_FALSE(effect.holdsScreenDC());
        MSG quit{};
        EXPECT_EQ(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 42,
                  click == WM_QUIT);
    }
}

TEST(ScreenEffect, NeverRunsTwiceAtOnceAndARealClickEndsIt) {
    frmEff effect, second;
    std::uint64_t steps = 0, secondSteps = 0;
    second.Stepped = [&](frmEff&, const fx::EffectStep&) { ++secondSteps; };
    effect.Stepped = [&](frmEff& e, const fx::EffectStep&) {
        if (++steps != 10) return;
        e.doeffect();      // the same effect, from a handler inside the loop
        second.doeffect(); // another instance
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        SendInput(2, input, sizeof(INPUT));
    };
    effect.doeffect(kSafetySteps);
    EXPECT_GE(steps, 10u);
    EXPECT_LT(steps, kSafetySteps);
    EXPECT_EQ(secondSteps, 0u);
    EXPECT_EQ(FindWindowW(frmEff::kClassName, nullptr), nullptr);
}

} // namespace
