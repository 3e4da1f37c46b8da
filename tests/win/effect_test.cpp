#include "effect/frmEff.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::uint64_t kSafetySteps = 200000; // a test that fails to stop the effect ends here

void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

// A full-screen window whose every pixel tells the row it was drawn on: red and green hold
// the row number, blue a marker that tells one pattern from another.
class RowPattern {
  public:
    RowPattern(int width, int height, std::uint8_t marker)
        : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels_[static_cast<std::size_t>(y) * width + x] = encode(y, marker);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RowPattern::proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KeldrastTestRowPattern";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, width, height, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
        pumpFor(300);
    }
    ~RowPattern() { DestroyWindow(window_); }

    static std::uint32_t encode(int y, std::uint8_t marker) {
        return (static_cast<std::uint32_t>(y & 0xff) << 16) |
               (static_cast<std::uint32_t>((y >> 8) & 0xff) << 8) | marker;
    }
    static bool decode(std::uint32_t pixel, std::uint8_t marker, int& y) {
        if ((pixel & 0xff) != marker) return false;
        y = static_cast<int>(((pixel >> 16) & 0xff) | (((pixel >> 8) & 0xff) << 8));
        return true;
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_PAINT) {
            auto* self = reinterpret_cast<RowPattern*>(GetWindowLongPtrW(w, GWLP_USERDATA));
            PAINTSTRUCT ps{};
            HDC dc = BeginPaint(w, &ps);
            if (self) {
                BITMAPINFO bi{};
                bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
                bi.bmiHeader.biWidth = self->width_;
                bi.bmiHeader.biHeight = -self->height_;
                bi.bmiHeader.biPlanes = 1;
                bi.bmiHeader.biBitCount = 32;
                SetDIBitsToDevice(dc, 0, 0, self->width_, self->height_, 0, 0, 0, self->height_,
                                  self->pixels_.data(), &bi, DIB_RGB_COLORS);
            }
            EndPaint(w, &ps);
            return 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }

    int width_, height_;
    std::vector<std::uint32_t> pixels_;
    HWND window_ = nullptr;
};

// The pixels of a device context, top row first, as 0x00RRGGBB.
std::vector<std::uint32_t> grab(HDC source, int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    tk::unique_hbitmap dib(CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    tk::unique_hdc memory(CreateCompatibleDC(source));
    if (!dib || !memory) return {};
    {
        tk::select_object keep(memory.get(), dib.get());
        BitBlt(memory.get(), 0, 0, width, height, source, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = p[i] & 0xffffff;
    }
    return pixels;
}

struct Drift {
    double matching = 0; // share of pixels still on the row they were drawn on
    double meanRise = 0; // rows the picture has moved up, on average
};

Drift measure(const std::vector<std::uint32_t>& pixels, int width, int height,
              std::uint8_t marker) {
    std::int64_t counted = 0, matching = 0, rise = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int drawnOn = 0;
            if (!RowPattern::decode(pixels[static_cast<std::size_t>(y) * width + x], marker,
                                    drawnOn))
                continue;
            ++counted;
            if (drawnOn == y) ++matching;
            rise += drawnOn - y;
        }
    Drift d;
    const double all = static_cast<double>(width) * height;
    d.matching = static_cast<double>(matching) / all;
    d.meanRise = counted ? static_cast<double>(rise) / static_cast<double>(counted) : 0;
    return d;
}

int effectWindowsOnThread() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM n) -> BOOL {
            wchar_t name[64]{};
            GetClassNameW(w, name, 64);
            if (lstrcmpW(name, frmEff::kClassName) == 0) ++*reinterpret_cast<int*>(n);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// What a run looked like from inside.
struct RunSeen {
    HWND window = nullptr;
    bool screenDCHeld = false;
    RECT placement{};
    LONG style = 0;
    LONG exStyle = 0;
    Drift first;
    Drift last;
};

RunSeen runWithPattern(std::uint8_t marker, std::uint64_t clickAtStep, UINT stopMessage,
                       frmEff& effect) {
    RunSeen seen;
    effect.stopAfterSteps = kSafetySteps;
    effect.Stepped = [&](frmEff& e, const fx::EffectStep&) {
        const std::uint64_t n = e.stepCount();
        if (n == 1) {
            seen.window = e.hwnd();
            seen.screenDCHeld = e.holdsScreenDC();
            GetWindowRect(e.hwnd(), &seen.placement);
            seen.style = GetWindowLongW(e.hwnd(), GWL_STYLE);
            seen.exStyle = GetWindowLongW(e.hwnd(), GWL_EXSTYLE);
            seen.first = measure(grab(e.surface(), e.screenWidth(), e.screenHeight()),
                                 e.screenWidth(), e.screenHeight(), marker);
        }
        if (n == clickAtStep) {
            seen.last = measure(grab(e.surface(), e.screenWidth(), e.screenHeight()),
                                e.screenWidth(), e.screenHeight(), marker);
            PostMessageW(e.hwnd(), stopMessage, stopMessage == WM_XBUTTONDOWN ? XBUTTON1 << 16 : 0,
                         MAKELPARAM(10, 10));
        }
    };
    effect.doeffect();
    return seen;
}

TEST(ScreenEffect, CrumblesTheScreenUpwardsUntilAClickAndGivesTheScreenBack) {
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    for (std::uint8_t marker : {std::uint8_t{0x5a}, std::uint8_t{0xa5}}) {
        SCOPED_TRACE(marker);
        // A new pattern each round: the second run must capture the screen again.
        RowPattern pattern(W, H, marker);
        {
            tk::unique_window_dc screen(nullptr);
            ASSERT_GT(measure(grab(screen.get(), W, H), W, H, marker).matching, 0.99)
                << "the pattern did not reach the screen";
        }
        frmEff effect;
        const RunSeen seen = runWithPattern(marker, 4000, WM_LBUTTONDOWN, effect);
        EXPECT_EQ(effect.stepCount(), 4000u);
        EXPECT_TRUE(seen.screenDCHeld);
        EXPECT_EQ(seen.placement.left, 0);
        EXPECT_EQ(seen.placement.top, 0);
        EXPECT_EQ(seen.placement.right, W);
        EXPECT_EQ(seen.placement.bottom, H);
        EXPECT_TRUE(seen.style & WS_POPUP);
        EXPECT_TRUE(seen.style & WS_VISIBLE);
        EXPECT_FALSE(seen.style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
        EXPECT_TRUE(seen.exStyle & WS_EX_TOPMOST);
        // Right after the first block copy the picture lines up with the screen it covers.
        EXPECT_GT(seen.first.matching, 0.97);
        // Later it has crept upwards.
        EXPECT_LT(seen.last.matching, 0.5);
        EXPECT_GT(seen.last.meanRise, 10.0);

        EXPECT_FALSE(IsWindow(seen.window));
        EXPECT_EQ(effect.hwnd(), nullptr);
        EXPECT_FALSE(effect.holdsScreenDC());
        EXPECT_FALSE(frmEff::isRunning());
        EXPECT_EQ(effectWindowsOnThread(), 0);
    }
}

TEST(ScreenEffect, AnyMouseButtonEndsItWithinOneStep) {
    for (UINT message : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_XBUTTONDOWN}) {
        SCOPED_TRACE(message);
        frmEff effect;
        const RunSeen seen = runWithPattern(0, 25, message, effect);
        EXPECT_EQ(effect.stepCount(), 25u);
        EXPECT_FALSE(IsWindow(seen.window));
        EXPECT_FALSE(effect.holdsScreenDC());
    }
}

TEST(ScreenEffect, RealMouseClickEndsIt) {
    frmEff effect;
    effect.stopAfterSteps = kSafetySteps;
    effect.Stepped = [](frmEff& e, const fx::EffectStep&) {
        if (e.stepCount() != 50) return;
        SetCursorPos(200, 150);
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        SendInput(2, input, sizeof(INPUT));
    };
    effect.doeffect();
    EXPECT_GE(effect.stepCount(), 50u);
    EXPECT_LT(effect.stepCount(), kSafetySteps);
    EXPECT_EQ(effectWindowsOnThread(), 0);
}

TEST(ScreenEffect, NeverRunsTwiceAtOnce) {
    frmEff effect;
    frmEff second;
    int windowsWhileRunning = 0;
    effect.stopAfterSteps = kSafetySteps;
    effect.Stepped = [&](frmEff& e, const fx::EffectStep&) {
        if (e.stepCount() != 10) return;
        e.doeffect();      // the same effect, from a handler inside the loop
        second.doeffect(); // another instance
        windowsWhileRunning = effectWindowsOnThread();
        PostMessageW(e.hwnd(), WM_LBUTTONDOWN, 0, 0);
    };
    effect.doeffect();
    EXPECT_EQ(effect.stepCount(), 10u);
    EXPECT_EQ(second.stepCount(), 0u);
    EXPECT_EQ(windowsWhileRunning, 1);
    EXPECT_EQ(effectWindowsOnThread(), 0);

    // Once over, it can run again.
    second.stopAfterSteps = 5;
    second.doeffect();
    EXPECT_EQ(second.stepCount(), 5u);
}

TEST(ScreenEffect, QuitOrCloseEndsTheLoopAndAQuitIsPostedAgain) {
    frmEff effect;
    effect.stopAfterSteps = kSafetySteps;
    effect.Stepped = [](frmEff& e, const fx::EffectStep&) {
        if (e.stepCount() == 10) PostQuitMessage(42);
    };
    effect.doeffect();
    EXPECT_EQ(effect.stepCount(), 10u);
    EXPECT_EQ(effectWindowsOnThread(), 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 42u);

    effect.Stepped = [](frmEff& e, const fx::EffectStep&) {
        if (e.stepCount() == 10) PostMessageW(e.hwnd(), WM_CLOSE, 0, 0);
    };
    effect.doeffect();
    EXPECT_EQ(effect.stepCount(), 10u);
    EXPECT_EQ(effectWindowsOnThread(), 0);
    EXPECT_FALSE(effect.holdsScreenDC());
}

} // namespace
